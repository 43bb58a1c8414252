#include "ImageFile.h"
#include "ORVIO.h"
#include "ResourceArchive.h"
#include "ResourceFile.h"
#include "PngWriter.h"
#include "TempDir.h"
#include "StatusCheck.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Content of entry i: distinct and compressible, so blocks really get decoded.
std::string entryContent(int i, size_t size)
{
    std::string s;
    std::mt19937 rng(i);
    while (s.size() < size)
        s += "entry " + std::to_string(i) + " word " + std::to_string(rng() % 97) + "\n";
    s.resize(size);
    return s;
}

// Adds files (paths under dir/tree) to dir/name with 7z.
std::string sevenZip(const TempDir& dir, const std::string& name, const std::string& options, const std::string& files)
{
    std::string archive = dir.path() + "/" + name;
    std::string command = "cd '" + dir.path() + "/tree' && 7z a " + options + " '" + archive + "' " + files + " > /dev/null";
    EXPECT_EQ(runCommand(command), 0) << command;
    return archive;
}

// Builds dir/out.7z from a resources/ tree with the archiver the packing step uses.
std::string pack(const TempDir& dir, const std::string& options, int count, size_t size)
{
    for (int i = 0; i < count; ++i)
        dir.write("tree/resources/misc/f" + std::to_string(i) + ".bin", entryContent(i, size));
    dir.write("tree/resources/graphics/a.png", std::string("not really a png"));
    return sevenZip(dir, "out.7z", options, "resources");
}

// The entry's text, or "<missing>" with the reason in why (when given).
std::string extractAll(const std::string& name, std::string* why = nullptr)
{
    ResourceFile file(name);
    Status read = file.readFromArchive();
    if (why)
        *why = read.reason();
    if (!read)
        return "<missing>";
    return file.toString();
}

} // namespace

TEST(ResourceArchive, LooksUpExactCaseSensitiveNames)
{
    TempDir dir;
    std::string archive = pack(dir, "-ms=off", 3, 100);
    ASSERT_TRUE(ResourceArchive::open(archive.c_str()));
    EXPECT_GE(ResourceArchive::find("resources/graphics/a.png"), 0);
    EXPECT_EQ(ResourceArchive::entrySize("resources/graphics/a.png"), 16);
    EXPECT_EQ(extractAll("resources/graphics/a.png"), "not really a png");
    EXPECT_EQ(ResourceArchive::find("resources/graphics/A.png"), -1);
    EXPECT_EQ(ResourceArchive::find("./resources/graphics/a.png"), -1);
    EXPECT_EQ(ResourceArchive::entrySize("resources/graphics/A.png"), -1);
    EXPECT_EQ(extractAll("resources/graphics/A.png"), "<missing>");

    // Directory entries are listed but hold no file.
    int directory = ResourceArchive::find("resources/graphics");
    ASSERT_GE(directory, 0);
    EXPECT_TRUE(ResourceArchive::entryIsDirectory(directory));
    std::vector<uint8_t> none(1);
    EXPECT_NE(ResourceArchive::extract("resources/graphics", none.data()).reason().find("a directory"),
              std::string::npos);
    ResourceArchive::close();
    EXPECT_EQ(ResourceArchive::find("resources/graphics/a.png"), -1);
}

TEST(ResourceArchive, EveryEntryDecodedOnceInAnyOrder)
{
    for (const char* options : {"-ms=off -mx=9", "-ms=on -mx=9"}) {
        SCOPED_TRACE(options);
        TempDir dir;
        const int count = 24;
        std::string archive = pack(dir, options, count, 20000);
        ASSERT_TRUE(ResourceArchive::open(archive.c_str()));

        std::vector<int> order(count);
        for (int i = 0; i < count; ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (int i : order) {
            std::string name = "resources/misc/f" + std::to_string(i) + ".bin";
            ASSERT_EQ(extractAll(name), entryContent(i, 20000)) << name;
        }
        const ResourceArchive::Stats& stats = ResourceArchive::stats();
        for (int i = 0; i < ResourceArchive::entryCount(); ++i)
            EXPECT_LE(stats.decodeCount[i], 1) << ResourceArchive::entryName(i);
        EXPECT_EQ(stats.passes, 0);

        // An entry asked for twice still comes back whole, from a fresh pass.
        EXPECT_EQ(extractAll("resources/misc/f0.bin"), entryContent(0, 20000));
        EXPECT_EQ(ResourceArchive::stats().passes, 1);
        ResourceArchive::close();
    }
}

TEST(ResourceArchive, EmptyMissingAndDamagedArchives)
{
    TempDir dir;
    // An archive without entries, written directly.
    std::string empty = dir.path() + "/empty.7z";
    struct archive* writer = archive_write_new();
    archive_write_set_format_7zip(writer);
    ASSERT_EQ(archive_write_open_filename(writer, empty.c_str()), ARCHIVE_OK);
    archive_write_close(writer);
    archive_write_free(writer);
    ASSERT_TRUE(ResourceArchive::open(empty.c_str()));
    EXPECT_EQ(ResourceArchive::entryCount(), 0);
    EXPECT_EQ(ResourceArchive::find("anything"), -1);
    EXPECT_EQ(ResourceArchive::find(""), -1);

    EXPECT_FALSE(ResourceArchive::open((dir.path() + "/missing.7z").c_str()));
    EXPECT_EQ(ResourceArchive::find("resources/graphics/a.png"), -1);

    std::string garbage = dir.write("garbage.7z", std::string(4096, 'x'));
    EXPECT_FALSE(ResourceArchive::open(garbage.c_str()));

    // Cut the archive short or damage bytes inside it: opening or extracting fails,
    // and what does come back is never longer than the entry.
    std::string archive = pack(dir, "-ms=off", 4, 5000);
    std::string bytes = readWholeFile(archive);
    // One bit flipped anywhere in the header that the start header points to is a
    // damaged archive, never one that lists and then fails entry by entry.
    auto little64 = [&bytes](size_t at) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(bytes[at + size_t(i)]);
        return v;
    };
    const size_t headerStart = 32 + size_t(little64(12)), headerSize = size_t(little64(20));
    ASSERT_EQ(headerStart + headerSize, bytes.size());
    for (size_t at = headerStart; at < bytes.size(); ++at) {
        std::string flipped = bytes;
        flipped[at] ^= 0x10;
        EXPECT_FALSE(ResourceArchive::open(dir.write("flipped.7z", flipped).c_str())) << at;
    }
    std::mt19937 rng(3);
    for (int round = 0; round < 40; ++round) {
        std::string damaged = bytes;
        if (round % 2 == 0) {
            damaged.resize(rng() % bytes.size());
        } else {
            for (int k = 0; k < 8; ++k)
                damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
        }
        std::string path = dir.write("damaged.7z", damaged);
        if (!ResourceArchive::open(path.c_str()))
            continue;
        // Whatever an entry gives (its bytes or a reason), nothing is read out of bounds.
        for (int i = 0; i < 4; ++i) {
            std::string name = "resources/misc/f" + std::to_string(i) + ".bin";
            int size = ResourceArchive::entrySize(name.c_str());
            if (size < 0)
                continue;
            std::vector<uint8_t> buffer(static_cast<size_t>(size));
            static_cast<void>(ResourceArchive::extract(name.c_str(), buffer.data()));
        }
        ResourceArchive::close();
    }
}

TEST(ResourceArchive, NonAsciiNamesLinksAndEmptyEntries)
{
    TempDir dir;
    dir.write("tree/resources/misc/caf\xc3\xa9.bin", std::string("caf\xc3\xa9"));
    dir.write("tree/resources/misc/plain.txt", std::string("plain text"));
    dir.write("tree/resources/misc/empty.bin", std::string());
    dir.write("tree/resources/graphics/keep", std::string("k"));
    std::string misc = dir.path() + "/tree/resources/misc/";
    ASSERT_EQ(runCommand("ln -s plain.txt '" + misc + "link.txt' && ln -s ../misc/plain.txt '" + misc +
                         "up.txt' && ln -s link.txt '" + misc + "twice.txt' && ln -s gone.txt '" + misc +
                         "dangling.txt' && ln -s /etc/hostname '" + misc + "outside.txt' && ln -s ../graphics '" +
                         misc + "dir.txt'"),
              0);
    std::string archive = sevenZip(dir, "links.7z", "-ms=off", "resources");
    ASSERT_TRUE(ResourceArchive::open(archive.c_str()));

    EXPECT_EQ(extractAll("resources/misc/caf\xc3\xa9.bin"), "caf\xc3\xa9");
    // A stored link stands for the entry it names, however it names it.
    for (const char* link : {"resources/misc/link.txt", "resources/misc/up.txt", "resources/misc/twice.txt"}) {
        EXPECT_EQ(ResourceArchive::entrySize(link), 10) << link;
        EXPECT_EQ(extractAll(link), "plain text") << link;
    }
    // Links that name nothing inside the archive are refused with the reason.
    for (const char* link : {"resources/misc/dangling.txt", "resources/misc/outside.txt", "resources/misc/dir.txt"}) {
        std::string why;
        EXPECT_EQ(extractAll(link, &why), "<missing>") << link;
        EXPECT_NE(why.find(link), std::string::npos) << why;
        EXPECT_NE(why.find("a link to"), std::string::npos) << why;
        EXPECT_TRUE(ResourceArchive::contains(link));
    }

    // An empty entry asked for after the pass went by needs no new pass.
    int passes = ResourceArchive::stats().passes;
    ResourceFile empty("resources/misc/empty.bin");
    EXPECT_TRUE(empty.readFromArchive());
    EXPECT_EQ(empty.byteSize(), 0u);
    EXPECT_EQ(ResourceArchive::stats().passes, passes);
    ResourceArchive::close();
}

TEST(ResourceArchive, AnEntryThatCannotBeDecodedFailsAlone)
{
    for (bool lastFirst : {false, true}) {
        SCOPED_TRACE(lastFirst ? "last first" : "in archive order");
        TempDir dir;
        dir.write("tree/bad.bin", entryContent(1, 3000));
        dir.write("tree/good1.bin", entryContent(2, 3000));
        dir.write("tree/good2.bin", entryContent(3, 3000));
        sevenZip(dir, "mixed.7z", "-m0=Deflate64", "bad.bin");
        std::string archive = sevenZip(dir, "mixed.7z", "-ms=off", "good1.bin good2.bin");
        ASSERT_TRUE(ResourceArchive::open(archive.c_str()));
        if (lastFirst) {
            EXPECT_EQ(extractAll("good2.bin"), entryContent(3, 3000));
        }
        std::string why;
        EXPECT_EQ(extractAll("bad.bin", &why), "<missing>");
        // The library's own reason, with the entry's name.
        EXPECT_NE(why.find("'bad.bin'"), std::string::npos) << why;
        EXPECT_NE(why.find("codec"), std::string::npos) << why;
        EXPECT_EQ(extractAll("good1.bin"), entryContent(2, 3000));
        EXPECT_EQ(extractAll("good2.bin"), entryContent(3, 3000));
        ResourceArchive::close();
    }
}

TEST(ResourceArchive, ListingASolidArchiveDecodesNothing)
{
    TempDir dir;
    std::mt19937 rng(5);
    for (int i = 0; i < 8; ++i) {
        std::string noise(128 * 1024, '\0');
        for (char& c : noise)
            c = static_cast<char>(rng());
        dir.write("tree/resources/misc/n" + std::to_string(i) + ".bin", noise);
    }
    // A link at the end of the solid block: reading it makes the library decode all
    // that comes before it.
    ASSERT_EQ(runCommand("ln -s n3.bin '" + dir.path() + "/tree/resources/misc/z.bin'"), 0);
    std::string archive = sevenZip(dir, "solid.7z", "-ms=on", "resources");
    ASSERT_TRUE(ResourceArchive::open(archive.c_str()));
    EXPECT_EQ(ResourceArchive::entryCount(), 11);
    EXPECT_EQ(ResourceArchive::stats().bytesDecoded, 0u);
    EXPECT_LT(ResourceArchive::stats().archiveBytesRead, readWholeFile(archive).size() / 4);
    EXPECT_EQ(extractAll("resources/misc/z.bin"), readWholeFile(dir.path() + "/tree/resources/misc/n3.bin"));
    ResourceArchive::close();
}

TEST(ORVIO, ArchiveModeReadsEntriesAndAMissingArchiveFailsEachLoad)
{
    TempDir dir(true);
    std::string archive = pack(dir, "-ms=off", 2, 300);
    ORVIO::init(ORVIO::ModeArchive, archive);
    ResourceFile* file = ORVIO::loadFile("resources/misc/f1.bin");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->isLoaded());
    EXPECT_EQ(file->toString(), entryContent(1, 300));
    delete file;
    ORVIO::release();

    // Loose files are not consulted in archive mode.
    dir.write("resources/misc/loose.txt", std::string("x"));
    ORVIO::init(ORVIO::ModeArchive, dir.path() + "/absent.7z");
    file = ORVIO::loadTextFile("resources/misc/loose.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->isLoaded());
    delete file;
    ORVIO::release();
    ORVIO::init(ORVIO::ModeFiles);
}

namespace {

// 2 x 2, top row red, green; bottom row blue, white.
std::vector<uint8_t> picture() { return {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}; }

std::string rgbPng() { return encodePng(2, 2, 3, picture()); }
std::string rgbaPng() { return encodePng(2, 1, 4, {0x30, 0x20, 0x10, 0x40, 0x70, 0x60, 0x50, 0x80}); }

// The same 2 x 2 picture as TGA (bottom row first, BGR) and as BMP (bottom row first,
// BGR, rows padded to 4 bytes).
std::string tga()
{
    std::string h(18, '\0');
    h[2] = 2;
    h[12] = 2;
    h[14] = 2;
    h[16] = 24;
    return h + std::string("\xff\0\0\xff\xff\xff\0\0\xff\0\xff\0", 12);
}

std::string bmp()
{
    auto le = [](uint32_t v, int n) {
        std::string b;
        for (int i = 0; i < n; ++i)
            b += char((v >> (8 * i)) & 0xff);
        return b;
    };
    const std::string rows = std::string("\xff\0\0\xff\xff\xff\0\0", 8) + std::string("\0\0\xff\0\xff\0\0\0", 8);
    return "BM" + le(54 + 16, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(2, 4) + le(2, 4) + le(1, 2) + le(24, 2) +
           le(0, 4) + le(16, 4) + le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4) + rows;
}

Status decode(ImageFile& image, const std::string& bytes)
{
    return image.loadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

TEST(ImageFile, DecodesToBottomUpRgbAndRgba)
{
    TempDir dir;
    // The first stored row is the picture's bottom row: blue, white; then red, green.
    const std::vector<uint8_t> bottomUp{0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
    for (const auto& file : {std::make_pair("a.png", rgbPng()), std::make_pair("a.tga", tga()),
                             std::make_pair("a.bmp", bmp())}) {
        ImageFile image;
        ASSERT_TRUE(succeeds(image.loadFromFile(dir.write(file.first, file.second)))) << file.first;
        ASSERT_TRUE(image.isLoaded());
        EXPECT_EQ(image.getWidth(), 2);
        EXPECT_EQ(image.getHeight(), 2);
        EXPECT_EQ(image.getBytesPerPixel(), 3);
        EXPECT_EQ(image.getBitsPerPixel(), 24);
        EXPECT_EQ(std::vector<uint8_t>(image.getPixels(), image.getPixels() + 12), bottomUp) << file.first;
        EXPECT_EQ(std::string(ImageFile::typeName(image.getType())), std::string(file.first).substr(2));
    }

    std::string png = rgbaPng();
    ImageFile withAlpha;
    ASSERT_TRUE(withAlpha.loadFromMemory(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
    EXPECT_EQ(withAlpha.getBytesPerPixel(), 4);
    const uint8_t* q = withAlpha.getPixels();
    EXPECT_EQ(std::vector<uint8_t>(q, q + 8), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0x40, 0x70, 0x60, 0x50, 0x80}));
}

TEST(ImageFile, BadInputLeavesItUnloadedAndSaysWhy)
{
    TempDir dir;
    ImageFile missing;
    EXPECT_EQ(missing.loadFromFile(dir.path() + "/missing.png").reason(), "not found");
    EXPECT_FALSE(missing.isLoaded());
    ImageFile image;
    EXPECT_EQ(decode(image, std::string(64, '\x07')).reason(), "unsupported image type");
    EXPECT_EQ(decode(image, "GIF89a" + std::string(40, '\0')).reason(), "unsupported image type");
    EXPECT_FALSE(image.isLoaded());
    EXPECT_EQ(image.getPixels(), nullptr);
    const std::string png = rgbPng();
    EXPECT_EQ(decode(image, png.substr(0, png.size() / 2)).reason(), "damaged");
    EXPECT_EQ(image.getType(), ImageFile::Type::Png);
    EXPECT_EQ(decode(image, bmp().substr(0, 60)).reason(), "damaged");

    // Damaged images of every accepted format fail or decode, never crash.
    std::mt19937 rng(11);
    for (const std::string& good : {rgbPng(), rgbaPng(), tga(), bmp()}) {
        for (int round = 0; round < 300; ++round) {
            std::string bad = good;
            if (round % 2) {
                bad.resize(rng() % bad.size());
            } else {
                for (int k = 0; k < 3; ++k)
                    bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255);
            }
            ImageFile damaged;
            Status decoded = decode(damaged, bad);
            if (decoded) {
                EXPECT_EQ(damaged.getPixelByteCount(),
                          size_t(damaged.getWidth()) * damaged.getHeight() * damaged.getBytesPerPixel());
            } else {
                EXPECT_FALSE(decoded.reason().empty());
            }
        }
    }

    image.setName("resources/graphics/none.png");
    EXPECT_FALSE(image.loadFromArchive());
}
