#include "standin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

constexpr char CLASS_NAME[] = "QuelvaniStandin";
constexpr char SCREEN_CLASS_NAME[] = "QuelvaniStandinScreen";
constexpr UINT_PTR TIMEOUT_TIMER = 1;
constexpr UINT_PTR FOLLOW_TIMER = 2;
constexpr UINT_PTR REPAINT_TIMER = 3;
constexpr UINT FOLLOW_PERIOD_MS = 200;
constexpr UINT WM_STANDIN_COMMAND = WM_APP + 1;  // wParam: a Command
constexpr COLORREF BACKGROUND = RGB(16, 20, 28);
constexpr COLORREF LABEL_TEXT = RGB(220, 220, 120);
const wchar_t X_WINDOW_PROPERTY[] = L"__wine_x11_whole_window";

enum Command : WPARAM { COMMAND_POINTS = 1, COMMAND_FRAMES };

// The cross a correct overlay draws, by frame: the frame's size and the
// cross's centre on it, in the window's client coordinates.
struct Cross {
    int frameWidth, frameHeight, x, y;
};
constexpr Cross LPI_CROSS{640, 480, 320, 240};
constexpr Cross DSI_CROSS{648, 489, 324, 244};

struct Shown {
    HWND window;
    COLORREF plain;
    HWND screen = nullptr;  // the popup that shows it (see PublishOnScreen)
};

struct Label {
    std::string text;
    POINT at;
};

std::map<HWND, Label> windowLabels;
std::vector<Shown> shownWindows;
long framesPainted = 0;
DWORD startedAt = GetTickCount();

void WriteOut(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
    FlushFileBuffers(GetStdHandle(STD_OUTPUT_HANDLE));
}

std::string Hex(const void* handle) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
    return text;
}

RECT LabelRect(HDC dc, const Label& label) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, label.text.c_str(), static_cast<int>(label.text.size()), &extent);
    return RECT{label.at.x, label.at.y, label.at.x + extent.cx, label.at.y + extent.cy};
}

void PaintLabel(HDC dc, const Label& label) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, LABEL_TEXT);
    TextOutA(dc, label.at.x, label.at.y, label.text.c_str(), static_cast<int>(label.text.size()));
}

// The screen rectangle of a window's client area.
RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

// ---------------------------------------------------------------------------
// Showing a child window on screen under Debian's Wine.
//
// Debian's Wine gives a device context on another process's child window no
// X drawable unless the child names one in the Wine window property
// __wine_x11_whole_window, so whatever the overlay draws there is dropped.
// Each window shown gets an owned popup exactly over its client area, as a
// layered, click-through tool window (the window system's hit-tests and the
// overlay's searches pass it by), and the child names the popup's X window.
// Both the child's own painting and the overlay's then land there. Nothing of
// this is needed on Windows, where every window's device context draws on
// screen.
// ---------------------------------------------------------------------------

// Sibling positions from the top-level window down to `window`, 0 topmost.
std::vector<int> StackingPath(HWND window) {
    std::vector<int> path;
    for (HWND w = window; GetWindowLongA(w, GWL_STYLE) & WS_CHILD; w = GetParent(w)) {
        int above = 0;
        for (HWND s = GetWindow(w, GW_HWNDPREV); s; s = GetWindow(s, GW_HWNDPREV)) ++above;
        path.insert(path.begin(), above);
    }
    return path;
}

// Whether `a` is drawn below `b`: behind one of b's ancestors, or an ancestor of b.
bool IsBelow(HWND a, HWND b) {
    std::vector<int> pa = StackingPath(a), pb = StackingPath(b);
    auto [ia, ib] = std::mismatch(pa.begin(), pa.end(), pb.begin(), pb.end());
    if (ia != pa.end() && ib != pb.end()) return *ia > *ib;
    return pa.size() < pb.size();
}

void PublishOnScreen(Shown& shown) {
    HANDLE xWindow = GetPropW(shown.screen, X_WINDOW_PROPERTY);
    if (xWindow && GetPropW(shown.window, X_WINDOW_PROPERTY) != xWindow)
        SetPropW(shown.window, X_WINDOW_PROPERTY, xWindow);
}

// Keeps each popup over its window and named by it; Wine may give the popup
// a new X window, as when it is shown again.
void FollowShownWindows() {
    for (Shown& shown : shownWindows) {
        RECT want = ClientOnScreen(shown.window), have{};
        GetWindowRect(shown.screen, &have);
        if (!EqualRect(&want, &have))
            SetWindowPos(shown.screen, nullptr, want.left, want.top, want.right - want.left,
                         want.bottom - want.top, SWP_NOZORDER | SWP_NOACTIVATE);
        PublishOnScreen(shown);
    }
}

// Paints a popup as its window paints itself: the plain colour and the label.
LRESULT CALLBACK ScreenProc(HWND screen, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills the whole popup
    case WM_PAINT: {
        auto shown = reinterpret_cast<const Shown*>(GetWindowLongPtrA(screen, GWLP_USERDATA));
        if (!shown) break;
        HWND shows = shown->window;
        if (shows == shownWindows.front().window) ++framesPainted;
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(screen, &paint);
        RECT all;
        GetClientRect(screen, &all);
        HBRUSH plain = CreateSolidBrush(shown->plain);
        FillRect(dc, &all, plain);
        DeleteObject(plain);
        auto label = windowLabels.find(shows);
        if (label != windowLabels.end()) PaintLabel(dc, label->second);
        EndPaint(screen, &paint);
        return 0;
    }
    }
    return DefWindowProcA(screen, message, wParam, lParam);
}

void CreateScreens(HWND top) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ScreenProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = SCREEN_CLASS_NAME;
    RegisterClassA(&wc);
    // Stacked as the windows they show: each new popup goes on top.
    std::sort(shownWindows.begin(), shownWindows.end(),
              [](const Shown& a, const Shown& b) { return IsBelow(a.window, b.window); });
    for (Shown& shown : shownWindows) {
        RECT r = ClientOnScreen(shown.window);
        shown.screen = CreateWindowExA(
            WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
            SCREEN_CLASS_NAME, "", WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top,
            top, nullptr, GetModuleHandleA(nullptr), nullptr);
        // shownWindows stays as it is from here on.
        SetWindowLongPtrA(shown.screen, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&shown));
        SetLayeredWindowAttributes(shown.screen, 0, 255, LWA_ALPHA);
        ShowWindow(shown.screen, SW_SHOWNOACTIVATE);
        PublishOnScreen(shown);
    }
}

// ---------------------------------------------------------------------------
// The points a screenshot is checked at.
// ---------------------------------------------------------------------------

struct Expected {
    POINT at;      // client coordinates
    bool white;
};

// The cross's two lines, one pixel beside them on both sides, and the first
// pixel past each line's end (the last point of a line is not drawn), all
// clipped to the client area.
void AddCross(const Cross& cross, Size client, bool drawn, std::vector<Expected>& out) {
    auto add = [&](LONG x, LONG y, bool white) {
        if (x >= 0 && y >= 0 && x < client.width && y < client.height)
            out.push_back({{x, y}, white});
    };
    for (int y = 0; y < cross.frameHeight; ++y) {
        add(cross.x, y, drawn);
        if (y == cross.y) continue;
        add(cross.x - 1, y, false);
        add(cross.x + 1, y, false);
    }
    add(cross.x, cross.frameHeight, false);
    for (int x = 0; x < cross.frameWidth; ++x) {
        add(x, cross.y, drawn);
        if (x == cross.x) continue;
        add(x, cross.y - 1, false);
        add(x, cross.y + 1, false);
    }
    add(cross.frameWidth, cross.y, false);
}

void WritePoints(const std::vector<HWND>& draw, Frame frame) {
    const Cross& own = frame == Frame::LPI ? LPI_CROSS : DSI_CROSS;
    std::string text;
    for (const Shown& shown : shownWindows) {
        HWND window = shown.window;
        RECT client{};
        GetClientRect(window, &client);
        Size size{client.right, client.bottom};
        std::vector<Expected> expected;
        bool drawn = std::find(draw.begin(), draw.end(), window) != draw.end();
        if (drawn) {
            AddCross(own, size, true, expected);
        } else {
            AddCross(LPI_CROSS, size, false, expected);
            AddCross(DSI_CROSS, size, false, expected);
        }
        RECT label{};
        auto named = windowLabels.find(window);
        if (named != windowLabels.end()) {
            HDC dc = GetDC(window);
            label = LabelRect(dc, named->second);
            ReleaseDC(window, dc);
        }
        POINT centre{own.x, own.y};
        ClientToScreen(window, &centre);
        char head[96];
        std::snprintf(head, sizeof head, "POINTS %s plain=%02x%02x%02x cross=", Hex(window).c_str(),
                      GetRValue(shown.plain), GetGValue(shown.plain), GetBValue(shown.plain));
        text += head;
        text += drawn ? std::to_string(centre.x) + "," + std::to_string(centre.y) : "none";
        for (const Expected& e : expected) {
            if (PtInRect(&label, e.at)) continue;
            POINT screen = e.at;
            ClientToScreen(window, &screen);
            if (WindowFromPoint(screen) != window) continue;
            char point[40];
            std::snprintf(point, sizeof point, " %ld,%ld,%c", screen.x, screen.y,
                          e.white ? 'W' : 'P');
            text += point;
        }
        text += "\n";
    }
    WriteOut(text + "END POINTS\n");
}

// ---------------------------------------------------------------------------

LRESULT CALLBACK StandinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        auto label = windowLabels.find(window);
        if (label == windowLabels.end()) break;
        PAINTSTRUCT paint;
        PaintLabel(BeginPaint(window, &paint), label->second);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        if (wParam == TIMEOUT_TIMER) DestroyWindow(window);
        if (wParam == FOLLOW_TIMER) FollowShownWindows();
        if (wParam == REPAINT_TIMER && !shownWindows.empty())
            RedrawWindow(shownWindows.front().screen, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    case WM_DESTROY:
        if (!GetParent(window)) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterStandinClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = StandinProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    // Only the background is painted, and only when the window system asks;
    // windows shown on screen are painted in their plain colour by their popups.
    wc.hbrBackground = CreateSolidBrush(BACKGROUND);
    wc.lpszClassName = CLASS_NAME;
    RegisterClassA(&wc);
    registered = true;
}

void AnnounceReady(const char* kind, HWND top, const std::vector<HWND>& draw) {
    std::string line = std::string("READY ") + kind + " pid=" +
                       std::to_string(GetCurrentProcessId()) + " top=" + Hex(top) + " draw=";
    for (size_t i = 0; i < draw.size(); ++i) line += (i ? "," : "") + Hex(draw[i]);
    WriteOut(line + "\n");
}

// Reads commands from stdin; "close" or its end asks the top-level window to close.
DWORD WINAPI WatchInput(LPVOID parameter) {
    HWND top = static_cast<HWND>(parameter);
    std::string pending;
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) && got) {
        pending.append(chunk, got);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string command = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!command.empty() && command.back() == '\r') command.pop_back();
            if (command == "close") return PostMessageA(top, WM_CLOSE, 0, 0), 0;
            if (command == "points") PostMessageA(top, WM_STANDIN_COMMAND, COMMAND_POINTS, 0);
            if (command == "frames") PostMessageA(top, WM_STANDIN_COMMAND, COMMAND_FRAMES, 0);
        }
    }
    PostMessageA(top, WM_CLOSE, 0, 0);
    return 0;
}

bool ParseSize(const char* text, Size& size) {
    return std::sscanf(text, "%dx%d", &size.width, &size.height) == 2;
}

}  // namespace

bool ParseStandinOptions(int argc, char** argv, StandinOptions& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (arg == "--help-window") {
            options.helpWindow = true;
        } else if (arg == "--no-envisage-module") {
            options.envisageModule = false;
        } else if (value && arg == "--title") {
            options.title = value, ++i;
        } else if (value && arg == "--video") {
            ok = ParseSize(value, options.video), ++i;
        } else if (value && arg == "--tracking") {
            options.tracking = std::atoi(value), ++i;
        } else if (value && arg == "--label") {
            options.label = value, ++i;
        } else if (value && arg == "--other-panel-at") {
            options.otherPanelAt = std::atoi(value), ++i;
        } else if (value && arg == "--load") {
            options.modules.push_back(value), ++i;
        } else if (value && arg == "--at") {
            ok = std::sscanf(value, "%ld,%ld", &options.at.x, &options.at.y) == 2, ++i;
        } else if (value && arg == "--timeout") {
            options.timeoutSeconds = std::atoi(value), ++i;
        } else if (value && arg == "--repaint") {
            options.repaintPerSecond = std::atoi(value), ++i;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "stand-in: bad option %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

bool LoadModules(const StandinOptions& options) {
    for (const std::string& module : options.modules)
        if (!LoadLibraryA(module.c_str())) return false;
    return true;
}

bool LoadsModuleNamed(const StandinOptions& options, const char* word) {
    for (std::string name : options.modules) {
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (name.find(word) != std::string::npos) return true;
    }
    return false;
}

HWND CreateTopWindow(const std::string& title, POINT at, Size client) {
    RegisterStandinClass();
    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRect(&frame, style, FALSE);
    return CreateWindowExA(0, CLASS_NAME, title.c_str(), style, at.x, at.y,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

HWND CreateChild(HWND parent, const std::string& caption, int x, int y, Size size) {
    RegisterStandinClass();
    return CreateWindowExA(0, CLASS_NAME, caption.c_str(),
                           WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y,
                           size.width, size.height, parent, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

void LabelWindow(HWND window, const std::string& text, POINT at) {
    windowLabels[window] = Label{text + " " + Hex(window), at};
}

void ShowOnScreen(HWND window, COLORREF plain) {
    shownWindows.push_back({window, plain});
}

void PlaceBelow(HWND window, HWND above) {
    SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int RunStandin(const char* kind, Frame frame, HWND top, const std::vector<HWND>& draw,
               const StandinOptions& options) {
    for (auto& [window, label] : windowLabels) {
        bool drawn = std::find(draw.begin(), draw.end(), window) != draw.end();
        label.text += drawn ? ": cross" : ": no cross";
    }
    ShowWindow(top, SW_SHOWNOACTIVATE);
    UpdateWindow(top);
    CreateScreens(top);
    AnnounceReady(kind, top, draw);
    SetTimer(top, TIMEOUT_TIMER, static_cast<UINT>(options.timeoutSeconds) * 1000u, nullptr);
    SetTimer(top, FOLLOW_TIMER, FOLLOW_PERIOD_MS, nullptr);
    if (options.repaintPerSecond > 0)
        SetTimer(top, REPAINT_TIMER, 1000u / static_cast<UINT>(options.repaintPerSecond), nullptr);
    CloseHandle(CreateThread(nullptr, 0, WatchInput, top, 0, nullptr));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_STANDIN_COMMAND && message.wParam == COMMAND_POINTS) {
            WritePoints(draw, frame);
            continue;
        }
        if (message.message == WM_STANDIN_COMMAND && message.wParam == COMMAND_FRAMES) {
            WriteOut("FRAMES " + std::to_string(framesPainted) + " " +
                     std::to_string(GetTickCount() - startedAt) + "\n");
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WriteOut("CLOSED\n");
    return 0;
}

bool IsVideoSized(Size size) {
    return size.width >= 500 && size.height >= 350;
}

Size HelpSize(Size covered) {
    return Size{covered.width - 2 * HELP_MARGIN.width, covered.height - 2 * HELP_MARGIN.height};
}
