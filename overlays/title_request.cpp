// The song title's request and its ten-frame count.
#include "overlays/title_request.h"

void requestTitleBox(TitleRequest* request) {
    request->requested = 1;
    request->frameCount = 0;
}

bool stepTitleBox(TitleRequest* request) {
    if (request->requested != 1) {
        return false;
    }
    request->frameCount = request->frameCount + 1;
    if (request->frameCount == TITLE_BOX_FRAMES) {
        request->requested = 0;
    }
    return true;
}
