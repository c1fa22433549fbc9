// Ctrl-C, SIGTERM and SIGHUP as requests to end the run.
#include "app/quit_signals.h"

#include <signal.h>

#include <cstring>

#ifdef _WIN32
// Windows' C library has Ctrl-C and SIGTERM, no SIGHUP; a handler is reset
// to the default once called, as SA_RESETHAND does.
void catchQuitSignals(void (*handler)(int signal)) {
    signal(SIGINT, handler);
    signal(SIGTERM, handler);
}
#else
void catchQuitSignals(void (*handler)(int signal)) {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}
#endif
