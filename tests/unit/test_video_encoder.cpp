// What the encoder hands the ffmpeg it starts, seen from a stand-in ffmpeg on PATH that
// writes its GLIBC_TUNABLES to its log and fails.
#include "TempDir.h"
#include "VideoEncoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

// Restores an environment variable when the test ends.
struct SavedEnv {
    std::string name;
    bool had;
    std::string value;
    explicit SavedEnv(const char* n) : name(n), had(std::getenv(n)), value(had ? std::getenv(n) : "") {}
    ~SavedEnv() { had ? setenv(name.c_str(), value.c_str(), 1) : unsetenv(name.c_str()); }
};

// The encoder's error: the stand-in's exit and its one log line, the tunables it saw.
std::string tunablesSeen(const TempDir& dir)
{
    VideoEncoder encoder;
    VideoEncoder::Settings s;
    s.output = dir.path() + "/out.mp4";
    s.logPath = dir.path() + "/ffmpeg.log";
    s.width = 2;
    s.height = 2;
    EXPECT_TRUE(static_cast<bool>(encoder.start(s)));
    const Status finished = encoder.finish();
    EXPECT_FALSE(static_cast<bool>(finished));
    return finished.reason();
}

} // namespace

TEST(VideoEncoder, FfmpegKeepsLargeFreedBlocksUnlessTheCallerSaidOtherwise)
{
    TempDir dir;
    const std::string fake = dir.write("bin/ffmpeg", "#!/bin/sh\necho \"seen:$GLIBC_TUNABLES\" >&2\nexit 3\n");
    ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    SavedEnv path("PATH"), tunables("GLIBC_TUNABLES");
    setenv("PATH", (dir.path() + "/bin").c_str(), 1);

    unsetenv("GLIBC_TUNABLES");
    EXPECT_EQ(tunablesSeen(dir), "ffmpeg failed (exit status 3): seen:glibc.malloc.mmap_threshold=33554432:"
                                 "glibc.malloc.trim_threshold=268435456");
    // Other tunables stay, ours follow them.
    setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
    EXPECT_EQ(tunablesSeen(dir), "ffmpeg failed (exit status 3): seen:glibc.malloc.tcache_count=0:"
                                 "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456");
    // A caller's own malloc thresholds are theirs.
    setenv("GLIBC_TUNABLES", "glibc.malloc.trim_threshold=1", 1);
    EXPECT_EQ(tunablesSeen(dir), "ffmpeg failed (exit status 3): seen:glibc.malloc.trim_threshold=1");
}
