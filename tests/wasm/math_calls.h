// The animation's sinf and cosf calls, seen through the linker's --wrap:
// recorded as (input, result) pairs in one build, answered from such a
// record in another, so that two C libraries' results can be swapped.
#pragma once
#include <cstdint>

enum MathCallMode : uint8_t { MATH_OWN, MATH_RECORD, MATH_REPLAY };

// What the calls do; only those made while `active` count.
struct MathCalls {
    MathCallMode mode;
    bool active;       // set around the frames that are checked
    int32_t calls;     // calls counted since the last reset
    int32_t differing; // replayed results that differ from this library's own
    int32_t missing;   // calls the record has no answer for (this library's own is used)
};

extern MathCalls mathCalls;

// Loads a record to replay; false, with a message, when it cannot be read.
bool loadMathRecord(const char* path);
// Writes the pairs recorded so far; false, with a message, on failure.
bool saveMathRecord(const char* path);
