// Whether two names lead to the same file, so that a run never writes over
// what it reads. One back end a system: cli/same_file_posix.cpp, cli/same_file_windows.cpp.
#pragma once

// True when both paths name one existing file, also through links or
// different spellings; false when either does not exist.
bool sameFile(const char* first, const char* second);
