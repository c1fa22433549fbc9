// Interim entry point until raysphere's main dispatches --video.
#include "app/video_main.h"

int main(int argc, char** argv) {
    return videoMain(argc, argv);
}
