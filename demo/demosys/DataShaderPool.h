#pragma once

#include "DataPool.h"

class Shader;

class DataShaderPool : public DataPool {
public:
    ~DataShaderPool() override;
    bool exists(const std::string& name) const { return map.exists(name); }
    Shader* get(const std::string& name) const { return map.find(name); }
    void add(const std::string& name, Shader* shader) { map.put(name, shader); }
    int size() const override { return static_cast<int>(map.all().size()); }
    // Also prints "Shaders in pool : N".
    std::string toString() const override;
    const std::map<std::string, Shader*>& all() const { return map.all(); }

private:
    NamedMap<Shader> map;
};
