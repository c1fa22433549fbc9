// Windows only. Whether two names lead to the same file.
#pragma once

// True when both paths name one existing file, also through links or
// different spellings; false when either does not exist.
bool sameFile(const char* first, const char* second);
