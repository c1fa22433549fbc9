// Windows only. What the desktop plays, through WASAPI: the loopback of an
// output device (what it plays) or an input device. By default the
// loopback of the default output, followed when the default changes. A
// thread of the source's own takes the device's packets, turns them into
// 44.1 kHz stereo 16-bit whatever the device's format, and writes them into
// a ring that readAudio empties without waiting; a device that goes away is
// looked for again every second. Where the system refuses loopback (Wine
// before 9.12), an input that records the output ("Monitor of ...", as
// Wine's PulseAudio driver offers) stands in for it.
#ifndef _WIN32
#error "audio/wasapi_capture.cpp is Windows-only"
#endif
#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include "audio/audio_source.h"
#include "audio/win_audio.h"

namespace {

static_assert(AUDIO_CAPTURE_CHANNELS == 2, "the ring is read as stereo frames");
constexpr int32_t RING_FRAMES = 65536;              // about 1.5 s: far more than a frame's worth
constexpr REFERENCE_TIME BUFFER_DURATION = 2000000; // 200 ms in 100 ns units
constexpr DWORD POLL_MILLISECONDS = 5;              // how often packets are taken
constexpr ULONGLONG RETRY_MILLISECONDS = 1000;      // how often a lost or changed device is looked for
constexpr ULONGLONG STALL_MILLISECONDS = 1000;      // an input silent this long has gone
constexpr size_t NAME_CHARS = CAPTURE_NAME_CHARS;
constexpr size_t ID_CHARS = 256;
constexpr int32_t MAX_ENDPOINTS = 64;
const wchar_t MONITOR_PREFIX[] = L"Monitor of "; // PulseAudio's name for what an output plays
// PKEY_Device_FriendlyName, which mingw-w64 declares but no library of it defines.
const PROPERTYKEY FRIENDLY_NAME_KEY = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}},
                                       14};

// How the device's samples are stored.
enum SampleType { SAMPLE_INT16, SAMPLE_INT24, SAMPLE_INT32, SAMPLE_FLOAT32, SAMPLE_TYPE_COUNT };

// One active endpoint of either direction.
struct Endpoint {
    wchar_t id[ID_CHARS];
    char name[NAME_CHARS]; // its friendly name, in UTF-8
    bool output;           // a render endpoint, taken through loopback
};

// The open stream; everything null while there is none.
struct Stream {
    IAudioClient* client;
    IAudioCaptureClient* capture;
    int32_t type;           // SampleType
    int32_t channels;       // of the device
    int32_t bytesPerFrame;  // of the device
    double step;            // device frames per captured frame
    double phase;           // where the next captured frame lies after `previous`, in device frames
    float previous[2];      // the last device frame, both channels
    ULONGLONG lastPacketAt; // when the last packet came (GetTickCount64), or the stream started
    bool delivered;         // a packet has come
};

struct CaptureState {
    CaptureAsk ask;                                     // first: the name asked for, "" for the default output
    DeviceThread worker;                                // the capture thread, its lock around what the reader shares
    Endpoint endpoint;                                  // what is captured
    Stream stream;                                      // the thread's own
    char reason[AUDIO_MESSAGE_CHARS];                   // why it failed
    int16_t ring[RING_FRAMES * AUDIO_CAPTURE_CHANNELS]; // the latest frames
    int64_t written;                                    // frames ever written into the ring
    bool lost;                                          // the stream stopped; opened again after a pause
    bool returning;                                     // an input opened again, not yet delivering
    bool noticePending;                                 // notice not yet taken
    char notice[AUDIO_MESSAGE_CHARS + NAME_CHARS];      // what happened to the stream
    char title[NAME_CHARS];                             // the device now captured, for the source's title
};

// No device named: the default output's loopback, following the default.
bool followsDefault(const CaptureState* state) {
    return state->ask.device[0] == '\0';
}

// Every active endpoint, outputs first; how many were found.
int32_t listEndpoints(IMMDeviceEnumerator* enumerator, Endpoint* endpoints, int32_t capacity) {
    int32_t count = 0;
    const EDataFlow flows[] = {eRender, eCapture};
    for (EDataFlow flow : flows) {
        IMMDeviceCollection* collection = nullptr;
        if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &collection))) {
            continue;
        }
        UINT total = 0;
        collection->GetCount(&total);
        for (UINT i = 0; i < total && count < capacity; i++) {
            IMMDevice* device = nullptr;
            if (FAILED(collection->Item(i, &device))) {
                continue;
            }
            Endpoint* endpoint = &endpoints[count];
            memset(endpoint, 0, sizeof *endpoint);
            endpoint->output = flow == eRender;
            wchar_t* id = nullptr;
            if (SUCCEEDED(device->GetId(&id))) {
                wcsncpy(endpoint->id, id, ID_CHARS - 1);
                CoTaskMemFree(id);
                IPropertyStore* properties = nullptr;
                PROPVARIANT value;
                PropVariantInit(&value);
                if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, &properties)) &&
                    SUCCEEDED(properties->GetValue(FRIENDLY_NAME_KEY, &value)) && value.vt == VT_LPWSTR) {
                    textFromWide(value.pwszVal, endpoint->name, sizeof endpoint->name);
                } else {
                    textFromWide(endpoint->id, endpoint->name, sizeof endpoint->name);
                }
                PropVariantClear(&value);
                if (properties != nullptr) {
                    properties->Release();
                }
                count++;
            }
            device->Release();
        }
        collection->Release();
    }
    return count;
}

// The default output's endpoint; false when there is none.
bool findDefaultOutput(IMMDeviceEnumerator* enumerator, Endpoint* found) {
    IMMDevice* device = nullptr;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
        return false;
    }
    wchar_t* id = nullptr;
    bool got = SUCCEEDED(device->GetId(&id));
    device->Release();
    if (!got) {
        return false;
    }
    Endpoint endpoints[MAX_ENDPOINTS]; // on the stack: the capture thread and a listing may look at once
    int32_t count = listEndpoints(enumerator, endpoints, MAX_ENDPOINTS);
    got = false;
    for (int32_t i = 0; i < count && !got; i++) {
        if (endpoints[i].output && wcscmp(endpoints[i].id, id) == 0) {
            *found = endpoints[i];
            got = true;
        }
    }
    CoTaskMemFree(id);
    return got;
}

// The endpoint a name given by the user means: its identifier or its
// friendly name, an output before an input of the same name.
bool findNamed(IMMDeviceEnumerator* enumerator, const char* name, Endpoint* found) {
    Endpoint endpoints[MAX_ENDPOINTS]; // on the stack: the capture thread and a listing may look at once
    int32_t count = listEndpoints(enumerator, endpoints, MAX_ENDPOINTS);
    char id[ID_CHARS * 3];
    for (int32_t i = 0; i < count; i++) {
        textFromWide(endpoints[i].id, id, sizeof id);
        if (strcmp(id, name) == 0) {
            *found = endpoints[i];
            return true;
        }
    }
    for (int32_t i = 0; i < count; i++) {
        if (strcmp(endpoints[i].name, name) == 0) {
            *found = endpoints[i];
            return true;
        }
    }
    return false;
}

// The input that records what `output` plays, where the system offers one:
// "Monitor of OUTPUT", else the first monitor there is, since Wine's own
// default output ("PulseAudio", whichever the sound server's default is)
// has no monitor of its name.
bool findMonitorOf(IMMDeviceEnumerator* enumerator, const Endpoint* output, Endpoint* found) {
    Endpoint endpoints[MAX_ENDPOINTS]; // on the stack: the capture thread and a listing may look at once
    int32_t count = listEndpoints(enumerator, endpoints, MAX_ENDPOINTS);
    char wanted[NAME_CHARS + 16];
    char prefix[32];
    textFromWide(MONITOR_PREFIX, prefix, sizeof prefix);
    snprintf(wanted, sizeof wanted, "%s%s", prefix, output->name);
    for (int32_t i = 0; i < count; i++) {
        if (!endpoints[i].output && strcmp(endpoints[i].name, wanted) == 0) {
            *found = endpoints[i];
            return true;
        }
    }
    for (int32_t i = 0; i < count; i++) {
        if (!endpoints[i].output && strncmp(endpoints[i].name, prefix, strlen(prefix)) == 0) {
            *found = endpoints[i];
            return true;
        }
    }
    return false;
}

void releaseStream(Stream* stream) {
    if (stream->client != nullptr) {
        stream->client->Stop();
    }
    releaseInterface(&stream->capture);
    releaseInterface(&stream->client);
    memset(stream, 0, sizeof *stream);
}

// The sample type of a mix format; false for one this reader does not know.
bool sampleTypeOf(const WAVEFORMATEX* format, int32_t* type) {
    WORD tag = format->wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22) {
        const WAVEFORMATEXTENSIBLE* extensible = (const WAVEFORMATEXTENSIBLE*)format;
        if (IsEqualGUID(extensible->SubFormat, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT)) {
            tag = WAVE_FORMAT_IEEE_FLOAT;
        } else if (IsEqualGUID(extensible->SubFormat, KSDATAFORMAT_SUBTYPE_PCM)) {
            tag = WAVE_FORMAT_PCM;
        }
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT && format->wBitsPerSample == 32) {
        *type = SAMPLE_FLOAT32;
        return true;
    }
    if (tag == WAVE_FORMAT_PCM) {
        const int32_t types[] = {SAMPLE_INT16, SAMPLE_INT24, SAMPLE_INT32};
        const WORD bits[] = {16, 24, 32};
        for (int32_t i = 0; i < 3; i++) {
            if (format->wBitsPerSample == bits[i]) {
                *type = types[i];
                return true;
            }
        }
    }
    return false;
}

// Opens `endpoint` (an output through loopback) and starts it; false with
// the reason, and `refusedLoopback` set when the system does not do loopback.
bool openStream(IMMDeviceEnumerator* enumerator, const Endpoint* endpoint, Stream* stream, bool* refusedLoopback,
                char* reason, size_t reasonSize) {
    memset(stream, 0, sizeof *stream);
    *refusedLoopback = false;
    IMMDevice* device = nullptr;
    HRESULT result = enumerator->GetDevice(endpoint->id, &device);
    if (SUCCEEDED(result)) {
        result = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, (void**)&stream->client);
        device->Release();
    }
    if (FAILED(result)) {
        describeResult(result, reason, reasonSize);
        return false;
    }
    WAVEFORMATEX* format = nullptr;
    result = stream->client->GetMixFormat(&format);
    if (FAILED(result)) {
        describeResult(result, reason, reasonSize);
        releaseStream(stream);
        return false;
    }
    if (!sampleTypeOf(format, &stream->type) || format->nChannels < 1 || format->nSamplesPerSec == 0) {
        snprintf(reason, reasonSize, "the device's format (%u-bit, tag %u) is not one this program reads",
                 (unsigned)format->wBitsPerSample, (unsigned)format->wFormatTag);
        CoTaskMemFree(format);
        releaseStream(stream);
        return false;
    }
    stream->channels = format->nChannels;
    stream->bytesPerFrame = format->nBlockAlign;
    stream->step = (double)format->nSamplesPerSec / AUDIO_CAPTURE_RATE;
    stream->phase = 1.0;
    DWORD flags = endpoint->output ? AUDCLNT_STREAMFLAGS_LOOPBACK : 0;
    result = stream->client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, BUFFER_DURATION, 0, format, nullptr);
    CoTaskMemFree(format);
    if (SUCCEEDED(result)) {
        result = stream->client->GetService(__uuidof(IAudioCaptureClient), (void**)&stream->capture);
    }
    if (SUCCEEDED(result)) {
        result = stream->client->Start();
    }
    stream->lastPacketAt = GetTickCount64();
    if (FAILED(result)) {
        // Wine before 9.12 refuses loopback on its outputs in one way or another.
        *refusedLoopback = endpoint->output && result != AUDCLNT_E_DEVICE_INVALIDATED;
        describeResult(result, reason, reasonSize);
        releaseStream(stream);
        return false;
    }
    return true;
}

// One device sample as a float of full scale 1.
float sampleAt(const BYTE* frame, int32_t type, int32_t channel) {
    switch (type) {
    case SAMPLE_INT16: {
        int16_t value;
        memcpy(&value, frame + channel * 2, 2);
        return value / 32768.0f;
    }
    case SAMPLE_INT24: {
        const BYTE* p = frame + channel * 3;
        int32_t value = (int32_t)((uint32_t)p[0] << 8 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 24) >> 8;
        return value / 8388608.0f;
    }
    case SAMPLE_INT32: {
        int32_t value;
        memcpy(&value, frame + channel * 4, 4);
        return (float)(value / 2147483648.0);
    }
    default: {
        float value;
        memcpy(&value, frame + channel * 4, 4);
        return value;
    }
    }
}

// Turns `frames` device frames (null: silence) into captured frames,
// straight lines between the device's frames, into the ring. With the lock held.
void takeFrames(CaptureState* state, const BYTE* data, UINT32 frames) {
    Stream* stream = &state->stream;
    for (UINT32 i = 0; i < frames; i++) {
        float current[2] = {0.0f, 0.0f};
        if (data != nullptr) {
            const BYTE* frame = data + (size_t)i * (size_t)stream->bytesPerFrame;
            current[0] = sampleAt(frame, stream->type, 0);
            current[1] = stream->channels > 1 ? sampleAt(frame, stream->type, 1) : current[0];
        }
        while (stream->phase <= 1.0) {
            float weight = (float)stream->phase;
            int64_t slot = state->written % RING_FRAMES;
            for (int32_t channel = 0; channel < AUDIO_CAPTURE_CHANNELS; channel++) {
                float value = stream->previous[channel] + (current[channel] - stream->previous[channel]) * weight;
                state->ring[slot * AUDIO_CAPTURE_CHANNELS + channel] = floatToPcm16(value);
            }
            state->written++;
            stream->phase += stream->step;
        }
        stream->phase -= 1.0;
        stream->previous[0] = current[0];
        stream->previous[1] = current[1];
    }
}

// Takes every packet that has arrived; false when the device failed, or
// when an input, which delivers silence too, has delivered nothing for a
// while (Wine's PulseAudio driver says nothing when the source goes away).
bool takePackets(CaptureState* state) {
    ULONGLONG now = GetTickCount64();
    for (;;) {
        UINT32 packet = 0;
        HRESULT result = state->stream.capture->GetNextPacketSize(&packet);
        if (FAILED(result)) {
            describeResult(result, state->reason, sizeof state->reason);
            return false;
        }
        if (packet == 0) {
            // A stream that starts slowly (Wine on a busy machine) is given longer.
            ULONGLONG patience = state->stream.delivered ? STALL_MILLISECONDS : 3 * STALL_MILLISECONDS;
            if (!state->endpoint.output && now - state->stream.lastPacketAt > patience) {
                snprintf(state->reason, sizeof state->reason, "no data for a second");
                return false;
            }
            return true;
        }
        state->stream.lastPacketAt = now;
        state->stream.delivered = true;
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        result = state->stream.capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
        if (FAILED(result)) {
            describeResult(result, state->reason, sizeof state->reason);
            return false;
        }
        EnterCriticalSection(&state->worker.lock);
        takeFrames(state, (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0 ? nullptr : data, frames);
        LeaveCriticalSection(&state->worker.lock);
        state->stream.capture->ReleaseBuffer(frames);
    }
}

// Leaves a notice for the reader; with the lock not held.
void leaveNotice(CaptureState* state, const char* text) {
    EnterCriticalSection(&state->worker.lock);
    snprintf(state->notice, sizeof state->notice, "%s", text);
    state->noticePending = true;
    snprintf(state->title, sizeof state->title, "%s", state->endpoint.name);
    LeaveCriticalSection(&state->worker.lock);
}

// Finds what to capture and opens it: the default output or the named
// device, an output's loopback, or the input that mirrors the output where
// the system refuses loopback (said in a notice). False with the reason.
bool openWanted(CaptureState* state, IMMDeviceEnumerator* enumerator, bool firstTime, char* reason, size_t reasonSize) {
    Endpoint wanted;
    if (followsDefault(state)) {
        if (!findDefaultOutput(enumerator, &wanted)) {
            snprintf(reason, reasonSize, "there is no default output");
            return false;
        }
    } else if (!findNamed(enumerator, state->ask.device, &wanted)) {
        snprintf(reason, reasonSize, "no such source (see --list-sources)");
        return false;
    }
    bool refusedLoopback = false;
    if (openStream(enumerator, &wanted, &state->stream, &refusedLoopback, reason, reasonSize)) {
        state->endpoint = wanted;
        return true;
    }
    Endpoint monitor;
    if (!refusedLoopback) {
        return false;
    }
    if (!findMonitorOf(enumerator, &wanted, &monitor)) {
        char why[AUDIO_MESSAGE_CHARS];
        snprintf(why, sizeof why, "%s", reason);
        snprintf(reason, reasonSize,
                 "this system refuses loopback capture of %s (%s; Wine has it from 9.12 on), and no input records it",
                 wanted.name, why);
        return false;
    }
    char why[AUDIO_MESSAGE_CHARS];
    snprintf(why, sizeof why, "%s", reason);
    if (!openStream(enumerator, &monitor, &state->stream, &refusedLoopback, reason, reasonSize)) {
        return false;
    }
    state->endpoint = monitor;
    if (firstTime) {
        char text[AUDIO_MESSAGE_CHARS + NAME_CHARS];
        snprintf(text, sizeof text,
                 "this system refuses loopback capture of %s (%s; Wine has it from 9.12 on): capturing from %s, "
                 "which records what it plays",
                 wanted.name, why, monitor.name);
        leaveNotice(state, text);
    }
    return true;
}

// Whether the default output is no longer the device captured.
bool defaultMoved(CaptureState* state, IMMDeviceEnumerator* enumerator) {
    Endpoint now;
    if (!findDefaultOutput(enumerator, &now)) {
        return false;
    }
    if (wcscmp(now.id, state->endpoint.id) == 0) {
        return false;
    }
    // The stand-in for a refused loopback follows its output.
    Endpoint monitor;
    return !(findMonitorOf(enumerator, &now, &monitor) && wcscmp(monitor.id, state->endpoint.id) == 0);
}

// Whether the endpoint is still there and usable: an output's loopback
// delivers nothing while it is silent, so silence cannot tell that it went.
bool stillActive(IMMDeviceEnumerator* enumerator, const Endpoint* endpoint) {
    IMMDevice* device = nullptr;
    if (FAILED(enumerator->GetDevice(endpoint->id, &device))) {
        return false;
    }
    DWORD deviceState = 0;
    bool active = SUCCEEDED(device->GetState(&deviceState)) && deviceState == DEVICE_STATE_ACTIVE;
    device->Release();
    return active;
}

DWORD WINAPI runCapture(void* parameter) {
    CaptureState* state = (CaptureState*)parameter;
    DeviceEnumeration devices;
    // Packets not taken in time are lost: this thread goes before the frames'.
    state->worker.opened = enterDeviceThread(THREAD_PRIORITY_HIGHEST, &devices, state->reason, sizeof state->reason) &&
                           openWanted(state, devices.enumerator, true, state->reason, sizeof state->reason);
    IMMDeviceEnumerator* enumerator = devices.enumerator;
    snprintf(state->title, sizeof state->title, "%s", state->endpoint.name);
    SetEvent(state->worker.readyEvent);

    ULONGLONG lookedAt = GetTickCount64();
    while (state->worker.opened && WaitForSingleObject(state->worker.stopEvent, POLL_MILLISECONDS) == WAIT_TIMEOUT) {
        ULONGLONG now = GetTickCount64();
        bool lookAgain = now - lookedAt >= RETRY_MILLISECONDS;
        if (lookAgain) {
            lookedAt = now;
        }
        char text[AUDIO_MESSAGE_CHARS + NAME_CHARS];
        if (!state->lost) {
            if (lookAgain && followsDefault(state) && defaultMoved(state, enumerator)) {
                releaseStream(&state->stream);
                char reason[AUDIO_MESSAGE_CHARS];
                if (openWanted(state, enumerator, false, reason, sizeof reason)) {
                    snprintf(text, sizeof text, "capture follows the default output to %s", state->endpoint.name);
                    leaveNotice(state, text);
                    continue;
                }
                snprintf(state->reason, sizeof state->reason, "%s", reason);
            } else if (lookAgain && !stillActive(enumerator, &state->endpoint)) {
                snprintf(state->reason, sizeof state->reason, "the device is gone");
            } else if (takePackets(state)) {
                if (state->returning && state->stream.lastPacketAt == now) {
                    state->returning = false;
                    snprintf(text, sizeof text, "capture from %s running again", state->endpoint.name);
                    leaveNotice(state, text);
                }
                continue;
            }
            releaseStream(&state->stream);
            state->lost = true;
            if (!state->returning) {
                snprintf(text, sizeof text, "capture from %s stopped (%s); trying again every second",
                         state->endpoint.name, state->reason);
                leaveNotice(state, text);
            }
            continue;
        }
        char reason[AUDIO_MESSAGE_CHARS];
        if (lookAgain && openWanted(state, enumerator, false, reason, sizeof reason)) {
            state->lost = false;
            // An input is back once it delivers; an output's loopback delivers
            // only while something plays.
            state->returning = !state->endpoint.output;
            if (state->endpoint.output) {
                snprintf(text, sizeof text, "capture from %s running again", state->endpoint.name);
                leaveNotice(state, text);
            }
        }
    }

    releaseStream(&state->stream);
    endDeviceEnumeration(&devices);
    return 0;
}

int32_t readCapture(AudioSource* source, int16_t* samples, int32_t frames) {
    CaptureState* state = (CaptureState*)source->state;
    EnterCriticalSection(&state->worker.lock);
    int32_t count = readStereoRing(source, state->ring, RING_FRAMES, state->written, samples, frames);
    LeaveCriticalSection(&state->worker.lock);
    return count;
}

bool seekCapture(AudioSource*, int64_t) {
    return false;
}

// The notice, and the title of the device now captured.
bool takeCaptureNotice(AudioSource* source, char* text, size_t textSize) {
    CaptureState* state = (CaptureState*)source->state;
    EnterCriticalSection(&state->worker.lock);
    bool pending = takePendingNotice(&state->noticePending, state->notice, text, textSize);
    if (pending) {
        snprintf(source->title, sizeof source->title, "%s", state->title);
    }
    LeaveCriticalSection(&state->worker.lock);
    return pending;
}

// Stops the thread and frees the state.
void closeCapture(AudioSource* source) {
    CaptureState* state = (CaptureState*)source->state;
    endDeviceThread(&state->worker);
    free(state);
}

} // namespace

// Capture has no past to read.
const AudioRoutines captureRoutines = {readCapture, seekCapture, takeCaptureNotice, closeCapture, noReadAt};
const size_t captureStateSize = sizeof(CaptureState);

bool connectCapture(AudioSource* source, char* error, size_t errorSize) {
    CaptureState* state = (CaptureState*)source->state;
    if (!prepareDeviceThread(&state->worker) || !startDeviceThread(&state->worker, runCapture, state)) {
        return refuseAudio(source, "capture", nullptr, "cannot start its thread", error, errorSize);
    }
    if (!state->worker.opened) {
        return refuseAudio(source, "capture from", followsDefault(state) ? "the default output" : state->ask.device,
                           state->reason, error, errorSize);
    }
    EnterCriticalSection(&state->worker.lock);
    snprintf(source->title, sizeof source->title, "%s", state->endpoint.name);
    LeaveCriticalSection(&state->worker.lock);
    return true;
}

int32_t listCaptureDevices(CaptureDevice* devices, int32_t capacity, char* defaultMonitor, size_t defaultMonitorSize,
                           char* error, size_t errorSize) {
    snprintf(defaultMonitor, defaultMonitorSize, "%s", "");
    DeviceEnumeration enumeration;
    char reason[AUDIO_MESSAGE_CHARS];
    if (!startDeviceEnumeration(&enumeration, COINIT_APARTMENTTHREADED, reason, sizeof reason)) {
        snprintf(error, errorSize, "cannot list the sources: %s", reason);
        endDeviceEnumeration(&enumeration);
        return -1;
    }
    IMMDeviceEnumerator* enumerator = enumeration.enumerator;
    Endpoint endpoints[MAX_ENDPOINTS]; // on the stack: the capture thread and a listing may look at once
    int32_t count = listEndpoints(enumerator, endpoints, MAX_ENDPOINTS);
    Endpoint output;
    bool hasDefault = findDefaultOutput(enumerator, &output);
    endDeviceEnumeration(&enumeration);

    // Named by their friendly names, or by their identifiers where two share one.
    int32_t filled = 0;
    for (int32_t i = 0; i < count && filled < capacity; i++) {
        CaptureDevice* device = &devices[filled++];
        bool shared = false;
        for (int32_t j = 0; j < count; j++) {
            shared = shared || (j != i && strcmp(endpoints[i].name, endpoints[j].name) == 0);
        }
        char id[ID_CHARS * 3];
        textFromWide(endpoints[i].id, id, sizeof id);
        snprintf(device->name, sizeof device->name, "%s", shared ? id : endpoints[i].name);
        snprintf(device->description, sizeof device->description, "%s, %s", endpoints[i].name,
                 endpoints[i].output ? "output" : "input");
        // PulseAudio's inputs that record an output count as what it plays.
        char prefix[32];
        textFromWide(MONITOR_PREFIX, prefix, sizeof prefix);
        device->monitor = endpoints[i].output || strncmp(endpoints[i].name, prefix, strlen(prefix)) == 0;
        if (hasDefault && wcscmp(endpoints[i].id, output.id) == 0) {
            snprintf(defaultMonitor, defaultMonitorSize, "%s", device->name);
        }
    }
    return filled;
}
