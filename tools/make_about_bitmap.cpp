// Renders the picture of the about box with the system's own core: frame
// ABOUT_FRAME (counting from 0) as the plug-in would show it while the demo
// tune plays, its traced rows written as a 24-bit bitmap file. resources/about.bmp is this program's
// output; a native test checks that it still is.
//
// Usage: make_about_bitmap OUTPUT.bmp [--frame N]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "compose/compose.h"
#include "about/about_bitmap.h"
#include "audio/demo_tune.h"
#include "cli/option_table.h"
#include "cli/output_file.h"

namespace {

// Frame 250, some eight seconds into the demo tune: the spheres stand together
// in the middle with their reflections and shadows, the scope across them.
constexpr int32_t ABOUT_FRAME = 250;
constexpr int32_t LAST_FRAME_LIMIT = 100000;

uint8_t frame[FRAME_BYTES]; // the render surface, zero as a new one would be
uint8_t bitmapFile[ABOUT_BITMAP_FILE_BYTES];
WaveformBlock block; // the demo tune's block of the frame

int usage() {
    fprintf(stderr,
            "usage: make_about_bitmap OUTPUT.bmp [--frame N]\n"
            "  renders frames 0..N of the demo tune (default N = %d) and writes frame N's\n"
            "  traced rows as a 320 x 181, 24-bit bitmap\n",
            ABOUT_FRAME);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Arguments
    const char* output = nullptr;
    int32_t lastFrame = ABOUT_FRAME;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--frame") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long value = strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 0 || value > LAST_FRAME_LIMIT) {
                fprintf(stderr, "make_about_bitmap: --frame wants a number from 0 to %d\n", LAST_FRAME_LIMIT);
                return 2;
            }
            lastFrame = static_cast<int32_t>(value);
        } else if (output == nullptr && argv[i][0] != '-') {
            output = argv[i];
        } else {
            return usage();
        }
    }
    if (output == nullptr) {
        return usage();
    }

    // What Init does, then one composeFrame per frame as Render would
    startCore();
    for (int32_t k = 0; k <= lastFrame; k++) {
        demoTuneWaveform(static_cast<uint32_t>(k) * DEMO_FRAME_SAMPLES, block);
        composeFrame(frame, block, 2);
    }

    // The bitmap file
    encodeAboutBitmap(frame, bitmapFile);
    if (!writeFileBytes(output, bitmapFile, ABOUT_BITMAP_FILE_BYTES)) {
        fprintf(stderr, "make_about_bitmap: cannot write %s: %s\n", output, strerror(errno));
        return 1;
    }
    printf("make_about_bitmap: frame %d written to %s\n", lastFrame, output);
    return finishStandardOutput("make_about_bitmap") ? 0 : 1;
}
