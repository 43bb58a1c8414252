#include "SevenZipIndex.h"

#include "ResourceFile.h"

#include <lzma.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Property ids of the 7z header.
enum : uint64_t {
    End = 0x00,
    Header = 0x01,
    ArchiveProperties = 0x02,
    AdditionalStreamsInfo = 0x03,
    MainStreamsInfo = 0x04,
    FilesInfo = 0x05,
    PackInfo = 0x06,
    UnpackInfo = 0x07,
    SubStreamsInfo = 0x08,
    Size = 0x09,
    Crc = 0x0A,
    Folder = 0x0B,
    CodersUnpackSize = 0x0C,
    NumUnpackStream = 0x0D,
    EmptyStream = 0x0E,
    EmptyFile = 0x0F,
    Name = 0x11,
    WinAttributes = 0x15,
    EncodedHeader = 0x17,
};

// A header larger than this is not a resource archive's.
const uint64_t maxHeaderBytes = 64u << 20;

// Bounded reads over one header buffer; any read past its end clears ok and reads 0.
class Bytes {
public:
    Bytes(const uint8_t* p, uint64_t n) : p(p), end(p + n) {}

    bool ok = true;

    uint64_t left() const { return static_cast<uint64_t>(end - p); }
    const uint8_t* here() const { return p; }
    // True when count records of at least recordBytes each can still follow.
    bool holds(uint64_t count, uint64_t recordBytes)
    {
        if (!ResourceFile::fits(count, recordBytes, left()))
            ok = false;
        return ok;
    }
    uint8_t byte()
    {
        if (p >= end) {
            ok = false;
            return 0;
        }
        return *p++;
    }
    void skip(uint64_t n)
    {
        if (n > left()) {
            ok = false;
            n = left();
        }
        p += n;
    }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(byte()) << (8 * i);
        return v;
    }
    // The header's variable-length number: the leading one bits of the first byte say
    // how many little-endian bytes follow; its remaining bits are the top of the value.
    uint64_t number()
    {
        const uint8_t first = byte();
        uint8_t mask = 0x80;
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i, mask >>= 1) {
            if ((first & mask) == 0)
                return value | (uint64_t(first & (mask - 1)) << (8 * i));
            value |= uint64_t(byte()) << (8 * i);
        }
        return value;
    }
    std::vector<bool> bits(uint64_t n)
    {
        std::vector<bool> v;
        if (!holds(n / 8 + (n % 8 != 0 ? 1 : 0), 1))
            return v;
        v.resize(static_cast<size_t>(n));
        uint8_t b = 0, mask = 0;
        for (uint64_t i = 0; i < n; ++i, mask >>= 1) {
            if (mask == 0) {
                b = byte();
                mask = 0x80;
            }
            v[i] = (b & mask) != 0;
        }
        return v;
    }
    std::vector<bool> definedBits(uint64_t n)
    {
        if (byte() != 0)
            return std::vector<bool>(static_cast<size_t>(n), true);
        return bits(n);
    }
    void digests(uint64_t n)
    {
        if (byte() != 0) {
            if (holds(n, 4))
                skip(4 * n);
            return;
        }
        for (bool defined : bits(n))
            if (defined)
                skip(4);
    }

private:
    const uint8_t* p;
    const uint8_t* end;
};

struct Coder {
    std::vector<uint8_t> id;
    std::vector<uint8_t> props;
    uint64_t inStreams = 1;
    uint64_t outStreams = 1;
};

struct FolderInfo {
    std::vector<Coder> coders;
    std::vector<uint64_t> boundOutputs;
    std::vector<uint64_t> unpackSizes;
    bool crcDefined = false;
    uint32_t crc = 0;
    uint64_t unpackStreams = 1;
    uint64_t totalOut = 0;

    // The size of the one output that no other coder consumes.
    uint64_t unpackSize() const
    {
        for (uint64_t i = unpackSizes.size(); i-- > 0;) {
            bool bound = false;
            for (uint64_t b : boundOutputs)
                bound = bound || b == i;
            if (!bound)
                return unpackSizes[i];
        }
        return 0;
    }
};

struct Streams {
    uint64_t packPos = 0;
    std::vector<uint64_t> packSizes;
    std::vector<FolderInfo> folders;
    std::vector<uint64_t> fileSizes; // one per stream, in file order
    bool haveSubStreams = false;
};

bool readPackInfo(Bytes& b, Streams& s)
{
    s.packPos = b.number();
    const uint64_t count = b.number();
    if (!b.holds(count, 1))
        return false;
    for (uint64_t id = b.number(); b.ok && id != End; id = b.number()) {
        if (id == Size) {
            for (uint64_t i = 0; i < count; ++i)
                s.packSizes.push_back(b.number());
        } else if (id == Crc) {
            b.digests(count);
        } else {
            return false;
        }
    }
    return b.ok;
}

bool readFolder(Bytes& b, FolderInfo& f)
{
    const uint64_t coderCount = b.number();
    if (coderCount == 0 || coderCount > 64)
        return false;
    uint64_t totalIn = 0;
    for (uint64_t i = 0; i < coderCount && b.ok; ++i) {
        Coder c;
        const uint8_t flags = b.byte();
        // Alternative methods were never written by any 7z program.
        if (flags & 0x80)
            return false;
        for (int k = 0; k < (flags & 0x0F); ++k)
            c.id.push_back(b.byte());
        if (flags & 0x10) {
            c.inStreams = b.number();
            c.outStreams = b.number();
            if (c.inStreams > 64 || c.outStreams > 64)
                return false;
        }
        if (flags & 0x20) {
            const uint64_t n = b.number();
            if (!b.holds(n, 1))
                return false;
            c.props.assign(b.here(), b.here() + n);
            b.skip(n);
        }
        totalIn += c.inStreams;
        f.totalOut += c.outStreams;
        f.coders.push_back(c);
    }
    if (!b.ok || f.totalOut == 0 || totalIn + 1 < f.totalOut)
        return false;
    for (uint64_t i = 0; i + 1 < f.totalOut && b.ok; ++i) {
        b.number(); // the input it feeds
        f.boundOutputs.push_back(b.number());
    }
    const uint64_t packed = totalIn - (f.totalOut - 1);
    if (packed > 1)
        for (uint64_t i = 0; i < packed && b.ok; ++i)
            b.number();
    return b.ok;
}

bool readUnpackInfo(Bytes& b, Streams& s)
{
    if (b.number() != Folder)
        return false;
    const uint64_t count = b.number();
    if (!b.holds(count, 2) || b.byte() != 0) // folders stored elsewhere: never written
        return false;
    s.folders.resize(static_cast<size_t>(count));
    for (FolderInfo& f : s.folders)
        if (!readFolder(b, f))
            return false;
    if (b.number() != CodersUnpackSize)
        return false;
    for (FolderInfo& f : s.folders)
        for (uint64_t i = 0; i < f.totalOut && b.ok; ++i)
            f.unpackSizes.push_back(b.number());
    for (uint64_t id = b.number(); b.ok && id != End; id = b.number()) {
        if (id != Crc)
            return false;
        std::vector<bool> defined = b.definedBits(count);
        for (size_t i = 0; i < defined.size(); ++i) {
            s.folders[i].crcDefined = defined[i];
            if (defined[i])
                s.folders[i].crc = b.u32();
        }
    }
    return b.ok;
}

bool readSubStreams(Bytes& b, Streams& s)
{
    s.haveSubStreams = true;
    uint64_t id = b.number();
    if (id == NumUnpackStream) {
        for (FolderInfo& f : s.folders) {
            f.unpackStreams = b.number();
            if (!b.ok || f.unpackStreams > (1u << 24))
                return false;
        }
        id = b.number();
    }
    const bool sized = id == Size;
    for (const FolderInfo& f : s.folders) {
        if (f.unpackStreams == 0)
            continue;
        uint64_t sum = 0;
        for (uint64_t i = 0; sized && i + 1 < f.unpackStreams && b.ok; ++i) {
            const uint64_t n = b.number();
            if (n > f.unpackSize() - sum)
                return false;
            sum += n;
            s.fileSizes.push_back(n);
        }
        if (!sized && f.unpackStreams > 1)
            return false;
        s.fileSizes.push_back(f.unpackSize() - sum);
    }
    if (sized)
        id = b.number();
    for (; b.ok && id != End; id = b.number()) {
        if (id != Crc)
            return false;
        uint64_t unknown = 0;
        for (const FolderInfo& f : s.folders)
            unknown += (f.unpackStreams == 1 && f.crcDefined) ? 0 : f.unpackStreams;
        b.digests(unknown);
    }
    return b.ok;
}

bool readStreamsInfo(Bytes& b, Streams& s)
{
    for (uint64_t id = b.number(); b.ok && id != End; id = b.number()) {
        bool ok = false;
        if (id == PackInfo)
            ok = readPackInfo(b, s);
        else if (id == UnpackInfo)
            ok = readUnpackInfo(b, s);
        else if (id == SubStreamsInfo)
            ok = readSubStreams(b, s);
        if (!ok)
            return false;
    }
    if (!s.haveSubStreams)
        for (const FolderInfo& f : s.folders)
            s.fileSizes.push_back(f.unpackSize());
    return b.ok;
}

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Names are stored as zero-ended UTF-16LE.
bool readNames(Bytes& b, std::vector<std::string>& names)
{
    if (b.byte() != 0)
        return false;
    for (std::string& name : names) {
        for (;;) {
            uint32_t c = b.byte();
            c |= uint32_t(b.byte()) << 8;
            if (!b.ok)
                return false;
            if (c == 0)
                break;
            if (c >= 0xD800 && c < 0xDC00) {
                uint32_t low = b.byte();
                low |= uint32_t(b.byte()) << 8;
                if (low < 0xDC00 || low >= 0xE000)
                    return false;
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(name, c);
        }
    }
    return true;
}

bool decodeBlock(const Coder& coder, const std::vector<uint8_t>& in, std::vector<uint8_t>& out)
{
    if (coder.id == std::vector<uint8_t>{0x00}) {
        if (in.size() < out.size())
            return false;
        std::copy(in.begin(), in.begin() + static_cast<long>(out.size()), out.begin());
        return true;
    }
    lzma_filter filters[2];
    if (coder.id == std::vector<uint8_t>{0x03, 0x01, 0x01})
        filters[0].id = LZMA_FILTER_LZMA1;
    else if (coder.id == std::vector<uint8_t>{0x21})
        filters[0].id = LZMA_FILTER_LZMA2;
    else
        return false;
    filters[0].options = nullptr;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, coder.props.data(), coder.props.size()) != LZMA_OK)
        return false;
    // The decoder allocates the whole dictionary up front; a damaged header may ask for
    // gigabytes. No match reaches further back than the output is long.
    lzma_options_lzma* options = static_cast<lzma_options_lzma*>(filters[0].options);
    options->dict_size = std::max<uint32_t>(LZMA_DICT_SIZE_MIN,
                                            static_cast<uint32_t>(std::min<uint64_t>(options->dict_size, out.size())));
    lzma_stream stream = LZMA_STREAM_INIT;
    bool ok = lzma_raw_decoder(&stream, filters) == LZMA_OK;
    if (ok) {
        stream.next_in = in.data();
        stream.avail_in = in.size();
        stream.next_out = out.data();
        stream.avail_out = out.size();
        lzma_ret r = LZMA_OK;
        while (r == LZMA_OK && stream.avail_out > 0)
            r = lzma_code(&stream, LZMA_FINISH);
        ok = stream.avail_out == 0 && (r == LZMA_OK || r == LZMA_STREAM_END);
    }
    lzma_end(&stream);
    std::free(filters[0].options);
    return ok;
}

struct File {
    FILE* f = nullptr;
    uint64_t size = 0;
    uint64_t* counter = nullptr;
    ~File()
    {
        if (f)
            std::fclose(f);
    }
    bool readAt(uint64_t offset, uint64_t n, std::vector<uint8_t>& out)
    {
        if (offset > size || n > size - offset || fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0)
            return false;
        out.resize(static_cast<size_t>(n));
        const size_t got = n ? std::fread(out.data(), 1, out.size(), f) : 0;
        *counter += got;
        return got == n;
    }
};

// One item per entry: names, sizes from the data streams, directory and link flags.
std::string listItems(uint64_t count, const Streams& main, const std::vector<bool>& emptyStream,
                      const std::vector<bool>& emptyFile, const std::vector<std::string>& names,
                      const std::vector<uint32_t>& attributes, const std::vector<bool>& hasAttributes,
                      std::vector<SevenZipIndex::Item>& list)
{
    size_t stream = 0, empty = 0;
    for (size_t i = 0; i < count; ++i) {
        SevenZipIndex::Item item;
        item.name = names[i];
        if (emptyStream[i]) {
            const bool isFile = empty < emptyFile.size() && emptyFile[empty];
            ++empty;
            item.directory = !isFile;
        } else {
            if (stream >= main.fileSizes.size())
                return std::string("has more entries than data streams");
            item.size = main.fileSizes[stream++];
        }
        if (hasAttributes[i]) {
            const uint32_t a = attributes[i];
            // Bit 4 is the directory attribute; bit 15 says a Unix mode sits in the top half.
            const uint32_t mode = (a & 0x8000) ? a >> 16 : 0;
            item.directory = (a & 0x10) != 0 || (mode & 0170000) == 0040000;
            item.link = (mode & 0170000) == 0120000;
        }
        list.push_back(item);
    }
    return std::string();
}

// The archive's header, unpacked: empty (and no reason) for an archive without entries.
std::string loadHeader(File& file, std::vector<uint8_t>& header)
{
    std::vector<uint8_t> start;
    static const uint8_t signature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    if (!file.readAt(0, 32, start) || !std::equal(signature, signature + 6, start.begin()))
        return std::string("is not a 7z archive");
    // The start header and the header it points to carry checksums: a damaged header is
    // refused here rather than listed as something the archive does not hold.
    Bytes sums(start.data() + 8, 4);
    const uint32_t startSum = sums.u32();
    if (lzma_crc32(start.data() + 12, 20, 0) != startSum)
        return std::string("has a damaged start header");
    Bytes head(start.data() + 12, 20);
    uint64_t offset = head.u32();
    offset |= uint64_t(head.u32()) << 32;
    uint64_t size = head.u32();
    size |= uint64_t(head.u32()) << 32;
    const uint32_t headerSum = head.u32();
    if (size == 0)
        return std::string(); // an archive without entries: header stays empty
    if (offset > file.size || size > maxHeaderBytes || !file.readAt(32 + offset, size, header))
        return std::string("has a header outside the file");
    if (lzma_crc32(header.data(), header.size(), 0) != headerSum)
        return std::string("has a damaged header");

    // A compressed header is described by a streams record of its own; it may be
    // compressed again, a few times at most.
    for (int depth = 0;; ++depth) {
        Bytes b(header.data(), header.size());
        const uint64_t kind = b.number();
        if (kind == Header)
            break;
        Streams s;
        if (kind != EncodedHeader || depth > 4 || !readStreamsInfo(b, s) || s.folders.size() != 1 ||
            s.packSizes.size() != 1 || s.folders[0].coders.size() != 1)
            return std::string("has a header this reader does not know");
        const uint64_t outSize = s.folders[0].unpackSize();
        std::vector<uint8_t> packed;
        if (outSize > maxHeaderBytes || s.packPos > file.size ||
            !file.readAt(32 + s.packPos, s.packSizes[0], packed))
            return std::string("has a header outside the file");
        std::vector<uint8_t> plain(static_cast<size_t>(outSize));
        if (!decodeBlock(s.folders[0].coders[0], packed, plain))
            return std::string("has a header this reader cannot decode");
        if (s.folders[0].crcDefined && lzma_crc32(plain.data(), plain.size(), 0) != s.folders[0].crc)
            return std::string("has a damaged header");
        header.swap(plain);
    }

    return std::string();
}

// The entry list of an unpacked header.
std::string readEntries(const std::vector<uint8_t>& header, std::vector<SevenZipIndex::Item>& list)
{
    Bytes b(header.data(), header.size());
    b.number();
    Streams main;
    uint64_t id = b.number();
    if (id == ArchiveProperties) {
        for (uint64_t type = b.number(); b.ok && type != End; type = b.number())
            b.skip(b.number());
        id = b.number();
    }
    if (id == AdditionalStreamsInfo) {
        Streams extra;
        if (!readStreamsInfo(b, extra))
            return std::string("has a damaged header");
        id = b.number();
    }
    if (id == MainStreamsInfo) {
        if (!readStreamsInfo(b, main))
            return std::string("has a damaged header");
        id = b.number();
    }
    if (id != FilesInfo)
        return b.ok && id == End ? std::string() : std::string("has a damaged header");

    const uint64_t count = b.number();
    if (!b.holds(count, 2)) // every name takes at least its two zero bytes
        return std::string("has a damaged header");
    std::vector<bool> emptyStream(static_cast<size_t>(count), false), emptyFile;
    std::vector<std::string> names(static_cast<size_t>(count));
    std::vector<uint32_t> attributes(static_cast<size_t>(count), 0);
    std::vector<bool> hasAttributes(static_cast<size_t>(count), false);
    for (uint64_t type = b.number(); b.ok && type != End; type = b.number()) {
        const uint64_t n = b.number();
        if (!b.holds(n, 1))
            break;
        Bytes p(b.here(), n);
        b.skip(n);
        if (type == EmptyStream) {
            emptyStream = p.bits(count);
        } else if (type == EmptyFile) {
            uint64_t empty = 0;
            for (bool e : emptyStream)
                empty += e;
            emptyFile = p.bits(empty);
        } else if (type == Name) {
            if (!readNames(p, names))
                return std::string("has damaged entry names");
        } else if (type == WinAttributes) {
            hasAttributes = p.definedBits(count);
            if (p.byte() != 0)
                return std::string("has a header this reader does not know");
            for (size_t i = 0; i < hasAttributes.size(); ++i)
                if (hasAttributes[i])
                    attributes[i] = p.u32();
        }
        if (!p.ok || emptyStream.size() != count || hasAttributes.size() != count)
            return std::string("has a damaged header");
    }
    if (!b.ok)
        return std::string("has a damaged header");

    return listItems(count, main, emptyStream, emptyFile, names, attributes, hasAttributes, list);
}

} // namespace

Status SevenZipIndex::fail(const std::string& why)
{
    list.clear();
    return Status::failure(why);
}

Status SevenZipIndex::read(const std::string& path)
{
    list.clear();
    readCount = 0;
    File file;
    file.counter = &readCount;
    file.f = std::fopen(path.c_str(), "rb");
    if (!file.f)
        return fail("cannot be opened");
    if (fseeko(file.f, 0, SEEK_END) != 0)
        return fail("cannot be read");
    file.size = static_cast<uint64_t>(ftello(file.f));

    std::vector<uint8_t> header;
    std::string why = loadHeader(file, header);
    if (why.empty() && !header.empty())
        why = readEntries(header, list);
    return why.empty() ? Status::success() : fail(why);
}
