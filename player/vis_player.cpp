// Windows only. vis_player: runs a visualisation plug-in the way the player
// does, on one thread: load, Init, a frame loop that dispatches window
// messages and feeds each Render the waveform playing, Quit, unload.
#ifndef _WIN32
#error "player/vis_player.cpp is Windows-only"
#endif
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <windows.h>
#include <mmsystem.h>
#include "audio/file_bytes.h"
#include "player/messages.h"
#include "player/options.h"
#include "player/player_state.h"
#include "player/plugin_host.h"
#include "audio/raw_waveform.h"
#include "cli/same_file.h"
#include "player/sound_output.h"
#include "player/virtual_desktop.h"
#include "player/wav_file.h"
#include "audio/demo_tune.h"
#include "version.h"

namespace {

constexpr int EXIT_FAILED = 1;                            // the plug-in or the audio could not be used
constexpr int EXIT_BAD_ARGUMENTS = EXIT_BAD_COMMAND_LINE; // the command line was wrong
constexpr size_t ERROR_CHARS = 512;
constexpr size_t COMMAND_LINE_CHARS = 32768; // the longest command line Windows takes

// Why the frame loop ended.
enum RunEnd { END_FRAMES, END_SECONDS, END_QUIT_MESSAGE, END_RENDER_STOP, RUN_END_COUNT };

const char* const RUN_END_NAMES[] = {
    "frames",  // END_FRAMES
    "seconds", // END_SECONDS
    "WM_QUIT", // END_QUIT_MESSAGE
    "Render",  // END_RENDER_STOP
};
static_assert(sizeof RUN_END_NAMES / sizeof RUN_END_NAMES[0] == RUN_END_COUNT, "one name per end");

// What the run reads, loaded before the plug-in starts.
struct RunInputs {
    FileBytes audioFiles[PLAYLIST_MAX_ENTRIES]; // contents of the WAV files
    RawWaveformFile waveform;                   // --waveform read whole, when useRaw
    bool useRaw;                                // frames are fed from --waveform
};

// The run's own state besides the player's (player_state.h).
struct HostRun {
    PluginHost plugin;            // loaded in main, unloaded at the end
    SoundOutput sound;            // opened by followSound when --sound is given
    bool soundWanted;             // --sound, until the device refuses
    LARGE_INTEGER clockFrequency; // performance counter ticks per second
    LARGE_INTEGER clockStart;     // the counter when the run started
};

PlayerOptions options; // the command line, read first
RunInputs inputs;      // loaded before the plug-in starts
HostRun run;

int fail(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints "vis_player: ..." on stderr and returns `code` for main to exit with.
int fail(int code, const char* format, ...) {
    va_list values;
    va_start(values, format);
    fputs("vis_player: ", stderr);
    vfprintf(stderr, format, values);
    fputc('\n', stderr);
    va_end(values);
    logLine(&player.log, "Exit %d", code);
    return code;
}

// Milliseconds since the run started.
int64_t clockMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (now.QuadPart - run.clockStart.QuadPart) * 1000 / run.clockFrequency.QuadPart;
}

// Waits until clock time `untilMs` while dispatching messages as they come;
// false once WM_QUIT has arrived.
bool waitDispatching(int64_t untilMs) {
    for (;;) {
        if (!pumpMessages()) {
            return false;
        }
        int64_t leftMs = untilMs - clockMs();
        if (leftMs <= 0) {
            return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)leftMs, QS_ALLINPUT);
    }
}

// The playlist: each WAV file named, or the demo tune when none is.
int buildPlaylist() {
    clearPlaylist(&player.playlist);
    char error[ERROR_CHARS];
    for (int32_t i = 0; i < options.audioCount; i++) {
        const char* path = options.audioPaths[i];
        if (!loadFileBytes(path, &inputs.audioFiles[i], error, sizeof error)) {
            return fail(EXIT_FAILED, "%s", error);
        }
        WavAudio wav;
        WavStatus status = parseWav(inputs.audioFiles[i].bytes, inputs.audioFiles[i].size, &wav);
        if (status != WAV_OK) {
            formatWavError(error, sizeof error, path, status, &wav);
            return fail(EXIT_FAILED, "%s", error);
        }
        AudioSource source;
        openAudioInMemory(&source, wav.pcm, wav.channels, wav.sampleRate, wav.frameCount);
        char title[PLAYLIST_TITLE_CHARS];
        titleFromPath(path, title, sizeof title);
        addPlaylistEntry(&player.playlist, title, &source);
    }
    if (options.audioCount == 0) {
        AudioSource demo;
        openDemoTune(&demo);
        addPlaylistEntry(&player.playlist, DEMO_TUNE_TITLE, &demo);
    }
    return 0;
}

// The raw waveform file of --waveform, if any.
int loadWaveformFile() {
    if (options.waveformPath == nullptr) {
        return 0;
    }
    char error[ERROR_CHARS];
    if (!loadRawWaveform(options.waveformPath, &inputs.waveform, error, sizeof error)) {
        return fail(EXIT_FAILED, "%s", error);
    }
    inputs.useRaw = true;
    return 0;
}

// Keeps the sound output on the entry that plays, opening the device anew
// when the entry changes; a refusal is told once and the run goes on silent.
void followSound() {
    if (!run.soundWanted) {
        return;
    }
    if (run.sound.entry != player.playback.entry) {
        closeSound(&run.sound);
        char error[ERROR_CHARS];
        const AudioSource* source = &player.playlist.entries[player.playback.entry].source;
        if (!openSound(&run.sound, source, player.playback.entry, player.playback.frame, error, sizeof error)) {
            fprintf(stderr, "vis_player: %s; going on without sound\n", error);
            logLine(&player.log, "Sound off: %s", error);
            run.soundWanted = false;
            return;
        }
    }
    feedSound(&run.sound);
}

// Fills the module's waveform and channel count for Render call `index`.
void fillWaveform(winampVisModule* module, int64_t index) {
    int32_t previousEntry = player.playback.entry;
    // A frame-counted run steps the audio one frame of the renderers' pace
    // per Render, so that it is reproducible; otherwise the clock leads.
    followPlayback(&player.playback, &player.playlist, options.frames > 0 ? index : clockMs());
    if (player.playback.entry != previousEntry) {
        showPlayingTitle();
    }
    const AudioSource* source = &player.playlist.entries[player.playback.entry].source;
    module->sRate = source->sampleRate;
    if (inputs.useRaw) {
        rawWaveformBlock(&inputs.waveform.raw, index, module->waveformData);
        module->nCh = VIS_CHANNEL_SLOTS;
    } else {
        blockAtFrame(source, player.playback.frame, module->waveformData);
        module->nCh = source->channels;
    }
}

// Calls Render once per frame at the module's pace (or --delay) until the
// frame or time limit, a quit message, or a non-zero Render.
RunEnd runFrames(winampVisModule* module) {
    int64_t delayMs = options.delayMs >= 0 ? options.delayMs : module->delayMs;
    startPlayback(&player.playback, &player.playlist, 0, options.frames > 0 ? DEMO_FRAMES_PER_SECOND : 1000);
    for (int64_t index = 0;; index++) {
        if (!pumpMessages()) {
            return END_QUIT_MESSAGE;
        }
        if (options.frames > 0 && index >= options.frames) {
            return END_FRAMES;
        }
        int64_t frameStartMs = clockMs();
        if (options.seconds > 0 && frameStartMs >= options.seconds * 1000) {
            return END_SECONDS;
        }
        fillWaveform(module, index);
        followSound();
        int32_t result = module->Render(module);
        countRender(&player.log, result);
        if (result != 0) {
            return END_RENDER_STOP;
        }
        if (!waitDispatching(frameStartMs + delayMs)) {
            return END_QUIT_MESSAGE;
        }
    }
}

// After the last frame: the display stays as it is, messages are still
// dispatched, nothing is rendered, until the time is up or WM_QUIT comes.
void holdLastFrame() {
    logLine(&player.log, "Hold %lld s", (long long)options.holdSeconds);
    if (waitDispatching(clockMs() + options.holdSeconds * 1000)) {
        logLine(&player.log, "Hold ended after %lld s", (long long)options.holdSeconds);
    } else {
        logLine(&player.log, "Hold ended by WM_QUIT");
    }
}

// Everything from the loaded plug-in on: the about box, or Init, the frames and Quit.
int runPlugin(winampVisModule* module) {
    module->hwndParent = player.window;
    module->hDllInstance = (HINSTANCE)run.plugin.library;
    const AudioSource* first = &player.playlist.entries[0].source;
    module->sRate = first->sampleRate;
    module->nCh = inputs.useRaw ? VIS_CHANNEL_SLOTS : first->channels;

    if (options.config) {
        logLine(&player.log, "Config");
        module->Config(module);
        logLine(&player.log, "Config returned");
        return 0;
    }

    int32_t initResult = module->Init(module);
    logLine(&player.log, "Init %d", (int)initResult);
    if (initResult != 0) {
        return fail(EXIT_FAILED, "the plug-in's Init failed with code %d (0x%08X)", (int)initResult,
                    (unsigned)initResult);
    }
    run.soundWanted = options.sound;
    RunEnd end = runFrames(module);
    logRenderSummary(&player.log);
    logLine(&player.log, "End %s", RUN_END_NAMES[end]);
    if (end == END_RENDER_STOP) {
        fprintf(stderr, "vis_player: the plug-in asked to stop (Render returned %d)\n", (int)player.log.lastNonZero);
    }
    if ((end == END_FRAMES || end == END_SECONDS) && options.holdSeconds > 0) {
        holdLastFrame();
    }
    closeSound(&run.sound);
    module->Quit(module);
    logLine(&player.log, "Quit");
    return 0;
}

// Refuses a log that is one of the files the run reads: opening it for
// writing would destroy that input before it is read.
int checkLogPath() {
    const char* log = options.logPath;
    if (log == nullptr) {
        return 0;
    }
    const char* inputs[PLAYLIST_MAX_ENTRIES + 2] = {options.pluginPath, options.waveformPath};
    int32_t count = 2;
    for (int32_t i = 0; i < options.audioCount; i++) {
        inputs[count++] = options.audioPaths[i];
    }
    for (int32_t i = 0; i < count; i++) {
        if (inputs[i] != nullptr && sameFile(log, inputs[i])) {
            fprintf(stderr, "vis_player: the log %s is the input %s; choose another file for --log\n", log, inputs[i]);
            return EXIT_BAD_ARGUMENTS;
        }
    }
    return 0;
}

// --desktop: this program again inside a virtual desktop; its status is ours.
int runInDesktop(int argc, char** argv) {
    static char commandLine[COMMAND_LINE_CHARS];
    if (!commandLineWithoutDesktop(argc, argv, &options, commandLine, sizeof commandLine)) {
        fprintf(stderr, "vis_player: the command line is too long\n");
        return EXIT_BAD_ARGUMENTS;
    }
    char error[ERROR_CHARS];
    uint32_t exitCode = 0;
    if (!runInVirtualDesktop(options.desktopWidth, options.desktopHeight, commandLine, &exitCode, error,
                             sizeof error)) {
        fprintf(stderr, "vis_player: %s\n", error);
        return EXIT_FAILED;
    }
    return (int)exitCode;
}

} // namespace

// How the command line's help, version and errors are answered.
const CommandLineAnswers ANSWERS = {"vis_player", "vis_player --help", printPlayerUsage,
                                    "vis_player " RAYSPHERE_VERSION};

int main(int argc, char** argv) {
    // Command line
    char error[ERROR_CHARS];
    OptionsStatus status = parseOptions(argc, argv, &options, error, sizeof error);
    if (status != OPTIONS_RUN) {
        return answerCommandLine(status, &ANSWERS, error);
    }
    if (options.desktopArgument != 0) {
        return runInDesktop(argc, argv);
    }
    int result = checkLogPath();
    if (result != 0) {
        return result;
    }

    // Audio and waveform, all read before the plug-in starts; the log after them
    result = buildPlaylist();
    if (result == 0) {
        result = loadWaveformFile();
    }
    if (result != 0) {
        return result;
    }
    if (!openRunLog(&player.log, options.logPath)) {
        fprintf(stderr, "vis_player: cannot write the log %s\n", options.logPath);
        return EXIT_FAILED;
    }
    QueryPerformanceFrequency(&run.clockFrequency);
    QueryPerformanceCounter(&run.clockStart);
    closeSound(&run.sound);
    // Millisecond timer waits, so frames keep the module's pace.
    timeBeginPeriod(1);

    // The player's window and the plug-in
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!createPlayerWindow(instance)) {
        return fail(EXIT_FAILED, "cannot create the player window (error %lu)", (unsigned long)GetLastError());
    }
    if (!loadPlugin(&run.plugin, options.pluginPath, (int32_t)options.module, error, sizeof error)) {
        destroyPlayerWindow(instance);
        return fail(EXIT_FAILED, "%s", error);
    }
    logLine(&player.log, "Loaded %s: header 0x%X \"%s\", module %d \"%s\"", options.pluginPath,
            (unsigned)run.plugin.header->version,
            run.plugin.header->description != nullptr ? run.plugin.header->description : "", (int)options.module,
            run.plugin.module->description != nullptr ? run.plugin.module->description : "");

    result = runPlugin(run.plugin.module);
    unloadPlugin(&run.plugin);
    destroyPlayerWindow(instance);
    timeEndPeriod(1);
    if (result == 0) {
        logLine(&player.log, "Exit 0");
    }
    closeRunLog(&player.log);
    return result;
}
