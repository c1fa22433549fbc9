// What the desktop plays, recorded from a PulseAudio source (PipeWire serves
// the same interface): by default the monitor of the default output. The
// stream is read on PulseAudio's own thread into a ring that readAudio
// empties without waiting; a stream that stops is opened again every second.
#include <pulse/pulseaudio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include "audio/audio_source.h"

namespace {

static_assert(AUDIO_CAPTURE_CHANNELS == 2, "the ring is read as stereo frames");
constexpr int32_t RING_FRAMES = 65536;    // about 1.5 s: far more than a frame's worth
constexpr uint32_t FRAGMENT_BYTES = 2048; // 512 frames, about 12 ms: blocks arrive in small steps
constexpr int64_t RETRY_NANOSECONDS = 1000000000;
constexpr size_t NAME_CHARS = CAPTURE_NAME_CHARS;

// A connection to the sound server: its thread and the context.
struct Connection {
    pa_threaded_mainloop* mainloop; // running from connect to disconnect
    pa_context* context;            // ready once connectServer succeeds
};

struct CaptureState {
    CaptureAsk ask;                                     // first: the source's name, "" until the default's is found
    Connection connection;                              // the server, while the source is open
    pa_stream* stream;                                  // the recording stream, null while lost
    int16_t ring[RING_FRAMES * AUDIO_CAPTURE_CHANNELS]; // the latest frames; written on the server's thread
    int64_t written;                                    // frames ever written into the ring
    bool lost;                                          // the stream stopped; opened again after a pause
    int64_t lostAt;                                     // monotonic nanoseconds when it stopped or last retried
    bool noticePending;                                 // notice not yet taken
    char notice[AUDIO_MESSAGE_CHARS + NAME_CHARS];      // what happened to the stream
};

int64_t nowNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

void wakeContextWaiter(pa_context*, void* userdata) {
    pa_threaded_mainloop_signal((pa_threaded_mainloop*)userdata, 0);
}

// Connects to the default server; false with the reason in `error`.
bool connectServer(Connection* connection, char* error, size_t errorSize) {
    memset(connection, 0, sizeof *connection);

    // Thread and context
    connection->mainloop = pa_threaded_mainloop_new();
    if (connection->mainloop == nullptr) {
        snprintf(error, errorSize, "cannot start the sound server's client thread");
        return false;
    }
    if (pa_threaded_mainloop_start(connection->mainloop) < 0) {
        snprintf(error, errorSize, "cannot start the sound server's client thread");
        return false;
    }
    pa_threaded_mainloop_lock(connection->mainloop);
    connection->context = pa_context_new(pa_threaded_mainloop_get_api(connection->mainloop), "raysphere");
    if (connection->context == nullptr) {
        pa_threaded_mainloop_unlock(connection->mainloop);
        snprintf(error, errorSize, "cannot make a sound server context");
        return false;
    }

    // Connect and wait until the server has answered
    pa_context_set_state_callback(connection->context, wakeContextWaiter, connection->mainloop);
    bool ready = pa_context_connect(connection->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    while (ready) {
        pa_context_state_t state = pa_context_get_state(connection->context);
        if (state == PA_CONTEXT_READY) {
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            ready = false;
            break;
        }
        pa_threaded_mainloop_wait(connection->mainloop);
    }
    if (!ready) {
        snprintf(error, errorSize, "no sound server (%s)", pa_strerror(pa_context_errno(connection->context)));
    }
    pa_threaded_mainloop_unlock(connection->mainloop);
    return ready;
}

// Ends the connection; safe on one that was never made or failed half-way.
void disconnectServer(Connection* connection) {
    if (connection->mainloop == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(connection->mainloop);
    if (connection->context != nullptr) {
        pa_context_set_state_callback(connection->context, nullptr, nullptr);
        pa_context_disconnect(connection->context);
        pa_context_unref(connection->context);
        connection->context = nullptr;
    }
    pa_threaded_mainloop_unlock(connection->mainloop);
    pa_threaded_mainloop_stop(connection->mainloop);
    pa_threaded_mainloop_free(connection->mainloop);
    connection->mainloop = nullptr;
}

// Waits, with the lock held, until `operation` has finished.
void waitFor(Connection* connection, pa_operation* operation) {
    if (operation == nullptr) {
        return;
    }
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_threaded_mainloop_wait(connection->mainloop);
    }
    pa_operation_unref(operation);
}

// What a look-up of server or source information brings back.
struct LookUp {
    pa_threaded_mainloop* mainloop;
    bool found;                   // the source exists
    char name[NAME_CHARS];        // the default output's monitor, or the source's name
    char description[NAME_CHARS]; // the source's description
    CaptureDevice* devices;       // the listing, or null
    int32_t capacity;             // entries of devices
    int32_t count;                // entries filled
};

void takeServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    LookUp* lookUp = (LookUp*)userdata;
    if (info != nullptr && info->default_sink_name != nullptr && info->default_sink_name[0] != '\0') {
        snprintf(lookUp->name, sizeof lookUp->name, "%s.monitor", info->default_sink_name);
        lookUp->found = true;
    }
    pa_threaded_mainloop_signal(lookUp->mainloop, 0);
}

void takeSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    LookUp* lookUp = (LookUp*)userdata;
    if (eol == 0 && info != nullptr) {
        if (lookUp->devices != nullptr && lookUp->count < lookUp->capacity) {
            CaptureDevice* device = &lookUp->devices[lookUp->count];
            snprintf(device->name, sizeof device->name, "%s", info->name);
            snprintf(device->description, sizeof device->description, "%s",
                     info->description != nullptr ? info->description : info->name);
            device->monitor = info->monitor_of_sink != PA_INVALID_INDEX;
        }
        lookUp->count++;
        lookUp->found = true;
        snprintf(lookUp->description, sizeof lookUp->description, "%s",
                 info->description != nullptr ? info->description : info->name);
    }
    pa_threaded_mainloop_signal(lookUp->mainloop, 0);
}

// The default output's monitor into `name`; false when there is no default output.
bool findDefaultMonitor(Connection* connection, char* name, size_t nameSize) {
    LookUp lookUp;
    memset(&lookUp, 0, sizeof lookUp);
    lookUp.mainloop = connection->mainloop;
    waitFor(connection, pa_context_get_server_info(connection->context, takeServerInfo, &lookUp));
    snprintf(name, nameSize, "%s", lookUp.name);
    return lookUp.found;
}

// Copies what has arrived into the ring; runs on the server's thread.
void takeRecordedData(pa_stream* stream, size_t, void* userdata) {
    CaptureState* state = (CaptureState*)userdata;
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        // A hole (data null) is skipped: the ring holds only what was heard.
        if (data != nullptr) {
            const int16_t* samples = (const int16_t*)data;
            int64_t frames = (int64_t)(bytes / (sizeof(int16_t) * AUDIO_CAPTURE_CHANNELS));
            for (int64_t i = 0; i < frames; i++) {
                int64_t slot = (state->written + i) % RING_FRAMES;
                state->ring[slot * AUDIO_CAPTURE_CHANNELS] = samples[i * AUDIO_CAPTURE_CHANNELS];
                state->ring[slot * AUDIO_CAPTURE_CHANNELS + 1] = samples[i * AUDIO_CAPTURE_CHANNELS + 1];
            }
            state->written += frames;
        }
        pa_stream_drop(stream);
    }
}

void noteStreamState(pa_stream* stream, void* userdata) {
    CaptureState* state = (CaptureState*)userdata;
    pa_stream_state_t streamState = pa_stream_get_state(stream);
    if (!PA_STREAM_IS_GOOD(streamState) && !state->lost) {
        state->lost = true;
        state->lostAt = nowNanoseconds();
        snprintf(state->notice, sizeof state->notice, "capture from %s stopped (%s); trying again every second",
                 state->ask.device, pa_strerror(pa_context_errno(state->connection.context)));
        state->noticePending = true;
    }
    pa_threaded_mainloop_signal(state->connection.mainloop, 0);
}

// Drops the stream, if any; with the lock held.
void dropStream(CaptureState* state) {
    if (state->stream == nullptr) {
        return;
    }
    pa_stream_set_state_callback(state->stream, nullptr, nullptr);
    pa_stream_set_read_callback(state->stream, nullptr, nullptr);
    pa_stream_disconnect(state->stream);
    pa_stream_unref(state->stream);
    state->stream = nullptr;
}

// Opens the recording stream from the state's device and waits until it
// runs; with the lock held. False with the reason in `error`.
bool openStream(CaptureState* state, char* error, size_t errorSize) {
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = AUDIO_CAPTURE_RATE;
    spec.channels = AUDIO_CAPTURE_CHANNELS;
    state->stream = pa_stream_new(state->connection.context, "raysphere visualisation", &spec, nullptr);
    if (state->stream == nullptr) {
        snprintf(error, errorSize, "%s", pa_strerror(pa_context_errno(state->connection.context)));
        return false;
    }
    pa_stream_set_read_callback(state->stream, takeRecordedData, state);
    pa_stream_set_state_callback(state->stream, noteStreamState, state);
    pa_buffer_attr buffer;
    buffer.maxlength = (uint32_t)-1;
    buffer.tlength = (uint32_t)-1;
    buffer.prebuf = (uint32_t)-1;
    buffer.minreq = (uint32_t)-1;
    buffer.fragsize = FRAGMENT_BYTES;
    // Not moved: when the source goes, the stream fails and says so, rather
    // than going on from another source under the old one's name (PipeWire).
    pa_stream_flags_t flags = (pa_stream_flags_t)(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(state->stream, state->ask.device, &buffer, flags) < 0) {
        snprintf(error, errorSize, "%s", pa_strerror(pa_context_errno(state->connection.context)));
        dropStream(state);
        return false;
    }
    for (;;) {
        pa_stream_state_t streamState = pa_stream_get_state(state->stream);
        if (streamState == PA_STREAM_READY) {
            state->lost = false;
            return true;
        }
        if (!PA_STREAM_IS_GOOD(streamState)) {
            snprintf(error, errorSize, "%s", pa_strerror(pa_context_errno(state->connection.context)));
            dropStream(state);
            return false;
        }
        pa_threaded_mainloop_wait(state->connection.mainloop);
    }
}

// A second after the stream stopped, tries to open it again, on a new
// connection when the old one has failed. With the lock held.
void retryLostStream(CaptureState* state) {
    int64_t now = nowNanoseconds();
    if (!state->lost || now - state->lostAt < RETRY_NANOSECONDS) {
        return;
    }
    state->lostAt = now;
    dropStream(state);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(state->connection.context))) {
        // A failed context cannot be used again: the server has gone or restarted.
        pa_threaded_mainloop_unlock(state->connection.mainloop);
        disconnectServer(&state->connection);
        char error[AUDIO_MESSAGE_CHARS];
        bool connected = connectServer(&state->connection, error, sizeof error);
        pa_threaded_mainloop_lock(state->connection.mainloop);
        if (!connected) {
            return;
        }
    }
    // PipeWire connects a stream for a source that is gone to another one.
    LookUp lookUp;
    memset(&lookUp, 0, sizeof lookUp);
    lookUp.mainloop = state->connection.mainloop;
    waitFor(&state->connection,
            pa_context_get_source_info_by_name(state->connection.context, state->ask.device, takeSourceInfo, &lookUp));
    char error[AUDIO_MESSAGE_CHARS];
    if (lookUp.found && openStream(state, error, sizeof error)) {
        snprintf(state->notice, sizeof state->notice, "capture from %s running again", state->ask.device);
        state->noticePending = true;
    }
}

int32_t readCapture(AudioSource* source, int16_t* samples, int32_t frames) {
    CaptureState* state = (CaptureState*)source->state;
    pa_threaded_mainloop_lock(state->connection.mainloop);
    retryLostStream(state);
    int32_t count = readStereoRing(source, state->ring, RING_FRAMES, state->written, samples, frames);
    pa_threaded_mainloop_unlock(state->connection.mainloop);
    return count;
}

bool seekCapture(AudioSource*, int64_t) {
    return false;
}

bool takeCaptureNotice(AudioSource* source, char* text, size_t textSize) {
    CaptureState* state = (CaptureState*)source->state;
    pa_threaded_mainloop_lock(state->connection.mainloop);
    retryLostStream(state);
    bool pending = takePendingNotice(&state->noticePending, state->notice, text, textSize);
    pa_threaded_mainloop_unlock(state->connection.mainloop);
    return pending;
}

// Drops the stream and the connection and frees the state.
void closeCapture(AudioSource* source) {
    CaptureState* state = (CaptureState*)source->state;
    if (state->connection.mainloop != nullptr) {
        pa_threaded_mainloop_lock(state->connection.mainloop);
        dropStream(state);
        pa_threaded_mainloop_unlock(state->connection.mainloop);
    }
    disconnectServer(&state->connection);
    free(state);
}

// Says why capture cannot start, naming the device, and closes the source.
bool refuseCapture(AudioSource* source, const char* reason, char* error, size_t errorSize) {
    const CaptureState* state = (const CaptureState*)source->state;
    return refuseAudio(source, "capture from", state->ask.device[0] != '\0' ? state->ask.device : "the default output",
                       reason, error, errorSize);
}

} // namespace

const AudioRoutines captureRoutines = {readCapture, seekCapture, takeCaptureNotice, closeCapture, noReadAt};
const size_t captureStateSize = sizeof(CaptureState);

bool connectCapture(AudioSource* source, char* error, size_t errorSize) {
    CaptureState* state = (CaptureState*)source->state;
    bool followDefault = state->ask.device[0] == '\0';
    char reason[AUDIO_MESSAGE_CHARS];

    // Server, source and its name
    if (!connectServer(&state->connection, reason, sizeof reason)) {
        return refuseCapture(source, reason, error, errorSize);
    }
    pa_threaded_mainloop_lock(state->connection.mainloop);
    if (followDefault && !findDefaultMonitor(&state->connection, state->ask.device, sizeof state->ask.device)) {
        pa_threaded_mainloop_unlock(state->connection.mainloop);
        return refuseCapture(source, "the sound server has no default output", error, errorSize);
    }
    LookUp lookUp;
    memset(&lookUp, 0, sizeof lookUp);
    lookUp.mainloop = state->connection.mainloop;
    waitFor(&state->connection,
            pa_context_get_source_info_by_name(state->connection.context, state->ask.device, takeSourceInfo, &lookUp));
    if (!lookUp.found) {
        pa_threaded_mainloop_unlock(state->connection.mainloop);
        return refuseCapture(source, "no such source (see --list-sources)", error, errorSize);
    }

    // The stream
    if (!openStream(state, reason, sizeof reason)) {
        pa_threaded_mainloop_unlock(state->connection.mainloop);
        return refuseCapture(source, reason, error, errorSize);
    }
    pa_threaded_mainloop_unlock(state->connection.mainloop);

    snprintf(source->title, sizeof source->title, "%s", lookUp.description);
    return true;
}

int32_t listCaptureDevices(CaptureDevice* devices, int32_t capacity, char* defaultMonitor, size_t defaultMonitorSize,
                           char* error, size_t errorSize) {
    Connection connection;
    char reason[AUDIO_MESSAGE_CHARS];
    if (!connectServer(&connection, reason, sizeof reason)) {
        snprintf(error, errorSize, "cannot list the sources: %s", reason);
        disconnectServer(&connection);
        return -1;
    }
    pa_threaded_mainloop_lock(connection.mainloop);
    if (!findDefaultMonitor(&connection, defaultMonitor, defaultMonitorSize)) {
        snprintf(defaultMonitor, defaultMonitorSize, "%s", "");
    }
    LookUp lookUp;
    memset(&lookUp, 0, sizeof lookUp);
    lookUp.mainloop = connection.mainloop;
    lookUp.devices = devices;
    lookUp.capacity = capacity;
    waitFor(&connection, pa_context_get_source_info_list(connection.context, takeSourceInfo, &lookUp));
    pa_threaded_mainloop_unlock(connection.mainloop);
    disconnectServer(&connection);
    return lookUp.count < capacity ? lookUp.count : capacity;
}
