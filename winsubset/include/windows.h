#pragma once

// The subset of the Win32 API this program and its tests use, implemented by
// the winsubset library on Wayland or on X11, with EGL for OpenGL. Types,
// field order and constant values follow Win32; calling conventions do not
// exist on x86-64 Linux, so WINAPI and CALLBACK expand to nothing.
//
// The window system is chosen once, at the first call that needs one:
// WINSUBSET_PLATFORM=wayland or x11 names it; otherwise Wayland when a
// compositor answers (WAYLAND_DISPLAY), else X11 (DISPLAY). With neither,
// CreateWindowExA fails with ERROR_DC_NOT_FOUND. A window system that goes
// away (the X server ends, the compositor quits) ends the process with
// status 1 and a line on stderr, as Xlib would (on X11 the subset ignores
// SIGPIPE, where the program left it at its default, so that a write to a
// server that is gone does not end the process first).
//
// Where the two differ:
//   - Wayland never tells a client where its window is, nor lets it choose:
//     a window keeps the position it was created with (CW_USEDEFAULT: its
//     place in the cascade), sends no WM_MOVE, and the wheel's screen
//     coordinates are that position plus the pointer's place in the client
//     area.
//   - On Wayland the title bar is the compositor's, or libdecor's where the
//     compositor draws none; either way it lies outside the client area, and
//     its close button posts WM_SYSCOMMAND/SC_CLOSE as on X11. A hidden
//     window has no buffer on the screen.
//
// OpenGL. Every pixel format is double-buffered (EGL's window surfaces
// are), with no accumulation or auxiliary buffers. SwapBuffers swaps the DC
// bound on the calling thread (EGL swaps only that one; elsewhere it fails
// with ERROR_INVALID_OPERATION) and never waits for the display: a swap
// interval of 0, so a hidden window does not stop the loop that draws it.
//
// Threads. As in Win32, a window belongs to the thread that created it, and
// its procedure runs only on that thread: for messages that thread sends,
// dispatches or pumps, and for the window system's events, which whichever
// thread reads them off the connection leaves in the owner's queue until
// the owner calls PeekMessageA. Each thread has its own message queue, last
// error and current OpenGL context.
//   From any thread: PostMessageA (to a window, or to the caller's own queue
//   with NULL), PostQuitMessage, PeekMessageA and TranslateMessage (on the
//   caller's queue), GetLastError, SetLastError, GetModuleHandleA,
//   RegisterClassExA, AdjustWindowRect, CreateWindowExA (the new window is
//   the caller's), IsWindow, GetDC, ReleaseDC, ChoosePixelFormat,
//   DescribePixelFormat, GetPixelFormat, and the context-bound calls:
//   wglCreateContext, wglMakeCurrent, SwapBuffers, wglDeleteContext and
//   OpenGL itself on the context the calling thread made current. A context
//   is current on one thread at a time (ERROR_BUSY for another) and is
//   deleted only while current nowhere else (ERROR_BUSY). Unlike Win32, a
//   window is not destroyed while another thread has a context current on
//   its DC: DestroyWindow is refused with ERROR_BUSY until that thread lets
//   it go, and a window on its way out takes no new binding, so no thread
//   draws into a window that is gone. A thread that ends lets go of the
//   context it had current (Win32 would keep it current on the thread that
//   is gone, never to be deleted). A bind, a release or a swap holds no lock
//   that a message loop takes: another thread's loop never waits behind it.
//   From the window's owner only: SendMessageA, ShowWindow, DestroyWindow
//   and SetPixelFormat (refused elsewhere with ERROR_ACCESS_DENIED: Win32
//   would hand a sent message to the owner and wait, which the subset does
//   not do), and IsWindowVisible, GetClientRect, DispatchMessageA and
//   DefWindowProcA, which read the owner's own record of the window.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WINAPI
#define CALLBACK
#ifndef APIENTRY
#define APIENTRY
#endif

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef uint16_t ATOM;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HANDLE;

// Handles are distinct opaque pointer types, as with Win32's STRICT.
#define WINSUBSET_DECLARE_HANDLE(name) \
    struct name##__ {                  \
        int unused;                    \
    };                                 \
    typedef struct name##__* name
WINSUBSET_DECLARE_HANDLE(HWND);
WINSUBSET_DECLARE_HANDLE(HDC);
WINSUBSET_DECLARE_HANDLE(HGLRC);
WINSUBSET_DECLARE_HANDLE(HINSTANCE);
WINSUBSET_DECLARE_HANDLE(HICON);
WINSUBSET_DECLARE_HANDLE(HBRUSH);
WINSUBSET_DECLARE_HANDLE(HMENU);
#undef WINSUBSET_DECLARE_HANDLE
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA;

typedef struct tagPIXELFORMATDESCRIPTOR {
    WORD nSize;
    WORD nVersion;
    DWORD dwFlags;
    BYTE iPixelType;
    BYTE cColorBits;
    BYTE cRedBits;
    BYTE cRedShift;
    BYTE cGreenBits;
    BYTE cGreenShift;
    BYTE cBlueBits;
    BYTE cBlueShift;
    BYTE cAlphaBits;
    BYTE cAlphaShift;
    BYTE cAccumBits;
    BYTE cAccumRedBits;
    BYTE cAccumGreenBits;
    BYTE cAccumBlueBits;
    BYTE cAccumAlphaBits;
    BYTE cDepthBits;
    BYTE cStencilBits;
    BYTE cAuxBuffers;
    BYTE iLayerType;
    BYTE bReserved;
    DWORD dwLayerMask;
    DWORD dwVisibleMask;
    DWORD dwDamageMask;
} PIXELFORMATDESCRIPTOR, *LPPIXELFORMATDESCRIPTOR;

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)((WORD)(l) | ((DWORD)(WORD)(h) << 16)))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
typedef ULONG_PTR DWORD_PTR;

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_OWNDC 0x0020

#define COLOR_WINDOW 5

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define CW_USEDEFAULT ((int)0x80000000)

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// PeekMessage options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_SHOWWINDOW 0x0018
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSCOMMAND 0x0112
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define WM_USER 0x0400
#define WM_APP 0x8000

#define SC_CLOSE 0xF060
#define SC_KEYMENU 0xF100
#define SIZE_RESTORED 0

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define WHEEL_DELTA 120

// Virtual keys the window-system input is translated to.
#define VK_CANCEL 0x03
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_KANA 0x15
#define VK_KANJI 0x19
#define VK_ESCAPE 0x1B
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SELECT 0x29
#define VK_PRINT 0x2A
#define VK_EXECUTE 0x2B
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_HELP 0x2F
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SEPARATOR 0x6C
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F4 0x73
#define VK_F10 0x79
#define VK_F24 0x87
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_OEM_NEC_EQUAL 0x92
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_8 0xDF
#define VK_OEM_102 0xE2
#define VK_OEM_ATTN 0xF0
#define VK_OEM_COPY 0xF2
#define VK_OEM_AUTO 0xF3

// lParam's high word of a key message: the key's context and history.
#define KF_EXTENDED 0x0100
#define KF_ALTDOWN 0x2000
#define KF_REPEAT 0x4000
#define KF_UP 0x8000

// Pixel formats.
#define PFD_TYPE_RGBA 0
#define PFD_TYPE_COLORINDEX 1
#define PFD_MAIN_PLANE 0
#define PFD_DOUBLEBUFFER 0x00000001
#define PFD_STEREO 0x00000002
#define PFD_DRAW_TO_WINDOW 0x00000004
#define PFD_DRAW_TO_BITMAP 0x00000008
#define PFD_SUPPORT_GDI 0x00000010
#define PFD_SUPPORT_OPENGL 0x00000020
#define PFD_GENERIC_FORMAT 0x00000040
#define PFD_DOUBLEBUFFER_DONTCARE 0x40000000
#define PFD_STEREO_DONTCARE 0x80000000

// Error codes.
#define ERROR_SUCCESS 0
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_BUSY 170
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_CANNOT_FIND_WND_CLASS 1407
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_CLASS_DOES_NOT_EXIST 1411
#define ERROR_DC_NOT_FOUND 1425
#define ERROR_INVALID_PIXEL_FORMAT 2000
#define ERROR_INVALID_OPERATION 4317

// Start-up.
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD errorCode);

// USER32: classes and windows.
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND hwnd);
BOOL WINAPI ShowWindow(HWND hwnd, int command);
BOOL WINAPI IsWindow(HWND hwnd);
BOOL WINAPI IsWindowVisible(HWND hwnd);
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect);
HDC WINAPI GetDC(HWND hwnd);
int WINAPI ReleaseDC(HWND hwnd, HDC hdc);
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// USER32: messages.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);

// GDI32.
int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* descriptor);
int WINAPI DescribePixelFormat(HDC hdc, int format, UINT bytes, LPPIXELFORMATDESCRIPTOR descriptor);
BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* descriptor);
int WINAPI GetPixelFormat(HDC hdc);
BOOL WINAPI SwapBuffers(HDC hdc);

// WGL.
HGLRC WINAPI wglCreateContext(HDC hdc);
BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC context);
BOOL WINAPI wglDeleteContext(HGLRC context);
HGLRC WINAPI wglGetCurrentContext(void);
HDC WINAPI wglGetCurrentDC(void);

#ifdef __cplusplus
}
#endif
