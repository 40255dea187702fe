#include "setup/shell/dialog_art.h"

#include "setup/shell/setup_state.h"

namespace {

constexpr WORD PaletteVersion = 0x300;

// LOGPALETTE with a full 256-entry table (the platform's record holds one).
struct PaletteRecord {
    WORD version;
    WORD count;
    PALETTEENTRY entries[256];
};

}  // namespace

HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int* colourCount) {
    int count = header->biBitCount <= 8 ? 1 << header->biBitCount : 0;
    *colourCount = count;
    if (count == 0) return nullptr;

    // The block holds the version, the count and one entry per colour.
    HGLOBAL block = GlobalAlloc(GHND, 4 * count + 8);
    if (!block) return nullptr;
    auto* record = static_cast<PaletteRecord*>(GlobalLock(block));
    if (!record) {
        GlobalFree(block);
        return nullptr;
    }
    record->version = PaletteVersion;
    record->count = static_cast<WORD>(count);
    const auto* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    for (int i = 0; i < count; ++i) {
        record->entries[i].peRed = table[i].rgbRed;
        record->entries[i].peGreen = table[i].rgbGreen;
        record->entries[i].peBlue = table[i].rgbBlue;
        record->entries[i].peFlags = 0;
    }
    HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(record));
    GlobalUnlock(block);
    GlobalFree(block);
    return palette;
}

HBITMAP LoadDibResource(HINSTANCE instance, const char* name, HPALETTE* palette) {
    *palette = nullptr;
    HRSRC found = FindResourceA(instance, name, MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(instance, found);
    if (!loaded) return nullptr;
    auto* header = static_cast<BITMAPINFOHEADER*>(LockResource(loaded));
    if (!header) {
        FreeResource(loaded);
        return nullptr;
    }

    HDC screen = GetDC(nullptr);
    int colourCount = 0;
    *palette = CreateDibPalette(header, &colourCount);
    HPALETTE previousPalette = nullptr;
    if (*palette) {
        previousPalette = SelectPalette(screen, *palette, FALSE);
        RealizePalette(screen);
    }
    const BYTE* pixels = reinterpret_cast<const BYTE*>(header) + header->biSize + 4 * colourCount;
    HBITMAP bitmap = CreateDIBitmap(screen, header, CBM_INIT, pixels,
                                    reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
    // Give the screen its palette back so that ours can be deleted later.
    if (previousPalette) SelectPalette(screen, previousPalette, FALSE);
    ReleaseDC(nullptr, screen);
    FreeResource(loaded);
    return bitmap;
}

void PaintDialogArt(HWND window, const char* name) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    if (!target) return;

    HPALETTE palette = nullptr;
    HBITMAP bitmap = LoadDibResource(setupState.instance, name, &palette);
    if (bitmap) {
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        HDC memory = CreateCompatibleDC(target);
        HPALETTE previousPalette = nullptr;
        if (palette) {
            previousPalette = SelectPalette(memory, palette, FALSE);
            RealizePalette(memory);
        }
        HGDIOBJ previousBitmap = SelectObject(memory, bitmap);
        BitBlt(target, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previousBitmap);
        if (previousPalette) SelectPalette(memory, previousPalette, FALSE);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    if (palette) DeleteObject(palette);
    EndPaint(window, &paint);
}

void RealizeDialogArtPalette(HWND window, const char* name) {
    HDC dc = GetDC(window);
    if (!dc) return;
    HPALETTE palette = nullptr;
    HBITMAP bitmap = LoadDibResource(setupState.instance, name, &palette);
    if (bitmap) DeleteObject(bitmap);
    if (palette) {
        HPALETTE previous = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
        if (previous) SelectPalette(dc, previous, FALSE);
    }
    ReleaseDC(window, dc);
    if (palette) DeleteObject(palette);
}

void CenterOnDesktop(HWND window) {
    RECT own, desktop;
    GetWindowRect(window, &own);
    GetWindowRect(GetDesktopWindow(), &desktop);
    // Signed division truncates toward zero, also for windows wider than the desktop.
    int x = ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
    int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool AnswerWizardArtMessage(HWND page, UINT message) {
    switch (message) {
        case WM_PAINT:
            PaintDialogArt(page, WizardArtName);
            return true;
        case WM_QUERYNEWPALETTE:
            RealizeDialogArtPalette(page, WizardArtName);
            return true;
    }
    return false;
}
