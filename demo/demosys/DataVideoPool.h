#pragma once

#include "DataPool.h"
#include "Video.h"

// The loaded videos by alias.
class DataVideoPool : public DataPool {
public:
    ~DataVideoPool() override;
    bool exists(const std::string& name) const { return map.exists(name); }
    Video* get(const std::string& name) const { return map.find(name); }
    void add(const std::string& name, Video* video) { map.put(name, video); }
    int size() const override { return static_cast<int>(map.all().size()); }
    // Videos describe nothing: an empty string.
    std::string toString() const override { return std::string(); }

private:
    NamedMap<Video> map;
};
