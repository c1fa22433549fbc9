// Windows only. Sound files through Media Foundation's source reader: WAV,
// MP3, FLAC, AAC/M4A and whatever else Windows decodes, at any rate and
// channel count; the first two channels are kept, samples come as 16-bit.
// Media Foundation is loaded when the first file opens, not imported, so
// that programs start on Windows editions without it (the N editions) and
// say so only when asked for a file. Files cut short follow the Linux
// reader's one rule: what can be read plays, and one notice says where the
// file breaks off.
#ifndef _WIN32
#error "audio/mf_file_source.cpp is Windows-only"
#endif
#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <propkey.h>
#include <shobjidl.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include "audio/audio_source.h"
#include "audio/file_title.h"
#include "audio/win_audio.h"
#include "files/os_files.h"

namespace {

constexpr size_t PATH_CHARS = 4096;
constexpr int64_t UNITS_PER_SECOND = 10000000;        // Media Foundation's time unit is 100 ns
constexpr int64_t MAX_SENSIBLE_SECONDS = 1000 * 3600; // a longer length is nonsense
// A file that ends within this much of the length it gives has ended: decoders
// trim their priming and padding, and a length taken from a bit rate is an estimate.
constexpr int64_t END_SLACK_DIVISOR = 100; // 1 % of the length
constexpr int32_t END_SLACK_MIN_MS = 500;

// How the decoded samples are stored.
enum SampleType { SAMPLE_INT16, SAMPLE_INT24, SAMPLE_INT32, SAMPLE_FLOAT32, SAMPLE_TYPE_COUNT };

// Media Foundation's entry points, looked up once.
typedef HRESULT(WINAPI* StartupCall)(ULONG, DWORD);
typedef HRESULT(WINAPI* CreateMediaTypeCall)(IMFMediaType**);
typedef HRESULT(WINAPI* CreateReaderCall)(LPCWSTR, IMFAttributes*, IMFSourceReader**);

struct MediaFoundation {
    bool looked;                         // the look-up was made
    bool present;                        // every entry point was found and MFStartup succeeded
    StartupCall startup;                 // MFStartup
    CreateMediaTypeCall createMediaType; // MFCreateMediaType
    CreateReaderCall createReader;       // MFCreateSourceReaderFromURL
};

MediaFoundation mediaFoundation;

// Loads Media Foundation and starts it for the rest of the run; false where
// this Windows has none.
bool haveMediaFoundation() {
    if (mediaFoundation.looked) {
        return mediaFoundation.present;
    }
    mediaFoundation.looked = true;
    HMODULE platform = LoadLibraryW(L"mfplat.dll");
    HMODULE readWrite = LoadLibraryW(L"mfreadwrite.dll");
    if (platform == nullptr || readWrite == nullptr) {
        return false;
    }
    mediaFoundation.startup = (StartupCall)(void*)GetProcAddress(platform, "MFStartup");
    mediaFoundation.createMediaType = (CreateMediaTypeCall)(void*)GetProcAddress(platform, "MFCreateMediaType");
    mediaFoundation.createReader = (CreateReaderCall)(void*)GetProcAddress(readWrite, "MFCreateSourceReaderFromURL");
    mediaFoundation.present = mediaFoundation.startup != nullptr && mediaFoundation.createMediaType != nullptr &&
                              mediaFoundation.createReader != nullptr &&
                              SUCCEEDED(mediaFoundation.startup(MF_VERSION, MFSTARTUP_LITE));
    return mediaFoundation.present;
}

struct FileState {
    FileBreak fileBreak;     // first, where takeFileNotice looks: the path, and where the file broke off
    IMFSourceReader* reader; // open while the source is
    IMFMediaBuffer* buffer;  // the decoded piece being read, locked; null between pieces
    const BYTE* data;        // its bytes
    DWORD bytes;             // how many
    DWORD offset;            // the first not yet read
    int32_t type;            // SampleType of the decoded samples
    int32_t fileChannels;    // channels decoded; the source keeps the first two
    int32_t bytesPerFrame;   // of the decoded samples
    int64_t skip;            // frames still to drop after a seek to reach the frame asked for
    int64_t promisedFrames;  // the length the file gives, or -1
    bool finished;           // the reader said the stream ended, or failed
    bool failed;             // it failed: the file is damaged
};
static_assert(offsetof(FileState, fileBreak) == 0, "takeFileNotice finds the break first in the state");

// Records that the file broke off at the source's position, short of the
// length it gave.
void noteBreak(AudioSource* source, FileState* state) {
    noteFileBreak(source, &state->fileBreak, state->promisedFrames);
}

// One decoded sample in 16 bits: the high bits of integers, floats scaled.
int16_t sampleAt(const BYTE* frame, int32_t type, int32_t channel) {
    switch (type) {
    case SAMPLE_INT16: {
        int16_t value;
        memcpy(&value, frame + channel * 2, 2);
        return value;
    }
    case SAMPLE_INT24:
        return (int16_t)(uint16_t)(frame[channel * 3 + 1] | frame[channel * 3 + 2] << 8);
    case SAMPLE_INT32:
        return (int16_t)(uint16_t)(frame[channel * 4 + 2] | frame[channel * 4 + 3] << 8);
    default: {
        float value;
        memcpy(&value, frame + channel * 4, 4);
        return floatToPcm16(value);
    }
    }
}

void dropBuffer(FileState* state) {
    if (state->buffer != nullptr) {
        state->buffer->Unlock();
        state->buffer->Release();
        state->buffer = nullptr;
    }
    state->data = nullptr;
    state->bytes = 0;
    state->offset = 0;
}

// The frame of a time in Media Foundation's units.
int64_t frameAtTime(LONGLONG time, int32_t rate) {
    return (time * rate + UNITS_PER_SECOND / 2) / UNITS_PER_SECOND;
}

// Takes the next decoded piece; false at the end of the stream or when the
// reader fails (then noted as damage).
bool nextPiece(AudioSource* source, FileState* state) {
    dropBuffer(state);
    while (!state->finished) {
        DWORD flags = 0;
        LONGLONG time = 0;
        IMFSample* sample = nullptr;
        HRESULT result =
            state->reader->ReadSample((DWORD)MF_SOURCE_READER_FIRST_AUDIO_STREAM, 0, nullptr, &flags, &time, &sample);
        if (FAILED(result) || (flags & MF_SOURCE_READERF_ERROR) != 0) {
            state->finished = true;
            state->failed = true;
        } else if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) {
            state->finished = true;
        }
        if (sample == nullptr) {
            continue;
        }
        IMFMediaBuffer* buffer = nullptr;
        BYTE* data = nullptr;
        DWORD bytes = 0;
        result = sample->ConvertToContiguousBuffer(&buffer);
        sample->Release();
        if (FAILED(result) || FAILED(buffer->Lock(&data, nullptr, &bytes))) {
            if (buffer != nullptr) {
                buffer->Release();
            }
            state->finished = true;
            state->failed = true;
            return false;
        }
        state->buffer = buffer;
        state->data = data;
        state->bytes = bytes - bytes % (DWORD)state->bytesPerFrame;
        state->offset = 0;
        // After a seek the decoder may start before the frame asked for.
        if (state->skip < 0) {
            int64_t startsAt = frameAtTime(time, source->sampleRate);
            state->skip = source->position > startsAt ? source->position - startsAt : 0;
        }
        int64_t dropped = state->skip * state->bytesPerFrame;
        if (dropped >= (int64_t)state->bytes) {
            state->skip -= state->bytes / state->bytesPerFrame;
            dropBuffer(state);
            continue;
        }
        state->offset = (DWORD)dropped;
        state->skip = 0;
        return true;
    }
    return false;
}

int32_t readFile(AudioSource* source, int16_t* samples, int32_t frames) {
    FileState* state = (FileState*)source->state;
    int32_t done = 0;
    while (done < frames) {
        if (state->buffer == nullptr && !nextPiece(source, state)) {
            break;
        }
        int32_t ready = (int32_t)((state->bytes - state->offset) / (DWORD)state->bytesPerFrame);
        int32_t count = ready < frames - done ? ready : frames - done;
        for (int32_t i = 0; i < count; i++) {
            const BYTE* frame = state->data + state->offset + (size_t)i * (size_t)state->bytesPerFrame;
            for (int32_t channel = 0; channel < source->channels; channel++) {
                samples[(done + i) * source->channels + channel] = sampleAt(frame, state->type, channel);
            }
        }
        state->offset += (DWORD)(count * state->bytesPerFrame);
        done += count;
        if (state->offset >= state->bytes) {
            dropBuffer(state);
        }
    }
    source->position += done;
    if (source->frameCount >= 0 && source->position > source->frameCount) {
        source->frameCount = source->position; // the length given was short of the truth
    }
    if (done < frames && state->finished) {
        int64_t slack = state->promisedFrames / END_SLACK_DIVISOR;
        if (slack < (int64_t)source->sampleRate * END_SLACK_MIN_MS / 1000) {
            slack = (int64_t)source->sampleRate * END_SLACK_MIN_MS / 1000;
        }
        if (state->failed || (state->promisedFrames >= 0 && source->position < state->promisedFrames - slack)) {
            noteBreak(source, state);
        } else {
            source->frameCount = source->position;
        }
    }
    return done;
}

bool seekFile(AudioSource* source, int64_t frame) {
    FileState* state = (FileState*)source->state;
    if (source->frameCount >= 0 && frame > source->frameCount) {
        frame = source->frameCount;
    }
    PROPVARIANT where;
    PropVariantInit(&where);
    where.vt = VT_I8;
    where.hVal.QuadPart = frame * UNITS_PER_SECOND / source->sampleRate;
    if (FAILED(state->reader->SetCurrentPosition(GUID_NULL, where))) {
        return false;
    }
    dropBuffer(state);
    state->finished = false;
    state->failed = false;
    state->skip = frame > 0 ? -1 : 0; // learnt from the first piece's time
    source->position = frame;
    return true;
}

void closeFile(AudioSource* source) {
    FileState* state = (FileState*)source->state;
    dropBuffer(state);
    if (state->reader != nullptr) {
        state->reader->Release();
    }
    free(state);
}

// A string property, the first of a list; false where there is none.
bool stringProperty(IPropertyStore* store, const PROPERTYKEY& key, char* text, size_t textSize) {
    PROPVARIANT value;
    PropVariantInit(&value);
    bool found = false;
    if (SUCCEEDED(store->GetValue(key, &value))) {
        const wchar_t* wide = nullptr;
        if (value.vt == VT_LPWSTR) {
            wide = value.pwszVal;
        } else if (value.vt == (VT_VECTOR | VT_LPWSTR) && value.calpwstr.cElems > 0) {
            wide = value.calpwstr.pElems[0];
        } else if (value.vt == VT_BSTR) {
            wide = value.bstrVal;
        }
        if (wide != nullptr && wide[0] != L'\0') {
            textFromWide(wide, text, textSize);
            found = true;
        }
    }
    PropVariantClear(&value);
    return found;
}

// Artist and title from a property store; false without a title.
bool tagsFromStore(IPropertyStore* store, char* artist, size_t artistSize, char* name, size_t nameSize) {
    if (!stringProperty(store, PKEY_Music_Artist, artist, artistSize)) {
        artist[0] = '\0';
    }
    return stringProperty(store, PKEY_Title, name, nameSize);
}

// The name the shell parses for a file: its full path with a drive letter or
// a share, of a file that is there. False for anything else, which the shell
// is not asked about: Wine's shell fails inside the call on a path with
// forward slashes ("/home/..."), which its file routines take.
bool shellParsingName(const wchar_t* widePath, wchar_t* full, size_t fullChars) {
    DWORD length = GetFullPathNameW(widePath, (DWORD)fullChars, full, nullptr);
    if (length == 0 || length >= fullChars) {
        return false;
    }
    for (wchar_t* c = full; *c != L'\0'; c++) {
        if (*c == L'/') {
            *c = L'\\';
        }
    }
    bool drive = ((full[0] >= L'A' && full[0] <= L'Z') || (full[0] >= L'a' && full[0] <= L'z')) && full[1] == L':' &&
                 full[2] == L'\\';
    bool share = full[0] == L'\\' && full[1] == L'\\';
    DWORD attributes = GetFileAttributesW(full);
    return (drive || share) && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// "artist - title" from the tags, as the media source or the shell's
// property handlers give them, the title alone, or the file's name.
void titleFromTags(IMFSourceReader* reader, const wchar_t* widePath, const char* path, char* title, size_t titleSize) {
    char artist[AUDIO_TITLE_CHARS] = "";
    char name[AUDIO_TITLE_CHARS] = "";
    bool found = false;
    IPropertyStore* store = nullptr;
    if (SUCCEEDED(reader->GetServiceForStream((DWORD)MF_SOURCE_READER_MEDIASOURCE, MF_PROPERTY_HANDLER_SERVICE,
                                              IID_IPropertyStore, (void**)&store))) {
        found = tagsFromStore(store, artist, sizeof artist, name, sizeof name);
        store->Release();
        store = nullptr;
    }
    wchar_t shellPath[PATH_CHARS];
    if (!found && shellParsingName(widePath, shellPath, PATH_CHARS) &&
        SUCCEEDED(
            SHGetPropertyStoreFromParsingName(shellPath, nullptr, GPS_DEFAULT, IID_IPropertyStore, (void**)&store))) {
        found = tagsFromStore(store, artist, sizeof artist, name, sizeof name);
        store->Release();
    }
    // Without a title found, the name stays empty.
    composeTitle(artist, name, path, title, titleSize);
}

// The frames a WAV file's header promises, or -1 for another kind of file or
// a header without a sensible length. Media Foundation gives a WAV file cut
// short the length of what it holds, not of what its header promised.
int64_t framesWavPromises(const char* path) {
    FILE* file = openFile(path, "rb");
    if (file == nullptr) {
        return -1;
    }
    uint8_t header[12];
    int64_t promised = -1;
    uint32_t blockAlign = 0;
    if (fread(header, 1, 12, file) == 12 && memcmp(header, "RIFF", 4) == 0 && memcmp(header + 8, "WAVE", 4) == 0) {
        uint8_t chunk[16];
        // The chunks in order, up to the data; a header of more is not a WAV file's.
        for (int32_t i = 0; i < 64 && fread(chunk, 1, 8, file) == 8; i++) {
            uint32_t size =
                (uint32_t)chunk[4] | (uint32_t)chunk[5] << 8 | (uint32_t)chunk[6] << 16 | (uint32_t)chunk[7] << 24;
            if (memcmp(chunk, "data", 4) == 0) {
                if (blockAlign > 0 && size != 0xffffffffu) {
                    promised = size / blockAlign;
                }
                break;
            }
            long skip = (long)size + (long)(size & 1);
            if (memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && fread(chunk, 1, 16, file) == 16) {
                blockAlign = (uint32_t)chunk[12] | (uint32_t)chunk[13] << 8;
                skip -= 16;
            }
            if (fseek(file, skip, SEEK_CUR) != 0) {
                break;
            }
        }
    }
    fclose(file);
    return promised;
}

// Asks the reader for 16-bit samples, else for any integer or float samples
// it can give, and reads what it settled on; false when it gives none.
bool chooseOutput(IMFSourceReader* reader, FileState* state, AudioSource* source, char* reason, size_t reasonSize) {
    const GUID* subtypes[] = {&MFAudioFormat_PCM, &MFAudioFormat_PCM, &MFAudioFormat_Float};
    const UINT32 bits[] = {16, 0, 0};
    HRESULT result = E_FAIL;
    for (int32_t i = 0; i < 3 && FAILED(result); i++) {
        IMFMediaType* wanted = nullptr;
        result = mediaFoundation.createMediaType(&wanted);
        if (FAILED(result)) {
            break;
        }
        wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        wanted->SetGUID(MF_MT_SUBTYPE, *subtypes[i]);
        if (bits[i] != 0) {
            wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, bits[i]);
        }
        result = reader->SetCurrentMediaType((DWORD)MF_SOURCE_READER_FIRST_AUDIO_STREAM, nullptr, wanted);
        wanted->Release();
    }
    IMFMediaType* settled = nullptr;
    if (SUCCEEDED(result)) {
        result = reader->GetCurrentMediaType((DWORD)MF_SOURCE_READER_FIRST_AUDIO_STREAM, &settled);
    }
    if (FAILED(result)) {
        snprintf(reason, reasonSize, "not a sound file Windows can read");
        return false;
    }
    GUID subtype = GUID_NULL;
    UINT32 sampleBits = 0;
    UINT32 channels = 0;
    UINT32 rate = 0;
    settled->GetGUID(MF_MT_SUBTYPE, &subtype);
    settled->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &sampleBits);
    settled->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
    settled->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    settled->Release();
    bool known = true;
    if (IsEqualGUID(subtype, MFAudioFormat_Float) && sampleBits == 32) {
        state->type = SAMPLE_FLOAT32;
    } else if (IsEqualGUID(subtype, MFAudioFormat_PCM) && sampleBits == 16) {
        state->type = SAMPLE_INT16;
    } else if (IsEqualGUID(subtype, MFAudioFormat_PCM) && sampleBits == 24) {
        state->type = SAMPLE_INT24;
    } else if (IsEqualGUID(subtype, MFAudioFormat_PCM) && sampleBits == 32) {
        state->type = SAMPLE_INT32;
    } else {
        known = false;
    }
    if (!known) {
        snprintf(reason, reasonSize, "Windows decodes it to %u-bit samples this program does not read",
                 (unsigned)sampleBits);
        return false;
    }
    if (channels < 1) {
        snprintf(reason, reasonSize, "unusable channel count");
        return false;
    }
    if (rate == 0) {
        snprintf(reason, reasonSize, "no sample rate");
        return false;
    }
    state->fileChannels = (int32_t)channels;
    state->bytesPerFrame = (int32_t)(channels * sampleBits / 8);
    source->sampleRate = (int32_t)rate;
    source->channels = channels < AUDIO_MAX_CHANNELS ? (int32_t)channels : AUDIO_MAX_CHANNELS;
    return true;
}

} // namespace

// A file streams from disk: it is read where its one position stands.
const AudioRoutines audioFileRoutines = {readFile, seekFile, takeFileNotice, closeFile, noReadAt};

bool openAudioFile(AudioSource* source, const char* path, char* error, size_t errorSize) {
    startAudioSource(source, AUDIO_FILE);

    // The file itself
    wchar_t widePath[PATH_CHARS];
    if (!wideFromText(path, widePath, PATH_CHARS)) {
        return refuseAudio(source, "play", path, "the name is too long", error, errorSize);
    }
    FileStatus status;
    if (!fileStatus(path, &status)) {
        return refuseAudio(source, "play", path, errno == ENOENT ? "no such file" : strerror(errno), error, errorSize);
    }
    if (status.isFolder) {
        return refuseAudio(source, "play", path, "is a directory", error, errorSize);
    }
    FILE* readable = openFile(path, "rb");
    if (readable == nullptr) {
        return refuseAudio(source, "play", path, strerror(errno), error, errorSize);
    }
    fclose(readable);
    if (!haveMediaFoundation()) {
        return refuseAudio(source, "play", path,
                           "this Windows has no Media Foundation (an N edition needs the Media Feature Pack)", error,
                           errorSize);
    }
    // Media Foundation and the shell's tags need COM on the calling thread:
    // the model a window's thread wants, kept by a thread that has one already.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // The reader and its samples
    FileState* state = (FileState*)makeAudioState(source, sizeof(FileState), "play", path, error, errorSize);
    if (state == nullptr) {
        return false;
    }
    snprintf(state->fileBreak.path, sizeof state->fileBreak.path, "%s", path);
    if (FAILED(mediaFoundation.createReader(widePath, nullptr, &state->reader))) {
        return refuseAudio(source, "play", path, "not a sound file Windows can read", error, errorSize);
    }
    state->reader->SetStreamSelection((DWORD)MF_SOURCE_READER_ALL_STREAMS, FALSE);
    if (FAILED(state->reader->SetStreamSelection((DWORD)MF_SOURCE_READER_FIRST_AUDIO_STREAM, TRUE))) {
        return refuseAudio(source, "play", path, "not a sound file Windows can read", error, errorSize);
    }
    char reason[AUDIO_MESSAGE_CHARS];
    if (!chooseOutput(state->reader, state, source, reason, sizeof reason)) {
        return refuseAudio(source, "play", path, reason, error, errorSize);
    }

    // The length it gives: where it is missing or nonsense, learnt at the end.
    PROPVARIANT duration;
    PropVariantInit(&duration);
    state->promisedFrames = -1;
    if (SUCCEEDED(
            state->reader->GetPresentationAttribute((DWORD)MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION, &duration)) &&
        duration.vt == VT_UI8) {
        int64_t units = (int64_t)duration.uhVal.QuadPart;
        if (units == 0) {
            PropVariantClear(&duration);
            return refuseAudio(source, "play", path, "no samples", error, errorSize);
        }
        if (units > 0 && units / UNITS_PER_SECOND <= MAX_SENSIBLE_SECONDS) {
            state->promisedFrames = frameAtTime(units, source->sampleRate);
        }
    }
    PropVariantClear(&duration);
    int64_t headerFrames = framesWavPromises(path);
    source->frameCount = state->promisedFrames >= 0 ? state->promisedFrames : AUDIO_UNKNOWN_LENGTH;
    if (headerFrames > state->promisedFrames && headerFrames / source->sampleRate <= MAX_SENSIBLE_SECONDS) {
        state->promisedFrames = headerFrames;
    }
    titleFromTags(state->reader, widePath, path, source->title, sizeof source->title);
    return true;
}
