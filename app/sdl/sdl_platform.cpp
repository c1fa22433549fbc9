// The Linux back end: SDL2's window, renderer, events, sound output and clock.
// SDL's sound reaches PulseAudio, PipeWire or ALSA, whichever answers.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/platform.h"
#include "app/png_file.h"

namespace {

constexpr int32_t SOUND_BUFFER_FRAMES = 1024; // the sound device's buffer, about 23 ms at 44.1 kHz

struct SdlState {
    SDL_Window* window;     // made by openWindow, destroyed by closeWindow
    SDL_Renderer* renderer; // presents with vsync where the display has it
    SDL_Texture* texture;   // the frame, streamed each frame
    int32_t frameWidth;     // pixels of the frame shown
    int32_t frameHeight;
    bool fullscreen;         // desktop full screen now
    bool vsync;              // the renderer waits for the display's refresh
    bool started;            // SDL_Init succeeded
    char describe[128];      // the driver and vsync, for --verbose
    SDL_AudioDeviceID sound; // open sound device, 0 when none
    int32_t soundChannels;   // channels of its samples
    SoundFill fill;          // the program's routine for each buffer
    void* fillContext;
    uint64_t fillTicks; // performance counter when the device last asked for a buffer, 0 before
    int32_t fillFrames; // frames of that buffer
};

SdlState sdl;

bool start(const AppOptions* options, char* error, size_t errorSize) {
    // A display is needed, sound is not; the signals are the program's
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (options->headless) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0); // a driver of the caller's choice stays
        // Nothing to show on: SDL's software renderer straight into the
        // window's memory, without loading a graphics library.
        setenv("SDL_RENDER_DRIVER", "software", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        snprintf(error, errorSize, "no display to open a window on (%s); --headless runs without one", SDL_GetError());
        return false;
    }
    sdl.started = true;
    // SDL falls back to drawing in memory when it finds no display; unasked
    // for, that is no display either.
    const char* driver = SDL_GetCurrentVideoDriver();
    bool inMemory = driver != nullptr && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
    if (inMemory && !options->headless && getenv("SDL_VIDEODRIVER") == nullptr) {
        snprintf(error, errorSize,
                 "no display to open a window on (neither X11 nor Wayland answered); --headless runs without one");
        return false;
    }
    return true;
}

bool startSound(char* error, size_t errorSize) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        snprintf(error, errorSize, "%s", SDL_GetError());
        return false;
    }
    return true;
}

void stop() {
    if (sdl.started) {
        SDL_Quit();
        sdl.started = false;
    }
}

// Window

bool openWindow(const AppOptions* options, int32_t frameWidth, int32_t frameHeight, char* error, size_t errorSize) {
    sdl.frameWidth = frameWidth;
    sdl.frameHeight = frameHeight;

    // Window
    Uint32 flags = SDL_WINDOW_RESIZABLE | (options->fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    sdl.window = SDL_CreateWindow("raysphere", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, options->windowWidth,
                                  options->windowHeight, flags);
    if (sdl.window == nullptr) {
        snprintf(error, errorSize, "cannot open a window: %s", SDL_GetError());
        return false;
    }
    sdl.fullscreen = options->fullscreen;

    // Renderer: with vsync, so no frame tears; any kind SDL has
    sdl.renderer = SDL_CreateRenderer(sdl.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (sdl.renderer == nullptr) {
        sdl.renderer = SDL_CreateRenderer(sdl.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (sdl.renderer == nullptr) {
        snprintf(error, errorSize, "cannot draw in the window: %s", SDL_GetError());
        return false;
    }
    SDL_RendererInfo info;
    sdl.vsync = SDL_GetRendererInfo(sdl.renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    snprintf(sdl.describe, sizeof sdl.describe, "window on SDL's %s driver, %s", SDL_GetCurrentVideoDriver(),
             sdl.vsync ? "presented with vsync" : "presented without vsync");

    // The frame's texture: pixels scaled without smoothing, letterboxed in the frame's shape
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    if (SDL_RenderSetLogicalSize(sdl.renderer, frameWidth, frameHeight) != 0) {
        snprintf(error, errorSize, "cannot scale the frame to the window: %s", SDL_GetError());
        return false;
    }
    // Blue, green, red and an ignored byte: the frame's own layout.
    sdl.texture =
        SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, frameWidth, frameHeight);
    if (sdl.texture == nullptr) {
        snprintf(error, errorSize, "cannot make the frame's texture: %s", SDL_GetError());
        return false;
    }
    return true;
}

bool resizeFrame(int32_t frameWidth, int32_t frameHeight, char* error, size_t errorSize) {
    if (sdl.renderer == nullptr) {
        return true; // the window, once open, is made for the size then
    }
    SDL_Texture* texture =
        SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, frameWidth, frameHeight);
    if (texture == nullptr) {
        snprintf(error, errorSize, "cannot make a %dx%d texture: %s", (int)frameWidth, (int)frameHeight,
                 SDL_GetError());
        return false;
    }
    if (SDL_RenderSetLogicalSize(sdl.renderer, frameWidth, frameHeight) != 0) {
        snprintf(error, errorSize, "cannot scale the frame to the window: %s", SDL_GetError());
        SDL_DestroyTexture(texture);
        SDL_RenderSetLogicalSize(sdl.renderer, sdl.frameWidth, sdl.frameHeight);
        return false;
    }
    SDL_DestroyTexture(sdl.texture);
    sdl.texture = texture;
    sdl.frameWidth = frameWidth;
    sdl.frameHeight = frameHeight;
    return true;
}

void draw(const FrameImage* image) {
    SDL_UpdateTexture(sdl.texture, nullptr, image->pixels, image->pitch);
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    SDL_RenderCopy(sdl.renderer, sdl.texture, nullptr, nullptr);
}

void present() {
    SDL_RenderPresent(sdl.renderer);
}

void toggleFullscreen() {
    sdl.fullscreen = !sdl.fullscreen;
    SDL_SetWindowFullscreen(sdl.window, sdl.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool isFullscreen() {
    return sdl.fullscreen;
}

void pixelSize(int32_t* width, int32_t* height) {
    int w = 0;
    int h = 0;
    if (SDL_GetRendererOutputSize(sdl.renderer, &w, &h) != 0) {
        SDL_GetWindowSize(sdl.window, &w, &h);
    }
    *width = w > 1 ? w : 1;
    *height = h > 1 ? h : 1;
}

void windowSize(int32_t* width, int32_t* height) {
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(sdl.window, &w, &h);
    *width = w;
    *height = h;
}

bool saveScreenshot(const FrameImage* image, const char* path, char* error, size_t errorSize) {
    // The last frame drawn again, then read back as the window shows it.
    draw(image);
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(sdl.renderer, &width, &height) != 0 || width <= 0 || height <= 0) {
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
    SDL_RenderSetLogicalSize(sdl.renderer, 0, 0);
    bool saved = false;
    if (SDL_RenderReadPixels(sdl.renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb, width * 3) != 0) {
        snprintf(error, errorSize, "cannot save %s: %s", path, SDL_GetError());
    } else {
        saved = writePngFile(path, rgb, width, height, width * 3, error, errorSize);
    }
    SDL_RenderSetLogicalSize(sdl.renderer, sdl.frameWidth, sdl.frameHeight);
    free(rgb);
    return saved;
}

const char* describeWindow() {
    return sdl.describe;
}

bool hasVsync() {
    return sdl.vsync;
}

// The codes of each key the program answers, in its order; a second code
// where two keys do the same, 0 for none.
const SDL_Keycode KEY_CODES[KEY_OTHER][2] = {
    {SDLK_ESCAPE}, {SDLK_SPACE}, {SDLK_f}, {SDLK_RETURN, SDLK_KP_ENTER},       {SDLK_n},
    {SDLK_p},      {SDLK_i},     {SDLK_w}, {SDLK_PAGEDOWN, SDLK_RIGHTBRACKET}, {SDLK_PAGEUP, SDLK_LEFTBRACKET}};

int32_t keyOf(SDL_Keycode code) {
    int32_t key = 0;
    while (key < KEY_OTHER && code != KEY_CODES[key][0] && (code == 0 || code != KEY_CODES[key][1])) {
        key++;
    }
    return key;
}

bool pollEvent(AppEvent* event) {
    SDL_Event sdlEvent;
    while (SDL_PollEvent(&sdlEvent)) {
        *event = AppEvent{};
        if (sdlEvent.type == SDL_QUIT) {
            event->kind = APP_EVENT_QUIT;
            return true;
        }
        if (sdlEvent.type == SDL_KEYDOWN) {
            event->kind = APP_EVENT_KEY;
            event->key = keyOf(sdlEvent.key.keysym.sym);
            event->repeat = sdlEvent.key.repeat != 0;
            event->alt = (sdlEvent.key.keysym.mod & KMOD_ALT) != 0;
            return true;
        }
        if (sdlEvent.type == SDL_MOUSEBUTTONDOWN && sdlEvent.button.button == SDL_BUTTON_LEFT &&
            sdlEvent.button.clicks == 2) {
            event->kind = APP_EVENT_DOUBLE_CLICK;
            return true;
        }
        if (sdlEvent.type == SDL_AUDIODEVICEREMOVED && sdlEvent.adevice.iscapture == 0 && sdl.sound != 0 &&
            sdlEvent.adevice.which == sdl.sound) {
            event->kind = APP_EVENT_SOUND_LOST;
            return true;
        }
    }
    return false;
}

void closeWindow() {
    if (sdl.texture != nullptr) {
        SDL_DestroyTexture(sdl.texture);
        sdl.texture = nullptr;
    }
    if (sdl.renderer != nullptr) {
        SDL_DestroyRenderer(sdl.renderer);
        sdl.renderer = nullptr;
    }
    if (sdl.window != nullptr) {
        SDL_DestroyWindow(sdl.window);
        sdl.window = nullptr;
    }
}

// Sound out

// The device's request for the next buffer; on SDL's audio thread.
void fillSoundBuffer(void*, Uint8* stream, int length) {
    sdl.fillTicks = SDL_GetPerformanceCounter();
    sdl.fillFrames = length / (int32_t)(sizeof(int16_t) * sdl.soundChannels);
    sdl.fill(sdl.fillContext, (int16_t*)stream, sdl.fillFrames);
}

int32_t soundRate; // frames a second of the open device

bool openSound(int32_t sampleRate, int32_t channels, SoundFill fill, void* context, char* error, size_t errorSize) {
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
        snprintf(error, errorSize, "no sound system");
        return false;
    }
    sdl.fill = fill;
    sdl.fillContext = context;
    sdl.fillTicks = 0;
    sdl.fillFrames = 0;
    sdl.soundChannels = channels;
    SDL_AudioSpec want;
    SDL_zero(want);
    soundRate = sampleRate;
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = (Uint8)channels;
    want.samples = SOUND_BUFFER_FRAMES;
    want.callback = fillSoundBuffer;
    SDL_AudioSpec have;
    sdl.sound = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (sdl.sound == 0) {
        snprintf(error, errorSize, "%s", SDL_GetError());
        return false;
    }
    SDL_PauseAudioDevice(sdl.sound, 0);
    return true;
}

void lockSound() {
    if (sdl.sound != 0) {
        SDL_LockAudioDevice(sdl.sound);
    }
}

void unlockSound() {
    if (sdl.sound != 0) {
        SDL_UnlockAudioDevice(sdl.sound);
    }
}

// The buffer just asked for plays once the one before it has: heard now is
// the start of the one before plus the time since the request.
int64_t soundLatencyFrames() {
    if (sdl.fillTicks == 0) {
        return 0;
    }
    uint64_t now = SDL_GetPerformanceCounter();
    int64_t since = (int64_t)((now - sdl.fillTicks) * 1000 / SDL_GetPerformanceFrequency()) * soundRate / 1000;
    return sdl.fillFrames + SOUND_BUFFER_FRAMES - (since < SOUND_BUFFER_FRAMES ? since : SOUND_BUFFER_FRAMES);
}

void closeSound() {
    if (sdl.sound != 0) {
        SDL_CloseAudioDevice(sdl.sound);
        sdl.sound = 0;
    }
}

// The clock

uint64_t ticks() {
    return SDL_GetPerformanceCounter();
}

uint64_t tickFrequency() {
    return SDL_GetPerformanceFrequency();
}

void sleepMilliseconds(uint32_t milliseconds) {
    SDL_Delay(milliseconds);
}

} // namespace

// Linux hands the command line over as it was typed: UTF-8 already.
bool keepArguments(int* argc, char*** argv) {
    (void)argc;
    (void)argv;
    return true;
}

const Platform platform = {
    keepArguments,      start,          startSound, stop,
    openWindow,         resizeFrame,    draw,       present,
    toggleFullscreen,   isFullscreen,   pixelSize,  windowSize,
    saveScreenshot,     describeWindow, hasVsync,   pollEvent,
    closeWindow,        openSound,      lockSound,  unlockSound,
    soundLatencyFrames, closeSound,     ticks,      tickFrequency,
    sleepMilliseconds,
};
