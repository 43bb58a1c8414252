#include "FileWatcher.h"
#include "TempDir.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

using Paths = std::vector<std::string>;

} // namespace

// Each way editors save is seen, once per save, and only for the watched files.
TEST(FileWatcherTest, SeesWritesRenamesOverAndRecreatedFiles)
{
    TempDir dir;
    const std::string sync = dir.write("sync/demo.sync", "rate 20\n");
    const std::string shader = dir.write("shaders/lib/common.glsl", "// v1\n");
    dir.write("shaders/lib/other.glsl", "");

    FileWatcher watcher;
    ASSERT_TRUE(succeeds(watcher.open()));
    ASSERT_TRUE(succeeds(watcher.watch(sync)));
    ASSERT_TRUE(succeeds(watcher.watch(shader)));
    EXPECT_FALSE(watcher.watch(dir.path() + "/missing/x.glsl"));
    EXPECT_EQ(watcher.poll(), Paths{});

    // In place.
    writeFile(sync, "rate 20\nbpm 120\n");
    EXPECT_EQ(watcher.poll(), Paths{sync});
    EXPECT_EQ(watcher.poll(), Paths{});

    // A temporary file renamed over the original, as most editors save.
    writeFile(dir.path() + "/shaders/lib/.common.glsl.swp", "// v2\n");
    EXPECT_EQ(watcher.poll(), Paths{});
    ASSERT_EQ(std::rename((dir.path() + "/shaders/lib/.common.glsl.swp").c_str(), shader.c_str()), 0);
    EXPECT_EQ(watcher.poll(), Paths{shader});

    // Deleted, then written anew: the deletion alone is no change, the new file is.
    ASSERT_EQ(std::remove(shader.c_str()), 0);
    EXPECT_EQ(watcher.poll(), Paths{});
    writeFile(shader, "// v3\n");
    writeFile(sync, "rate 20\n");
    EXPECT_EQ(watcher.poll(), (Paths{shader, sync}));

    // Other files of the watched directories are not reported.
    writeFile(dir.path() + "/shaders/lib/other.glsl", "x");
    writeFile(dir.path() + "/sync/demo.sync.bak", "x");
    EXPECT_EQ(watcher.poll(), Paths{});

    watcher.clear();
    writeFile(sync, "rate 30\n");
    EXPECT_EQ(watcher.poll(), Paths{});
}
