#pragma once

#include "NamedPool.h"
#include "Video.h"

// The loaded videos by alias.
class DataVideoPool : public NamedPool<Video> {
public:
    DataVideoPool() : NamedPool(Counting::Entries) {}
    ~DataVideoPool() override;
    // Videos describe nothing: an empty string.
    std::string toString() const override { return std::string(); }
};
