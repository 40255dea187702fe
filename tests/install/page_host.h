// A hidden progress page made from the real dialog 108, as the install
// engine's controls, and readers of its state.
#pragma once

#include <windows.h>

#include <string>

class PageHost {
  public:
    PageHost();
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    HWND Page() const { return page; }
    std::string Text(int id) const;
    int BarPosition(int id) const;

  private:
    HWND parent = nullptr;
    HWND page = nullptr;
};
