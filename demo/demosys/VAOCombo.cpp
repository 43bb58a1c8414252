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
    if (RenderState::currentVertexArray == glName) {
        RenderState::currentVertexArray = 0;
        RenderState::currentVertexArrayKey.clear();
    }
}

void VAOCombo::bind()
{
    if (RenderState::currentVertexArray == glName && RenderState::currentVertexArrayKey == key)
        return;
    glBindVertexArray(glName);
    ++RenderState::vertexArraySwitches;
    RenderState::currentVertexArray = glName;
    RenderState::currentVertexArrayKey = key;
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
