// A stand-in for one capture program under Wine: builds the program's window
// layout (layouts/) as real windows, says which of them a correct overlay
// draws on, shows them on screen so the crosses can be read back, and runs
// until told to close. Built once per registered program, under the
// program's executable name, with STANDIN_PROGRAM naming it.
//
//   <executable> [layout options] [--at X,Y] [--timeout S] [--repaint N]
//
// Once its windows are shown it writes
//   READY <program> pid=<pid> top=<hex> draw=<hex>,<hex>...
// (the windows a tick draws on, in order; empty when none). Commands on
// stdin, one a line:
//   close    close the top-level window (so does the end of input)
//   points   for the top-level window and each window shown on screen, its
//            place on screen and role; for each window shown, the screen
//            points where the window system says it is visible, with the
//            colour a correct overlay leaves there; then "END POINTS":
//              ROLE <hex> <left>,<top>,<right>,<bottom> <program> <role>
//              POINTS <hex> plain=<rrggbb> cross=<x>,<y>|none <x>,<y>,<W|P> ...
//            cross: where on screen the centre of its cross must be, if any;
//            W: white, on the cross of a window drawn on; P: the window's
//            plain colour, beside the cross, past its ends, and anywhere a
//            cross of any program's frame would be on a window not drawn on
//   frames   "FRAMES <painted> <ms>": frames of the first video painted so
//            far (--repaint N repaints it N times a second) and the
//            milliseconds since the stand-in started
//   exists <hex> ...  those of the windows that still exist, one a line,
//            then "END EXISTS": another stand-in's windows, once it closed
//   find <class>  the top-level window of that class, in hex, or 0
// It writes "CLOSED" when its window has gone.
#include "layouts/layout.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr char CLASS_NAME[] = "QuelvaniStandin";
constexpr char SCREEN_CLASS_NAME[] = "QuelvaniStandinScreen";
constexpr UINT_PTR TIMEOUT_TIMER = 1;
constexpr UINT_PTR FOLLOW_TIMER = 2;
constexpr UINT_PTR REPAINT_TIMER = 3;
constexpr UINT FOLLOW_PERIOD_MS = 200;
constexpr UINT WM_STANDIN_COMMAND = WM_APP + 1;  // wParam: a Command
constexpr COLORREF BACKGROUND = RGB(16, 20, 28);
constexpr COLORREF VIDEO_COLOUR = RGB(40, 60, 90);
constexpr COLORREF HELP_COLOUR = RGB(90, 60, 100);
constexpr COLORREF LABEL_TEXT = RGB(220, 220, 120);
constexpr int LABEL_INSET = 8;  // from the left and bottom edges
const wchar_t X_WINDOW_PROPERTY[] = L"__wine_x11_whole_window";

enum Command : WPARAM { COMMAND_POINTS = 1, COMMAND_FRAMES };

struct Shown {
    HWND window;
    std::string role;
    COLORREF plain;
    std::string label;
    const Draw* draw;       // the cross drawn on it, if any
    HWND screen = nullptr;  // the popup that shows it (see PublishOnScreen)
};

struct Settings {
    POINT at{20, 20};
    int timeoutSeconds = 120;
    int repaintPerSecond = 0;
};

std::vector<Shown> shownWindows;  // fixed once the popups exist
long framesPainted = 0;
const DWORD startedAt = GetTickCount();

void WriteOut(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
    FlushFileBuffers(GetStdHandle(STD_OUTPUT_HANDLE));
}

std::string Hex(const void* handle) {
    char text[32];
    std::snprintf(text, sizeof text, "%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
    return text;
}

RECT ClientRect(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

RECT ClientOnScreen(HWND window) {
    RECT client = ClientRect(window);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

// The label at the bottom left: tracking panels show their bottom, and the
// crosses' lines stay clear of it.
RECT LabelRect(HDC dc, HWND window, const std::string& text) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    LONG bottom = ClientRect(window).bottom - LABEL_INSET;
    return RECT{LABEL_INSET, bottom - extent.cy, LABEL_INSET + extent.cx, bottom};
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
// The popup paints as its window would, and the overlay's drawing lands on
// it too. Nothing of this is needed on Windows, where every window's device
// context draws on screen.
// ---------------------------------------------------------------------------

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

LRESULT CALLBACK ScreenProc(HWND screen, UINT message, WPARAM wParam, LPARAM lParam) {
    auto shown = reinterpret_cast<const Shown*>(GetWindowLongPtrA(screen, GWLP_USERDATA));
    if (message == WM_ERASEBKGND) return 1;  // WM_PAINT fills the whole popup
    // Once its X window goes, the window must not name it any more: drawing
    // through the stale name was seen landing at the screen's origin, over
    // another stand-in.
    if (message == WM_DESTROY && shown) RemovePropW(shown->window, X_WINDOW_PROPERTY);
    if (message != WM_PAINT || !shown) return DefWindowProcA(screen, message, wParam, lParam);
    if (shown == &shownWindows.front()) ++framesPainted;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(screen, &paint);
    RECT all = ClientRect(screen);
    HBRUSH plain = CreateSolidBrush(shown->plain);
    FillRect(dc, &all, plain);
    DeleteObject(plain);
    RECT label = LabelRect(dc, shown->window, shown->label);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, LABEL_TEXT);
    const std::string& text = shown->label;
    TextOutA(dc, label.left, label.top, text.c_str(), static_cast<int>(text.size()));
    EndPaint(screen, &paint);
    return 0;
}

void CreateScreens(HWND top) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ScreenProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = SCREEN_CLASS_NAME;
    RegisterClassA(&wc);
    // Stacked as the windows they show: each new popup goes on top. Shown
    // windows have no shown children, and a layout lists siblings topmost
    // first, so a later one lies below an earlier one.
    for (auto it = shownWindows.rbegin(); it != shownWindows.rend(); ++it) {
        Shown& shown = *it;
        RECT r = ClientOnScreen(shown.window);
        shown.screen = CreateWindowExA(
            WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
            SCREEN_CLASS_NAME, "", WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top,
            top, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(shown.screen, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&shown));
        SetLayeredWindowAttributes(shown.screen, 0, 255, LWA_ALPHA);
        ShowWindow(shown.screen, SW_SHOWNOACTIVATE);
        UpdateWindow(shown.screen);  // painted before READY
        PublishOnScreen(shown);
    }
}

// ---------------------------------------------------------------------------
// The points a screenshot is checked at.
// ---------------------------------------------------------------------------

struct Expected {
    POINT at;  // client coordinates
    bool white;
};

// The cross's two lines, one pixel beside them on both sides, and the first
// pixel past each line's end (the last point of a line is not drawn), all
// clipped to the client area.
void AddCross(const Cross& cross, const RECT& client, bool drawn, std::vector<Expected>& out) {
    auto add = [&](LONG x, LONG y, bool white) {
        if (x >= 0 && y >= 0 && x < client.right && y < client.bottom)
            out.push_back({{x, y}, white});
    };
    for (LONG y = 0; y < cross.frameHeight; ++y) {
        add(cross.x, y, drawn);
        if (y == cross.y) continue;
        add(cross.x - 1, y, false);
        add(cross.x + 1, y, false);
    }
    add(cross.x, cross.frameHeight, false);
    for (LONG x = 0; x < cross.frameWidth; ++x) {
        add(x, cross.y, drawn);
        if (x == cross.x) continue;
        add(x, cross.y - 1, false);
        add(x, cross.y + 1, false);
    }
    add(cross.frameWidth, cross.y, false);
}

std::string RoleLine(HWND window, const RECT& r, const std::string& role) {
    return "ROLE " + Hex(window) + " " + std::to_string(r.left) + "," + std::to_string(r.top) +
           "," + std::to_string(r.right) + "," + std::to_string(r.bottom) + " " + role + "\n";
}

std::string PointsLine(const Shown& shown) {
    HWND window = shown.window;
    RECT client = ClientRect(window);
    std::vector<Expected> expected;
    if (shown.draw) {
        AddCross(ExpectedCross(shown.draw->frame), client, true, expected);
    } else {
        std::set<FrameKind> frames;  // every frame a registered program's cross is drawn for
        for (const CaptureProgram& program : CapturePrograms())
            for (const Draw& draw : program.describe({}).draws) frames.insert(draw.frame);
        for (FrameKind frame : frames) AddCross(ExpectedCross(frame), client, false, expected);
    }
    HDC dc = GetDC(window);
    RECT label = LabelRect(dc, window, shown.label);
    ReleaseDC(window, dc);

    char text[96];
    std::snprintf(text, sizeof text, "POINTS %s plain=%02x%02x%02x cross=", Hex(window).c_str(),
                  GetRValue(shown.plain), GetGValue(shown.plain), GetBValue(shown.plain));
    std::string line = RoleLine(window, ClientOnScreen(window), shown.role) + text;
    if (shown.draw) {
        Cross cross = ExpectedCross(shown.draw->frame);
        POINT centre{cross.x, cross.y};
        ClientToScreen(window, &centre);
        line += std::to_string(centre.x) + "," + std::to_string(centre.y);
    } else {
        line += "none";
    }
    for (const Expected& e : expected) {
        POINT screen = e.at;
        ClientToScreen(window, &screen);
        if (PtInRect(&label, e.at) || WindowFromPoint(screen) != window) continue;
        std::snprintf(text, sizeof text, " %ld,%ld,%c", static_cast<long>(screen.x),
                      static_cast<long>(screen.y), e.white ? 'W' : 'P');
        line += text;
    }
    return line + "\n";
}

// ---------------------------------------------------------------------------
// The windows and the loop.
// ---------------------------------------------------------------------------

LRESULT CALLBACK StandinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == TIMEOUT_TIMER) DestroyWindow(window);
        if (wParam == FOLLOW_TIMER) FollowShownWindows();
        if (wParam == REPAINT_TIMER)
            RedrawWindow(shownWindows.front().screen, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    case WM_DESTROY:
        if (!GetParent(window)) PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Every window paints only its background, and only when the window system
// asks; windows shown on screen are painted by their popups.
void RegisterStandinClass() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = StandinProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = CreateSolidBrush(BACKGROUND);
    wc.lpszClassName = CLASS_NAME;
    RegisterClassA(&wc);
}

// The layout's windows, parents first and siblings in their order, each
// child placed below the sibling before it. Children clip their siblings.
std::vector<HWND> CreateWindows(const Layout& layout, POINT at) {
    std::vector<HWND> made;
    std::map<int, HWND> lastChild;  // by parent index
    for (const LayoutWindow& w : layout.windows) {
        const RECT& r = w.rect;
        HWND window;
        if (w.parent < 0) {
            constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
            RECT frame = r;
            AdjustWindowRect(&frame, style, FALSE);
            window = CreateWindowExA(0, CLASS_NAME, w.caption.c_str(), style, at.x, at.y,
                                     frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
        } else {
            window = CreateWindowExA(0, CLASS_NAME, w.caption.c_str(),
                                     WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                     r.left, r.top, r.right - r.left, r.bottom - r.top,
                                     made[w.parent], nullptr, GetModuleHandleA(nullptr), nullptr);
            HWND above = lastChild.count(w.parent) ? lastChild[w.parent] : HWND_TOP;
            SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            lastChild[w.parent] = window;
        }
        if (!window) return {};
        made.push_back(window);
    }
    return made;
}

bool ParseSettings(const std::vector<std::string>& rest, Settings& settings) {
    bool ok = true;
    for (size_t i = 0; i + 1 < rest.size(); i += 2) {
        const char* value = rest[i + 1].c_str();
        POINT& at = settings.at;
        if (rest[i] == "--at") ok = ok && std::sscanf(value, "%ld,%ld", &at.x, &at.y) == 2;
        else if (rest[i] == "--timeout") settings.timeoutSeconds = std::atoi(value);
        else if (rest[i] == "--repaint") settings.repaintPerSecond = std::atoi(value);
        else ok = false;
    }
    return ok;
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
            if (command.rfind("find ", 0) == 0)
                WriteOut(Hex(FindWindowA(command.c_str() + 5, nullptr)) + "\n");
            if (command.rfind("exists ", 0) == 0) {
                std::istringstream words(command.substr(7));
                std::string still, word;
                while (words >> word) {
                    auto window = reinterpret_cast<HWND>(
                        static_cast<UINT_PTR>(std::strtoull(word.c_str(), nullptr, 16)));
                    if (IsWindow(window)) still += Hex(window) + "\n";
                }
                WriteOut(still + "END EXISTS\n");
            }
        }
    }
    PostMessageA(top, WM_CLOSE, 0, 0);
    return 0;
}

int Run(const Layout& layout, const std::vector<HWND>& windows, const Settings& settings) {
    HWND top = windows.front();
    std::string draws;
    for (const Draw& draw : layout.draws)
        draws += (draws.empty() ? "" : ",") + Hex(windows[draw.window]);
    for (size_t i = 0; i < windows.size(); ++i) {
        const LayoutWindow& w = layout.windows[i];
        if (!w.shown) continue;
        auto draw = std::find_if(layout.draws.begin(), layout.draws.end(),
                                 [i](const Draw& d) { return d.window == static_cast<int>(i); });
        const Draw* drawn = draw == layout.draws.end() ? nullptr : &*draw;
        shownWindows.push_back({windows[i], layout.program + " " + w.role,
                                w.role == "help" ? HELP_COLOUR : VIDEO_COLOUR,
                                layout.program + " " + w.role + " " + Hex(windows[i]) +
                                    (drawn ? ": cross" : ": no cross"),
                                drawn});
    }
    ShowWindow(top, SW_SHOWNOACTIVATE);
    UpdateWindow(top);
    CreateScreens(top);
    WriteOut("READY " + layout.program + " pid=" + std::to_string(GetCurrentProcessId()) +
             " top=" + Hex(top) + " draw=" + draws + "\n");
    SetTimer(top, TIMEOUT_TIMER, static_cast<UINT>(settings.timeoutSeconds) * 1000u, nullptr);
    SetTimer(top, FOLLOW_TIMER, FOLLOW_PERIOD_MS, nullptr);
    if (settings.repaintPerSecond > 0 && !shownWindows.empty())
        SetTimer(top, REPAINT_TIMER, 1000u / static_cast<UINT>(settings.repaintPerSecond), nullptr);
    CloseHandle(CreateThread(nullptr, 0, WatchInput, top, 0, nullptr));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_STANDIN_COMMAND && message.wParam == COMMAND_POINTS) {
            RECT placed{};
            GetWindowRect(top, &placed);
            std::string text = RoleLine(top, placed, layout.program + " top");
            for (const Shown& shown : shownWindows) text += PointsLine(shown);
            WriteOut(text + "END POINTS\n");
        } else if (message.message == WM_STANDIN_COMMAND && message.wParam == COMMAND_FRAMES) {
            WriteOut("FRAMES " + std::to_string(framesPainted) + " " +
                     std::to_string(GetTickCount() - startedAt) + "\n");
        } else {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    WriteOut("CLOSED\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const CaptureProgram* program = FindCaptureProgram(STANDIN_PROGRAM);
    LayoutOptions options;
    Settings settings;
    std::vector<std::string> rest;
    std::string error;
    if (!program || !ParseLayoutOptions({argv + 1, argv + argc}, options, rest, error) ||
        !ParseSettings(rest, settings)) {
        std::fprintf(stderr, "stand-in: %s\n", error.empty() ? "bad settings" : error.c_str());
        return 2;
    }
    Layout layout = program->describe(options);
    for (const std::string& module : layout.modules)
        if (!LoadLibraryA(module.c_str())) return 4;
    RegisterStandinClass();
    std::vector<HWND> windows = CreateWindows(layout, settings.at);
    if (windows.empty()) return 3;
    return Run(layout, windows, settings);
}
