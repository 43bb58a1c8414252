#pragma once

#include "GlassHallShaderInstance.h"

class Texture;

// The wall volume meters of scene 5: bars in the foreground colour as high as the
// frequency texture says. bind sends "freqTexture" (unit 0), "foreground_color" and
// "scale". The texture is not owned.
class ShaderGeoVolumenter2 : public GlassHallShaderInstance {
public:
    explicit ShaderGeoVolumenter2(Shader* shader);

    void bind(ORVCamera* camera, const glm::mat4& model, VAO* mesh, ORVMaterial* material) override;

    void setForegroundColor(const glm::vec4& colour) { foregroundColor = colour; }
    const glm::vec4& getForegroundColor() const { return foregroundColor; }
    void setFrequencyTexture(Texture* texture) { frequencyTexture = texture; }
    Texture* getFrequencyTexture() const { return frequencyTexture; }
    void setScale(float x, float y) { scale = glm::vec2(x, y); }
    const glm::vec2& getScale() const { return scale; }

private:
    glm::vec4 foregroundColor{0.0f};
    Texture* frequencyTexture = nullptr;
    glm::vec2 scale{0.0f, 0.0f};
};
