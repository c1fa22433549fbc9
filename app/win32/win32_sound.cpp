// The sound output through WASAPI, the audio layer's shared output.
#include "app/win32/win32_sound.h"

#include "audio/wasapi_output.h"

namespace {

SoundOutput* output; // open while a source plays

} // namespace

bool startWin32Sound(char*, size_t) {
    return true; // each source opens the output at its own rate
}

bool openWin32Sound(int32_t sampleRate, int32_t channels, SoundFill fill, void* context, char* error,
                    size_t errorSize) {
    return openSoundOutput(&output, sampleRate, channels, fill, context, error, errorSize);
}

void lockWin32Sound() {
    if (output != nullptr) {
        lockSoundOutput(output);
    }
}

void unlockWin32Sound() {
    if (output != nullptr) {
        unlockSoundOutput(output);
    }
}

int64_t win32SoundLatencyFrames() {
    return output != nullptr ? soundOutputLatencyFrames(output) : 0;
}

void closeWin32Sound() {
    if (output != nullptr) {
        closeSoundOutput(&output);
    }
}
