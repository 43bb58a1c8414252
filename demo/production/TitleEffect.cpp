#include "TitleEffect.h"

#include "GlassHallPass.h"
#include "Geometry.h"
#include "Shader.h"
#include "TrackInterpolate.h"
#include "VAO.h"

#include <GL/glew.h>

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
        Shader* s = res.titleLogoShader;
        quad->bind(s);
        static const char* names[5] = {"image1", "image2", "image3", "image4", "image5"};
        for (int i = 0; i < 5; ++i)
            s->setTexture(names[i], i, res.frames[i]);
        s->setVec2("pos", 0.0f, 0.0f);
        s->setVec2("scale", scale, scale);
        s->setFloat("fade", 2.0f * blend->getValue(t));
        quad->draw(GL_TRIANGLES);
    }
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}
