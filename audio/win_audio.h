// Windows only. What the Windows sources and the sound outputs share: text
// from Windows' UTF-16 to UTF-8 (the other way is files/os_files.h's), the
// reason behind a failed call, COM with the device enumerator on a thread,
// the thread a device is kept on, and the format of 16-bit samples.
#pragma once
#ifndef _WIN32
#error "audio/win_audio.h is Windows-only"
#endif
#include <windows.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <cstddef>
#include <cstdint>

// `wide` in UTF-8, cut to fit; a control character becomes '?', so that
// printing it cannot drive the user's terminal.
void textFromWide(const wchar_t* wide, char* text, size_t textSize);

// What a failed call's result means, in words ("the device is gone",
// "0x88890004: ..."), for messages.
void describeResult(long result, char* text, size_t textSize);

// Releases a COM interface where one is held, and forgets it.
template <typename Interface> void releaseInterface(Interface** held) {
    if (*held != nullptr) {
        (*held)->Release();
        *held = nullptr;
    }
}

// COM on one thread and the device enumerator, held while the thread works
// with devices.
struct DeviceEnumeration {
    HRESULT comResult;               // CoInitializeEx's: COM is let go only where it was taken
    IMMDeviceEnumerator* enumerator; // null where it could not be made
};

// COM on this thread in `model` (COINIT_...) and the enumerator; false, with
// the reason in `reason`, where the enumerator cannot be made. Ended by
// endDeviceEnumeration either way.
bool startDeviceEnumeration(DeviceEnumeration* use, DWORD model, char* reason, size_t reasonSize);
void endDeviceEnumeration(DeviceEnumeration* use);

// The thread a WASAPI source or output keeps its device on, and the lock
// around what that thread shares with the caller's.
struct DeviceThread {
    CRITICAL_SECTION lock;
    HANDLE thread;
    HANDLE stopEvent;  // set to end the thread
    HANDLE readyEvent; // set by the thread once its first open has succeeded or failed
    bool opened;       // the first open's result
};

// The lock and the events of a zeroed record; false where an event cannot
// be made. Ended by endDeviceThread either way.
bool prepareDeviceThread(DeviceThread* worker);
// Starts `run` on `parameter` and waits until it has tried its first open;
// false where the thread cannot start.
bool startDeviceThread(DeviceThread* worker, LPTHREAD_START_ROUTINE run, void* parameter);
// On the thread, first: its `priority`, COM in the multithreaded model and
// the enumerator, as startDeviceEnumeration gives them.
bool enterDeviceThread(int priority, DeviceEnumeration* use, char* reason, size_t reasonSize);
// Stops the thread where one runs, waits for its end and releases the rest.
void endDeviceThread(DeviceThread* worker);

// Interleaved 16-bit samples of `channels` channels at `sampleRate`, as the
// wave output and WASAPI take them.
inline WAVEFORMATEX pcm16Format(int32_t channels, int32_t sampleRate) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = (WORD)channels;
    format.nSamplesPerSec = (DWORD)sampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = (WORD)(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    return format;
}
