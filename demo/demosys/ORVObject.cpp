#include "ORVObject.h"

#include <algorithm>

ORVObject::ORVObject() = default;

ORVObject::ORVObject(const std::string& name) : name(name) {}

bool ORVObject::removeChild(ORVObject* child)
{
    auto it = std::find(children.begin(), children.end(), child);
    if (it == children.end())
        return false;
    children.erase(it);
    return true;
}

void ORVObject::setVisible(bool value)
{
    visible = value;
    for (ORVObject* child : children)
        child->setVisible(value);
}

void ORVObject::setMatrix(const glm::mat4& m)
{
    localMatrix = m;
    worldMatrix = m;
}

ORVObject* ORVObject::clone(const std::string& cloneName) const
{
    // The children stay with the original: two parents listing the same child would
    // draw it twice while it names only one of them as its parent.
    ORVObject* copy = new ORVObject(cloneName);
    copy->mesh = mesh;
    copy->material = material;
    copy->shaderInstance = shaderInstance;
    copy->parent = parent;
    copy->animation = animation;
    copy->visible = visible;
    copy->userData = userData;
    return copy;
}
