// Windows only. Sound out through WASAPI's shared mode. The output's thread
// keeps the device's buffer full, asking the caller's fill routine for
// exactly the frames that are free, and looks once a second whether the
// default output has changed. A device that goes away is replaced by a
// clock: fill is asked at the device's pace while the thread tries every
// second to open the default output again.
#ifndef _WIN32
#error "audio/wasapi_output.cpp is Windows-only"
#endif
#include "audio/wasapi_output.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "audio/win_audio.h"

namespace {

constexpr REFERENCE_TIME BUFFER_DURATION = 800000; // 80 ms in 100 ns units: a frame or five ahead
constexpr DWORD POLL_MILLISECONDS = 10;            // how often the buffer is topped up
constexpr int64_t RETRY_MILLISECONDS = 1000;       // how often a lost or changed device is looked for
constexpr int32_t CLOCK_CHUNK_FRAMES = 4096;       // the most the clock asks for at once
constexpr size_t REASON_CHARS = 256;

// The open device; everything null while there is none.
struct Device {
    IMMDevice* endpoint;
    IAudioClient* client;
    IAudioRenderClient* render;
    UINT32 bufferFrames;   // the buffer's size
    int64_t latencyFrames; // the device's own, beyond the buffer
    wchar_t* id;           // the endpoint's identifier, to see the default change
};

} // namespace

struct SoundOutput {
    int32_t sampleRate;
    int32_t channels;
    SoundFill fill;
    void* context;
    DeviceThread worker;           // its lock held around every call of fill
    char reason[REASON_CHARS];     // why it failed
    int16_t* clockSamples;         // where fill writes while there is no device
    volatile LONG64 queuedFrames;  // frames in the device's buffer after the last top-up
    volatile LONG64 queuedAt;      // microseconds (nowMicroseconds) of that top-up
    volatile LONG64 deviceLatency; // the device's own latency in frames
};

namespace {

// Microseconds of the performance counter: finer than the tick count's 16 ms.
int64_t nowMicroseconds() {
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (int64_t)(count.QuadPart / frequency.QuadPart * 1000000 +
                     count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

void releaseDevice(Device* device) {
    if (device->client != nullptr) {
        device->client->Stop();
    }
    releaseInterface(&device->render);
    releaseInterface(&device->client);
    releaseInterface(&device->endpoint);
    if (device->id != nullptr) {
        CoTaskMemFree(device->id);
    }
    memset(device, 0, sizeof *device);
}

// Opens the default output in the output's format and starts it, its
// buffer filled with silence; false with the reason.
bool openDevice(SoundOutput* output, IMMDeviceEnumerator* enumerator, Device* device, char* reason, size_t reasonSize) {
    memset(device, 0, sizeof *device);
    HRESULT result = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device->endpoint);
    if (FAILED(result)) {
        snprintf(reason, reasonSize, "no default output device");
        return false;
    }
    device->endpoint->GetId(&device->id);
    result = device->endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, (void**)&device->client);
    if (FAILED(result)) {
        describeResult(result, reason, reasonSize);
        releaseDevice(device);
        return false;
    }
    WAVEFORMATEX format = pcm16Format(output->channels, output->sampleRate);
    // The system converts to the device's own rate and format; systems that
    // do not know the flag take the format as it is, or refuse it.
    result = device->client->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                        AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
                                        BUFFER_DURATION, 0, &format, nullptr);
    if (FAILED(result)) {
        device->client->Release();
        device->client = nullptr;
        result = device->endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, (void**)&device->client);
        if (SUCCEEDED(result)) {
            result = device->client->Initialize(AUDCLNT_SHAREMODE_SHARED, 0, BUFFER_DURATION, 0, &format, nullptr);
        }
    }
    if (SUCCEEDED(result)) {
        result = device->client->GetBufferSize(&device->bufferFrames);
    }
    if (SUCCEEDED(result)) {
        result = device->client->GetService(__uuidof(IAudioRenderClient), (void**)&device->render);
    }
    if (FAILED(result)) {
        describeResult(result, reason, reasonSize);
        releaseDevice(device);
        return false;
    }
    REFERENCE_TIME latency = 0;
    if (SUCCEEDED(device->client->GetStreamLatency(&latency))) {
        device->latencyFrames = latency * output->sampleRate / 10000000;
    }
    BYTE* data = nullptr;
    if (SUCCEEDED(device->render->GetBuffer(device->bufferFrames, &data))) {
        device->render->ReleaseBuffer(device->bufferFrames, AUDCLNT_BUFFERFLAGS_SILENT);
    }
    result = device->client->Start();
    if (FAILED(result)) {
        describeResult(result, reason, reasonSize);
        releaseDevice(device);
        return false;
    }
    InterlockedExchange64(&output->deviceLatency, device->latencyFrames);
    return true;
}

// Fills what the device's buffer has free; false when the device failed.
bool topUp(SoundOutput* output, Device* device) {
    UINT32 padding = 0;
    if (FAILED(device->client->GetCurrentPadding(&padding))) {
        return false;
    }
    UINT32 free = device->bufferFrames - padding;
    if (free > 0) {
        BYTE* data = nullptr;
        if (FAILED(device->render->GetBuffer(free, &data))) {
            return false;
        }
        EnterCriticalSection(&output->worker.lock);
        output->fill(output->context, (int16_t*)data, (int32_t)free);
        LeaveCriticalSection(&output->worker.lock);
        if (FAILED(device->render->ReleaseBuffer(free, 0))) {
            return false;
        }
    }
    InterlockedExchange64(&output->queuedAt, nowMicroseconds());
    InterlockedExchange64(&output->queuedFrames, (LONG64)device->bufferFrames);
    return true;
}

// Whether the default output is another device than the open one.
bool defaultChanged(IMMDeviceEnumerator* enumerator, const Device* device) {
    IMMDevice* endpoint = nullptr;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &endpoint))) {
        return false;
    }
    wchar_t* id = nullptr;
    bool changed = false;
    if (SUCCEEDED(endpoint->GetId(&id))) {
        changed = device->id == nullptr || wcscmp(id, device->id) != 0;
        CoTaskMemFree(id);
    }
    endpoint->Release();
    return changed;
}

DWORD WINAPI runOutput(void* parameter) {
    SoundOutput* output = (SoundOutput*)parameter;
    DeviceEnumeration devices;
    Device device = {};
    // A late top-up is heard as a gap: this thread goes before the frames'.
    output->worker.opened =
        enterDeviceThread(THREAD_PRIORITY_TIME_CRITICAL, &devices, output->reason, sizeof output->reason) &&
        openDevice(output, devices.enumerator, &device, output->reason, sizeof output->reason);
    SetEvent(output->worker.readyEvent);
    if (!output->worker.opened) {
        endDeviceEnumeration(&devices);
        return 0;
    }
    IMMDeviceEnumerator* enumerator = devices.enumerator;

    // While there is no device, the clock stands in for it.
    ULONGLONG lookedAt = GetTickCount64();
    ULONGLONG clockStart = 0;
    int64_t clockFrames = 0;
    while (WaitForSingleObject(output->worker.stopEvent, POLL_MILLISECONDS) == WAIT_TIMEOUT) {
        ULONGLONG now = GetTickCount64();
        bool lookAgain = now - lookedAt >= (ULONGLONG)RETRY_MILLISECONDS;
        if (lookAgain) {
            lookedAt = now;
        }
        if (device.client != nullptr) {
            if (lookAgain && defaultChanged(enumerator, &device)) {
                releaseDevice(&device);
                char reason[REASON_CHARS];
                openDevice(output, enumerator, &device, reason, sizeof reason);
            }
            if (device.client != nullptr && !topUp(output, &device)) {
                releaseDevice(&device);
            }
            if (device.client == nullptr) {
                clockStart = now;
                clockFrames = 0;
            }
            continue;
        }
        if (lookAgain) {
            char reason[REASON_CHARS];
            if (openDevice(output, enumerator, &device, reason, sizeof reason)) {
                continue;
            }
        }
        int64_t due = (int64_t)(now - clockStart) * output->sampleRate / 1000 - clockFrames;
        while (due > 0) {
            int32_t frames = due < CLOCK_CHUNK_FRAMES ? (int32_t)due : CLOCK_CHUNK_FRAMES;
            EnterCriticalSection(&output->worker.lock);
            output->fill(output->context, output->clockSamples, frames);
            LeaveCriticalSection(&output->worker.lock);
            clockFrames += frames;
            due -= frames;
        }
        InterlockedExchange64(&output->queuedFrames, 0);
        InterlockedExchange64(&output->deviceLatency, 0);
    }

    releaseDevice(&device);
    endDeviceEnumeration(&devices);
    return 0;
}

// Stops the thread and frees the output's record and what it holds.
void freeOutput(SoundOutput* output) {
    endDeviceThread(&output->worker);
    free(output->clockSamples);
    free(output);
}

} // namespace

bool openSoundOutput(SoundOutput** output, int32_t sampleRate, int32_t channels, SoundFill fill, void* context,
                     char* error, size_t errorSize) {
    *output = nullptr;
    if (channels < 1 || channels > 2 || sampleRate <= 0 || fill == nullptr) {
        snprintf(error, errorSize, "no sound output: unusable format (%d channels at %d Hz)", (int)channels,
                 (int)sampleRate);
        return false;
    }
    SoundOutput* made = (SoundOutput*)calloc(1, sizeof(SoundOutput));
    if (made == nullptr) {
        snprintf(error, errorSize, "no sound output: out of memory");
        return false;
    }
    made->sampleRate = sampleRate;
    made->channels = channels;
    made->fill = fill;
    made->context = context;
    made->clockSamples = (int16_t*)calloc((size_t)CLOCK_CHUNK_FRAMES * (size_t)channels, sizeof(int16_t));
    if (!prepareDeviceThread(&made->worker) || made->clockSamples == nullptr) {
        freeOutput(made);
        snprintf(error, errorSize, "no sound output: out of memory");
        return false;
    }
    if (!startDeviceThread(&made->worker, runOutput, made)) {
        freeOutput(made);
        snprintf(error, errorSize, "no sound output: cannot start its thread");
        return false;
    }
    if (!made->worker.opened) {
        snprintf(error, errorSize, "no sound output: %s", made->reason);
        freeOutput(made);
        return false;
    }
    *output = made;
    return true;
}

void lockSoundOutput(SoundOutput* output) {
    EnterCriticalSection(&output->worker.lock);
}

void unlockSoundOutput(SoundOutput* output) {
    LeaveCriticalSection(&output->worker.lock);
}

int64_t soundOutputLatencyFrames(SoundOutput* output) {
    // What was queued at the last top-up, less what has played since.
    int64_t queued = InterlockedCompareExchange64(&output->queuedFrames, 0, 0);
    int64_t at = InterlockedCompareExchange64(&output->queuedAt, 0, 0);
    int64_t played = (nowMicroseconds() - at) * output->sampleRate / 1000000;
    int64_t left = queued > played ? queued - played : 0;
    return left + InterlockedCompareExchange64(&output->deviceLatency, 0, 0);
}

void closeSoundOutput(SoundOutput** output) {
    if (*output == nullptr) {
        return;
    }
    freeOutput(*output);
    *output = nullptr;
}
