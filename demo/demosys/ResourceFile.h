#pragma once

#include "Status.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// A whole file held as bytes: read from disk or from the resource archive, or built up
// in memory and saved to disk. Binary formats (object files, track files) are read from
// it with the little-endian readers below.
//
// Every read is bounds-checked. A read that would pass the end of the data reads nothing,
// leaves the cursor where it was, returns a zero value and sets the sticky overrun flag;
// format readers test readFailed() (or fits() before trusting a count) and report
// the file as corrupt. No byte outside the buffer is ever returned.
class ResourceFile {
public:
    // Open modes of a disk file.
    enum Mode { Read = 0, Append = 1, Truncate = 2, TruncateAlt = 3 };

    // An empty record for the archive entry called name; readFromArchive() fills it.
    explicit ResourceFile(const std::string& name);
    // Opens the disk file at path. Read mode loads the whole file; write modes start
    // empty and keep the stream open for save(). Mode values other than 1, 2, 3 read.
    ResourceFile(const std::string& path, int mode);
    // An in-memory record over bytes that came from elsewhere (tests, tools).
    ResourceFile(const std::string& name, std::vector<uint8_t> bytes);
    ~ResourceFile();

    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    // Fills data from the archive entry named name and stores whether it worked in
    // isLoaded(); a failure names the entry and the archive's reason.
    Status readFromArchive();
    // Writes all of data to the open stream and closes it; false without a stream or
    // when the write or close failed.
    bool save();

    const std::string& getName() const { return name; }
    bool isLoaded() const { return loaded; }
    int getMode() const { return mode; }
    uint64_t getSize() const { return size; }
    size_t byteSize() const { return data.size(); }
    const std::vector<uint8_t>& bytes() const { return data; }

    uint64_t getPosition() const { return position; }
    void setPosition(uint64_t n) { position = n; }
    // Bytes between the cursor and the end (0 when the cursor is past the end).
    uint64_t remaining() const { return position < data.size() ? data.size() - position : 0; }
    // True when count records of at least recordBytes bytes each fit in the bytes after
    // the cursor (in available bytes). Format readers ask before trusting a count read
    // from a file, so a damaged count is refused before anything is allocated for it.
    bool fits(uint64_t count, uint64_t recordBytes) const { return fits(count, recordBytes, remaining()); }
    static bool fits(uint64_t count, uint64_t recordBytes, uint64_t available)
    {
        return recordBytes == 0 || count <= available / recordBytes;
    }
    // True once any read ran past the end of the data.
    bool readFailed() const { return overrun; }
    void clearReadFailed() { overrun = false; }

    void appendByte(uint8_t b);
    void appendString(const std::string& s);
    void appendInt(int32_t i);
    void appendFloat(float f);

    // Little-endian 32-bit integer at the cursor; cursor + 4.
    int32_t readInt();
    // Little-endian IEEE 754 single at the cursor; cursor + 4.
    float readFloat();
    // Bytes from the cursor up to the next zero byte; the cursor moves past the zero.
    // An empty string reads as "Object". Without a zero byte before the end the read
    // fails and returns "".
    std::string readString();
    // One byte at the cursor.
    uint8_t readByte();

    std::string toString() const;
    std::vector<uint8_t> copyBytes() const { return data; }

private:
    bool checkRead(uint64_t count);

    std::string name;
    std::vector<uint8_t> data;
    std::unique_ptr<std::fstream> stream;
    int mode = Read;
    uint64_t size = 0;
    uint64_t position = 0;
    bool loaded = false;
    bool overrun = false;
};
