// Windows only. Text, reasons and device threads for the Windows sources and
// sound output.
#ifndef _WIN32
#error "audio/win_audio.cpp is Windows-only"
#endif
#include "audio/win_audio.h"

#include <windows.h>
#include <audioclient.h>

#include <cstdio>
#include <cstring>

void textFromWide(const wchar_t* wide, char* text, size_t textSize) {
    if (textSize == 0) {
        return;
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, (int)textSize, nullptr, nullptr);
    if (bytes == 0) {
        // Too long: cut to what fits, at a character's start.
        text[0] = '\0';
        size_t used = 0;
        for (const wchar_t* c = wide; *c != L'\0'; c++) {
            char piece[8];
            int count = (*c >= 0xd800 && *c < 0xdc00 && c[1] != L'\0') ? 2 : 1;
            int length = WideCharToMultiByte(CP_UTF8, 0, c, count, piece, sizeof piece, nullptr, nullptr);
            if (length <= 0 || used + (size_t)length + 1 > textSize) {
                break;
            }
            memcpy(text + used, piece, (size_t)length);
            used += (size_t)length;
            c += count - 1;
        }
        text[used] = '\0';
    }
    for (char* c = text; *c != '\0'; c++) {
        if ((uint8_t)*c < 0x20 || *c == 0x7f) {
            *c = '?';
        }
    }
}

namespace {

// The audio results people meet, in their words; the system's own text
// for the rest.
struct ResultText {
    HRESULT result;
    const char* text;
};

const ResultText resultTexts[] = {
    {AUDCLNT_E_DEVICE_INVALIDATED, "the device is gone"},
    {AUDCLNT_E_DEVICE_IN_USE, "the device is in use"},
    {AUDCLNT_E_UNSUPPORTED_FORMAT, "the device does not take this format"},
    {AUDCLNT_E_SERVICE_NOT_RUNNING, "the Windows audio service is not running"},
    {AUDCLNT_E_WRONG_ENDPOINT_TYPE, "the device does not record"},
    {AUDCLNT_E_ENDPOINT_CREATE_FAILED, "the device cannot be opened"},
    {(HRESULT)0x80070490, "no such device"}, // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
    {E_OUTOFMEMORY, "out of memory"},
};

} // namespace

void describeResult(long result, char* text, size_t textSize) {
    for (const ResultText& known : resultTexts) {
        if (known.result == (HRESULT)result) {
            snprintf(text, textSize, "%s", known.text);
            return;
        }
    }
    wchar_t message[256];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, (DWORD)result, 0,
                                  message, sizeof message / sizeof message[0], nullptr);
    // The system's texts end in a full stop and a new line.
    while (length > 0 && (message[length - 1] == L'\n' || message[length - 1] == L'\r' || message[length - 1] == L'.' ||
                          message[length - 1] == L' ')) {
        message[--length] = L'\0';
    }
    char words[256] = "";
    if (length > 0) {
        textFromWide(message, words, sizeof words);
        snprintf(text, textSize, "%s (0x%08lx)", words, (unsigned long)result);
    } else {
        snprintf(text, textSize, "error 0x%08lx", (unsigned long)result);
    }
}

bool startDeviceEnumeration(DeviceEnumeration* use, DWORD model, char* reason, size_t reasonSize) {
    use->comResult = CoInitializeEx(nullptr, model);
    use->enumerator = nullptr;
    HRESULT result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                      (void**)&use->enumerator);
    if (FAILED(result)) {
        use->enumerator = nullptr;
        describeResult(result, reason, reasonSize);
        return false;
    }
    return true;
}

void endDeviceEnumeration(DeviceEnumeration* use) {
    if (use->enumerator != nullptr) {
        use->enumerator->Release();
        use->enumerator = nullptr;
    }
    if (SUCCEEDED(use->comResult)) {
        CoUninitialize();
    }
}

bool prepareDeviceThread(DeviceThread* worker) {
    InitializeCriticalSection(&worker->lock);
    worker->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    worker->readyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return worker->stopEvent != nullptr && worker->readyEvent != nullptr;
}

bool startDeviceThread(DeviceThread* worker, LPTHREAD_START_ROUTINE run, void* parameter) {
    worker->thread = CreateThread(nullptr, 0, run, parameter, 0, nullptr);
    if (worker->thread == nullptr) {
        return false;
    }
    WaitForSingleObject(worker->readyEvent, INFINITE);
    return true;
}

bool enterDeviceThread(int priority, DeviceEnumeration* use, char* reason, size_t reasonSize) {
    SetThreadPriority(GetCurrentThread(), priority);
    return startDeviceEnumeration(use, COINIT_MULTITHREADED, reason, reasonSize);
}

void endDeviceThread(DeviceThread* worker) {
    if (worker->thread != nullptr) {
        SetEvent(worker->stopEvent);
        WaitForSingleObject(worker->thread, INFINITE);
        CloseHandle(worker->thread);
    }
    if (worker->stopEvent != nullptr) {
        CloseHandle(worker->stopEvent);
    }
    if (worker->readyEvent != nullptr) {
        CloseHandle(worker->readyEvent);
    }
    DeleteCriticalSection(&worker->lock);
}
