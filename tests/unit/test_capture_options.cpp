#include "CaptureOptions.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The arguments after the program's name; false with the reason in error.
bool parse(std::vector<std::string> args, CaptureOptions& o, std::string& error)
{
    args.insert(args.begin(), "capture");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    bool help = false;
    return o.parse(static_cast<int>(argv.size()), argv.data(), error, help);
}

} // namespace

TEST(CaptureOptions, TimesReadAndWritten)
{
    const std::pair<const char*, int64_t> good[] = {
        {"0", 0}, {"12.5", 12500}, {"1:05", 65000}, {"01:02.345", 62345}, {"99:59.999", 5999999}};
    for (const auto& [text, ms] : good)
        EXPECT_EQ(CaptureOptions::parseTime(text), ms) << text;
    // Seconds past 59 after a colon, and 100 minutes, are out of range.
    for (const char* text : {"", ".", "1.2.3", "-1", "1e3", ":5", "1:", "1:60", "12345:00", "6000", "100:00"})
        EXPECT_EQ(CaptureOptions::parseTime(text), -1) << text;
    EXPECT_EQ(CaptureOptions::formatTime(0), "00:00");
    EXPECT_EQ(CaptureOptions::formatTime(65000), "01:05");
    EXPECT_EQ(CaptureOptions::formatTime(5999999), "99:59.999");
}

// The refusals the end-to-end test leaves out, each the first check the arguments fail.
TEST(CaptureOptions, RefusesOutputsThatDoNotFit)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-o"}, "-o needs a value"},
        {{"--sheet", "0", "-o", "s.png"}, "--sheet needs a step above 0"},
        {{"--at", "5", "--sheet", "1", "-o", "s.mp4"}, "--at, --sheet and --list are one each: pick one"},
        {{"-o", "a.png"}, "a .png output needs --at or --sheet; a PNG sequence goes to a folder"},
        {{"--list", "l", "-o", "a.mp4"}, "--list writes PNG files into a folder, not 'a.mp4'"},
        {{"-o", "a.avi"}, "unsupported output 'a.avi': .mp4, a folder, or .png with --at or --sheet"},
        {{"--at", "5", "--to", "6", "-o", "a.png"}, "--at renders one frame: --to does not apply"},
        {{"--from", "6", "--at", "5", "-o", "a.png"}, "--from (00:06) must not come after --at (00:05)"},
        {{"--list", "l", "--to", "1", "-o", "d"}, "--list renders the times of its file: --from and --to do not apply"},
    };
    for (const auto& [args, message] : cases) {
        CaptureOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(CaptureOptions, SheetFramesAreSmallUnlessSized)
{
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--sheet", "2.5", "-o", "s.png"}, o, error)) << error;
    EXPECT_EQ(o.kind, CaptureOptions::Output::Sheet);
    EXPECT_EQ(o.sheetStepMs, 2500);
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 180);
    CaptureOptions sized;
    ASSERT_TRUE(parse({"--sheet", "2", "--size", "64x36", "-o", "s.png"}, sized, error)) << error;
    EXPECT_EQ(sized.width, 64);
    EXPECT_EQ(sized.height, 36);
}

TEST(CaptureOptions, ListFiles)
{
    TempDir dir;
    std::vector<CaptureOptions::Shot> shots;
    std::string error;
    const std::string good = dir.write("good", "# frames\n\nintro 00:01.5\n  drop 40 # the drop\n");
    ASSERT_TRUE(CaptureOptions::readList(good, shots, error)) << error;
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_EQ(shots[0].name, "intro");
    EXPECT_EQ(shots[0].timeMs, 1500);
    EXPECT_EQ(shots[1].name, "drop");
    EXPECT_EQ(shots[1].timeMs, 40000);

    // A name is a file in the output folder; every line but comments names a time.
    for (const char* line : {"a/b 1", "a", "a 1 b", "a 1:60"}) {
        const std::string path = dir.write("bad", std::string("ok 1\n") + line + "\n");
        shots.clear();
        EXPECT_FALSE(CaptureOptions::readList(path, shots, error)) << line;
        EXPECT_EQ(error, path + ":2: expected 'NAME TIME', got '" + line + "'");
    }
    const std::string empty = dir.write("empty", "# nothing yet\n");
    shots.clear();
    EXPECT_FALSE(CaptureOptions::readList(empty, shots, error));
    EXPECT_EQ(error, "the list " + empty + " names no frames");
    EXPECT_FALSE(CaptureOptions::readList(dir.path() + "/none", shots, error));
    EXPECT_EQ(error, "cannot read the list " + dir.path() + "/none");
}
