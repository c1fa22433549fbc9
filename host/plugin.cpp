// The player's entry point and the plug-in's two records with their load-time
// values. The player reads them; the plug-in never writes them.
#include <cstddef>
#include "host/lifecycle.h"
#include "host/winamp_vis.h"

namespace {

char headerDescription[] = "nox raytracer winamp plugin";
char moduleDescription[] = "new"; // also the display window's title

winampVisModule visModule = {
    moduleDescription, // description
    NULL,              // hwndParent: filled by the player
    NULL,              // hDllInstance: filled by the player
    0,                 // sRate
    2,                 // nCh
    15,                // latencyMs
    15,                // delayMs
    0,                 // spectrumNch: no spectrum wanted
    2,                 // waveformNch: both waveform channels
    {},                // spectrumData
    {},                // waveformData
    Config,            // Config
    Init,              // Init
    Render,            // Render
    Quit,              // Quit
    NULL,              // userData
};

winampVisHeader visHeader = {
    VIS_HEADER_VERSION, // version
    headerDescription,  // description
    getModule,          // getModule
};

} // namespace

// The one module at index 0; no module at any other index.
winampVisModule* getModule(int32_t index) {
    if (index != 0) {
        return NULL;
    }
    return &visModule;
}

extern "C" winampVisHeader* winampVisGetHeader() {
    return &visHeader;
}
