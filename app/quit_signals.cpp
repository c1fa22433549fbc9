// Ctrl-C, SIGTERM and SIGHUP as requests to end the run.
#include "app/quit_signals.h"

#include <signal.h>

#include <cstring>

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
