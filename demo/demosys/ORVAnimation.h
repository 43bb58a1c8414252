#pragma once

#include <string>

// A named animation of a scene's object or camera. The scene owns it and links it to
// the object or camera of the same name; nothing in the engine plays it yet.
class ORVAnimation {
public:
    explicit ORVAnimation(const std::string& name);

    const std::string& getName() const { return name; }

private:
    std::string name;
};
