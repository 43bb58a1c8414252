#pragma once

#include <FL/Fl_Double_Window.H>

#include <string>
#include <vector>

class Fl_Pixmap;
struct SDL_Rect;

// The setup dialog shown before the demo: fullscreen resolution, fullscreen or windowed,
// vertical sync and quality, then "Start!" or "Exit!". Construction builds and shows the
// window; main runs Fl::run() until the buttons hide it and reads the choices through
// the getters. The choices are process-wide: the widgets' callbacks write them.
//
// The production's logo, an XPM picture 450 x 100, heads the dialog (null: none).
class ORVGui : public Fl_Double_Window {
public:
    // Lists the fullscreen modes through SDL (32 bits per pixel).
    ORVGui(int width, int height, const char* title, const char* const* logoXpm);
    // Lists the given modes instead of asking SDL: a null-terminated array, largest
    // first, as SDL_ListModes returns it (null or (SDL_Rect**)-1 as SDL means them).
    // The array must outlive the dialog.
    ORVGui(int width, int height, const char* title, const char* const* logoXpm, SDL_Rect** modes);
    ~ORVGui() override;

    ORVGui(const ORVGui&) = delete;
    ORVGui& operator=(const ORVGui&) = delete;

    int getChosenWidth() const;
    int getChosenHeight() const;
    bool getFullscreen() const;
    bool getVerticalSync() const;
    int getQuality() const;
    bool getExit() const;

private:
    void build(const char* const* logoXpm, SDL_Rect** modes);
    // When SDL names no mode or any mode: the desktop's own size and the common 16:9
    // sizes that fit it, largest first.
    SDL_Rect** fallbackModes();

    Fl_Pixmap* logo = nullptr;
    float aspectRatio = 0.0f; // of the last listed mode
    std::string aspectTag;    // carried to the next mode when its ratio has no tag
    std::string entryLabel;
    std::vector<SDL_Rect> fallbackRects;
    std::vector<SDL_Rect*> fallbackList;
};
