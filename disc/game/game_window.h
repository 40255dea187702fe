// The game's window, titled with the product's GameWindowTitle: the members
// of the game's archive with their sizes; the .wav members play.
#pragma once

#include <windows.h>

// Control ids, for the tests that drive the window.
constexpr int MemberListId = 100;
constexpr int PlayButtonId = 101;
constexpr int StopButtonId = 102;
constexpr int StatusTextId = 103;

// Runs the window until it is closed; returns the exit code.
int RunGameWindow(HINSTANCE instance, int showCommand);
