// Windows only. The audio through the wave output.
#ifndef _WIN32
#error "player/sound_output.cpp is Windows-only"
#endif
#include "player/sound_output.h"

#include "audio/win_audio.h"

#include <cstdio>
#include <cstring>

namespace {

// The buffers live for the whole run: nothing is allocated while frames are made.
int16_t soundSamples[SOUND_BUFFERS][SOUND_BUFFER_FRAMES * AUDIO_MAX_CHANNELS];

} // namespace

bool openSound(SoundOutput* sound, const AudioSource* source, int32_t entry, int64_t startFrame, char* error,
               size_t errorSize) {
    memset(sound, 0, sizeof *sound);
    sound->entry = -1;

    WAVEFORMATEX format = pcm16Format(source->channels, source->sampleRate);
    MMRESULT result = waveOutOpen(&sound->device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        char reason[MAXERRORLENGTH] = "";
        waveOutGetErrorTextA(result, reason, sizeof reason);
        snprintf(error, errorSize, "no sound output: %s (wave output error %u)", reason, (unsigned)result);
        sound->device = nullptr;
        return false;
    }

    sound->source = source;
    sound->entry = entry;
    sound->nextFrame = startFrame;
    for (int32_t i = 0; i < SOUND_BUFFERS; i++) {
        WAVEHDR* header = &sound->headers[i];
        header->lpData = (LPSTR)soundSamples[i];
        header->dwBufferLength = (DWORD)(SOUND_BUFFER_FRAMES * format.nBlockAlign);
        waveOutPrepareHeader(sound->device, header, sizeof *header);
    }
    feedSound(sound);
    return true;
}

void feedSound(SoundOutput* sound) {
    if (sound->device == nullptr) {
        return;
    }
    for (int32_t i = 0; i < SOUND_BUFFERS; i++) {
        WAVEHDR* header = &sound->headers[i];
        if ((header->dwFlags & WHDR_PREPARED) == 0 || (header->dwFlags & WHDR_INQUEUE) != 0) {
            continue;
        }
        readAudioAt(sound->source, sound->nextFrame, SOUND_BUFFER_FRAMES, soundSamples[i]);
        sound->nextFrame += SOUND_BUFFER_FRAMES;
        waveOutWrite(sound->device, header, sizeof *header);
    }
}

void closeSound(SoundOutput* sound) {
    if (sound->device != nullptr) {
        waveOutReset(sound->device);
        for (int32_t i = 0; i < SOUND_BUFFERS; i++) {
            waveOutUnprepareHeader(sound->device, &sound->headers[i], sizeof sound->headers[i]);
        }
        waveOutClose(sound->device);
    }
    memset(sound, 0, sizeof *sound);
    sound->entry = -1;
}
