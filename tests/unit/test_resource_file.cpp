#include "LogCapture.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

ResourceFile memoryFile(std::vector<uint8_t> bytes) { return ResourceFile("memory", std::move(bytes)); }

} // namespace

TEST(ResourceFile, ReadsLittleEndianValues)
{
    float f = -2.5f;
    uint8_t fb[4];
    std::memcpy(fb, &f, 4);
    ResourceFile file = memoryFile({0x01, 0x02, 0x03, 0x04, 0xff, 0xff, 0xff, 0xff, fb[0], fb[1], fb[2], fb[3]});
    EXPECT_EQ(file.readInt(), 0x04030201);
    EXPECT_EQ(file.readInt(), -1);
    EXPECT_EQ(file.readFloat(), -2.5f);
    EXPECT_FALSE(file.readFailed());
    EXPECT_EQ(file.remaining(), 0u);
}

TEST(ResourceFile, StringsEndAtZeroAndEmptyReadsAsObject)
{
    ResourceFile file = memoryFile({'a', 'b', 0, 0, 'c', 0});
    EXPECT_EQ(file.readString(), "ab");
    EXPECT_EQ(file.getPosition(), 3u);
    EXPECT_EQ(file.readString(), "Object");
    EXPECT_EQ(file.getPosition(), 4u);
    EXPECT_EQ(file.readString(), "c");
    EXPECT_FALSE(file.readFailed());
}

TEST(ResourceFile, ReadsPastTheEndFailWithoutMovingOrLeaking)
{
    ResourceFile file = memoryFile({0x01, 0x02, 0x03});
    EXPECT_EQ(file.readInt(), 0);
    EXPECT_TRUE(file.readFailed());
    EXPECT_EQ(file.getPosition(), 0u);
    file.clearReadFailed();
    EXPECT_EQ(file.readByte(), 0x01);
    EXPECT_FALSE(file.readFailed());

    // A string without its terminator is not returned in part.
    ResourceFile unterminated = memoryFile({'a', 'b'});
    EXPECT_EQ(unterminated.readString(), "");
    EXPECT_TRUE(unterminated.readFailed());

    // A cursor set beyond the data reads nothing.
    ResourceFile far = memoryFile({1, 2, 3, 4});
    far.setPosition(1000);
    EXPECT_EQ(far.remaining(), 0u);
    EXPECT_EQ(far.readFloat(), 0.0f);
    EXPECT_EQ(far.readString(), "");
    EXPECT_TRUE(far.readFailed());

    // The count check the format readers share: exact fits, one more, and counts whose
    // byte total would overflow.
    ResourceFile twelve = memoryFile(std::vector<uint8_t>(13));
    twelve.setPosition(1);
    EXPECT_TRUE(twelve.fits(3, 4));
    EXPECT_FALSE(twelve.fits(4, 4));
    EXPECT_FALSE(twelve.fits(13, 1));
    EXPECT_FALSE(twelve.fits(UINT64_MAX / 2, 4));
    EXPECT_FALSE(ResourceFile::fits(UINT32_MAX, 12, 100));
}

TEST(ResourceFile, DiskReadModes)
{
    TempDir dir;
    std::string empty = dir.write("empty.bin", std::string());
    ResourceFile emptyFile(empty, ResourceFile::Read);
    EXPECT_TRUE(emptyFile.isLoaded());
    EXPECT_EQ(emptyFile.byteSize(), 0u);

    std::string text = dir.write("text.txt", std::string("line\0two", 8));
    ResourceFile textFile(text, 7); // unknown modes read
    ASSERT_TRUE(textFile.isLoaded());
    EXPECT_EQ(textFile.getSize(), 8u);
    EXPECT_EQ(textFile.toString(), std::string("line\0two", 8));

    ResourceFile missing(dir.path() + "/nope", ResourceFile::Read);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.byteSize(), 0u);
    EXPECT_FALSE(missing.save());

    ResourceFile directory(dir.path(), ResourceFile::Read);
    EXPECT_FALSE(directory.isLoaded());
}

TEST(ResourceFile, WriteModesSaveExactlyTheAppendedBytes)
{
    TempDir dir;
    std::string path = dir.write("out.bin", std::string("old contents"));
    {
        ResourceFile out(path, ResourceFile::Truncate);
        EXPECT_TRUE(out.isLoaded());
        EXPECT_EQ(out.byteSize(), 0u);
        out.appendInt(0x04030201);
        out.appendString("hi");
        out.appendByte(0);
        out.appendFloat(1.0f);
        EXPECT_TRUE(out.save());
        EXPECT_EQ(out.getSize(), 11u);
        // The stream is gone after a save.
        EXPECT_FALSE(out.save());
    }
    EXPECT_EQ(readWholeFile(path), std::string("\x01\x02\x03\x04hi\0\x00\x00\x80\x3f", 11));

    {
        ResourceFile more(path, ResourceFile::Append);
        more.appendString("!");
        EXPECT_TRUE(more.save());
    }
    EXPECT_EQ(readWholeFile(path).size(), 12u);

    ResourceFile unwritable(dir.path() + "/no/such/dir/file", ResourceFile::Truncate);
    EXPECT_FALSE(unwritable.isLoaded());
    EXPECT_FALSE(unwritable.save());
}

TEST(ORVIO, LoadersFollowTheResourceMode)
{
    TempDir dir(true);
    dir.write("resources/misc/a.txt", std::string("abc"));

    ORVIO::init(ORVIO::ModeFiles);
    ResourceFile* file = ORVIO::loadTextFile("resources/misc/a.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->isLoaded());
    EXPECT_EQ(file->toString(), "abc");
    delete file;

    // A missing file still comes back, marked not loaded.
    file = ORVIO::loadFile("resources/misc/b.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->isLoaded());
    delete file;

    ORVIO::init(5);
    EXPECT_EQ(ORVIO::loadTextFile("resources/misc/a.txt"), nullptr);
    EXPECT_EQ(ORVIO::loadFile("resources/misc/a.txt"), nullptr);
    ORVIO::init(ORVIO::ModeFiles);
}

TEST(ORVIO, VerboseTraceLinesAndInitClearsThem)
{
    TempDir dir(true);
    dir.write("x", std::string("1"));
    ORVIO::init(ORVIO::ModeFiles);
    ORVIO::setVerbose(true);
    captureLog();
    delete ORVIO::loadTextFile("x");
    delete ORVIO::loadFile("x");
    EXPECT_EQ(capturedLog(), "Loading text file : x\nLoading file : x\n");
    ORVIO::init(ORVIO::ModeFiles);
    EXPECT_FALSE(ORVIO::isVerbose());
}
