// Ctrl-C, SIGTERM and SIGHUP as requests to end the run between two frames.
#pragma once

// Hands the three signals to `handler`, once: a second one ends the program
// at once, as if nothing caught it.
void catchQuitSignals(void (*handler)(int signal));
