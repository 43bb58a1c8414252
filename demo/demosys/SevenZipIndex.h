#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

// The entry list of a 7z archive, read from the archive's header alone: no entry is
// decoded, so listing costs the header's bytes whatever the archive holds (solid blocks,
// symbolic links, methods the decoder lacks). Every count and size in the header is
// checked against the bytes that are there. An archive whose header this reader does
// not understand (an encrypted header, say) fails with the reason; the
// archive layer then lists it through the decoding library instead.
class SevenZipIndex {
public:
    struct Item {
        std::string name; // as stored, in UTF-8
        uint64_t size = 0;
        bool directory = false;
        // A stored symbolic link: its data is the path it names.
        bool link = false;
    };

    Status read(const std::string& path);

    const std::vector<Item>& items() const { return list; }
    // Bytes of the archive file that the listing read.
    uint64_t bytesRead() const { return readCount; }

private:
    Status fail(const std::string& why);

    std::vector<Item> list;
    uint64_t readCount = 0;
};
