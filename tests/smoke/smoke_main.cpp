// Windows only. A real run of the plug-in library, the way the player drives
// it: load it, show the about box, start the visualisation in its full-screen
// mode, render frames while dispatching window messages, end it with ESC, stop
// it and check that the desktop came back, then start and stop it once more. tests/smoke/run_smoke.sh runs this
// program on a virtual X screen and takes the screenshots while it waits.
//
// Usage: smoke.exe DLL SIGNAL_FOLDER
// The program and the script talk through empty files in SIGNAL_FOLDER: the
// program makes "about-shown" and "frames-shown" when there is something to
// see, the script answers with "about-taken" and "frames-taken". At the end
// the program writes its exit code into "result".
#ifndef _WIN32
#error "tests/smoke/smoke_main.cpp is Windows-only"
#endif
#include <windows.h>
#include <cstdio>
#include <cstring>
#include "host/winamp_vis.h"
#include "audio/demo_tune.h"
#include "player/messages.h"

namespace {

constexpr DWORD SIGNAL_WAIT_MS = 120000;  // the script may still be starting up
constexpr int32_t FIRST_FRAMES = 60;      // frames rendered before the screenshot
constexpr int32_t QUIT_FRAME_LIMIT = 100; // frames allowed between ESC and WM_QUIT
constexpr int32_t TITLE_REPEAT = 5;       // frames between two SPACE presses
constexpr int32_t RESTART_FRAMES = 10;    // frames of the second start
constexpr int32_t SIZE_LOG_LENGTH = 16;

const char ABOUT_CAPTION[] = "raytraced spheres winamp plugin";
const char DISPLAY_CLASS[] = "sphere raytracer";
const char SONG_TITLE[] = "smoke run: demo tune";

// What the player's stand-in saw; written by its window procedure.
struct PlayerWindow {
    HWND window;                      // the main window handed over as hwndParent
    int32_t sizeLog[SIZE_LOG_LENGTH]; // WM_SIZE wParam values since the log was cleared
    int32_t sizeCount;                // entries used in sizeLog
    int32_t positionQueries;          // WM_USER 125 answered
    int32_t titleQueries;             // WM_USER 212 answered
};

// The about box as the timer found it.
struct AboutCheck {
    HWND dialog;        // the box, once found
    char caption[64];   // its caption
    int32_t children;   // child windows of the box
    int32_t bitmapWide; // size of the picture's bitmap, 0 when it has none
    int32_t bitmapHigh;
    bool closed;    // OK posted
    DWORD deadline; // tick count by which the script must answer
};

PlayerWindow player;
AboutCheck about;
char signalFolder[MAX_PATH];
int failures = 0;

// Reports one failed expectation and counts it.
void fail(const char* what) {
    printf("smoke: FAILED: %s\n", what);
    fflush(stdout);
    failures++;
}

void expect(bool condition, const char* what) {
    if (!condition) {
        fail(what);
    }
}

void signalPath(char* path, const char* name) {
    snprintf(path, MAX_PATH, "%s\\%s", signalFolder, name);
}

void makeSignal(const char* name) {
    char path[MAX_PATH];
    signalPath(path, name);
    FILE* file = fopen(path, "w");
    if (file == nullptr) {
        fail("cannot write a signal file");
        return;
    }
    fclose(file);
}

bool hasSignal(const char* name) {
    char path[MAX_PATH];
    signalPath(path, name);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The player's window: answers the title queries and logs size notifications.
LRESULT CALLBACK playerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        if (player.sizeCount < SIZE_LOG_LENGTH) {
            player.sizeLog[player.sizeCount++] = static_cast<int32_t>(wParam);
        }
        return 0;
    }
    if (message == WM_USER && lParam == 125) {
        player.positionQueries++;
        return 0;
    }
    if (message == WM_USER && lParam == 212) {
        player.titleQueries++;
        return wParam == 0 ? reinterpret_cast<LRESULT>(SONG_TITLE) : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool createPlayerWindow(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = playerWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "smoke player";
    if (RegisterClassA(&windowClass) == 0) {
        return false;
    }
    player.window = CreateWindowExA(0, "smoke player", "smoke player", WS_OVERLAPPEDWINDOW, 380, 300, 240, 150, nullptr,
                                    nullptr, instance, nullptr);
    if (player.window == nullptr) {
        return false;
    }
    ShowWindow(player.window, SW_SHOWNOACTIVATE);
    return true;
}

// True when `wanted` occurs in the size log in this order, other entries between.
bool sizeLogHas(const int32_t* wanted, int32_t count) {
    int32_t next = 0;
    for (int32_t i = 0; i < player.sizeCount && next < count; i++) {
        if (player.sizeLog[i] == wanted[next]) {
            next++;
        }
    }
    return next == count;
}

void printSizeLog() {
    printf("smoke: size notifications:");
    for (int32_t i = 0; i < player.sizeCount; i++) {
        printf(" %d", player.sizeLog[i]);
    }
    printf("\n");
}

// Finds a dialog box among the windows of this thread.
BOOL CALLBACK findDialog(HWND window, LPARAM) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32770") != 0) {
        return TRUE;
    }
    about.dialog = window;
    return FALSE;
}

// Counts the child windows of the about box.
BOOL CALLBACK countChild(HWND, LPARAM) {
    about.children++;
    return TRUE;
}

// Finds the picture control of the about box and measures its bitmap.
BOOL CALLBACK measurePicture(HWND child, LPARAM) {
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) != SS_BITMAP) {
        return TRUE;
    }
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP description = {};
    if (bitmap != nullptr && GetObjectA(bitmap, sizeof description, &description) != 0) {
        about.bitmapWide = description.bmWidth;
        about.bitmapHigh = description.bmHeight;
    }
    return FALSE;
}

// Runs inside the about box's modal loop: inspects the box once it is up,
// tells the script, and presses OK once the screenshot is taken.
void CALLBACK aboutTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    if (about.closed) {
        return;
    }
    if (about.dialog == nullptr) {
        EnumThreadWindows(GetCurrentThreadId(), findDialog, 0);
        if (about.dialog == nullptr) {
            return;
        }
        GetWindowTextA(about.dialog, about.caption, sizeof about.caption);
        EnumChildWindows(about.dialog, countChild, 0);
        EnumChildWindows(about.dialog, measurePicture, 0);
        UpdateWindow(about.dialog);
        makeSignal("about-shown");
        about.deadline = GetTickCount() + SIGNAL_WAIT_MS;
        return;
    }
    bool late = static_cast<LONG>(GetTickCount() - about.deadline) > 0;
    if (!hasSignal("about-taken") && !late) {
        return;
    }
    expect(!late, "no answer to about-shown");
    PostMessageA(about.dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    about.closed = true;
    KillTimer(nullptr, timer);
}

// Shows the about box through Config and checks what the dialog manager made of it.
void runAbout(winampVisModule* module) {
    about.deadline = GetTickCount() + SIGNAL_WAIT_MS;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, aboutTimer);
    module->Config(module);
    KillTimer(nullptr, timer);
    printf("smoke: about box %s, \"%s\", %d controls, picture %d x %d\n", about.dialog ? "shown" : "NOT shown",
           about.caption, about.children, about.bitmapWide, about.bitmapHigh);
    expect(about.dialog != nullptr, "Config showed no about box");
    expect(strcmp(about.caption, ABOUT_CAPTION) == 0, "the about box's caption");
    expect(about.children == 5, "the about box has 5 controls");
    expect(about.bitmapWide == 320 && about.bitmapHigh == 181, "the about picture is 320 x 181");
    expect(about.closed, "the about box was not closed by OK");
    expect(about.dialog == nullptr || !IsWindow(about.dialog), "the about box is gone when Config returns");
}

// Renders one frame with the demo tune's next block; false when Render refused.
bool renderFrame(winampVisModule* module, uint32_t* tunePosition) {
    demoTuneWaveform(*tunePosition, module->waveformData);
    *tunePosition += DEMO_FRAME_SAMPLES;
    return module->Render(module) == 0;
}

// Starts the visualisation, shows frames until the screenshot is taken,
// presses ESC and stops the visualisation once WM_QUIT arrives.
void runVisualisation(winampVisModule* module) {
    int screenWide = GetSystemMetrics(SM_CXSCREEN);
    int screenHigh = GetSystemMetrics(SM_CYSCREEN);
    player.sizeCount = 0;

    // Start
    int32_t result = module->Init(module);
    printf("smoke: Init returned %d; desktop %d x %d, during the run %d x %d\n", result, screenWide, screenHigh,
           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (result != 0) {
        fail("Init did not return 0");
        return;
    }
    expect(GetSystemMetrics(SM_CXSCREEN) == 320 && GetSystemMetrics(SM_CYSCREEN) == 200, "the mode is 320 x 200");
    HWND display = FindWindowA(DISPLAY_CLASS, nullptr);
    expect(display != nullptr && IsWindowVisible(display), "the display window is shown");

    // Frames, with the title asked for again and again so that it shows
    uint32_t tunePosition = 0;
    int32_t frames = 0;
    bool quitArrived = false;
    bool refused = false;
    DWORD deadline = GetTickCount() + SIGNAL_WAIT_MS;
    while (!quitArrived && !refused && frames < FIRST_FRAMES) {
        if (frames % TITLE_REPEAT == 0 && display != nullptr) {
            PostMessageA(display, WM_KEYDOWN, VK_SPACE, 0);
        }
        quitArrived = !pumpMessages();
        refused = !quitArrived && !renderFrame(module, &tunePosition);
        frames++;
    }
    makeSignal("frames-shown");
    // The frame held, its messages still dispatched, until the screenshot is
    // taken: the scene moves, and some of its frames show little sky.
    bool late = false;
    while (!quitArrived && !refused && !hasSignal("frames-taken") && !late) {
        quitArrived = !pumpMessages();
        Sleep(10);
        late = static_cast<LONG>(GetTickCount() - deadline) > 0;
    }
    expect(!late, "no answer to frames-shown");
    expect(!quitArrived, "WM_QUIT before ESC");
    expect(!refused, "Render returned non-zero");

    // ESC: released, it must end the visualisation through WM_QUIT
    int32_t afterEscape = 0;
    if (display != nullptr) {
        PostMessageA(display, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(display, WM_KEYUP, VK_ESCAPE, 0);
    }
    while (!quitArrived && afterEscape < QUIT_FRAME_LIMIT) {
        quitArrived = !pumpMessages();
        if (!quitArrived && !renderFrame(module, &tunePosition)) {
            fail("Render returned non-zero after ESC");
            break;
        }
        afterEscape++;
    }
    printf("smoke: %d frames rendered, WM_QUIT %s %d frames after ESC; %d title queries\n", frames,
           quitArrived ? "arrived" : "did NOT arrive", afterEscape, player.titleQueries);
    expect(quitArrived, "releasing ESC ends the visualisation");
    expect(player.positionQueries > 0 && player.titleQueries > 0, "SPACE made the title be asked for");

    // Stop
    module->Quit(module);
    printf("smoke: after Quit the desktop is %d x %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    printSizeLog();
    expect(GetSystemMetrics(SM_CXSCREEN) == screenWide && GetSystemMetrics(SM_CYSCREEN) == screenHigh,
           "the desktop mode is back after Quit");
    expect(FindWindowA(DISPLAY_CLASS, nullptr) == nullptr, "the display window is gone after Quit");
    WNDCLASSA windowClass;
    expect(!GetClassInfoA(module->hDllInstance, DISPLAY_CLASS, &windowClass), "the window class is unregistered");
    const int32_t notifications[] = {SIZE_MINIMIZED, SIZE_RESTORED, SIZE_MAXIMIZED};
    expect(sizeLogHas(notifications, 3), "the player window was told minimised, restored, maximised");
}

// A second start after Quit: the class is registered again and frames come.
void runRestart(winampVisModule* module) {
    int screenWide = GetSystemMetrics(SM_CXSCREEN);
    int32_t result = module->Init(module);
    expect(result == 0, "Init after Quit did not return 0");
    if (result != 0) {
        return;
    }
    uint32_t tunePosition = 0;
    int32_t refused = 0;
    for (int32_t frame = 0; frame < RESTART_FRAMES; frame++) {
        pumpMessages();
        refused += renderFrame(module, &tunePosition) ? 0 : 1;
    }
    module->Quit(module);
    printf("smoke: restarted, %d frames, %d refused\n", RESTART_FRAMES, refused);
    expect(refused == 0, "Render returned non-zero after the restart");
    expect(GetSystemMetrics(SM_CXSCREEN) == screenWide, "the desktop mode is back after the second Quit");
}

// Loads the library and runs every part; returns the number of failures.
int runSmoke(const char* libraryPath) {
    HMODULE library = LoadLibraryA(libraryPath);
    if (library == nullptr) {
        fail("cannot load the library");
        return failures;
    }
    typedef winampVisHeader* (*GetHeader)();
    // Through void (*)(), the one function type a cast may pass without a warning.
    typedef void (*AnyFunction)();
    AnyFunction found = reinterpret_cast<AnyFunction>(GetProcAddress(library, "winampVisGetHeader"));
    GetHeader getHeader = reinterpret_cast<GetHeader>(found);
    winampVisHeader* header = getHeader != nullptr ? getHeader() : nullptr;
    winampVisModule* module = header != nullptr ? header->getModule(0) : nullptr;
    if (module == nullptr) {
        fail("no winampVisGetHeader or no module 0");
        FreeLibrary(library);
        return failures;
    }
    printf("smoke: \"%s\", version 0x%x, module \"%s\"\n", header->description, static_cast<unsigned>(header->version),
           module->description);
    expect(header->version == VIS_HEADER_VERSION, "header version 0x101");
    expect(header->getModule(1) == nullptr, "only one module");

    module->hwndParent = player.window;
    module->hDllInstance = library;
    module->nCh = 2;
    runAbout(module);
    runVisualisation(module);
    runRestart(module);
    FreeLibrary(library);
    return failures;
}

void writeResult(int code) {
    char path[MAX_PATH];
    signalPath(path, "result");
    FILE* file = fopen(path, "wb");
    if (file != nullptr) {
        fprintf(file, "%d\n", code);
        fclose(file);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        printf("usage: smoke.exe DLL SIGNAL_FOLDER\n");
        return 2;
    }
    snprintf(signalFolder, sizeof signalFolder, "%s", argv[2]);
    int code = 1;
    if (createPlayerWindow(GetModuleHandleA(nullptr))) {
        code = runSmoke(argv[1]) == 0 ? 0 : 1;
    } else {
        fail("cannot create the player's window");
    }
    printf("smoke: %s\n", code == 0 ? "passed" : "FAILED");
    fflush(stdout);
    writeResult(code);
    return code;
}
