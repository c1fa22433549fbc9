// raysphere --video OUT SONG: the whole song rendered into a video file with
// its sound.
#pragma once

// Runs the export from raysphere's full command line (argv[0] is the program,
// "--video OUT" is among the arguments). Returns the process's exit code.
int videoMain(int argc, char** argv);
