// The setup dialog under a real X display: its layout, the labels and tags of the
// resolution list, the defaults and what the buttons do.
#include "ORVGui.h"
#include "OrvaneGuiLogo.xpm"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Image.H>
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A null-terminated mode list as SDL hands it out.
struct ModeList {
    std::vector<SDL_Rect> rects;
    std::vector<SDL_Rect*> list;
    ModeList(std::initializer_list<std::pair<int, int>> sizes)
    {
        for (auto& size : sizes)
            rects.push_back(SDL_Rect{0, 0, Uint16(size.first), Uint16(size.second)});
        for (auto& rect : rects)
            list.push_back(&rect);
        list.push_back(nullptr);
    }
    SDL_Rect** modes() { return list.data(); }
};

std::vector<std::string> entries(Fl_Choice* choice)
{
    std::vector<std::string> labels;
    for (int i = 0; i < choice->size() - 1; ++i)
        labels.push_back(choice->menu()[i].label() ? choice->menu()[i].label() : "");
    return labels;
}

void expectWidget(Fl_Widget* widget, int x, int y, int w, int h, const char* label, const char* tooltip)
{
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->x(), x) << label;
    EXPECT_EQ(widget->y(), y) << label;
    EXPECT_EQ(widget->w(), w) << label;
    EXPECT_EQ(widget->h(), h) << label;
    EXPECT_STREQ(widget->label(), label);
    if (tooltip) {
        EXPECT_STREQ(widget->tooltip(), tooltip) << label;
    }
}

} // namespace

TEST(SetupDialog, LaysOutItsWidgetsAndTagsEveryMode)
{
    ModeList modes{{1920, 1080}, {1680, 1050}, {1360, 768}, {1280, 1024}, {1024, 768}, {1000, 1000}, {1280, 960}};
    ORVGui gui(450, 300, "Orvane Demosys v.2.0", orvane_gui_logo_xpm, modes.modes());
    Fl::check();

    EXPECT_TRUE(gui.shown());
    EXPECT_EQ(gui.x(), (Fl::w() - 450) / 2);
    EXPECT_EQ(gui.y(), (Fl::h() - 300) / 2);
    EXPECT_EQ(gui.w(), 450);
    EXPECT_EQ(gui.h(), 300);
    EXPECT_STREQ(gui.label(), "Orvane Demosys v.2.0");
    ASSERT_EQ(gui.children(), 7);

    Fl_Box* logo = dynamic_cast<Fl_Box*>(gui.child(0));
    expectWidget(logo, 0, 0, 450, 100, nullptr, nullptr);
    ASSERT_NE(logo->image(), nullptr);
    EXPECT_EQ(logo->image()->w(), 390);
    EXPECT_EQ(logo->image()->h(), 95);

    Fl_Choice* resolution = dynamic_cast<Fl_Choice*>(gui.child(1));
    expectWidget(resolution, 125, 120, 200, 25, "Available resolutions:", nullptr);
    // 1024 x 1000 has no tag of its own and carries the one before it.
    EXPECT_EQ(entries(resolution),
              (std::vector<std::string>{"1920 X 1080 (16:9)", "1680 X 1050 (16:10)", "1360 X 768 (16:10)",
                                        "1280 X 1024 (5:4)", "1024 X 768 (4:3)", "1000 X 1000 (4:3)",
                                        "1280 X 960 (4:3)"}));
    EXPECT_EQ(resolution->value(), 0);

    Fl_Check_Button* fullscreen = dynamic_cast<Fl_Check_Button*>(gui.child(2));
    expectWidget(fullscreen, 175, 160, 30, 30, "Fullscreen: ", "Enable to view in fullscreen.");
    Fl_Check_Button* vsync = dynamic_cast<Fl_Check_Button*>(gui.child(3));
    expectWidget(vsync, 325, 160, 30, 30, "Vertical sync: ", "Enable to force Wait for Vertical Sync.");
    EXPECT_EQ(fullscreen->value(), 1);
    EXPECT_EQ(vsync->value(), 1);

    Fl_Choice* quality = dynamic_cast<Fl_Choice*>(gui.child(4));
    expectWidget(quality, 200, 200, 100, 25, "Quality: ", nullptr);
    EXPECT_EQ(entries(quality), (std::vector<std::string>{"Low", "Medium", "High", "Ultra"}));
    EXPECT_STREQ(quality->text(), "High");

    expectWidget(dynamic_cast<Fl_Button*>(gui.child(5)), 125, 240, 95, 40, "Start!",
                 "Starts the Demo with the chosen resolution and settings.");
    expectWidget(dynamic_cast<Fl_Button*>(gui.child(6)), 225, 240, 95, 40, "Exit!",
                 "Exit without watching the Demo.");

    // Untouched, the dialog chooses the first (largest) mode, fullscreen, vsync, High,
    // and leaving it counts as exit.
    EXPECT_EQ(gui.getChosenWidth(), 1920);
    EXPECT_EQ(gui.getChosenHeight(), 1080);
    EXPECT_TRUE(gui.getFullscreen());
    EXPECT_TRUE(gui.getVerticalSync());
    EXPECT_EQ(gui.getQuality(), 2);
    EXPECT_TRUE(gui.getExit());

    // The callbacks record what the user picks.
    resolution->value(3);
    resolution->do_callback();
    fullscreen->value(0);
    fullscreen->do_callback();
    vsync->value(0);
    vsync->do_callback();
    quality->value(0);
    quality->do_callback();
    EXPECT_EQ(gui.getChosenWidth(), 1280);
    EXPECT_EQ(gui.getChosenHeight(), 1024);
    EXPECT_FALSE(gui.getFullscreen());
    EXPECT_FALSE(gui.getVerticalSync());
    EXPECT_EQ(gui.getQuality(), 0);

    gui.child(5)->do_callback(); // Start!
    EXPECT_FALSE(gui.getExit());
    EXPECT_FALSE(gui.shown());
    EXPECT_EQ(Fl::first_window(), nullptr);
}

TEST(SetupDialog, FirstModeWithoutTagAndExit)
{
    ModeList modes{{1024, 1024}, {1280, 1024}};
    ORVGui gui(450, 300, "Orvane Demosys v.2.0", orvane_gui_logo_xpm, modes.modes());
    Fl::check();
    EXPECT_EQ(entries(dynamic_cast<Fl_Choice*>(gui.child(1))),
              (std::vector<std::string>{"1024 X 1024 ", "1280 X 1024 (5:4)"}));
    gui.child(5)->do_callback(); // Start! and then, in a second dialog, Exit!
    ORVGui second(450, 300, "Orvane Demosys v.2.0", orvane_gui_logo_xpm, modes.modes());
    EXPECT_TRUE(second.getExit());
    Fl::check();
    second.child(6)->do_callback();
    EXPECT_TRUE(second.getExit());
    EXPECT_FALSE(second.shown());
    EXPECT_EQ(Fl::first_window(), nullptr);
}

TEST(SetupDialog, WithoutAModeListOffersTheDesktopAndWideSizesThatFit)
{
    for (SDL_Rect** answer : {static_cast<SDL_Rect**>(nullptr), reinterpret_cast<SDL_Rect**>(-1)}) {
        ORVGui gui(450, 300, "Orvane Demosys v.2.0", orvane_gui_logo_xpm, answer);
        std::vector<std::string> labels = entries(dynamic_cast<Fl_Choice*>(gui.child(1)));
        ASSERT_GE(labels.size(), 1u);
        // No SDL video here: the desktop is the display's size.
        EXPECT_EQ(labels[0].rfind(std::to_string(Fl::w()) + " X " + std::to_string(Fl::h()) + " ", 0), 0u)
            << labels[0];
        EXPECT_EQ(gui.getChosenWidth(), Fl::w());
        EXPECT_EQ(gui.getChosenHeight(), Fl::h());
        ASSERT_GE(labels.size(), 2u);
        for (size_t i = 1; i < labels.size(); ++i) {
            int w = 0, h = 0;
            ASSERT_EQ(std::sscanf(labels[i].c_str(), "%d X %d", &w, &h), 2) << labels[i];
            EXPECT_LE(w, Fl::w());
            EXPECT_LE(h, Fl::h());
            EXPECT_NE(labels[i].find("(16:9)"), std::string::npos) << labels[i];
        }
        gui.child(6)->do_callback();
    }
}
