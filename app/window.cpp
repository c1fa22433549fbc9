// The SDL window, its renderer and the frame's texture.
#include "app/window.h"

#include <cstdio>
#include <cstdlib>
#include "app/png_file.h"

bool openWindow(AppWindow* window, const AppOptions* options, int32_t frameWidth, int32_t frameHeight, char* error,
                size_t errorSize) {
    window->frameWidth = frameWidth;
    window->frameHeight = frameHeight;

    // Window
    Uint32 flags = SDL_WINDOW_RESIZABLE | (options->fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    window->window = SDL_CreateWindow("raysphere", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, options->windowWidth,
                                      options->windowHeight, flags);
    if (window->window == nullptr) {
        snprintf(error, errorSize, "cannot open a window: %s", SDL_GetError());
        return false;
    }
    window->fullscreen = options->fullscreen;

    // Renderer: with vsync, so no frame tears; any kind SDL has
    window->renderer = SDL_CreateRenderer(window->window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (window->renderer == nullptr) {
        window->renderer = SDL_CreateRenderer(window->window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (window->renderer == nullptr) {
        snprintf(error, errorSize, "cannot draw in the window: %s", SDL_GetError());
        return false;
    }
    SDL_RendererInfo info;
    window->vsync = SDL_GetRendererInfo(window->renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;

    // The frame's texture: pixels scaled without smoothing, letterboxed in the frame's shape
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    if (SDL_RenderSetLogicalSize(window->renderer, frameWidth, frameHeight) != 0) {
        snprintf(error, errorSize, "cannot scale the frame to the window: %s", SDL_GetError());
        return false;
    }
    // Blue, green, red and an ignored byte: the frame's own layout.
    window->texture = SDL_CreateTexture(window->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                        frameWidth, frameHeight);
    if (window->texture == nullptr) {
        snprintf(error, errorSize, "cannot make the frame's texture: %s", SDL_GetError());
        return false;
    }
    return true;
}

void drawWindow(AppWindow* window, const FrameImage* image) {
    SDL_UpdateTexture(window->texture, nullptr, image->pixels, image->pitch);
    SDL_SetRenderDrawColor(window->renderer, 0, 0, 0, 255);
    SDL_RenderClear(window->renderer);
    SDL_RenderCopy(window->renderer, window->texture, nullptr, nullptr);
}

void presentWindow(AppWindow* window) {
    SDL_RenderPresent(window->renderer);
}

void toggleFullscreen(AppWindow* window) {
    window->fullscreen = !window->fullscreen;
    SDL_SetWindowFullscreen(window->window, window->fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool resizeWindowFrame(AppWindow* window, int32_t frameWidth, int32_t frameHeight, char* error, size_t errorSize) {
    SDL_Texture* texture = SDL_CreateTexture(window->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                             frameWidth, frameHeight);
    if (texture == nullptr) {
        snprintf(error, errorSize, "cannot make a %dx%d texture: %s", (int)frameWidth, (int)frameHeight,
                 SDL_GetError());
        return false;
    }
    if (SDL_RenderSetLogicalSize(window->renderer, frameWidth, frameHeight) != 0) {
        snprintf(error, errorSize, "cannot scale the frame to the window: %s", SDL_GetError());
        SDL_DestroyTexture(texture);
        SDL_RenderSetLogicalSize(window->renderer, window->frameWidth, window->frameHeight);
        return false;
    }
    SDL_DestroyTexture(window->texture);
    window->texture = texture;
    window->frameWidth = frameWidth;
    window->frameHeight = frameHeight;
    return true;
}

void windowPixelSize(AppWindow* window, int32_t* width, int32_t* height) {
    int w = 0;
    int h = 0;
    if (SDL_GetRendererOutputSize(window->renderer, &w, &h) != 0) {
        SDL_GetWindowSize(window->window, &w, &h);
    }
    *width = w > 1 ? w : 1;
    *height = h > 1 ? h : 1;
}

bool saveWindowPng(AppWindow* window, const FrameImage* image, const char* path, char* error, size_t errorSize) {
    // The last frame drawn again, then read back as the window shows it.
    drawWindow(window, image);
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(window->renderer, &width, &height) != 0 || width <= 0 || height <= 0) {
        snprintf(error, errorSize, "cannot save %s: %s", path, SDL_GetError());
        return false;
    }
    uint8_t* rgb = (uint8_t*)malloc((size_t)width * height * 3);
    if (rgb == nullptr) {
        snprintf(error, errorSize, "cannot save %s: out of memory", path);
        return false;
    }
    // The whole output, black bars too: without the frame's logical size
    // the viewport is the window.
    SDL_RenderSetLogicalSize(window->renderer, 0, 0);
    bool saved = false;
    if (SDL_RenderReadPixels(window->renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb, width * 3) != 0) {
        snprintf(error, errorSize, "cannot save %s: %s", path, SDL_GetError());
    } else {
        saved = writePngFile(path, rgb, width, height, width * 3, error, errorSize);
    }
    SDL_RenderSetLogicalSize(window->renderer, window->frameWidth, window->frameHeight);
    free(rgb);
    return saved;
}

void closeWindow(AppWindow* window) {
    if (window->texture != nullptr) {
        SDL_DestroyTexture(window->texture);
        window->texture = nullptr;
    }
    if (window->renderer != nullptr) {
        SDL_DestroyRenderer(window->renderer);
        window->renderer = nullptr;
    }
    if (window->window != nullptr) {
        SDL_DestroyWindow(window->window);
        window->window = nullptr;
    }
}
