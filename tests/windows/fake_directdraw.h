// Windows only. Fake DirectDraw objects: they count references, write each
// call to the fake platform's log, answer from per-call scripts and lend
// lockable memory with guard bytes around it.
#pragma once
#ifndef _WIN32
#error "tests/windows/fake_directdraw.h is Windows-only"
#endif
#include <cstdint>
#include <string>
#include <vector>
#include <ddraw.h>

// Results of one method, call after call: the queued ones first, then
// `otherwise` for good.
struct ResultScript {
    std::vector<HRESULT> queued;
    size_t next = 0;
    HRESULT otherwise = DD_OK;

    HRESULT take();
    // `count` calls answered `result`, then `after` for good.
    void repeat(HRESULT result, size_t count, HRESULT after);
};

constexpr size_t SURFACE_GUARD_BYTES = 256; // before and after the lent memory
constexpr uint8_t GUARD_BYTE = 0xA5;

struct FakeSurface : IDirectDrawSurface {
    std::string name;     // as the log shows it
    ULONG references = 0; // handed out and not yet released
    int releaseCalls = 0;
    FakeSurface* attached = NULL; // GetAttachedSurface's answer
    HDC dcToHand = NULL;          // GetDC's device context
    DWORD bitsPerPixel = 32;      // GetPixelFormat's depth

    ResultScript lockScript;
    ResultScript unlockScript;
    ResultScript bltFastScript;
    ResultScript flipScript;
    ResultScript restoreScript;
    ResultScript getDCScript;
    ResultScript attachedScript;
    ResultScript bltScript;
    ResultScript pixelFormatScript;
    ResultScript setClipperScript;

    // Lent memory: guard bytes, `pitch` x `height` bytes, guard bytes; a
    // surface `width` pixels wide.
    std::vector<uint8_t> memory;
    LONG pitch = 0;
    DWORD height = 0;
    DWORD width = 320;

    // What each Lock call found in the description it was given.
    std::vector<const void*> lockDescriptionAddresses;
    std::vector<bool> lockDescriptionClean;     // zero but for dwSize == sizeof
    std::vector<bool> lockDescriptionScribbled; // still holds the busy answer's mark

    explicit FakeSurface(const char* surfaceName);
    // Lays the lent memory out for a surface `columns` pixels wide and fills
    // it with `fill`, guards with GUARD_BYTE.
    void setLayout(LONG rowPitch, DWORD rows, uint8_t fill, DWORD columns = 320);
    uint8_t* pixels();
    bool guardsIntact() const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override;
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDBLTFX) override;
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT rect, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override;
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override;
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) override;
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS) override;
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override;
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, LPDDCOLORKEY) override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override;
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override;
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC description, DWORD flags, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER) override;
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, LPDDCOLORKEY) override;
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID pointer) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override;
};

struct FakeClipper : IDirectDrawClipper {
    ULONG references = 0; // handed out and not yet released
    int releaseCalls = 0;
    ResultScript setHWndScript;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetClipList(LPRECT, LPRGNDATA, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetHWnd(HWND*) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override;
    HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL*) override;
    HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override;
};

// A mode EnumDisplayModes offers.
struct OfferedMode {
    DWORD width;
    DWORD height;
    DWORD depth;
};

struct FakeDirectDraw : IDirectDraw {
    ULONG references = 0; // handed out and not yet released
    int releaseCalls = 0;

    ResultScript queryScript;
    ResultScript cooperativeScript;
    ResultScript displayModeScript;
    ResultScript createSurfaceScript;
    ResultScript enumModesScript;
    ResultScript createClipperScript;

    // CreateSurface hands out the primary for a primary description, and the
    // render surface, or the spare one when the render surface is held, for
    // an offscreen one.
    FakeSurface* primaryToCreate = NULL;
    FakeSurface* renderToCreate = NULL;
    FakeSurface* spareToCreate = NULL;
    FakeClipper* clipperToCreate = NULL;
    int createSurfaceCalls = 0;
    std::vector<DDSURFACEDESC> createDescriptions; // copies, as passed
    std::vector<const void*> createDescriptionAddresses;
    std::vector<OfferedMode> offeredModes; // EnumDisplayModes' list, in its order

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Compact() override;
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC description, LPDIRECTDRAWSURFACE* surface,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override;
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override;
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS, LPDDCAPS) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC) override;
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override;
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override;
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override;
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD depth) override;
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override;
};

// A whole display: the DirectDraw object and the four surfaces, wired so that
// a set-up hands them out in the real order. The render surface lends
// 1280-byte rows of 200 rows unless a test lays it out otherwise.
struct FakeDisplay {
    FakeDirectDraw directDraw;
    FakeSurface primary{"primary"};
    FakeSurface back{"back"};
    FakeSurface render{"render"};
    FakeSurface spare{"spare"};
    FakeClipper clipper;

    FakeDisplay();
    // Makes DirectDrawCreate of the fake platform hand out this display.
    void offerToPlatform();
    // Puts the objects in the display state as a finished set-up would.
    void adopt();
    // Leaves a refused 320 x 200 mode no other way: no mode is offered and
    // the normal cooperative level is refused.
    void refuseOtherWays();
};

// True when no fake object saw a call the plug-in is not expected to make.
bool noUnexpectedCalls();
