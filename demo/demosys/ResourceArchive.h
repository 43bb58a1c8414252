#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

// Read access to the one resource archive of the process (a 7z file).
//
// The archive is read front to back through a single decoder pass: an entry that is
// asked for ahead of the decoder's position is decoded in turn with every entry before
// it, and those are kept until they are asked for. Each block of the archive is thus
// decoded at most once while a production loads every entry once, whatever order it
// loads them in, for solid and non-solid archives alike. Handing an entry out releases
// its bytes; an entry asked for a second time is decoded again from a fresh pass.
//
// Entry names are the stored names in UTF-8, whatever the process locale. An entry the
// library cannot decode (encrypted, or a method it lacks) fails alone: it is remembered
// and passed over, and the entries after it still load. A symbolic link stored in the
// archive stands for the entry it names inside the archive; a link that names nothing
// there (or leaves the archive) is refused. Every refusal and failure returns its reason,
// naming the archive or entry, with the archive library's own message where it has one.
class ResourceArchive {
public:
    // Counters for measuring how the archive is read.
    struct Stats {
        uint64_t archiveBytesRead = 0;  // bytes read from the archive file in all
        uint64_t bytesDecoded = 0;      // entry bytes produced by the decoder in all
        int passes = 0;                 // decoder passes started after the first
        std::vector<int> decodeCount;   // per entry: how often it was decoded
    };

    // Opens the archive file and reads its entry list; fails when the file cannot be
    // opened for reading or is not a readable archive.
    static Status open(const char* path);
    // Index of the first entry whose stored name equals name byte for byte, or -1.
    // On success the entry's size becomes the current entry size.
    static int find(const char* name);
    // Size in bytes of the entry named name (of the entry a link names), or -1 when
    // there is none or it cannot be handed out.
    static int entrySize(const char* name);
    // Copies the current entry size bytes of the entry named name into buffer, which
    // holds at least entrySize(name) bytes.
    static Status extract(const char* name, uint8_t* buffer);
    // entrySize() and extract() in one: the entry's bytes, or empty on failure.
    static Status read(const char* name, std::vector<uint8_t>& bytes);
    // Whether an entry is stored under name, whether or not it can be handed out (a
    // refused link, say): tells a missing entry from one that failed.
    static bool contains(const char* name);
    // Releases the archive; later look-ups fail.
    static void close();

    static bool isOpen();
    static const std::string& path();
    // The entry list, in archive order (directories included).
    static int entryCount();
    static const std::string& entryName(int index);
    static int64_t entrySizeAt(int index);
    static bool entryIsDirectory(int index);
    // A stored symbolic link; find() and extract() give the entry it names.
    static bool entryIsLink(int index);
    static const Stats& stats();
};
