#include "page_host.h"

#include <commctrl.h>

#include "setup/install/progress_page.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"

PageHost::PageHost() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    setupState.instance = GetModuleHandleA(nullptr);
    parent = CreateWindowA("STATIC", "page host", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                           nullptr, setupState.instance, nullptr);
    page = CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(IDD_PROGRESS), parent,
                              ProgressPageProc, 0);
}

PageHost::~PageHost() {
    if (page) DestroyWindow(page);
    if (parent) DestroyWindow(parent);
    setupState.progressPage = nullptr;
}

std::string PageHost::Text(int id) const {
    char text[300] = "";
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}

int PageHost::BarPosition(int id) const {
    return static_cast<int>(SendDlgItemMessageA(page, id, PBM_GETPOS, 0, 0));
}
