#include "ORVGui.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Pixmap.H>
#include <SDL.h>


namespace {

// The dialog's choices; the callbacks write them, the getters read them.
struct Choices {
    int width = 0;
    int height = 0;
    int quality = 2;
    bool fullscreen = true;
    bool verticalSync = true;
    bool exit = true;
    SDL_Rect** modes = nullptr;
};
Choices choices;

// The 16:9 sizes offered when SDL cannot list the modes, largest first.
const int WideSizes[][2] = {{3840, 2160}, {2560, 1440}, {1920, 1080}, {1600, 900}, {1366, 768},
                            {1280, 720},  {1024, 576},  {960, 540},   {854, 480},  {640, 360}};

bool listsModes(SDL_Rect** modes) { return modes && modes != reinterpret_cast<SDL_Rect**>(-1) && modes[0]; }

void hideAllWindows()
{
    while (Fl::first_window())
        Fl::first_window()->hide();
}

void resolutionChanged(Fl_Widget* widget, void*)
{
    int index = static_cast<Fl_Choice*>(widget)->value();
    if (index < 0)
        return;
    choices.width = choices.modes[index]->w;
    choices.height = choices.modes[index]->h;
}

void fullscreenToggled(Fl_Widget* widget, void*) { choices.fullscreen = static_cast<Fl_Check_Button*>(widget)->value() != 0; }

void verticalSyncToggled(Fl_Widget* widget, void*)
{
    choices.verticalSync = static_cast<Fl_Check_Button*>(widget)->value() != 0;
}

void qualityChanged(Fl_Widget* widget, void*) { choices.quality = static_cast<Fl_Choice*>(widget)->value(); }

void startPressed(Fl_Widget*, void*)
{
    choices.exit = false;
    hideAllWindows();
}

void exitPressed(Fl_Widget*, void*)
{
    choices.exit = true;
    hideAllWindows();
}

SDL_Rect** listFullscreenModes()
{
    SDL_Init(SDL_INIT_VIDEO);
    SDL_PixelFormat format{};
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    return SDL_ListModes(&format, SDL_FULLSCREEN | SDL_HWSURFACE);
}

// The logo's own background colour, so the picture's edges vanish into the window.
const Fl_Color Background = fl_rgb_color(16, 20, 28);
const Fl_Color Text = fl_rgb_color(210, 218, 230);

void styleLabel(Fl_Widget* widget)
{
    widget->labelcolor(Text);
    widget->labelsize(13);
}

} // namespace

ORVGui::ORVGui(int width, int height, const char* title, const char* const* logoXpm)
    : Fl_Double_Window((Fl::w() - width) / 2, (Fl::h() - height) / 2, width, height, title)
{
    build(logoXpm, listFullscreenModes());
}

ORVGui::ORVGui(int width, int height, const char* title, const char* const* logoXpm, SDL_Rect** modes)
    : Fl_Double_Window((Fl::w() - width) / 2, (Fl::h() - height) / 2, width, height, title)
{
    build(logoXpm, modes);
}

ORVGui::~ORVGui()
{
    // The box still points at the logo; it is destroyed with the window right after.
    delete logo;
}

SDL_Rect** ORVGui::fallbackModes()
{
    int desktopWidth = 0, desktopHeight = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const SDL_VideoInfo* info = SDL_GetVideoInfo();
        if (info) {
            desktopWidth = info->current_w;
            desktopHeight = info->current_h;
        }
    }
    if (desktopWidth <= 0 || desktopHeight <= 0) {
        desktopWidth = Fl::w();
        desktopHeight = Fl::h();
    }
    fallbackRects.clear();
    fallbackRects.push_back(SDL_Rect{0, 0, Uint16(desktopWidth), Uint16(desktopHeight)});
    for (const auto& size : WideSizes)
        if (size[0] <= desktopWidth && size[1] <= desktopHeight &&
            !(size[0] == desktopWidth && size[1] == desktopHeight))
            fallbackRects.push_back(SDL_Rect{0, 0, Uint16(size[0]), Uint16(size[1])});
    fallbackList.clear();
    for (SDL_Rect& rect : fallbackRects)
        fallbackList.push_back(&rect);
    fallbackList.push_back(nullptr);
    return fallbackList.data();
}

void ORVGui::build(const char* const* logoXpm, SDL_Rect** modes)
{
    // A fresh dialog starts from the documented defaults.
    choices.quality = 2;
    choices.fullscreen = true;
    choices.verticalSync = true;
    choices.exit = true;
    // SDL may answer "no modes" or "any mode"; the list below needs real entries.
    choices.modes = listsModes(modes) ? modes : fallbackModes();

    color(Background);

    if (logoXpm) {
        logo = new Fl_Pixmap(logoXpm);
        Fl_Box* logoBox = new Fl_Box(0, 0, 450, 100);
        logoBox->image(logo);
    }

    Fl_Choice* resolution = new Fl_Choice(125, 120, 200, 25, "Available resolutions:");
    styleLabel(resolution);
    // The long label must fit left of the choice: at 12 pixels it runs about 4 pixels
    // past the dialog's left edge.
    resolution->labelsize(11);
    for (int i = 0; choices.modes[i]; ++i) {
        int w = choices.modes[i]->w, h = choices.modes[i]->h;
        aspectRatio = float(w) / float(h);
        double ratio = aspectRatio;
        if (ratio >= 1.7777777777777777)
            aspectTag = "(16:9)";
        else if (ratio >= 1.6)
            aspectTag = "(16:10)";
        else if (ratio >= 1.3333333333333333)
            aspectTag = "(4:3)";
        else if (aspectRatio >= 1.25f)
            aspectTag = "(5:4)";
        entryLabel = std::to_string(w) + " X " + std::to_string(h) + " " + aspectTag;
        // add() would read '/', '&' and '_' in a label as menu syntax; the labels hold none.
        resolution->add(entryLabel.c_str());
    }
    resolution->value(0);
    choices.width = choices.modes[0]->w;
    choices.height = choices.modes[0]->h;
    resolution->callback(resolutionChanged);

    Fl_Check_Button* fullscreenButton = new Fl_Check_Button(175, 160, 30, 30, "Fullscreen: ");
    fullscreenButton->tooltip("Enable to view in fullscreen.");
    fullscreenButton->align(FL_ALIGN_LEFT);
    styleLabel(fullscreenButton);
    fullscreenButton->value(1);
    fullscreenButton->callback(fullscreenToggled);

    Fl_Check_Button* vsyncButton = new Fl_Check_Button(325, 160, 30, 30, "Vertical sync: ");
    vsyncButton->tooltip("Enable to force Wait for Vertical Sync.");
    vsyncButton->align(FL_ALIGN_LEFT);
    styleLabel(vsyncButton);
    vsyncButton->value(1);
    vsyncButton->callback(verticalSyncToggled);

    Fl_Choice* qualityChoice = new Fl_Choice(200, 200, 100, 25, "Quality: ");
    styleLabel(qualityChoice);
    qualityChoice->add("Low");
    qualityChoice->add("Medium");
    qualityChoice->add("High");
    qualityChoice->add("Ultra");
    qualityChoice->value(2);
    choices.quality = qualityChoice->value();
    qualityChoice->callback(qualityChanged);

    Fl_Button* start = new Fl_Button(125, 240, 95, 40, "Start!");
    start->tooltip("Starts the Demo with the chosen resolution and settings.");
    start->callback(startPressed);

    Fl_Button* leave = new Fl_Button(225, 240, 95, 40, "Exit!");
    leave->tooltip("Exit without watching the Demo.");
    leave->callback(exitPressed);

    end();
    show();
}

int ORVGui::getChosenWidth() const { return choices.width; }
int ORVGui::getChosenHeight() const { return choices.height; }
bool ORVGui::getFullscreen() const { return choices.fullscreen; }
bool ORVGui::getVerticalSync() const { return choices.verticalSync; }
int ORVGui::getQuality() const { return choices.quality; }
bool ORVGui::getExit() const { return choices.exit; }
