#pragma once

#include <windows.h>

// The main window and its device context, obtained once for the whole run.
// The class has CS_OWNDC, so the one device context stays valid for the
// window's life and keeps the pixel format the renderer sets on it.
struct MainWindow {
    HWND hwnd;
    HDC hdc;
};

// "OpenGL" and three characters in Shift_JIS (code page 932), passed
// unchanged to the ANSI functions: the window's title and, the same text,
// its class name. Written as byte escapes so that the source file's
// encoding never matters.
extern const char kMainWindowName[13];

// Registers the class, creates the hidden main window with a 640 x 480
// client area and takes its device context. False when the class cannot be
// registered or the window cannot be created.
bool CreateMainWindow(MainWindow& window, HINSTANCE instance);

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
