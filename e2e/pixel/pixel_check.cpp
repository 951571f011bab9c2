// Draws the system's cross into windows of this process and reads the pixels
// back. Wine keeps no drawable for a device context on another process's
// child window, so only in-process drawing shows what DrawCrosshair paints.
//
// Each case fills its target (and, for a child, the parent around it) with a
// known colour, draws once, and checks every pixel: white exactly on the
// cross's lines (each line stops short of its last point), clipped at the
// window's edges, and nothing else changed. Exit code 0 when all pass.
#include "overlay/crosshair.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

constexpr COLORREF FILL = RGB(10, 40, 90);
constexpr COLORREF PARENT_FILL = RGB(90, 10, 40);
constexpr COLORREF WHITE = RGB(255, 255, 255);

struct Case {
    const char* name;
    FrameKind kind;
    LONG width, height;     // client size of the window drawn on
    LONG childX, childY;    // where the window sits in its parent; -1: it is top-level
};

const Case CASES[] = {
    {"LPI frame, 700x520 top-level", FRAME_LPI, 700, 520, -1, -1},
    {"DSI frame, 700x520 top-level", FRAME_DSI, 700, 520, -1, -1},
    {"LPI frame, exactly 640x480", FRAME_LPI, 640, 480, -1, -1},
    {"DSI frame, exactly 648x489", FRAME_DSI, 648, 489, -1, -1},
    {"LPI frame, 500x350 top-level, clipped", FRAME_LPI, 500, 350, -1, -1},
    {"DSI frame, 500x350 child at 30,20, clipped", FRAME_DSI, 500, 350, 30, 20},
    {"LPI frame, 660x500 child at 17,11", FRAME_LPI, 660, 500, 17, 11},
};

constexpr LONG PARENT_MARGIN = 60;

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the check paints every pixel itself
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

void Fill(HWND window, COLORREF colour) {
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    GdiFlush();
    ReleaseDC(window, dc);
}

// The window's client pixels as 0x00RRGGBB, row by row from the top.
std::vector<DWORD> ReadPixels(HWND window, LONG width, LONG height) {
    std::vector<DWORD> pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory && section && bits) {
        HGDIOBJ old = SelectObject(memory, section);
        if (BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY)) {
            GdiFlush();
            const DWORD* p = static_cast<const DWORD*>(bits);
            pixels.assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
        }
        SelectObject(memory, old);
    }
    if (section) DeleteObject(section);
    if (memory) DeleteDC(memory);
    ReleaseDC(window, dc);
    return pixels;
}

DWORD AsPixel(COLORREF c) {
    return (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// Whether the cross of `kind` covers (x, y) in the drawn window's client
// coordinates: the lines run from the frame's edge up to, not including,
// the opposite edge.
bool OnCross(FrameKind kind, LONG x, LONG y) {
    LONG w = kind == FRAME_LPI ? LPI_FRAME_WIDTH : DSI_FRAME_WIDTH;
    LONG h = kind == FRAME_LPI ? LPI_FRAME_HEIGHT : DSI_FRAME_HEIGHT;
    return (x == w / 2 && y >= 0 && y < h) || (y == h / 2 && x >= 0 && x < w);
}

long ExpectedWhite(FrameKind kind, LONG width, LONG height) {
    long n = 0;
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x) n += OnCross(kind, x, y) ? 1 : 0;
    return n;
}

// Checks every pixel of the top-level window: white exactly on the cross
// inside the drawn window, its fill elsewhere inside it, and the parent's
// fill around it (the lines must be clipped at the drawn window's edges).
// One top-level window serves every case, resized for each: taking a shown
// top-level window down costs seconds under Wine without a window manager.
bool RunCase(HINSTANCE instance, HWND top, const Case& c) {
    bool isChild = c.childX >= 0;
    LONG x0 = isChild ? c.childX : 0;
    LONG y0 = isChild ? c.childY : 0;
    LONG topW = isChild ? x0 + c.width + PARENT_MARGIN : c.width;
    LONG topH = isChild ? y0 + c.height + PARENT_MARGIN : c.height;
    // A popup has no frame, so its client area is the whole window.
    SetWindowPos(top, HWND_TOPMOST, 0, 0, topW, topH, SWP_SHOWWINDOW);
    HWND target = top;
    if (isChild)
        target = CreateWindowExA(0, "PixelCheck", "", WS_CHILD | WS_VISIBLE, x0, y0, c.width,
                                 c.height, top, nullptr, instance, nullptr);
    if (!target) {
        std::printf("FAIL %s: could not create the child window\n", c.name);
        return false;
    }
    Pump();
    if (isChild) Fill(top, PARENT_FILL);
    Fill(target, FILL);
    Pump();

    DrawCrosshair(target, c.kind);
    GdiFlush();

    std::vector<DWORD> pixels = ReadPixels(top, topW, topH);
    if (target != top) DestroyWindow(target);
    Pump();
    if (pixels.empty()) {
        std::printf("FAIL %s: could not read the pixels back\n", c.name);
        return false;
    }
    long white = 0;
    long wrong = 0;
    for (LONG y = 0; y < topH; ++y) {
        for (LONG x = 0; x < topW; ++x) {
            bool inside = x >= x0 && x < x0 + c.width && y >= y0 && y < y0 + c.height;
            bool cross = inside && OnCross(c.kind, x - x0, y - y0);
            DWORD expected = AsPixel(cross ? WHITE : inside ? FILL : PARENT_FILL);
            size_t at = static_cast<size_t>(y) * static_cast<size_t>(topW) + static_cast<size_t>(x);
            DWORD actual = pixels[at] & 0xFFFFFF;
            if (cross && actual == expected) ++white;
            if (actual != expected && ++wrong <= 5)
                std::printf("  pixel %ld,%ld: expected %06lx, actual %06lx\n",
                            static_cast<long>(x), static_cast<long>(y),
                            static_cast<unsigned long>(expected),
                            static_cast<unsigned long>(actual));
        }
    }
    long expectedWhite = ExpectedWhite(c.kind, c.width, c.height);
    bool ok = wrong == 0 && white == expectedWhite;
    std::printf("%s %s: %ld of %ld cross pixels white, %ld pixels wrong\n", ok ? "ok  " : "FAIL",
                c.name, white, expectedWhite, wrong);
    return ok;
}

}  // namespace

int main() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = QuietProc;
    wc.hInstance = instance;
    wc.lpszClassName = "PixelCheck";
    if (!RegisterClassExA(&wc)) {
        std::printf("FAIL: could not register the window class\n");
        return 1;
    }
    HWND top = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "PixelCheck", "pixel check",
                               WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!top) {
        std::printf("FAIL: could not create the window\n");
        return 1;
    }
    int failed = 0;
    for (const Case& c : CASES) failed += RunCase(instance, top, c) ? 0 : 1;
    std::printf("%d of %d pixel cases failed\n", failed,
                static_cast<int>(sizeof CASES / sizeof CASES[0]));
    return failed == 0 ? 0 : 1;
}
