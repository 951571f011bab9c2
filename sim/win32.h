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
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef DWORD* LPDWORD;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef std::intptr_t LONG_PTR;

#define TRUE 1
#define FALSE 0

// Opaque handles, distinct types as with STRICT.
struct HWND__ { int unused; };
struct HDC__ { int unused; };
struct HINSTANCE__ { int unused; };
typedef HWND__* HWND;
typedef HDC__* HDC;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef void* HANDLE;
typedef void* HGDIOBJ;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

struct POINT {
    LONG x;
    LONG y;
};

typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);

// GetWindow
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

// GetStockObject
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define STOCK_LAST 19

// Tool Help
#define TH32CS_SNAPHEAPLIST 0x00000001
#define TH32CS_SNAPPROCESS 0x00000002
#define TH32CS_SNAPTHREAD 0x00000004
#define TH32CS_SNAPMODULE 0x00000008
#define MAX_MODULE_NAME32 255
#define MAX_PATH 260

struct MODULEENTRY32 {
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
};
typedef MODULEENTRY32* LPMODULEENTRY32;

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

// Windows, messages and resources, for the program's shell.
#include "sim/shell_win32.h"
