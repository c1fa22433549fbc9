// raysphere --video on Windows: the video export is the Linux program's.
#include <cstdio>
#include "app/video_main.h"

int videoMain(int, char**) {
    fputs("raysphere: --video is not available on Windows: the video export runs in the Linux program\n"
          "Try 'raysphere --help'.\n",
          stderr);
    return 2;
}
