// Windows only. The fake DirectDraw objects.
#ifndef _WIN32
#error "tests/windows/fake_directdraw.cpp is Windows-only"
#endif
#include "tests/windows/fake_directdraw.h"

#include <cstring>
#include "display/display.h"
#include "tests/windows/fake_platform.h"

namespace {

constexpr DWORD BUSY_MARK = 0xB5B5B5B5; // left in dwReserved by a busy Lock

// The name of a fake surface, or the pointer of anything else.
std::string surfaceName(IDirectDrawSurface* surface) {
    if (surface == NULL) {
        return "null";
    }
    FakeSurface* fakeSurface = dynamic_cast<FakeSurface*>(surface);
    if (fakeSurface == NULL) {
        return hexText(surface);
    }
    return fakeSurface->name;
}

std::string guidText(REFIID iid) {
    char text[64];
    snprintf(text, sizeof(text), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", (unsigned long)iid.Data1,
             iid.Data2, iid.Data3, iid.Data4[0], iid.Data4[1], iid.Data4[2], iid.Data4[3], iid.Data4[4], iid.Data4[5],
             iid.Data4[6], iid.Data4[7]);
    return text;
}

// A rectangle as the log shows it.
std::string rectText(const RECT* rect) {
    if (rect == NULL) {
        return "null";
    }
    char text[96];
    snprintf(text, sizeof(text), "(%ld,%ld,%ld,%ld)", (long)rect->left, (long)rect->top, (long)rect->right,
             (long)rect->bottom);
    return text;
}

// A call the plug-in has no business making.
HRESULT unexpected(const std::string& object, const char* method) {
    logCall("%s.Unexpected(%s)", object.c_str(), method);
    return E_NOTIMPL;
}

// True when the description is zero but for dwSize, which is its own size.
bool cleanDescription(const DDSURFACEDESC* description) {
    DDSURFACEDESC expected;
    memset(&expected, 0, sizeof(expected));
    expected.dwSize = sizeof(expected);
    return memcmp(description, &expected, sizeof(expected)) == 0;
}

} // namespace

HRESULT ResultScript::take() {
    if (next < queued.size()) {
        return queued[next++];
    }
    return otherwise;
}

void ResultScript::repeat(HRESULT result, size_t count, HRESULT after) {
    queued.assign(count, result);
    next = 0;
    otherwise = after;
}

// Surface

FakeSurface::FakeSurface(const char* surfaceName) : name(surfaceName) {}

void FakeSurface::setLayout(LONG rowPitch, DWORD rows, uint8_t fill, DWORD columns) {
    width = columns;
    pitch = rowPitch;
    height = rows;
    size_t lent = (size_t)rowPitch * rows;
    memory.assign(SURFACE_GUARD_BYTES + lent + SURFACE_GUARD_BYTES, GUARD_BYTE);
    memset(memory.data() + SURFACE_GUARD_BYTES, fill, lent);
}

uint8_t* FakeSurface::pixels() {
    return memory.data() + SURFACE_GUARD_BYTES;
}

bool FakeSurface::guardsIntact() const {
    size_t lent = (size_t)pitch * height;
    for (size_t i = 0; i < SURFACE_GUARD_BYTES; i++) {
        if (memory[i] != GUARD_BYTE || memory[SURFACE_GUARD_BYTES + lent + i] != GUARD_BYTE) {
            return false;
        }
    }
    return true;
}

HRESULT FakeSurface::QueryInterface(REFIID, void**) {
    return unexpected(name, "QueryInterface");
}

ULONG FakeSurface::AddRef() {
    return ++references;
}

ULONG FakeSurface::Release() {
    logCall("%s.Release()", name.c_str());
    releaseCalls++;
    if (references > 0) {
        references--;
    }
    return references;
}

HRESULT FakeSurface::AddAttachedSurface(LPDIRECTDRAWSURFACE) {
    return unexpected(name, "AddAttachedSurface");
}
HRESULT FakeSurface::AddOverlayDirtyRect(LPRECT) {
    return unexpected(name, "AddOverlayDirtyRect");
}
// Logs the blit; a colour fill that succeeds fills the lent memory (the
// rectangle, or the whole surface) with the 32-bit colour.
HRESULT FakeSurface::Blt(LPRECT target, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) {
    bool fill = (flags & DDBLT_COLORFILL) != 0;
    logCall("%s.Blt(dest=%s, source=%s, sourceRect=%s, flags=0x%lx, fill=%s)", name.c_str(), rectText(target).c_str(),
            surfaceName(source).c_str(), rectText(sourceRect).c_str(), (unsigned long)flags,
            fill && fx != NULL ? hexText((const void*)(uintptr_t)fx->dwFillColor).c_str() : "none");
    HRESULT result = bltScript.take();
    if (result != DD_OK || !fill || fx == NULL || memory.empty()) {
        return result;
    }
    RECT area = target != NULL ? *target : RECT{0, 0, (LONG)width, (LONG)height};
    for (LONG y = area.top; y < area.bottom && y < (LONG)height; y++) {
        for (LONG x = area.left; x < area.right && (x + 1) * 4 <= pitch; x++) {
            uint32_t colour = fx->dwFillColor;
            memcpy(pixels() + (size_t)y * (size_t)pitch + (size_t)x * 4, &colour, 4);
        }
    }
    return DD_OK;
}
HRESULT FakeSurface::BltBatch(LPDDBLTBATCH, DWORD, DWORD) {
    return unexpected(name, "BltBatch");
}

HRESULT FakeSurface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT rect, DWORD flags) {
    logCall("%s.BltFast(x=%lu, y=%lu, source=%s, rect=%s, flags=0x%lx)", name.c_str(), (unsigned long)x,
            (unsigned long)y, surfaceName(source).c_str(), rect == NULL ? "null" : "given", (unsigned long)flags);
    return bltFastScript.take();
}

HRESULT FakeSurface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) {
    return unexpected(name, "DeleteAttachedSurface");
}
HRESULT FakeSurface::EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) {
    return unexpected(name, "EnumAttachedSurfaces");
}
HRESULT FakeSurface::EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) {
    return unexpected(name, "EnumOverlayZOrders");
}

HRESULT FakeSurface::Flip(LPDIRECTDRAWSURFACE target, DWORD flags) {
    logCall("%s.Flip(target=%s, flags=0x%lx)", name.c_str(), surfaceName(target).c_str(), (unsigned long)flags);
    return flipScript.take();
}

HRESULT FakeSurface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) {
    logCall("%s.GetAttachedSurface(caps=0x%lx)", name.c_str(), (unsigned long)caps->dwCaps);
    HRESULT result = attachedScript.take();
    if (result == DD_OK) {
        attached->AddRef();
        *surface = attached;
    }
    return result;
}

HRESULT FakeSurface::GetBltStatus(DWORD) {
    return unexpected(name, "GetBltStatus");
}
HRESULT FakeSurface::GetCaps(LPDDSCAPS) {
    return unexpected(name, "GetCaps");
}
HRESULT FakeSurface::GetClipper(LPDIRECTDRAWCLIPPER*) {
    return unexpected(name, "GetClipper");
}
HRESULT FakeSurface::GetColorKey(DWORD, LPDDCOLORKEY) {
    return unexpected(name, "GetColorKey");
}

HRESULT FakeSurface::GetDC(HDC* dc) {
    logCall("%s.GetDC()", name.c_str());
    HRESULT result = getDCScript.take();
    if (result == DD_OK) {
        *dc = dcToHand;
    }
    return result;
}

HRESULT FakeSurface::GetFlipStatus(DWORD) {
    return unexpected(name, "GetFlipStatus");
}
HRESULT FakeSurface::GetOverlayPosition(LPLONG, LPLONG) {
    return unexpected(name, "GetOverlayPosition");
}
HRESULT FakeSurface::GetPalette(LPDIRECTDRAWPALETTE*) {
    return unexpected(name, "GetPalette");
}
HRESULT FakeSurface::GetPixelFormat(LPDDPIXELFORMAT format) {
    logCall("%s.GetPixelFormat()", name.c_str());
    HRESULT result = pixelFormatScript.take();
    if (result == DD_OK) {
        format->dwFlags = DDPF_RGB;
        format->dwRGBBitCount = bitsPerPixel;
    }
    return result;
}
HRESULT FakeSurface::GetSurfaceDesc(LPDDSURFACEDESC) {
    return unexpected(name, "GetSurfaceDesc");
}
HRESULT FakeSurface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) {
    return unexpected(name, "Initialize");
}
HRESULT FakeSurface::IsLost() {
    return unexpected(name, "IsLost");
}

// Lends the memory as DirectDraw does; a busy answer leaves a mark in the
// description, so that a retry can be seen to pass it on uncleared.
HRESULT FakeSurface::Lock(LPRECT rect, LPDDSURFACEDESC description, DWORD flags, HANDLE event) {
    logCall("%s.Lock(rect=%s, flags=0x%lx, event=%s)", name.c_str(), rect == NULL ? "null" : "given",
            (unsigned long)flags, hexText(event).c_str());
    lockDescriptionAddresses.push_back(description);
    lockDescriptionClean.push_back(cleanDescription(description));
    lockDescriptionScribbled.push_back(description->dwReserved == BUSY_MARK);
    HRESULT result = lockScript.take();
    if (result == DDERR_WASSTILLDRAWING) {
        description->dwReserved = BUSY_MARK;
    }
    if (result != DD_OK) {
        return result;
    }
    description->dwFlags = DDSD_LPSURFACE | DDSD_PITCH | DDSD_HEIGHT | DDSD_WIDTH;
    description->dwWidth = width;
    description->dwHeight = height;
    description->lPitch = pitch;
    description->lpSurface = pixels();
    return DD_OK;
}

HRESULT FakeSurface::ReleaseDC(HDC dc) {
    logCall("%s.ReleaseDC(dc=%s)", name.c_str(), hexText(dc).c_str());
    return DD_OK;
}

HRESULT FakeSurface::Restore() {
    logCall("%s.Restore()", name.c_str());
    return restoreScript.take();
}

HRESULT FakeSurface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
    logCall("%s.SetClipper(%s)", name.c_str(), dynamic_cast<FakeClipper*>(clipper) != NULL ? "clipper" : "other");
    return setClipperScript.take();
}
HRESULT FakeSurface::SetColorKey(DWORD, LPDDCOLORKEY) {
    return unexpected(name, "SetColorKey");
}
HRESULT FakeSurface::SetOverlayPosition(LONG, LONG) {
    return unexpected(name, "SetOverlayPosition");
}
HRESULT FakeSurface::SetPalette(LPDIRECTDRAWPALETTE) {
    return unexpected(name, "SetPalette");
}

HRESULT FakeSurface::Unlock(LPVOID pointer) {
    logCall("%s.Unlock(pointer=%s)", name.c_str(), hexText(pointer).c_str());
    return unlockScript.take();
}

HRESULT FakeSurface::UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) {
    return unexpected(name, "UpdateOverlay");
}
HRESULT FakeSurface::UpdateOverlayDisplay(DWORD) {
    return unexpected(name, "UpdateOverlayDisplay");
}
HRESULT FakeSurface::UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) {
    return unexpected(name, "UpdateOverlayZOrder");
}

// Clipper

HRESULT FakeClipper::QueryInterface(REFIID, void**) {
    return unexpected("clipper", "QueryInterface");
}

ULONG FakeClipper::AddRef() {
    return ++references;
}

ULONG FakeClipper::Release() {
    logCall("clipper.Release()");
    releaseCalls++;
    if (references > 0) {
        references--;
    }
    return references;
}

HRESULT FakeClipper::GetClipList(LPRECT, LPRGNDATA, LPDWORD) {
    return unexpected("clipper", "GetClipList");
}
HRESULT FakeClipper::GetHWnd(HWND*) {
    return unexpected("clipper", "GetHWnd");
}
HRESULT FakeClipper::Initialize(LPDIRECTDRAW, DWORD) {
    return unexpected("clipper", "Initialize");
}
HRESULT FakeClipper::IsClipListChanged(WINBOOL*) {
    return unexpected("clipper", "IsClipListChanged");
}
HRESULT FakeClipper::SetClipList(LPRGNDATA, DWORD) {
    return unexpected("clipper", "SetClipList");
}

HRESULT FakeClipper::SetHWnd(DWORD flags, HWND window) {
    logCall("clipper.SetHWnd(flags=0x%lx, window=%s)", (unsigned long)flags, hexText(window).c_str());
    return setHWndScript.take();
}

// DirectDraw object

HRESULT FakeDirectDraw::QueryInterface(REFIID iid, void** object) {
    logCall("directDraw.QueryInterface(iid=%s)", guidText(iid).c_str());
    HRESULT result = queryScript.take();
    if (result != DD_OK) {
        *object = NULL;
        return result;
    }
    AddRef();
    *object = static_cast<IDirectDraw*>(this);
    return DD_OK;
}

ULONG FakeDirectDraw::AddRef() {
    return ++references;
}

ULONG FakeDirectDraw::Release() {
    logCall("directDraw.Release()");
    releaseCalls++;
    if (references > 0) {
        references--;
    }
    return references;
}

HRESULT FakeDirectDraw::Compact() {
    return unexpected("directDraw", "Compact");
}
HRESULT FakeDirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
    logCall("directDraw.CreateClipper(flags=0x%lx, outer=%s)", (unsigned long)flags, hexText(outer).c_str());
    HRESULT result = createClipperScript.take();
    if (result == DD_OK) {
        clipperToCreate->AddRef();
        *clipper = clipperToCreate;
    }
    return result;
}
HRESULT FakeDirectDraw::CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) {
    return unexpected("directDraw", "CreatePalette");
}

// Hands out the surface the description asks for, keeping a copy of the
// description as it was passed. A held primary cannot be made twice.
HRESULT FakeDirectDraw::CreateSurface(LPDDSURFACEDESC description, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) {
    logCall("directDraw.CreateSurface(flags=0x%lx, caps=0x%lx, outer=%s)", (unsigned long)description->dwFlags,
            (unsigned long)description->ddsCaps.dwCaps, hexText(outer).c_str());
    createSurfaceCalls++;
    createDescriptions.push_back(*description);
    createDescriptionAddresses.push_back(description);
    HRESULT result = createSurfaceScript.take();
    if (result != DD_OK) {
        return result;
    }
    FakeSurface* made = NULL;
    if ((description->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0) {
        made = primaryToCreate->references == 0 ? primaryToCreate : NULL;
    } else if (renderToCreate->references == 0) {
        made = renderToCreate;
    } else if (spareToCreate->references == 0) {
        made = spareToCreate;
    }
    if (made == NULL) {
        return DDERR_GENERIC;
    }
    made->AddRef();
    *surface = made;
    return DD_OK;
}

HRESULT FakeDirectDraw::DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) {
    return unexpected("directDraw", "DuplicateSurface");
}
// Offers each mode of offeredModes, as DirectDraw describes a mode, until
// the callback cancels.
HRESULT FakeDirectDraw::EnumDisplayModes(DWORD flags, LPDDSURFACEDESC filter, LPVOID context,
                                         LPDDENUMMODESCALLBACK callback) {
    logCall("directDraw.EnumDisplayModes(flags=0x%lx, filter=%s)", (unsigned long)flags,
            filter == NULL ? "null" : "given");
    HRESULT result = enumModesScript.take();
    if (result != DD_OK) {
        return result;
    }
    for (const OfferedMode& mode : offeredModes) {
        DDSURFACEDESC description;
        memset(&description, 0, sizeof(description));
        description.dwSize = sizeof(description);
        description.dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        description.dwWidth = mode.width;
        description.dwHeight = mode.height;
        description.lPitch = (LONG)(mode.width * mode.depth / 8);
        description.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        description.ddpfPixelFormat.dwFlags = DDPF_RGB;
        description.ddpfPixelFormat.dwRGBBitCount = mode.depth;
        if (callback(&description, context) == DDENUMRET_CANCEL) {
            break;
        }
    }
    return DD_OK;
}
HRESULT FakeDirectDraw::EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) {
    return unexpected("directDraw", "EnumSurfaces");
}
HRESULT FakeDirectDraw::FlipToGDISurface() {
    return unexpected("directDraw", "FlipToGDISurface");
}
HRESULT FakeDirectDraw::GetCaps(LPDDCAPS, LPDDCAPS) {
    return unexpected("directDraw", "GetCaps");
}
HRESULT FakeDirectDraw::GetDisplayMode(LPDDSURFACEDESC) {
    return unexpected("directDraw", "GetDisplayMode");
}
HRESULT FakeDirectDraw::GetFourCCCodes(LPDWORD, LPDWORD) {
    return unexpected("directDraw", "GetFourCCCodes");
}
HRESULT FakeDirectDraw::GetGDISurface(LPDIRECTDRAWSURFACE*) {
    return unexpected("directDraw", "GetGDISurface");
}
HRESULT FakeDirectDraw::GetMonitorFrequency(LPDWORD) {
    return unexpected("directDraw", "GetMonitorFrequency");
}
HRESULT FakeDirectDraw::GetScanLine(LPDWORD) {
    return unexpected("directDraw", "GetScanLine");
}
HRESULT FakeDirectDraw::GetVerticalBlankStatus(WINBOOL*) {
    return unexpected("directDraw", "GetVerticalBlankStatus");
}
HRESULT FakeDirectDraw::Initialize(GUID*) {
    return unexpected("directDraw", "Initialize");
}

HRESULT FakeDirectDraw::RestoreDisplayMode() {
    logCall("directDraw.RestoreDisplayMode()");
    return DD_OK;
}

HRESULT FakeDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    logCall("directDraw.SetCooperativeLevel(window=%s, flags=0x%lx)", hexText(window).c_str(), (unsigned long)flags);
    // Only taking the display can fail; giving it back always succeeds.
    if (window == NULL) {
        return DD_OK;
    }
    return cooperativeScript.take();
}

HRESULT FakeDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD depth) {
    logCall("directDraw.SetDisplayMode(%lu, %lu, %lu)", (unsigned long)width, (unsigned long)height,
            (unsigned long)depth);
    return displayModeScript.take();
}

HRESULT FakeDirectDraw::WaitForVerticalBlank(DWORD, HANDLE) {
    return unexpected("directDraw", "WaitForVerticalBlank");
}

// The whole display

FakeDisplay::FakeDisplay() {
    directDraw.primaryToCreate = &primary;
    directDraw.renderToCreate = &render;
    directDraw.spareToCreate = &spare;
    directDraw.clipperToCreate = &clipper;
    primary.attached = &back;
    render.dcToHand = DEVICE_CONTEXT;
    render.setLayout(1280, 200, 0);
}

void FakeDisplay::offerToPlatform() {
    fake.directDrawToCreate = &directDraw;
}

void FakeDisplay::adopt() {
    directDraw.AddRef();
    primary.AddRef();
    back.AddRef();
    render.AddRef();
    spare.AddRef();
    display.directDraw = &directDraw;
    display.primarySurface = &primary;
    display.backBuffer = &back;
    display.renderSurface = &render;
    display.spareSurface = &spare;
    display.displayWindow = DISPLAY_WINDOW;
}

void FakeDisplay::refuseOtherWays() {
    directDraw.offeredModes.clear();
    directDraw.cooperativeScript.queued = {DD_OK};
    directDraw.cooperativeScript.next = 0;
    directDraw.cooperativeScript.otherwise = DDERR_GENERIC;
}

bool noUnexpectedCalls() {
    for (const std::string& line : fake.log) {
        if (line.find(".Unexpected(") != std::string::npos) {
            return false;
        }
    }
    return true;
}
