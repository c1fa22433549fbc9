// The window: the frame scaled to it without smoothing, in the frame's
// shape, centred on black; resizable; full screen on request.
#pragma once
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include "app/options.h"
#include "frame/frame_image.h"

struct AppWindow {
    SDL_Window* window;     // made by openWindow, destroyed by closeWindow
    SDL_Renderer* renderer; // presents with vsync where the display has it
    SDL_Texture* texture;   // the frame, streamed each frame
    int32_t frameWidth;     // pixels of the frame shown
    int32_t frameHeight;
    bool fullscreen; // desktop full screen now
    bool vsync;      // the renderer waits for the display's refresh
};

// Makes the window for frames of `frameWidth` x `frameHeight`; false with
// the reason in `error`.
bool openWindow(AppWindow* window, const AppOptions* options, int32_t frameWidth, int32_t frameHeight, char* error,
                size_t errorSize);

// Uploads the frame and draws it over black, letterboxed. Nothing is shown
// until presentWindow.
void drawWindow(AppWindow* window, const FrameImage* image);
void presentWindow(AppWindow* window);

void toggleFullscreen(AppWindow* window);

// Frames of another size from now on: a new texture and the scaling to fit
// it; false, the old size kept, with the reason in `error`.
bool resizeWindowFrame(AppWindow* window, int32_t frameWidth, int32_t frameHeight, char* error, size_t errorSize);

// The pixels the window shows now, full screen or not (at least 1 x 1).
void windowPixelSize(AppWindow* window, int32_t* width, int32_t* height);

// Saves what the window shows now, at the window's own size, as PNG.
bool saveWindowPng(AppWindow* window, const FrameImage* image, const char* path, char* error, size_t errorSize);

void closeWindow(AppWindow* window);
