#include "EditSession.h"
#include "FakeClock.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "Timer.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>


// A saved file reloads what it belongs to; a failed reload shows its errors until a
// reload of that source succeeds, and a file shared by two sources reloads both.
TEST(EditSessionTest, SavedFilesReloadTheirSourcesAndErrorsStayUntilFixed)
{
    FakeClock clock;
    Timer timer(20);
    timer.init();
    TempDir dir;
    const std::string sync = dir.write("demo.sync", "good"), common = dir.write("shaders/common.glsl", "good");
    EditSession session(&timer, BeatGrid(), 0, 60000);

    std::vector<std::string> reloads;
    auto reloader = [&](const std::string& name) {
        return [&reloads, name](const std::string& path, std::vector<std::string>& errors) {
            reloads.push_back(name);
            std::ifstream in(path);
            std::string text;
            in >> text;
            if (text == "good")
                return true;
            errors.push_back(path + ":1: '" + text + "' is no good");
            return false;
        };
    };
    ASSERT_TRUE(session.watchFile(sync, "sync", reloader("sync")));
    ASSERT_TRUE(session.watchFile(common, "post", reloader("post")));
    ASSERT_TRUE(session.watchFile(common, "scene", reloader("scene")));

    auto save = [](const std::string& path, const std::string& text) {
        std::ofstream(path + ".tmp") << text;
        ASSERT_EQ(std::rename((path + ".tmp").c_str(), path.c_str()), 0);
    };
    captureLog();
    save(sync, "bad");
    session.beforeFrame();
    std::string said = capturedLog();
    EXPECT_EQ(reloads, std::vector<std::string>{"sync"});
    EXPECT_EQ(session.getOverlay().errorLines(), std::vector<std::string>{sync + ":1: 'bad' is no good"});
    EXPECT_EQ(said.rfind("Reload of sync from " + sync + " failed (", 0), 0u) << said;

    captureLog();
    save(common, "good");
    session.beforeFrame();
    session.beforeFrame();
    EXPECT_EQ(session.getOverlay().errorLines().size(), 1u) << "another source's reload leaves the error";
    save(sync, "good");
    session.beforeFrame();
    said = capturedLog();
    EXPECT_EQ(reloads, (std::vector<std::string>{"sync", "post", "scene", "sync"}));
    EXPECT_FALSE(session.getOverlay().hasErrors());
    EXPECT_NE(said.find("Reloaded sync from " + sync + " ("), std::string::npos) << said;

    // Keys: the transport's, and Tab for the overlay; others are left to the program.
    captureLog();
    EXPECT_TRUE(session.handleKey(GLFW_KEY_SPACE, GLFW_PRESS, 0));
    EXPECT_TRUE(session.handleKey(GLFW_KEY_TAB, GLFW_PRESS, 0));
    EXPECT_FALSE(session.handleKey(GLFW_KEY_ESCAPE, GLFW_PRESS, 0));
    EXPECT_EQ(capturedLog(), "Resumed at 00:00:000 row 0 bar 1.1\n");
    EXPECT_FALSE(timer.isPaused());
    EXPECT_FALSE(session.getOverlay().isVisible());
}
