// vexlo-textfit: measures every text of Setup.exe's dialogs in the control
// that shows it, with the dialog's own font, and names each product text
// that would be cut. The dialog templates are this program's own resources,
// the very object Setup.exe is linked with; the texts the setup program puts
// into controls itself come from FilledProductTexts (wizard.cpp).
//
//   vexlo-textfit [--text Key=Value]...
//   --text  shows Value where the product's text of Key stands (to try a text
//           without building it)
// Prints "measured <Key>" for each product text it measured ("replaced <Key>
// by <Key>" where the program shows another text in a template's place); each text that
// does not fit is a line on stderr. Exit 0: all fit; 1: a text does not fit;
// 2: the dialogs could not be made.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "product_texts.h"
#include "setup/shell/launcher.h"
#include "setup/shell/resource.h"
#include "setup/shell/wizard.h"

namespace {

constexpr size_t ControlTextSize = 8192;

struct Override {
    std::string key;
    std::string text;
};

std::vector<Override> overrides;
std::vector<std::string> measured;
int faults = 0;
// The dialog being measured, as a publisher knows it: its number and caption.
std::string dialogName;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

const char* ProductValue(const char* key) {
    for (const ProductText& entry : ProductTexts)
        if (strcmp(entry.key, key) == 0) return entry.text;
    return nullptr;
}

void Record(const char* key);

// The product key a control's text is: the one whose text it is whole (of
// several, the last: later keys are made of earlier ones, as LauncherCaption
// of ProductShortName; each counts as measured), else the one with the
// longest text inside it (a label made of a fixed word and a product's name).
// Null for the program's own texts.
const char* KeyOfText(const std::string& text, bool measuring = true) {
    const char* whole = nullptr;
    for (const ProductText& entry : ProductTexts) {
        if (text != entry.text) continue;
        whole = entry.key;
        if (measuring) Record(entry.key);
    }
    if (whole) return whole;
    const ProductText* best = nullptr;
    size_t bestLength = 0;
    for (const ProductText& entry : ProductTexts) {
        size_t length = strlen(entry.text);
        if (length == 0) continue;
        if (length > bestLength && text.find(entry.text) != std::string::npos) {
            best = &entry;
            bestLength = length;
        }
    }
    return best ? best->key : nullptr;
}

// The text with an override's text where its key's product text stands.
std::string Overridden(const char* key, std::string text) {
    if (!key) return text;
    const char* value = ProductValue(key);
    for (const Override& entry : overrides) {
        if (entry.key != key || !value) continue;
        size_t at = text.find(value);
        if (at != std::string::npos) text.replace(at, strlen(value), entry.text);
    }
    return text;
}

void Record(const char* key) {
    if (!key) return;
    for (const std::string& name : measured)
        if (name == key) return;
    measured.push_back(key);
}

std::string Shown(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '\r') continue;
        shown += c == '\n' ? ' ' : c;
    }
    return shown;
}

void Refuse(int dialogId, const char* key, const std::string& text, const char* what) {
    ++faults;
    fprintf(stderr, "%s \"%s\" does not fit in dialog %d%s: %s\n", key ? key : "the program's text",
            Shown(text).c_str(), dialogId, dialogName.c_str(), what);
}

// Characters of text that one line of room pixels holds, in the context's font.
int CharactersThatFit(HDC context, const std::string& text, int room) {
    int fit = 0;
    SIZE size = {};
    if (room <= 0) return 0;
    if (!GetTextExtentExPointA(context, text.c_str(), static_cast<int>(text.size()), room, &fit,
                               nullptr, &size))
        return 0;
    return fit;
}

// One line of text in room pixels (buttons, captions).
void MeasureLine(HDC context, int dialogId, const char* key, const std::string& text, int room) {
    SIZE size = {};
    GetTextExtentPoint32A(context, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx <= room) return;
    char what[160];
    snprintf(what, sizeof what, "its control shows %d of its %u characters on its one line",
             CharactersThatFit(context, text, room), static_cast<unsigned>(text.size()));
    Refuse(dialogId, key, text, what);
}

// A static control's text, wrapped at words as the control draws it.
void MeasureWrapped(HDC context, int dialogId, const char* key, const std::string& text,
                    const RECT& client) {
    TEXTMETRICA metrics = {};
    GetTextMetricsA(context, &metrics);
    int lineHeight = metrics.tmHeight > 0 ? metrics.tmHeight : 1;
    RECT needed = {0, 0, client.right, 0};
    DrawTextA(context, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    int linesHeld = client.bottom / lineHeight;
    int linesNeeded = (needed.bottom + lineHeight - 1) / lineHeight;
    char what[200];
    if (needed.bottom > client.bottom) {
        if (linesHeld <= 1)
            snprintf(what, sizeof what, "its control shows %d of its %u characters on its one line",
                     CharactersThatFit(context, text, client.right),
                     static_cast<unsigned>(text.size()));
        else
            snprintf(what, sizeof what, "it needs %d lines and its control shows %d", linesNeeded,
                     linesHeld);
        Refuse(dialogId, key, text, what);
    } else if (needed.right > client.right) {
        snprintf(what, sizeof what, "a word of it is wider than its control's %ld pixels",
                 static_cast<long>(client.right));
        Refuse(dialogId, key, text, what);
    }
}

std::string WindowText(HWND window) {
    std::string text(ControlTextSize, '\0');
    int length = GetWindowTextA(window, &text[0], static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

struct KeyedControl {
    HWND control;
    const char* key;
};

struct DialogBeingMeasured {
    HWND dialog;
    int id;
    std::vector<KeyedControl> keys;  // the product key of each control's text
};

const char* KeyOfControl(const DialogBeingMeasured& measuring, HWND control) {
    for (const KeyedControl& entry : measuring.keys)
        if (entry.control == control) return entry.key;
    return nullptr;
}

// Before anything is measured or laid out: each control's key, and the text
// tried in its place.
BOOL CALLBACK KeyControl(HWND control, LPARAM parameter) {
    DialogBeingMeasured& measuring = *reinterpret_cast<DialogBeingMeasured*>(parameter);
    std::string original = WindowText(control);
    const char* key = KeyOfControl(measuring, control);
    if (!key) {
        key = KeyOfText(original);
        measuring.keys.push_back({control, key});
    }
    std::string text = Overridden(key, original);
    if (text != original) SetWindowTextA(control, text.c_str());
    return TRUE;
}

BOOL CALLBACK MeasureControl(HWND control, LPARAM parameter) {
    const DialogBeingMeasured& measuring = *reinterpret_cast<DialogBeingMeasured*>(parameter);
    std::string text = WindowText(control);
    if (text.empty()) return TRUE;
    const char* key = KeyOfControl(measuring, control);

    char className[64] = "";
    GetClassNameA(control, className, sizeof className);
    LONG style = static_cast<LONG>(GetWindowLongPtrA(control, GWL_STYLE));
    RECT client = {};
    GetClientRect(control, &client);
    HDC context = GetDC(control);
    if (!context) return TRUE;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(context, font) : nullptr;
    TEXTMETRICA metrics = {};
    GetTextMetricsA(context, &metrics);

    bool isMeasured = true;
    if (_stricmp(className, "Static") == 0) {
        LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT)
            MeasureWrapped(context, measuring.id, key, text, client);
        else if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE)
            MeasureLine(context, measuring.id, key, text, client.right);
        else
            isMeasured = false;
    } else if (_stricmp(className, "Button") == 0) {
        LONG type = style & BS_TYPEMASK;
        switch (type) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON:
                // Within its raised edges and the focus rectangle inside them.
                MeasureLine(context, measuring.id, key, text,
                            client.right - 2 * GetSystemMetrics(SM_CXEDGE) - 2);
                break;
            case BS_GROUPBOX:
                MeasureLine(context, measuring.id, key, text,
                            client.right - 2 * metrics.tmAveCharWidth);
                break;
            default:  // check boxes and radio buttons: the box, then a gap
                MeasureLine(
                    context, measuring.id, key, text,
                    client.right - GetSystemMetrics(SM_CXMENUCHECK) - metrics.tmAveCharWidth / 2);
                break;
        }
    } else {
        // Edit boxes scroll their text; progress bars show none.
        isMeasured = false;
    }
    if (previous) SelectObject(context, previous);
    ReleaseDC(control, context);
    if (isMeasured) Record(key);
    return TRUE;
}

// The caption, in the title bar's font, beside the icon and the close button.
void MeasureCaption(HWND dialog, int dialogId) {
    std::string original = WindowText(dialog);
    if (original.empty()) return;
    const char* key = KeyOfText(original);
    std::string text = Overridden(key, original);
    NONCLIENTMETRICSA nonClient = {};
    nonClient.cbSize = sizeof nonClient;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof nonClient, &nonClient, 0)) return;
    HFONT font = CreateFontIndirectA(&nonClient.lfCaptionFont);
    HDC context = GetDC(dialog);
    if (!font || !context) {
        if (font) DeleteObject(font);
        if (context) ReleaseDC(dialog, context);
        return;
    }
    HGDIOBJ previous = SelectObject(context, font);
    RECT window = {};
    GetWindowRect(dialog, &window);
    int room = (window.right - window.left) - 2 * GetSystemMetrics(SM_CXFIXEDFRAME) -
               GetSystemMetrics(SM_CXSMICON) - nonClient.iCaptionWidth - 8;
    MeasureLine(context, dialogId, key, text, room);
    SelectObject(context, previous);
    ReleaseDC(dialog, context);
    DeleteObject(font);
    Record(key);
}

BOOL CALLBACK CollectDialog(HMODULE, LPCSTR, LPSTR name, LONG_PTR parameter) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<int>*>(parameter)->push_back(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* equals = i + 1 < argc ? strchr(argv[i + 1], '=') : nullptr;
        if (strcmp(argv[i], "--text") != 0 || !equals) {
            fprintf(stderr, "usage: vexlo-textfit [--text Key=Value]...\n");
            return 2;
        }
        std::string key(argv[i + 1], static_cast<size_t>(equals - argv[i + 1]));
        if (!ProductValue(key.c_str())) {
            fprintf(stderr, "vexlo-textfit: %s is no product key\n", key.c_str());
            return 2;
        }
        overrides.push_back({key, equals + 1});
        ++i;
    }
    InitCommonControls();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // Wizard pages are child dialogs: they need a parent; it is never shown.
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                  instance, nullptr);
    std::vector<int> dialogs;
    EnumResourceNamesA(instance, MAKEINTRESOURCEA(5) /* RT_DIALOG */, CollectDialog,
                       reinterpret_cast<LONG_PTR>(&dialogs));
    if (!parent || dialogs.empty()) {
        fprintf(stderr, "vexlo-textfit: no window could be made (error %lu), or no dialog found\n",
                GetLastError());
        return 2;
    }
    std::vector<FilledText> filled = FilledProductTexts();
    for (int id : dialogs) {
        HWND dialog =
            CreateDialogParamA(instance, MAKEINTRESOURCEA(id), parent, PlainDialogProc, 0);
        if (!dialog) {
            fprintf(stderr, "vexlo-textfit: dialog %d could not be made (error %lu)\n", id,
                    GetLastError());
            return 2;
        }
        DialogBeingMeasured measuring = {dialog, id, {}};
        std::string caption = WindowText(dialog);
        dialogName = caption.empty() ? "" : " (\"" + caption + "\")";
        for (const FilledText& entry : filled) {
            if (entry.dialogId != id) continue;
            HWND control = GetDlgItem(dialog, entry.controlId);
            if (!ProductValue(entry.key)) {
                fprintf(stderr, "vexlo-textfit: %s (dialog %d) is no product key\n", entry.key, id);
                return 2;
            }
            if (!control) {
                fprintf(stderr, "vexlo-textfit: dialog %d has no control %d for %s\n", id,
                        entry.controlId, entry.key);
                return 2;
            }
            // The template's text there is never shown: say so, so that the
            // test's count of the texts the templates name still adds up.
            const char* shadowed = KeyOfText(WindowText(control), false);
            if (shadowed) printf("replaced %s by %s\n", shadowed, entry.key);
            SetWindowTextA(control, entry.text.c_str());
            measuring.keys.push_back({control, entry.key});
        }
        EnumChildWindows(dialog, KeyControl, reinterpret_cast<LPARAM>(&measuring));
        // The launcher widens its buttons to their texts as it opens.
        if (id == IDD_LAUNCHER) FitLauncherButtons(dialog);
        MeasureCaption(dialog, id);
        EnumChildWindows(dialog, MeasureControl, reinterpret_cast<LPARAM>(&measuring));
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
    for (const std::string& key : measured)
        printf("measured %s\n", key.c_str());
    if (faults) {
        fprintf(stderr, "%d text(s) would be cut: shorten them in product.ini\n", faults);
        return 1;
    }
    return 0;
}
