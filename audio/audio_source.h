// Where the sound comes from: the built-in demo tune, a sound file, what the
// desktop plays, or 16-bit samples already in memory (a WAV file the Windows
// host has read). Each kind is opened by its own routine and then read
// through one table of routines; a new kind needs a row in that table.
// The header is portable; the file and capture kinds are each system's own:
// libsndfile and PulseAudio on Linux (file_source.cpp, capture_source.cpp),
// Media Foundation and WASAPI on Windows (mf_file_source.cpp,
// wasapi_capture.cpp), where paths and names are UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include "audio/waveform_block.h"

enum AudioKind { AUDIO_DEMO_TUNE, AUDIO_FILE, AUDIO_CAPTURE, AUDIO_MEMORY, AUDIO_KIND_COUNT };

constexpr int64_t AUDIO_ENDLESS = -1;         // frameCount of a source that never ends
constexpr int64_t AUDIO_UNKNOWN_LENGTH = -2;  // frameCount of a file whose length is learnt at its end
constexpr int32_t AUDIO_MAX_CHANNELS = 2;     // a source with more gives its first two
constexpr size_t AUDIO_TITLE_CHARS = 256;     // the title with its terminator
constexpr size_t AUDIO_MESSAGE_CHARS = 640;   // an error or notice with its terminator
constexpr size_t AUDIO_PATH_CHARS = 4096;     // a file's path with its terminator
constexpr int32_t AUDIO_CAPTURE_RATE = 44100; // what capture gives, on every system
constexpr int32_t AUDIO_CAPTURE_CHANNELS = 2;

struct AudioSource {
    int32_t kind;                  // AudioKind, set by the opening routine
    int32_t sampleRate;            // frames per second
    int32_t channels;              // channels of the samples read: 1 or 2
    int64_t frameCount;            // frames in all, AUDIO_ENDLESS or AUDIO_UNKNOWN_LENGTH
    int64_t position;              // the frame readAudio gives next
    char title[AUDIO_TITLE_CHARS]; // "artist - title", the file's name, or the device's
    void* state;                   // the kind's own record: made on open, freed by closeAudio
    const uint8_t* pcm;            // AUDIO_MEMORY: little-endian 16-bit samples, channels interleaved
};

// The demo tune, endless, 44.1 kHz stereo. Cannot fail.
void openDemoTune(AudioSource* source);

// `frameCount` frames of little-endian 16-bit samples at `pcm`, `channels`
// (1 or 2) interleaved, held by the caller for as long as the source is
// read; the title stays empty. Cannot fail.
void openAudioInMemory(AudioSource* source, const uint8_t* pcm, int32_t channels, int32_t sampleRate,
                       int64_t frameCount);

// A sound file through libsndfile: WAV (16/24/32-bit, float), FLAC, Ogg
// Vorbis, MP3 and whatever else it reads, at any rate and channel count (on
// Windows through Media Foundation: WAV, MP3, FLAC, AAC/M4A, ...). On
// failure `error` says "cannot play PATH: REASON" and the source stays closed.
bool openAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize);

// Reads an open file through once to learn how much of it can be read, then
// goes back to its start: frameCount becomes the frames read. A file that
// breaks off leaves its notice, as reading does. False, with the reason in
// `error` (which names `path`), when nothing can be read or the file cannot
// go back.
bool measureAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize);

// What a PulseAudio source records (PipeWire serves the same interface):
// `device` names one (see listCaptureDevices), null takes the monitor of the
// default output, that is what the desktop plays. 44.1 kHz stereo, endless;
// the title is the device's description. On Windows, through WASAPI:
// `device` names an output (taken through loopback) or an input, and null
// takes the default output's loopback, following the default when it
// changes. On failure `error` says "cannot capture from DEVICE: REASON".
bool openCapture(AudioSource* source, const char* device, char* error, size_t errorSize);

// One source the sound server offers.
struct CaptureDevice {
    char name[256];        // what openCapture takes
    char description[256]; // for people
    bool monitor;          // records what an output plays
};

// Fills `devices` with up to `capacity` sources and `defaultMonitor` with the
// default output's monitor ("" if none); returns how many were filled, or -1
// with the reason in `error` when the server cannot be reached.
int32_t listCaptureDevices(CaptureDevice* devices, int32_t capacity, char* defaultMonitor, size_t defaultMonitorSize,
                           char* error, size_t errorSize);

// Reads up to `frames` frames from the position on as interleaved 16-bit
// samples of `channels` channels and moves the position past them; returns
// the frames read. A file gives fewer only at its end; capture gives what
// has arrived and never waits.
int32_t readAudio(AudioSource* source, int16_t* samples, int32_t frames);

// Moves the position to `frame`; false where the kind cannot (capture).
bool seekAudio(AudioSource* source, int64_t frame);

// True once the source has news since the last call (a file that broke off,
// a capture stream that stopped or came back), written into `text`.
bool takeAudioNotice(AudioSource* source, char* text, size_t textSize);

// True when a file has nothing more to give.
bool audioEnded(const AudioSource* source);

// Releases what the source holds; safe on a closed or failed source.
void closeAudio(AudioSource* source);

// The block the player would hand over for the audio from `frame` on:
// seeks, reads 576 frames and makes the block; past the end, silence.
// False where the source cannot seek.
bool readBlockAt(AudioSource* source, int64_t frame, WaveformBlock block);

// Reads `frames` frames from `firstFrame` on as interleaved 16-bit samples of
// the source's channels without moving its position, so that readers at
// different frames (a sound output, a plug-in's feed) share one source;
// outside the audio, silence. False, with nothing written, where the kind
// cannot (a streamed file, capture).
bool readAudioAt(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples);

// The block the player would hand over for the audio from `firstFrame` on,
// read as readAudioAt reads; mono fills both channel slots. False where the
// kind cannot.
bool blockAtFrame(const AudioSource* source, int64_t firstFrame, WaveformBlock block);

// Every kind's routines, one row per kind (audio_source.cpp).
struct AudioRoutines {
    int32_t (*read)(AudioSource* source, int16_t* samples, int32_t frames);
    bool (*seek)(AudioSource* source, int64_t frame);
    bool (*takeNotice)(AudioSource* source, char* text, size_t textSize);
    void (*close)(AudioSource* source);
    bool (*readAt)(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples);
};

// The start of every open: a source of `kind` with nothing else set yet.
void startAudioSource(AudioSource* source, AudioKind kind);

// Ends an open that failed: "cannot VERB WHAT: REASON" in `error` ("cannot
// VERB: REASON" where `what` is null), and the source closed through its
// kind's close routine, which releases what the open had made; false.
bool refuseAudio(AudioSource* source, const char* verb, const char* what, const char* reason, char* error,
                 size_t errorSize);

// The state of a source being opened: `stateSize` zeroed bytes, freed from
// here on by the kind's close routine. Null where memory is short, refused
// as refuseAudio refuses, with "out of memory".
void* makeAudioState(AudioSource* source, size_t stateSize, const char* verb, const char* what, char* error,
                     size_t errorSize);
// startAudioSource and makeAudioState at once, for the kinds whose every
// check needs the state.
void* startAudioState(AudioSource* source, AudioKind kind, size_t stateSize, const char* verb, const char* what,
                      char* error, size_t errorSize);
// The device a capture was asked for, "" for the default output: the first
// member of each capture state, where openCapture writes it.
constexpr size_t CAPTURE_NAME_CHARS = 256;
struct CaptureAsk {
    char device[CAPTURE_NAME_CHARS];
};
// Each system's capture: the size of its state, which begins with its
// CaptureAsk, and what opens the device once openCapture has made that state
// with capture's format (44.1 kHz stereo, endless); false with the source
// refused and the reason in `error`.
extern const size_t captureStateSize;
bool connectCapture(AudioSource* source, char* error, size_t errorSize);

// Routines several sources share: a seek that only moves the position (the
// sources held whole), no notice, nothing to close, no reading at a frame
// (the sources that stream).
bool seekHeldAudio(AudioSource* source, int64_t frame);
bool noAudioNotice(AudioSource* source, char* text, size_t textSize);
void closeNothing(AudioSource* source);
bool noReadAt(const AudioSource* source, int64_t firstFrame, int32_t frames, int16_t* samples);

// Hands a notice left for the reader over once: true, with it in `text`,
// when `*pending`, which it clears.
bool takePendingNotice(bool* pending, const char* notice, char* text, size_t textSize);
// Up to `frames` stereo frames from the source's position out of a ring of
// `ringFrames` frames that a capture thread has filled up to `written`; a
// reader that fell behind skips to what the ring still holds. Returns the
// frames read. The caller holds the ring's lock.
int32_t readStereoRing(AudioSource* source, const int16_t* ring, int32_t ringFrames, int64_t written, int16_t* samples,
                       int32_t frames);
// A float sample in 16 bits, full scale 1 as 32768 (as 16-bit samples turn
// into floats), clipped, the fraction dropped as 24-bit samples lose their
// low byte; NaN becomes -32768.
int16_t floatToPcm16(float value);

// Where a file source's file breaks off, said once however often the part
// before is read again, and the notice that says it, taken once.
struct FileBreak {
    char path[AUDIO_PATH_CHARS];         // the file's, for the notice
    bool noted;                          // the break has been noted
    bool pending;                        // the notice is not yet taken
    char notice[AUDIO_PATH_CHARS + 256]; // "PATH ends early, at m:ss of m:ss (truncated or damaged)"
};
// Records that the file broke off at the source's position: the source is
// over there. The notice tells the length only where `promisedFrames` is
// past the position.
void noteFileBreak(AudioSource* source, FileBreak* fileBreak, int64_t promisedFrames);
// The notice of a file kind, whose state begins with its FileBreak.
bool takeFileNotice(AudioSource* source, char* text, size_t textSize);

// The rows, each defined in its kind's file.
extern const AudioRoutines demoTuneRoutines;
extern const AudioRoutines audioFileRoutines;
extern const AudioRoutines captureRoutines;
extern const AudioRoutines memoryRoutines;
