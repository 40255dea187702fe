// The pictures in the resources, the palette built from a colour table, the
// paint that must leave no GDI object behind, and centring on the desktop.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <set>
#include <vector>

#include "dialog_answerer.h"
#include "import_patch.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/wizard.h"

namespace {

const BITMAPINFOHEADER* FindDib(const char* name) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(instance, name, MAKEINTRESOURCEA(2));
    if (!found) return nullptr;
    return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(instance, found)));
}

TEST(DialogArtResources, BothPicturesAreUncompressed256ColourDibs) {
    struct {
        const char* name;
        int width, height;
    } pictures[] = {{LauncherArtName, 600, 450}, {WizardArtName, 123, 263}};
    for (const auto& picture : pictures) {
        const BITMAPINFOHEADER* header = FindDib(picture.name);
        ASSERT_NE(header, nullptr) << picture.name;
        EXPECT_EQ(header->biSize, 40u) << picture.name;
        EXPECT_EQ(header->biWidth, picture.width) << picture.name;
        EXPECT_EQ(header->biHeight, picture.height) << picture.name;
        EXPECT_EQ(header->biPlanes, 1) << picture.name;
        EXPECT_EQ(header->biBitCount, 8) << picture.name;
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB)) << picture.name;
        EXPECT_EQ(header->biClrUsed, 0u) << picture.name;
        // A real 256-colour picture: the table has (nearly) no repeated entries.
        const auto* table = reinterpret_cast<const RGBQUAD*>(header + 1);
        std::set<uint32_t> distinct;
        for (int i = 0; i < 256; ++i)
            distinct.insert(table[i].rgbRed << 16 | table[i].rgbGreen << 8 | table[i].rgbBlue);
        EXPECT_GE(distinct.size(), 250u) << picture.name;
    }
    HPALETTE palette = reinterpret_cast<HPALETTE>(1);
    EXPECT_EQ(LoadDibResource(GetModuleHandleA(nullptr), "NO_SUCH_PICTURE", &palette), nullptr);
    EXPECT_EQ(palette, nullptr);
}

// A DIB header followed by a colour table, built in memory.
struct TestDib {
    BITMAPINFOHEADER header;
    RGBQUAD table[256];
};

TEST(DialogArtPalette, ColourCountFollowsBitDepthNotColoursUsed) {
    TestDib dib = {};
    dib.header.biSize = sizeof dib.header;
    dib.header.biWidth = 2;
    dib.header.biHeight = 2;
    dib.header.biPlanes = 1;
    dib.header.biClrUsed = 16;  // ignored: an 8-bit picture has 256 entries
    for (int i = 0; i < 256; ++i)
        dib.table[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};

    dib.header.biBitCount = 8;
    int count = -1;
    HPALETTE palette = CreateDibPalette(&dib.header, &count);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(count, 256);
    PALETTEENTRY entries[256];
    ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    for (int i : {0, 1, 100, 255}) {
        EXPECT_EQ(entries[i].peRed, dib.table[i].rgbRed) << i;
        EXPECT_EQ(entries[i].peGreen, dib.table[i].rgbGreen) << i;
        EXPECT_EQ(entries[i].peBlue, dib.table[i].rgbBlue) << i;
        EXPECT_EQ(entries[i].peFlags, 0) << i;
    }
    DeleteObject(palette);

    dib.header.biBitCount = 4;
    palette = CreateDibPalette(&dib.header, &count);
    EXPECT_EQ(count, 16);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 16u);
    DeleteObject(palette);

    dib.header.biBitCount = 24;
    EXPECT_EQ(CreateDibPalette(&dib.header, &count), nullptr);
    EXPECT_EQ(count, 0);
}

// ---- GDI bookkeeping through the program's import table ----
//
// The calls of the art code go through the test program's import address
// table; the test swaps the entries for counting wrappers.

std::set<HGDIOBJ> liveObjects;
int screenContexts = 0;
int windowContexts = 0;

// The real functions: the wrappers must not call through the patched table.
struct RealGdi {
    decltype(&CreateCompatibleDC) createCompatibleDC;
    decltype(&DeleteDC) deleteDC;
    decltype(&CreateDIBitmap) createDIBitmap;
    decltype(&CreatePalette) createPalette;
    decltype(&DeleteObject) deleteObject;
    decltype(&GetDC) getDC;
    decltype(&ReleaseDC) releaseDC;
} real;

template <typename T>
void LoadReal(T& slot, const char* module, const char* name) {
    slot = reinterpret_cast<T>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
}

void Track(HGDIOBJ object) {
    if (object) liveObjects.insert(object);
}

HDC WINAPI CountCreateCompatibleDC(HDC dc) {
    HDC memory = real.createCompatibleDC(dc);
    Track(memory);
    return memory;
}
BOOL WINAPI CountDeleteDC(HDC dc) {
    liveObjects.erase(dc);
    return real.deleteDC(dc);
}
HBITMAP WINAPI CountCreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init,
                                   const void* bits, const BITMAPINFO* info, UINT usage) {
    HBITMAP bitmap = real.createDIBitmap(dc, header, init, bits, info, usage);
    Track(bitmap);
    return bitmap;
}
HPALETTE WINAPI CountCreatePalette(const LOGPALETTE* logPalette) {
    HPALETTE palette = real.createPalette(logPalette);
    Track(palette);
    return palette;
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
    liveObjects.erase(object);
    return real.deleteObject(object);
}
HDC WINAPI CountGetDC(HWND window) {
    ++(window ? windowContexts : screenContexts);
    return real.getDC(window);
}
int WINAPI CountReleaseDC(HWND window, HDC dc) {
    --(window ? windowContexts : screenContexts);
    return real.releaseDC(window, dc);
}

struct Hook {
    const char* module;
    const char* name;
    void* replacement;
    void* original;
};

class GdiCounting {
  public:
    GdiCounting() {
        LoadReal(real.createCompatibleDC, "gdi32.dll", "CreateCompatibleDC");
        LoadReal(real.deleteDC, "gdi32.dll", "DeleteDC");
        LoadReal(real.createDIBitmap, "gdi32.dll", "CreateDIBitmap");
        LoadReal(real.createPalette, "gdi32.dll", "CreatePalette");
        LoadReal(real.deleteObject, "gdi32.dll", "DeleteObject");
        LoadReal(real.getDC, "user32.dll", "GetDC");
        LoadReal(real.releaseDC, "user32.dll", "ReleaseDC");
        for (Hook& hook : hooks) {
            hook.original =
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(hook.module), hook.name));
            installed += PatchImport(hook.original, hook.replacement) > 0;
        }
        liveObjects.clear();
        screenContexts = windowContexts = 0;
    }
    ~GdiCounting() {
        for (Hook& hook : hooks)
            PatchImport(hook.replacement, hook.original);
    }
    int installed = 0;
    Hook hooks[7] = {
        {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(CountCreateCompatibleDC),
         nullptr},
        {"gdi32.dll", "DeleteDC", reinterpret_cast<void*>(CountDeleteDC), nullptr},
        {"gdi32.dll", "CreateDIBitmap", reinterpret_cast<void*>(CountCreateDIBitmap), nullptr},
        {"gdi32.dll", "CreatePalette", reinterpret_cast<void*>(CountCreatePalette), nullptr},
        {"gdi32.dll", "DeleteObject", reinterpret_cast<void*>(CountDeleteObject), nullptr},
        {"user32.dll", "GetDC", reinterpret_cast<void*>(CountGetDC), nullptr},
        {"user32.dll", "ReleaseDC", reinterpret_cast<void*>(CountReleaseDC), nullptr},
    };
};

const char* paintedArt = LauncherArtName;

LRESULT CALLBACK ArtWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintDialogArt(window, paintedArt);
            return 0;
        case WM_QUERYNEWPALETTE:
            RealizeDialogArtPalette(window, paintedArt);
            return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateArtWindow(int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ArtWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VexloArtTest";
        RegisterClassA(&windowClass);
        registered = true;
    }
    return CreateWindowA("VexloArtTest", "art", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

TEST(DialogArtPaint, RepeatedPaintsLeaveNoGdiObjectBehind) {
    setupState.instance = GetModuleHandleA(nullptr);
    HWND window = CreateArtWindow(600, 450);
    ASSERT_NE(window, nullptr);
    PumpMessages();
    {
        GdiCounting counting;
        ASSERT_EQ(counting.installed, 7) << "the art code's imports could not be hooked";
        for (const char* art : {LauncherArtName, WizardArtName}) {
            paintedArt = art;
            for (int i = 0; i < 50; ++i) {
                InvalidateRect(window, nullptr, FALSE);
                UpdateWindow(window);
                SendMessageA(window, WM_QUERYNEWPALETTE, 0, 0);
            }
        }
        EXPECT_TRUE(liveObjects.empty()) << liveObjects.size() << " objects left";
        EXPECT_EQ(screenContexts, 0);
        EXPECT_EQ(windowContexts, 0);
    }
    // Where the platform counts GDI objects itself, the count stays put as well.
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 100; ++i) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
    DestroyWindow(window);
}

TEST(DialogArtPaint, PictureIsDrawnAtItsPixelSizeAtTheTopLeft) {
    setupState.instance = GetModuleHandleA(nullptr);
    paintedArt = WizardArtName;
    HWND window = CreateArtWindow(300, 300);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    // Inside the picture: its own colours; the corner pixel matches the DIB's top-left.
    const BITMAPINFOHEADER* header = FindDib(WizardArtName);
    const auto* table = reinterpret_cast<const RGBQUAD*>(header + 1);
    const BYTE* pixels = reinterpret_cast<const BYTE*>(table + 256);
    int stride = (header->biWidth + 3) & ~3;
    BYTE topLeft = pixels[(header->biHeight - 1) * stride];
    COLORREF painted = GetPixel(dc, 0, 0);
    EXPECT_EQ(GetRValue(painted), table[topLeft].rgbRed);
    EXPECT_EQ(GetGValue(painted), table[topLeft].rgbGreen);
    EXPECT_EQ(GetBValue(painted), table[topLeft].rgbBlue);
    BYTE bottomRight = pixels[header->biWidth - 1];
    painted = GetPixel(dc, 122, 262);
    EXPECT_EQ(GetRValue(painted), table[bottomRight].rgbRed);
    EXPECT_EQ(GetBValue(painted), table[bottomRight].rgbBlue);
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

TEST(CenterOnDesktop, HalvesTheDifferenceTowardZero) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    int desktopWidth = desktop.right - desktop.left;
    int desktopHeight = desktop.bottom - desktop.top;
    struct {
        int width, height;
    } sizes[] = {
        {301, 200},                             // odd difference
        {desktopWidth + 3, desktopHeight + 5},  // larger than the desktop: negative
        {desktopWidth, desktopHeight},          // exactly the desktop
    };
    for (const auto& size : sizes) {
        HWND window = CreateWindowA("Static", "", WS_POPUP, 7, 9, size.width, size.height, nullptr,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
        RECT before;
        GetWindowRect(window, &before);
        int width = before.right - before.left, height = before.bottom - before.top;
        CenterOnDesktop(window);
        RECT after;
        GetWindowRect(window, &after);
        EXPECT_EQ(after.left, (desktopWidth - width) / 2) << width;
        EXPECT_EQ(after.top, (desktopHeight - height) / 2) << height;
        EXPECT_EQ(after.right - after.left, width);
        EXPECT_EQ(after.bottom - after.top, height);
        DestroyWindow(window);
    }
}

TEST(CenterOnDesktop, SheetCallbackCentresOnlyWhenInitialised) {
    HWND window = CreateWindowA("Static", "", WS_POPUP, 3, 4, 101, 51, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(WizardSheetCallback(window, PSCB_PRECREATE, 0), 0);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 3);
    EXPECT_EQ(WizardSheetCallback(window, PSCB_INITIALIZED, 0), 0);
    GetWindowRect(window, &rect);
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(rect.left, (desktop.right - desktop.left - 101) / 2);
    DestroyWindow(window);
}

}  // namespace
