// Windows only. The ways a finished frame reaches the screen: one present
// and one restore routine per way, chosen once by the set-up.
#pragma once
#ifndef _WIN32
#error "display/presentation.h is Windows-only"
#endif
#include <cstdint>
#include <windows.h>
#include <ddraw.h>

constexpr DWORD BACK_BUFFER_COUNT = 2;                        // back buffers of the flipping chain
constexpr int32_t FLIP_CHAIN_BUFFERS = BACK_BUFFER_COUNT + 1; // the front buffer with them
constexpr int32_t MAX_BARS = 2;                               // black areas beside the picture

// A new kind needs a row in presentationTable.
enum PresentationKind {
    PRESENT_EXCLUSIVE, // the 320 x 200 mode: copy to the back buffer, flip
    PRESENT_SCALED,    // a larger mode: k x k blocks centred in the back buffer, flip
    PRESENT_WINDOWED,  // a window over the monitor: stretched blit into the primary
    PRESENTATION_COUNT
};

// Where the frame goes on the screen; written by the set-up, cleared by shutdownDisplay.
struct PresentationLayout {
    PresentationKind kind; // the routines presentFrame and restoreSurfaces use
    LONG screenWidth;      // display mode or monitor, in pixels
    LONG screenHeight;
    LONG scale;          // whole factor of the scaled mode; 1 otherwise
    RECT picture;        // the frame's rectangle on the screen
    RECT bars[MAX_BARS]; // filled black with each windowed frame
    int32_t barCount;    // bars in use
};

struct Presentation {
    void (*present)();    // shows the unlocked render surface
    HRESULT (*restore)(); // brings lost surfaces back; the last Restore's result
};

extern const Presentation presentationTable[PRESENTATION_COUNT];

// The 320 x 200 mode: the frame at the top left, as it is.
PresentationLayout exclusiveLayout();
// A width x height mode: the frame scaled by the largest whole k that fits, centred.
PresentationLayout scaledLayout(LONG width, LONG height);
// A width x height monitor: the largest rectangle of the frame's shape, centred, and the bars beside it.
PresentationLayout windowedLayout(LONG width, LONG height);

// Copies `rows` rows of `columns` pixels, each as a scale x scale block, from
// `source` to `target`; both are 32-bit pixels in rows of the given pitches.
void scaleFrame(const uint8_t* source, LONG sourcePitch, LONG columns, LONG rows, uint8_t* target, LONG targetPitch,
                LONG scale);
// Fills every buffer of the flipping chain black; ends with the chain as it began.
HRESULT clearFlipChain();
// Shows the frame in the way the set-up chose.
void presentFrame();
// Restores lost surfaces in the way the set-up chose; the last Restore's result.
HRESULT restoreSurfaces();
