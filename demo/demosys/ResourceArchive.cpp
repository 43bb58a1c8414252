#include "ResourceArchive.h"

#include <archive.h>
#include <archive_entry.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

namespace {

struct Entry {
    std::string name;
    int64_t size = 0;
    bool directory = false;
};

// The decoder's source: the archive file, read through callbacks that count the bytes.
struct Source {
    FILE* file = nullptr;
    char buffer[1 << 16];
    uint64_t* counter = nullptr;
};

la_ssize_t sourceRead(struct archive*, void* data, const void** out)
{
    Source* s = static_cast<Source*>(data);
    size_t n = std::fread(s->buffer, 1, sizeof s->buffer, s->file);
    *s->counter += n;
    *out = s->buffer;
    if (n == 0 && std::ferror(s->file))
        return -1;
    return static_cast<la_ssize_t>(n);
}

la_int64_t sourceSeek(struct archive*, void* data, la_int64_t offset, int whence)
{
    Source* s = static_cast<Source*>(data);
    if (fseeko(s->file, offset, whence) != 0)
        return ARCHIVE_FATAL;
    return ftello(s->file);
}

la_int64_t sourceSkip(struct archive*, void* data, la_int64_t request)
{
    Source* s = static_cast<Source*>(data);
    if (fseeko(s->file, request, SEEK_CUR) != 0)
        return 0;
    return request;
}

// One pass of the decoder over the archive.
struct Pass {
    struct archive* reader = nullptr;
    Source source;
    int next = 0;  // index of the entry whose header comes next

    ~Pass()
    {
        if (reader)
            archive_read_free(reader);
        if (source.file)
            std::fclose(source.file);
    }
};

struct ArchiveState {
    std::string path;
    std::vector<Entry> entries;
    std::unordered_map<std::string, int> firstIndex;
    std::unique_ptr<Pass> pass;
    // Entries decoded on the way to another one, kept until asked for.
    std::map<int, std::vector<uint8_t>> decoded;
    int currentSize = 0;
    ResourceArchive::Stats stats;
    bool open = false;
};

ArchiveState& state()
{
    static ArchiveState s;
    return s;
}

std::unique_ptr<Pass> startPass(const std::string& path, uint64_t* counter)
{
    auto pass = std::make_unique<Pass>();
    pass->source.file = std::fopen(path.c_str(), "rb");
    if (!pass->source.file)
        return nullptr;
    pass->source.counter = counter;
    pass->reader = archive_read_new();
    archive_read_support_format_7zip(pass->reader);
    archive_read_set_read_callback(pass->reader, sourceRead);
    archive_read_set_seek_callback(pass->reader, sourceSeek);
    archive_read_set_skip_callback(pass->reader, sourceSkip);
    archive_read_set_callback_data(pass->reader, &pass->source);
    if (archive_read_open1(pass->reader) != ARCHIVE_OK)
        return nullptr;
    return pass;
}

// Reads the data of the entry whose header was just read.
bool readData(Pass& pass, const Entry& entry, std::vector<uint8_t>& out)
{
    out.resize(static_cast<size_t>(entry.size));
    size_t filled = 0;
    while (filled < out.size()) {
        la_ssize_t n = archive_read_data(pass.reader, out.data() + filled, out.size() - filled);
        if (n <= 0)
            return false;
        filled += static_cast<size_t>(n);
    }
    return true;
}

// Moves the pass forward to entry index, keeping the entries it decodes on the way,
// and decodes that entry into out.
bool decodeUpTo(ArchiveState& s, int index, std::vector<uint8_t>& out)
{
    Pass& pass = *s.pass;
    while (pass.next <= index) {
        struct archive_entry* header = nullptr;
        if (archive_read_next_header(pass.reader, &header) != ARCHIVE_OK)
            return false;
        int current = pass.next++;
        const Entry& entry = s.entries[current];
        if (entry.directory || entry.size == 0) {
            if (current == index)
                out.clear();
            continue;
        }
        if (current != index && s.decoded.count(current)) {
            // Still held from an earlier pass; not needed twice.
            if (archive_read_data_skip(pass.reader) != ARCHIVE_OK)
                return false;
            continue;
        }
        std::vector<uint8_t> bytes;
        if (!readData(pass, entry, bytes))
            return false;
        s.stats.bytesDecoded += bytes.size();
        s.stats.decodeCount[current]++;
        if (current == index)
            out = std::move(bytes);
        else
            s.decoded[current] = std::move(bytes);
    }
    return true;
}

} // namespace

bool ResourceArchive::open(const char* path)
{
    close();
    ArchiveState& s = state();
    s = ArchiveState();
    s.path = path;

    // Read the entry list without decoding any entry: the first pass only skips.
    std::unique_ptr<Pass> listing = startPass(s.path, &s.stats.archiveBytesRead);
    if (!listing)
        return false;
    struct archive_entry* header = nullptr;
    int r;
    while ((r = archive_read_next_header(listing->reader, &header)) == ARCHIVE_OK) {
        Entry e;
        const char* name = archive_entry_pathname(header);
        e.name = name ? name : "";
        e.size = archive_entry_size_is_set(header) ? archive_entry_size(header) : 0;
        e.directory = archive_entry_filetype(header) == AE_IFDIR;
        // The reader marks directories with a trailing "/" that the archive does not store.
        if (e.directory && e.name.size() > 1 && e.name.back() == '/')
            e.name.pop_back();
        if (!s.firstIndex.count(e.name))
            s.firstIndex[e.name] = static_cast<int>(s.entries.size());
        s.entries.push_back(e);
        if (archive_read_data_skip(listing->reader) != ARCHIVE_OK)
            return false;
    }
    if (r != ARCHIVE_EOF)
        return false;
    // A pass that has only skipped has decoded nothing, so it serves as the first
    // decoding pass too.
    s.pass = startPass(s.path, &s.stats.archiveBytesRead);
    if (!s.pass)
        return false;
    s.stats.decodeCount.assign(s.entries.size(), 0);
    s.open = true;
    return true;
}

int ResourceArchive::find(const char* name)
{
    ArchiveState& s = state();
    if (!s.open || !name)
        return -1;
    auto it = s.firstIndex.find(name);
    if (it == s.firstIndex.end())
        return -1;
    int64_t size = s.entries[it->second].size;
    // Entry sizes travel as 32-bit ints; a larger entry cannot be handed out.
    if (size < 0 || size > INT_MAX)
        return -1;
    s.currentSize = static_cast<int>(size);
    return it->second;
}

int ResourceArchive::entrySize(const char* name)
{
    if (find(name) < 0)
        return -1;
    return state().currentSize;
}

int ResourceArchive::extract(const char* name, uint8_t* buffer)
{
    ArchiveState& s = state();
    int index = find(name);
    if (index < 0)
        return 1;
    const Entry& entry = s.entries[index];
    if (entry.directory)
        return 1;

    std::vector<uint8_t> bytes;
    auto cached = s.decoded.find(index);
    if (cached != s.decoded.end()) {
        bytes = std::move(cached->second);
        s.decoded.erase(cached);
    } else {
        if (!s.pass || s.pass->next > index) {
            // Asked for again after it was handed out: start a fresh pass.
            s.pass = startPass(s.path, &s.stats.archiveBytesRead);
            s.stats.passes++;
            if (!s.pass)
                return 1;
        }
        if (!decodeUpTo(s, index, bytes)) {
            s.pass.reset();
            return 1;
        }
    }
    if (bytes.size() != static_cast<size_t>(s.currentSize))
        return 1;
    if (!bytes.empty())
        std::memcpy(buffer, bytes.data(), bytes.size());
    return 0;
}

void ResourceArchive::close()
{
    ArchiveState& s = state();
    s.pass.reset();
    s.decoded.clear();
    s.open = false;
}

bool ResourceArchive::isOpen() { return state().open; }
const std::string& ResourceArchive::path() { return state().path; }
int ResourceArchive::entryCount() { return state().open ? static_cast<int>(state().entries.size()) : 0; }
const std::string& ResourceArchive::entryName(int index) { return state().entries.at(index).name; }
int64_t ResourceArchive::entrySizeAt(int index) { return state().entries.at(index).size; }
bool ResourceArchive::entryIsDirectory(int index) { return state().entries.at(index).directory; }
const ResourceArchive::Stats& ResourceArchive::stats() { return state().stats; }
