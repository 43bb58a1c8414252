// Every GLSL program of Glass Hall, built from resources/shaders/ (the loading screen's
// from resources/graphics/) with its defines as the resource definition declares it: it must compile and link on this driver, and its
// active uniforms and attributes must be exactly the names the production's code (and
// the engine's geometry instances and deferred renderer) set on it. A uniform the
// compiler dropped would print "Uniform variable ... not found" at every set; an
// attribute a mesh lacks stops the program when its vertex layout is made.
#include "ORVIO.h"
#include "PostProcessEffect.h"
#include "Shader.h"
#include "ShaderPreprocessor.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct Program {
    const char* alias;
    const char* base;
    std::vector<std::string> defines;
    std::set<std::string> uniforms;
    std::set<std::string> attributes;
    const char* directory = "resources/shaders/";
};

const std::set<std::string> position{"in_Position"};
const std::set<std::string> screenQuad{"in_Position", "in_UV0"};
const std::set<std::string> surface{"in_Position", "in_Normal", "in_UV0"};
// Set by the engine's ShaderGeoColor / ShaderGeoTexture.
const std::set<std::string> engineGeometry{"projM",         "cameraM", "modelM",       "normalM",
                                           "MaterialIndex", "color",   "MaterialLight"};
// Set by Glass Hall's own geometry instances before their own uniforms.
const std::set<std::string> productionGeometry{"ProjM", "ModelM", "NormalM", "MaterialIndex", "MaterialLight"};
// Set by the deferred renderer's light pass on every light.
const std::set<std::string> lightCommon{"diffuseBuffer", "depthBuffer", "normalBuffer", "materialBuffer",
                                        "screensize",    "ProjConst",   "color"};
const std::set<std::string> volumeLight{"projM", "lightM", "lightRadius", "lightPos"};

std::set<std::string> join(std::initializer_list<std::set<std::string>> sets)
{
    std::set<std::string> all;
    for (const auto& s : sets)
        all.insert(s.begin(), s.end());
    return all;
}

std::vector<Program> programs()
{
    return {
        {"geometry_color", "deferred_geometry", {"COLOR"}, engineGeometry, {"in_Position", "in_Normal"}},
        {"geometry_texture", "deferred_geometry", {"TEXTURE"}, join({engineGeometry, {"texture0"}}), surface},
        {"geometry_normalmap", "deferred_geometry", {"NORMALMAP"}, join({engineGeometry, {"texture0", "NormalMap"}}),
         join({surface, {"in_Tangent", "in_Bitangent"}})},
        {"deferred_pointlight", "deferred_light", {"POINT_LIGHT"}, join({lightCommon, volumeLight}), position},
        {"deferred_conelight", "deferred_light", {"CONE_LIGHT"},
         join({lightCommon, volumeLight, {"lightDirection", "FallOff", "LinearAttenuation"}}), position},
        {"deferred_directonallight", "deferred_light", {"DIRECTIONAL_LIGHT"},
         join({lightCommon, {"lightDirection", "lightDirection2", "color2"}}), position},
        {"deferred_pointcube", "deferred_light_cube", {}, join({lightCommon, volumeLight, {"cubeMap", "objectMatrix"}}),
         position},
        {"deferred_light_spot_texture", "deferred_light_spot_texture", {},
         join({lightCommon, volumeLight, {"lightDirection", "FallOff", "spotTexture"}}), position},
        {"composite", "deferred_composite", {}, {"lightMap", "fade"}, screenQuad},
        {"composite_fog", "deferred_composite", {"FOG"}, {"lightMap", "ambientMap", "depthBuffer"}, screenQuad},
        {"dummy", "deferred_dummy", {}, {}, screenQuad},
        {"geometry_scene2floor", "geometry_scene2floor", {}, join({productionGeometry, {"color"}}), surface},
        {"geometry_texture_scroll", "geometry_texture_scroll", {}, join({productionGeometry, {"UVScroll", "texture0"}}),
         surface},
        {"volumeter1", "geometry_volumeter1", {},
         join({productionGeometry, {"background_color", "repeat", "maskTexture", "frequency"}}), surface},
        {"volumeter2", "geometry_volumeter2", {},
         join({productionGeometry, {"freqTexture", "foreground_color", "scale"}}), surface},
        {"color_shader", "Color", {}, {"color", "ModelM", "ProjM"}, position},
        {"lightsprite", "lightsprite", {}, {"image", "ProjM", "ModelViewM", "alpha"}, screenQuad},
        {"reflect_mask", "scene2_reflectmask", {}, {"mask", "lightBuffer", "color", "Modelview", "ProjM"},
         {"in_Position", "in_Normal"}},
        {"refract", "refract", {},
         {"ProjM", "ModelM", "texture0", "noise", "screen", "noise_scroll0", "noise_scroll1", "noise_scroll2", "bulge"},
         {"in_Position", "in_Normal"}},
        // The image effects, titles and loading screen.
        {"texture", "texture", {}, {"image"}, screenQuad},
        {"titleshader", "titleshader", {}, {"image", "pos", "scale", "fade"}, screenQuad},
        {"titlelogoshader", "titlelogoshader", {}, {"image1", "image2", "crossFade", "pos", "scale", "fade"},
         screenQuad},
        // Declared for the glow's pre-pass and copies; no effect draws with them yet, so
        // their interface is the one an effect would set.
        {"b_n_c_shader", "BrightnessContrast", {}, {"source", "brightness", "contrast"}, screenQuad},
        {"copy", "Copy", {}, {"source"}, screenQuad},
        {"blur_x", "Gaussian_x", {}, {"source", "blur_radius", "texture_size", "adjustment", "brightness", "contrast"},
         screenQuad},
        {"blur_y", "Gaussian_y", {}, {"source", "blur_radius", "texture_size", "adjustment", "brightness", "contrast"},
         screenQuad},
        {"screen", "Screen", {}, {"source0", "source1"}, screenQuad},
        {"post_process_shader", "PostProcess", {},
         {"image", "distortmap", "distort_amount", "distort_scroll", "image_size", "aberration", "grade_gain",
          "grade_offset", "vignett_radius", "noise", "noise_offset", "noise_strength"},
         screenQuad},
        {"radialblur", "radialblur", {}, {"image", "alpha", "zoomFactor", "multiply"}, screenQuad},
        {"warpspeed_shader", "Warpspeed", {},
         {"tex", "tex2", "scroll", "zangle", "intensity", "speedlayer_alpha", "accelerate"}, screenQuad},
        {"Progress", "progressbar", {}, {"layer1", "layer2", "progress"}, screenQuad, "resources/graphics/"},
    };
}

std::string names(const std::set<std::string>& set)
{
    std::string text;
    for (const auto& n : set)
        text += (text.empty() ? "" : " ") + n;
    return text;
}

} // namespace

TEST(GlassHallPrograms, EachLinksWithExactlyTheUniformsAndAttributesTheCodeSets)
{
    ORVIO::init(0);
    for (const Program& p : programs()) {
        SCOPED_TRACE(p.alias);
        const std::string directory = std::string(DEMOSYS_SOURCE_DIR) + "/" + p.directory;
        std::string vertex, fragment;
        bool found = false;
        ASSERT_TRUE(succeeds(ShaderPreprocessor::preprocessFile(vertex, found, directory,
                                                                std::string(p.base) + ".vert", p.defines)));
        ASSERT_TRUE(succeeds(ShaderPreprocessor::preprocessFile(fragment, found, directory,
                                                                std::string(p.base) + ".frag", p.defines)));
        Shader shader(std::string(p.base) + "::" + p.alias);
        shader.setVertexCode(vertex);
        shader.setFragmentCode(fragment);
        ASSERT_TRUE(shader.build()) << shader.getErrorLog();
        std::set<std::string> uniforms, attributes;
        for (const auto& u : shader.getUniforms())
            uniforms.insert(u.first);
        for (const auto& a : shader.getAttributes())
            attributes.insert(a.first);
        EXPECT_EQ(names(uniforms), names(p.uniforms));
        EXPECT_EQ(names(attributes), names(p.attributes));
    }
}

// The grade folds its colour controls into one gain and offset: it must give what the
// chain of controls gives, for every mix of them, the clamped amounts included.
TEST(GlassHallPrograms, TheGradesFoldedControlsMatchTheirChain)
{
    struct Controls {
        float contrast, brightness, negative, fade;
        glm::vec3 fadeColour;
        float noise;
    } cases[] = {{0, 0, 0, 0, glm::vec3(0), 0},         {0.4f, -0.1f, 0, 0, glm::vec3(0), 0.05f},
                 {-0.3f, 0.2f, 1, 0, glm::vec3(0), 0.1f},  {0.2f, 0.1f, 0.35f, 0.6f, glm::vec3(0.9f, 0.2f, 0.4f), 0.08f},
                 {1.5f, 0, -2, 3, glm::vec3(1, 0.5f, 0), 0}, {0, 0, 0.5f, 1, glm::vec3(0.3f), 0.11f}};
    for (const Controls& k : cases) {
        const PostProcessEffect::GradeAffine affine =
            PostProcessEffect::gradeAffine(k.contrast, k.brightness, k.negative, k.fade, k.fadeColour, k.noise);
        for (float c : {0.0f, 0.3f, 1.0f})
            for (float grain : {0.0f, 0.5f, 0.9f}) {
                glm::vec3 chain = (glm::vec3(c) - 0.5f) * (1.0f + k.contrast) + 0.5f + k.brightness;
                chain = glm::mix(chain, 1.0f - chain, std::min(std::max(k.negative, 0.0f), 1.0f));
                chain = glm::mix(chain, k.fadeColour, std::min(std::max(k.fade, 0.0f), 1.0f));
                chain += (grain - 0.5f) * k.noise;
                const glm::vec3 folded = glm::vec3(c) * affine.gain + grain * k.noise + affine.offset;
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(folded[i], chain[i], 1e-5f) << "contrast " << k.contrast << " negative " << k.negative
                                                             << " fade " << k.fade << " c " << c << " grain " << grain;
            }
    }
}
