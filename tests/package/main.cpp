// A production outside the engine's tree, built against the engine's package: one effect
// whose shader shows the sync script's "level" curve as the red of the whole frame, and a
// scene converted at build time. It loads from resources.7z alone (mode 1), renders the
// frames at 1, 2 and 3 s offline and checks each frame's red against the curve (0.25,
// 0.5, 0.75); the last frame is written to OUT.png.
//
//   package_production OUT.png       exit status 0 when every check holds
#include <demosys/Demo.h>
#include <demosys/Effect.h>
#include <demosys/FBO.h>
#include <demosys/ORVDemosys.h>
#include <demosys/ORVScene.h>
#include <demosys/OfflineRenderer.h>
#include <demosys/QuadRenderer.h>
#include <demosys/ResourceDefinition.h>
#include <demosys/ScreenMetrics.h>
#include <demosys/Shader.h>
#include <demosys/TimeCode.h>
#include <demosys/TrackInterpolate.h>

#include "PngWriter.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool sceneLoaded = false;

class LevelEffect : public Effect {
public:
    Effect* create() override { return new LevelEffect(); }
    void setup() override { addTrack("level", &level); }
    void init() override
    {
        shader = GetShader("level");
        sceneLoaded = GetScene("box")->objectExists("Box");
    }
    void draw(uint32_t timeMs, int32_t, FBO* target) override
    {
        FBO::bind(target);
        glDisable(GL_DEPTH_TEST);
        shader->bind();
        shader->setFloat("level", level->getValue(timeMs));
        QuadRenderer::drawWithShader(nullptr, shader);
        glEnable(GL_DEPTH_TEST);
    }

private:
    TrackInterpolate* level = nullptr;
    Shader* shader = nullptr;
};

class PackageProduction : public ResourceDefinition {
public:
    void configure(ScreenMetrics*) override
    {
        ORVDemosys::startTime = TimeCode(0, 0, 0);
        ORVDemosys::endTime = TimeCode(0, 10, 0);
    }
    void declareResources() override
    {
        AddShader(ShaderDeclaration("level", "level"));
        AddObject(ResourceDeclaration("box", "box.vbo"));
    }
    void declareEffects() override { AddEffect("LevelEffect", new LevelEffect()); }
    void createEffectInstances() override { CreateEffectInstance("LevelEffect", "level", true); }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: package_production OUT.png\n");
        return 2;
    }
    ScreenMetrics metrics;
    metrics.setSize(160, 90);
    metrics.setFullscreen(false);
    Demo demo(argc, argv);
    ORVDemosys::resources = new PackageProduction();
    demo.setTitle("Package production");
    int failures = 0;
    if (!demo.load(&metrics, 1)) {
        std::printf("FAILED: the production did not load\n");
        ++failures;
    } else {
        if (!sceneLoaded) {
            std::printf("FAILED: the scene has no object 'Box'\n");
            ++failures;
        }
        OfflineRenderer renderer(160, 90);
        const Status rendered = renderer.render(1000, 1, 3, [&](const OfflineRenderer::Frame& frame) {
            const size_t centre = (static_cast<size_t>(frame.height / 2) * frame.width + frame.width / 2) * 4;
            const int red = frame.pixels[centre];
            const int expected = (frame.index + 1) * 255 / 4;
            std::printf("Frame at %d ms: red %d, expected %d\n", frame.timeMs, red, expected);
            if (std::abs(red - expected) > 2)
                ++failures;
            Status written = frame.index == 2
                                 ? writePngFile(argv[1], frame.width, frame.height, 4, frame.pixels.data(), true)
                                 : Status::success();
            if (!written) {
                std::printf("FAILED: %s\n", written.reason().c_str());
                ++failures;
            }
            return true;
        });
        if (!rendered) {
            std::printf("FAILED: %s\n", rendered.reason().c_str());
            ++failures;
        }
    }
    ORVDemosys::shutdown();
    std::printf("%s\n", failures ? "package production: FAILED" : "package production: all checks passed");
    return failures ? 1 : 0;
}
