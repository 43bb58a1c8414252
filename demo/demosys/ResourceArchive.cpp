#include "ResourceArchive.h"

#include "SevenZipIndex.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <map>
#include <memory>
#include <unordered_map>

namespace {

struct Entry {
    std::string name;
    int64_t size = 0;
    bool directory = false;
    bool link = false;
    // A link whose stored path has been read (in the decoding pass that passed it) and
    // looked up; target is then the entry it names, or -1.
    bool resolved = false;
    int target = -1;
    // Why the entry cannot be handed out: a refused link, or the library's message from
    // a decode that failed. Empty while it can.
    std::string problem;
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
    int next = 0; // index of the entry whose header comes next
    // Set after a failed entry: until the entry asked for, every entry is passed over
    // without decoding, which costs nothing while the decoder has produced no data.
    bool skipOnly = false;

    ~Pass()
    {
        if (reader)
            archive_read_free(reader);
        if (source.file)
            std::fclose(source.file);
    }
};

// The library converts stored names into the character set of the current locale; in a
// program that never sets one that is plain ASCII, and a name with any other character
// is lost with a warning. While the library is called, this thread's character type is
// UTF-8, so names come out as their UTF-8 bytes. Only the character type changes: the
// other categories (numbers among them) stay those of the process.
class Utf8Names {
public:
    Utf8Names()
    {
        locale_t base = duplocale(LC_GLOBAL_LOCALE);
        if (!base)
            return;
        utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
        if (utf8)
            previous = uselocale(utf8);
        else
            freelocale(base);
    }
    ~Utf8Names()
    {
        if (utf8) {
            uselocale(previous);
            freelocale(utf8);
        }
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    locale_t utf8 = locale_t(0);
    locale_t previous = locale_t(0);
};

struct ArchiveState {
    std::string path;
    std::vector<Entry> entries;
    std::unordered_map<std::string, int> firstIndex;
    std::unique_ptr<Pass> pass;
    // Entries decoded on the way to another one, kept until asked for.
    std::map<int, std::vector<uint8_t>> decoded;
    int currentSize = 0;
    std::string error;
    ResourceArchive::Stats stats;
    bool open = false;
};

ArchiveState& state()
{
    static ArchiveState s;
    return s;
}

std::string libraryError(struct archive* reader)
{
    const char* text = archive_error_string(reader);
    return text && *text ? text : "unknown error of the archive library";
}

std::string headerName(struct archive_entry* header)
{
    const char* name = archive_entry_pathname_utf8(header);
    if (!name)
        name = archive_entry_pathname(header);
    std::string result = name ? name : "";
    // The library marks directories with a trailing "/" that the archive does not store.
    if (archive_entry_filetype(header) == AE_IFDIR && result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::unique_ptr<Pass> startPass(ArchiveState& s)
{
    auto pass = std::make_unique<Pass>();
    pass->source.file = std::fopen(s.path.c_str(), "rb");
    if (!pass->source.file) {
        s.error = "'" + s.path + "' cannot be opened";
        return nullptr;
    }
    pass->source.counter = &s.stats.archiveBytesRead;
    pass->reader = archive_read_new();
    archive_read_support_format_7zip(pass->reader);
    archive_read_set_read_callback(pass->reader, sourceRead);
    archive_read_set_seek_callback(pass->reader, sourceSeek);
    archive_read_set_skip_callback(pass->reader, sourceSkip);
    archive_read_set_callback_data(pass->reader, &pass->source);
    if (archive_read_open1(pass->reader) != ARCHIVE_OK) {
        s.error = "'" + s.path + "': " + libraryError(pass->reader);
        return nullptr;
    }
    return pass;
}

// Looks a link's stored path up among the entries, relative to the link's directory.
void resolveLink(ArchiveState& s, int index, const std::string& stored)
{
    Entry& e = s.entries[index];
    e.resolved = true;
    const std::string shown = "a link to '" + stored + "'";
    if (stored.empty() || stored[0] == '/') {
        e.problem = shown + ", which lies outside the archive";
        return;
    }
    std::vector<std::string> parts;
    size_t slash = e.name.rfind('/');
    std::string path = (slash == std::string::npos ? std::string() : e.name.substr(0, slash + 1)) + stored;
    for (size_t begin = 0; begin <= path.size();) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(begin, end - begin);
        begin = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part != "..") {
            parts.push_back(part);
        } else if (parts.empty()) {
            e.problem = shown + ", which lies outside the archive";
            return;
        } else {
            parts.pop_back();
        }
    }
    std::string joined;
    for (const std::string& part : parts)
        joined += (joined.empty() ? "" : "/") + part;
    auto it = s.firstIndex.find(joined);
    if (it == s.firstIndex.end())
        e.problem = shown + ", which the archive does not hold";
    else if (s.entries[it->second].directory)
        e.problem = shown + ", a directory";
    else
        e.target = it->second;
}

// Reads the next header of the pass, which must be the entry the list expects there.
bool nextHeader(ArchiveState& s, Pass& pass, std::string& why)
{
    struct archive_entry* header = nullptr;
    const int r = archive_read_next_header(pass.reader, &header);
    if (r == ARCHIVE_EOF || pass.next >= static_cast<int>(s.entries.size())) {
        why = "the archive ends before this entry";
        return false;
    }
    // A warning (a name that cannot be converted, say) concerns that entry alone.
    if (r < ARCHIVE_WARN) {
        why = libraryError(pass.reader);
        return false;
    }
    Entry& e = s.entries[pass.next];
    // A name the library could not convert comes back empty; the place still matches.
    const std::string stored = headerName(header);
    if (!e.name.empty() && !stored.empty() && stored != e.name) {
        why = "the archive's headers do not match its entry list";
        return false;
    }
    if (e.link && !e.resolved) {
        const char* stored = archive_entry_symlink_utf8(header);
        if (!stored)
            stored = archive_entry_symlink(header);
        resolveLink(s, pass.next, stored ? stored : "");
    }
    pass.next++;
    return true;
}

// Reads the data of the entry whose header was just read.
bool readData(Pass& pass, const Entry& entry, std::vector<uint8_t>& out, std::string& why)
{
    out.resize(static_cast<size_t>(entry.size));
    size_t filled = 0;
    while (filled < out.size()) {
        la_ssize_t n = archive_read_data(pass.reader, out.data() + filled, out.size() - filled);
        if (n <= 0) {
            why = n < 0 ? libraryError(pass.reader) : "the entry's data ends early";
            return false;
        }
        filled += static_cast<size_t>(n);
    }
    return true;
}

void startFreshPass(ArchiveState& s, bool skipOnly)
{
    s.pass = startPass(s);
    s.stats.passes++;
    if (s.pass)
        s.pass->skipOnly = skipOnly;
}

// Moves the pass forward to entry index, keeping the entries it decodes on the way, and
// decodes that entry into out (a link or an empty entry: only its header is read).
//
// Once the decoder has produced data, the library fails an entry it cannot decode even
// when it is only passed over, and every entry after it in that pass. Such an entry is
// marked and the walk starts again in a pass that decodes nothing before the entry
// asked for, so the marked entry costs nothing there.
bool decodeUpTo(ArchiveState& s, int index, std::vector<uint8_t>& out, std::string& why)
{
    if (!s.pass || s.pass->next > index) {
        // Asked for again after it was handed out: start a fresh pass.
        startFreshPass(s, false);
        if (!s.pass) {
            why = s.error;
            return false;
        }
    }
    for (;;) {
        Pass& pass = *s.pass;
        bool restart = false;
        int failed = -1;
        while (!restart && pass.next <= index) {
            const int current = pass.next;
            if (!nextHeader(s, pass, why)) {
                s.pass.reset();
                return false;
            }
            const Entry& entry = s.entries[current];
            const bool wanted = current == index;
            if (wanted && (entry.link || entry.size == 0)) {
                out.clear();
                return true;
            }
            if (entry.directory || entry.link || entry.size == 0 || !entry.problem.empty() ||
                (!wanted && (pass.skipOnly || s.decoded.count(current)))) {
                if (archive_read_data_skip(pass.reader) != ARCHIVE_OK) {
                    if (s.entries[current].problem.empty())
                        s.entries[current].problem = libraryError(pass.reader);
                    restart = true;
                    failed = current;
                }
                continue;
            }
            std::vector<uint8_t> bytes;
            if (!readData(pass, entry, bytes, why)) {
                s.entries[current].problem = why;
                if (wanted) {
                    s.pass.reset();
                    return false;
                }
                restart = true;
                failed = current;
                continue;
            }
            s.stats.bytesDecoded += bytes.size();
            s.stats.decodeCount[current]++;
            if (wanted) {
                pass.skipOnly = false;
                out = std::move(bytes);
                return true;
            }
            s.decoded[current] = std::move(bytes);
        }
        // A pass that decoded nothing before the entry and still failed cannot reach it.
        if (!restart || pass.skipOnly) {
            why = failed < 0 ? "cannot be reached"
                             : "cannot be reached past '" + s.entries[failed].name + "': " + s.entries[failed].problem;
            s.pass.reset();
            return false;
        }
        startFreshPass(s, true);
        if (!s.pass) {
            why = s.error;
            return false;
        }
    }
}

// Follows a link (and links it names) to the entry it stands for; -1 with why when the
// link is refused.
int finalTarget(ArchiveState& s, int index, std::string& why)
{
    for (int hops = 0; hops < 16; ++hops) {
        Entry& e = s.entries[index];
        if (!e.link)
            return index;
        if (!e.resolved) {
            // The stored path is the link's data: the decoding pass reads it on the way.
            std::vector<uint8_t> none;
            if (!decodeUpTo(s, index, none, why))
                return -1;
        }
        if (!e.problem.empty()) {
            why = e.problem;
            return -1;
        }
        index = e.target;
    }
    why = "one of a chain of links that does not end";
    return -1;
}

std::string entryError(const ArchiveState& s, const std::string& name, const std::string& why)
{
    return "Cannot read '" + name + "' from '" + s.path + "': " + why;
}

// The entry list through the library itself, for archives whose header SevenZipIndex
// does not read. Links are resolved here, since the library reads their paths with
// their headers.
bool listWithLibrary(ArchiveState& s)
{
    std::unique_ptr<Pass> listing = startPass(s);
    if (!listing)
        return false;
    std::vector<std::string> linkPaths;
    for (;;) {
        struct archive_entry* header = nullptr;
        const int r = archive_read_next_header(listing->reader, &header);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN) {
            s.error = "'" + s.path + "': " + libraryError(listing->reader);
            return false;
        }
        Entry e;
        e.name = headerName(header);
        e.size = archive_entry_size_is_set(header) ? archive_entry_size(header) : 0;
        e.directory = archive_entry_filetype(header) == AE_IFDIR;
        e.link = archive_entry_filetype(header) == AE_IFLNK;
        if (e.name.empty())
            e.problem = libraryError(listing->reader);
        const char* stored = e.link ? archive_entry_symlink_utf8(header) : nullptr;
        if (e.link && !stored)
            stored = archive_entry_symlink(header);
        linkPaths.push_back(stored ? stored : "");
        s.entries.push_back(e);
        if (archive_read_data_skip(listing->reader) != ARCHIVE_OK) {
            s.error = "'" + s.path + "': " + libraryError(listing->reader);
            return false;
        }
    }
    for (size_t i = 0; i < s.entries.size(); ++i)
        if (!s.entries[i].name.empty() && !s.firstIndex.count(s.entries[i].name))
            s.firstIndex[s.entries[i].name] = static_cast<int>(i);
    for (size_t i = 0; i < s.entries.size(); ++i)
        if (s.entries[i].link)
            resolveLink(s, static_cast<int>(i), linkPaths[i]);
    return true;
}

} // namespace

Status ResourceArchive::open(const char* path)
{
    close();
    ArchiveState& s = state();
    s = ArchiveState();
    s.path = path;
    Utf8Names names;

    // The entry list comes from the header alone: nothing is decoded to list it.
    SevenZipIndex index;
    if (index.read(s.path)) {
        s.stats.archiveBytesRead += index.bytesRead();
        for (const SevenZipIndex::Item& item : index.items()) {
            Entry e;
            e.name = item.name;
            e.size = static_cast<int64_t>(item.size);
            e.directory = item.directory;
            e.link = item.link;
            if (!s.firstIndex.count(e.name))
                s.firstIndex[e.name] = static_cast<int>(s.entries.size());
            s.entries.push_back(e);
        }
    } else if (!listWithLibrary(s)) {
        return Status::failure(s.error);
    }
    // The first decoding pass; a pass that has decoded nothing costs only the header.
    s.pass = startPass(s);
    if (!s.pass)
        return Status::failure(s.error);
    s.stats.decodeCount.assign(s.entries.size(), 0);
    s.error.clear();
    s.open = true;
    return Status::success();
}

int ResourceArchive::find(const char* name)
{
    ArchiveState& s = state();
    s.error.clear();
    if (!s.open || !name)
        return -1;
    auto it = s.firstIndex.find(name);
    if (it == s.firstIndex.end())
        return -1;
    int source = it->second;
    if (s.entries[source].link) {
        Utf8Names names;
        std::string why;
        source = finalTarget(s, source, why);
        if (source < 0) {
            s.error = entryError(s, name, why);
            return -1;
        }
    }
    int64_t size = s.entries[source].size;
    // Entry sizes travel as 32-bit ints; a larger entry cannot be handed out.
    if (size < 0 || size > INT_MAX) {
        s.error = entryError(s, name, "larger than 2 GiB");
        return -1;
    }
    s.currentSize = static_cast<int>(size);
    return it->second;
}

int ResourceArchive::entrySize(const char* name)
{
    if (find(name) < 0)
        return -1;
    return state().currentSize;
}

Status ResourceArchive::extract(const char* name, uint8_t* buffer)
{
    ArchiveState& s = state();
    int index = find(name);
    if (index < 0)
        return Status::failure(s.error.empty() ? entryError(s, name ? name : "", "no such entry") : s.error);
    Utf8Names names;
    std::string why;
    if (s.entries[index].link)
        index = finalTarget(s, index, why);
    const Entry& entry = s.entries[index];
    if (entry.directory) {
        return Status::failure(entryError(s, name, "a directory"));
    }
    if (!entry.problem.empty()) {
        return Status::failure(entryError(s, name, entry.problem));
    }
    // An empty entry needs no decoder at all.
    if (entry.size == 0)
        return Status::success();

    std::vector<uint8_t> bytes;
    auto cached = s.decoded.find(index);
    if (cached != s.decoded.end()) {
        bytes = std::move(cached->second);
        s.decoded.erase(cached);
    } else if (!decodeUpTo(s, index, bytes, why)) {
        return Status::failure(entryError(s, name, why));
    }
    if (bytes.size() != static_cast<size_t>(s.currentSize)) {
        return Status::failure(entryError(s, name, "the decoder gave " + std::to_string(bytes.size()) + " bytes, not " +
                                          std::to_string(s.currentSize)));
    }
    if (!bytes.empty())
        std::memcpy(buffer, bytes.data(), bytes.size());
    return Status::success();
}

Status ResourceArchive::read(const char* name, std::vector<uint8_t>& bytes)
{
    const int size = entrySize(name);
    bytes.assign(static_cast<size_t>(std::max(size, 0)), 0);
    Status extracted = extract(name, bytes.data());
    if (!extracted)
        bytes.clear();
    return extracted;
}

bool ResourceArchive::contains(const char* name)
{
    const ArchiveState& s = state();
    return s.open && name && s.firstIndex.count(name) != 0;
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
bool ResourceArchive::entryIsLink(int index) { return state().entries.at(index).link; }
const ResourceArchive::Stats& ResourceArchive::stats() { return state().stats; }
