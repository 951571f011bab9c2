// The Win32 names the system uses, declared for the simulated window system.
// Types, constants and signatures follow <windows.h> and <tlhelp32.h> so that
// the system's code compiles unchanged against either.
#pragma once

#include <cstdint>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef unsigned int UINT;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef DWORD* LPDWORD;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::intptr_t LONG_PTR;
typedef unsigned short WORD;
typedef WORD ATOM;
typedef std::intptr_t INT_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::uintptr_t ULONG_PTR;
typedef void* LPVOID;

#define TRUE 1
#define FALSE 0

// Opaque handles, distinct types as with STRICT.
#define DECLARE_HANDLE(name) struct name##__ { int unused; }; typedef name##__* name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HACCEL);
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;
typedef void* HANDLE;
typedef void* HGDIOBJ;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

typedef struct tagRECT { LONG left, top, right, bottom; } RECT, *LPRECT;

struct POINT { LONG x, y; };

typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);

// GetWindow
#define GW_HWNDNEXT 2
#define GW_CHILD 5

// GetStockObject
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define STOCK_LAST 19

// Tool Help
#define TH32CS_SNAPMODULE 0x00000008
#define MAX_MODULE_NAME32 255
#define MAX_PATH 260

typedef struct tagMODULEENTRY32 {
    DWORD dwSize;
    DWORD th32ModuleID;
    DWORD th32ProcessID;
    DWORD GlblcntUsage;
    DWORD ProccntUsage;
    BYTE* modBaseAddr;
    DWORD modBaseSize;
    HMODULE hModule;
    char szModule[MAX_MODULE_NAME32 + 1];
    char szExePath[MAX_PATH];
} MODULEENTRY32, *LPMODULEENTRY32;

// user32: window-tree queries
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
BOOL WINAPI EnumWindows(WNDENUMPROC filter, LPARAM param);
int WINAPI GetWindowTextA(HWND window, LPSTR text, int capacity);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
HWND WINAPI ChildWindowFromPoint(HWND parent, POINT point);
HWND WINAPI GetWindow(HWND window, UINT relation);
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId);

// kernel32: Tool Help
HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL WINAPI Module32First(HANDLE snapshot, LPMODULEENTRY32 entry);
BOOL WINAPI Module32Next(HANDLE snapshot, LPMODULEENTRY32 entry);
BOOL WINAPI CloseHandle(HANDLE object);

// user32 and gdi32: drawing
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
HGDIOBJ WINAPI GetStockObject(int index);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
BOOL WINAPI PolyPolyline(HDC dc, const POINT* points, const DWORD* counts, DWORD polylines);

// ---- The program's shell: windows, messages and resources ----

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define LOWORD(l) (static_cast<WORD>(static_cast<ULONG_PTR>(l) & 0xffff))
#define MAKEWPARAM(l, h)                                 \
    (static_cast<WPARAM>(static_cast<DWORD>(static_cast<WORD>(l) | \
                                            (static_cast<DWORD>(static_cast<WORD>(h)) << 16))))
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

struct WNDCLASSEXA {
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
};

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

// Messages
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_SYSCHAR 0x0106
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_USER 0x0400

#define SC_CLOSE 0xF060

// Window and class styles
#define WS_OVERLAPPEDWINDOW 0x00CF0000L  // caption, system menu, sizing frame, both boxes
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CW_USEDEFAULT (static_cast<int>(0x80000000))

// ShowWindow
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004

// System resources
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define COLOR_WINDOW 5

// Dialog results and accelerator flags
#define IDOK 1
#define IDCANCEL 2
#define BN_CLICKED 0
#define FVIRTKEY 0x01
#define FALT 0x10

// The entry the program provides, as <windows.h> declares it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showState);

// user32: windows, messages and resources
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL WINAPI ShowWindow(HWND window, int showState);
BOOL WINAPI UpdateWindow(HWND window);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC callback);
BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
int WINAPI TranslateAcceleratorA(HWND window, HACCEL table, LPMSG message);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI DestroyWindow(HWND window);
void WINAPI PostQuitMessage(int exitCode);
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int capacity);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                               DLGPROC dialogProc, LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
