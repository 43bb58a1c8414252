#pragma once

#include "GlassHallShaderInstance.h"

class Texture;

// The floor and roof volume meters of scene 5: a mask texture repeated over the surface
// lights up where the frequency texture's level reaches. bind sends "background_color",
// "repeat", "maskTexture" (unit 0) and "frequency" (unit 1). The textures are not owned.
class ShaderGeoVolumenter1 : public GlassHallShaderInstance {
public:
    explicit ShaderGeoVolumenter1(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

    void setBackgroundColor(const glm::vec4& colour) { backgroundColor = colour; }
    const glm::vec4& getBackgroundColor() const { return backgroundColor; }
    void setMaskTexture(Texture* texture) { maskTexture = texture; }
    Texture* getMaskTexture() const { return maskTexture; }
    void setFrequencyTexture(Texture* texture) { frequencyTexture = texture; }
    Texture* getFrequencyTexture() const { return frequencyTexture; }
    void setRepeat(float u, float v) { repeat = glm::vec2(u, v); }
    const glm::vec2& getRepeat() const { return repeat; }

private:
    glm::vec4 backgroundColor{0.0f};
    Texture* maskTexture = nullptr;
    Texture* frequencyTexture = nullptr;
    glm::vec2 repeat{0.0f, 0.0f};
};
