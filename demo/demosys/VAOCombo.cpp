#include "VAOCombo.h"

#include "RenderState.h"

VAOCombo::VAOCombo(const std::string& key) : key(key)
{
    glGenVertexArrays(1, &glName);
}

VAOCombo::~VAOCombo()
{
    if (glName == 0)
        return;
    glDeleteVertexArrays(1, &glName);
    // Deleting the bound vertex array leaves 0 bound; a stale cache entry would make a
    // new array that reuses the name skip its bind.
    RenderState::releaseVertexArray(glName);
}

void VAOCombo::bind()
{
    RenderState::bindVertexArray(glName, key);
}

void VAOCombo::add(MappedArray* array)
{
    arrays.push_back(array);
    byName[array->name] = array;
}

void VAOCombo::addNamed(MappedArray* array) { byName[array->name] = array; }

MappedArray* VAOCombo::find(const std::string& name) const
{
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
}
