// An audio layer without Windows' own decoders and capture: files and
// capture are refused with the reason, the demo tune and --waveform play.
#include <cstdio>
#include "audio/audio_source.h"

bool openAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize) {
    source->state = nullptr;
    snprintf(error, errorSize, "cannot play %s: this build reads no sound files", path);
    return false;
}

bool measureAudioFile(AudioSource*, char* error, size_t errorSize) {
    snprintf(error, errorSize, "this build reads no sound files");
    return false;
}

bool openCapture(AudioSource* source, const char* device, char* error, size_t errorSize) {
    source->state = nullptr;
    snprintf(error, errorSize, "cannot capture from %s: this build has no capture",
             device != nullptr ? device : "the default output");
    return false;
}

int32_t listCaptureDevices(CaptureDevice*, int32_t, char*, size_t, char* error, size_t errorSize) {
    snprintf(error, errorSize, "this build has no capture");
    return -1;
}
