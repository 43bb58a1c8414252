#include "ResourceFile.h"

#include "Log.h"
#include "ResourceArchive.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

using ORVDemosys::Log;

namespace {

bool isWriteMode(int mode) { return mode == 1 || mode == 2 || mode == 3; }

std::ios::openmode diskOpenMode(int mode)
{
    switch (mode) {
    case 1: return std::ios::out | std::ios::app | std::ios::binary;
    case 2:
    case 3: return std::ios::out | std::ios::trunc | std::ios::binary;
    default: return std::ios::in | std::ios::binary;
    }
}

} // namespace

ResourceFile::ResourceFile(const std::string& name) : name(name) {}

ResourceFile::ResourceFile(const std::string& name, std::vector<uint8_t> bytes)
    : name(name), data(std::move(bytes)), size(data.size()), loaded(true)
{
}

ResourceFile::ResourceFile(const std::string& path, int mode) : name(path), mode(mode)
{
    // Only regular files have a size to read: a directory opens as a stream on some
    // systems and reports a nonsense length.
    std::error_code ec;
    if (!isWriteMode(mode) && !std::filesystem::is_regular_file(path, ec))
        return;
    stream = std::make_unique<std::fstream>(path, diskOpenMode(mode));
    if (!stream->is_open()) {
        stream.reset();
        return;
    }
    loaded = true;
    if (isWriteMode(mode))
        return;

    stream->seekg(0, std::ios::end);
    std::streamoff end = stream->tellg();
    stream->seekg(0, std::ios::beg);
    if (end < 0) {
        stream.reset();
        loaded = false;
        return;
    }
    data.resize(static_cast<size_t>(end));
    if (!data.empty())
        stream->read(reinterpret_cast<char*>(data.data()), end);
    size = static_cast<uint64_t>(stream->gcount());
    if (size != data.size()) {
        data.resize(size);
        loaded = false;
    }
}

ResourceFile::~ResourceFile()
{
    if (stream)
        stream->close();
}

Status ResourceFile::readFromArchive()
{
    std::vector<uint8_t> buffer;
    Status read = ResourceArchive::read(name.c_str(), buffer);
    loaded = read.ok();
    if (!loaded)
        return read;
    data.insert(data.end(), buffer.begin(), buffer.end());
    size = data.size();
    return read;
}

bool ResourceFile::save()
{
    if (!stream)
        return false;
    size = data.size();
    if (!data.empty())
        stream->write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    stream->close();
    bool ok = !stream->fail();
    stream.reset();
    return ok;
}

void ResourceFile::appendByte(uint8_t b) { data.push_back(b); }

void ResourceFile::appendString(const std::string& s) { data.insert(data.end(), s.begin(), s.end()); }

void ResourceFile::appendInt(int32_t i)
{
    uint32_t u = static_cast<uint32_t>(i);
    for (int k = 0; k < 4; ++k)
        data.push_back(static_cast<uint8_t>(u >> (8 * k)));
}

void ResourceFile::appendFloat(float f)
{
    int32_t i;
    std::memcpy(&i, &f, sizeof i);
    appendInt(i);
}

bool ResourceFile::checkRead(uint64_t count)
{
    if (remaining() < count) {
        overrun = true;
        return false;
    }
    return true;
}

int32_t ResourceFile::readInt()
{
    if (!checkRead(4))
        return 0;
    const uint8_t* p = data.data() + position;
    uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    position += 4;
    return static_cast<int32_t>(u);
}

float ResourceFile::readFloat()
{
    int32_t i = readInt();
    float f;
    std::memcpy(&f, &i, sizeof f);
    return f;
}

uint8_t ResourceFile::readByte()
{
    if (!checkRead(1))
        return 0;
    return data[position++];
}

std::string ResourceFile::readString()
{
    if (!checkRead(1))
        return std::string();
    const uint8_t* begin = data.data() + position;
    const void* zero = std::memchr(begin, 0, remaining());
    if (!zero) {
        overrun = true;
        return std::string();
    }
    size_t length = static_cast<const uint8_t*>(zero) - begin;
    position += length + 1;
    if (length == 0)
        return "Object";
    return std::string(reinterpret_cast<const char*>(begin), length);
}

std::string ResourceFile::toString() const { return std::string(data.begin(), data.end()); }
