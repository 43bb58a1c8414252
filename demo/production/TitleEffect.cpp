#include "TitleEffect.h"

#include "GlassHallPass.h"
#include "Geometry.h"
#include "Shader.h"
#include "TrackInterpolate.h"
#include "VAO.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

TitleEffect::TitleEffect() = default;
TitleEffect::~TitleEffect() = default;

void TitleEffect::setup()
{
    // transx, the frequency pair and fade are keyed for the title's choreography; the
    // draw reads zoom, texindex and blend.
    addTracks({{"transx", &transx}, {"zoom", &zoom}, {"texindex", &texindex}, {"freqmin1", &freqmin1},
               {"freqmax1", &freqmax1}, {"blend", &blend}, {"fade", &fade}});
}

void TitleEffect::init()
{
    quad.reset(Geometry::createQuad("Geometry::Quad", 0.5f));
}

void TitleEffect::draw(uint32_t t, int32_t, FBO* target)
{
    glDisable(GL_DEPTH_TEST);
    GlassHallPass::bindTarget(target);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);

    const float k = texindex->getValue(t);
    const float scale = zoom->getValue(t) + 1.0f;
    Texture* picture = nullptr;
    if (k == 1.0f)
        picture = res.logo;
    for (int i = 0; i < 5; ++i)
        if (k == static_cast<float>(i + 2))
            picture = res.credits[i];
    if (picture) {
        Shader* s = res.titleShader;
        quad->bind(s);
        s->setTexture("image", 0, picture);
        s->setVec2("pos", 0.0f, 0.0f);
        s->setVec2("scale", scale, scale);
        s->setFloat("fade", blend->getValue(t));
        quad->draw(GL_TRIANGLES);
    }
    if (k == 20.0f) {
        // As the fade rises from 0 to 2 the five frames follow one another, cross-fading,
        // and the last one, the whole title, stays; fading out types it backwards.
        const float fadeIn = 2.0f * blend->getValue(t);
        const float step = std::min(std::max(fadeIn * 0.5f, 0.0f), 1.0f) * 4.0f;
        const int frame = std::min(static_cast<int>(std::floor(step)), 4);
        Shader* s = res.titleLogoShader;
        quad->bind(s);
        s->setTexture("image1", 0, res.frames[frame]);
        s->setTexture("image2", 1, res.frames[std::min(frame + 1, 4)]);
        s->setFloat("crossFade", step - float(frame));
        s->setVec2("pos", 0.0f, 0.0f);
        s->setVec2("scale", scale, scale);
        s->setFloat("fade", std::min(std::max(fadeIn * 2.0f, 0.0f), 1.0f));
        quad->draw(GL_TRIANGLES);
    }
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}
