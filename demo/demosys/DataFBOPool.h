#pragma once

#include "NamedPool.h"

#include <vector>

class FBO;

// Framebuffers by name, in name order and in the order they were added. Once per frame
// it clears the framebuffers that were drawn into.
class DataFBOPool : public NamedPool<FBO> {
public:
    DataFBOPool() : NamedPool(Counting::Entries) {}
    ~DataFBOPool() override;
    // The framebuffer of that name; a missing name is reported on standard output.
    FBO* get(const std::string& name) const;
    void add(const std::string& name, FBO* fbo);
    // Clears (colour, depth, stencil) every framebuffer drawn into since the last call, an
    // attachment shared by several once; one that clears on bind (FBO::setClearOnBind)
    // is owed the clear instead. Then binds the screen with its viewport.
    void clearUsed();
    std::string toString() const override;
    const std::vector<FBO*>& inInsertionOrder() const { return added; }

private:
    std::vector<FBO*> added;
    std::vector<std::string> addedNames;
};
