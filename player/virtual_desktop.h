// Windows only. Running the host inside a Wine virtual desktop of its own,
// keeping the run's exit status.
#pragma once
#include <cstddef>
#include <cstdint>

// Names the desktop size in Wine's settings, starts this program again with
// `commandLine` on that desktop (Wine opens it as a virtual desktop), waits
// for it and puts its exit status into `exitCode`. False, with the reason in
// `error`, when the copy could not be started.
bool runInVirtualDesktop(int32_t width, int32_t height, char* commandLine, uint32_t* exitCode, char* error,
                         size_t errorSize);
