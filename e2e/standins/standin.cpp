#include "standin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

constexpr char CLASS_NAME[] = "QuelvaniStandin";
constexpr UINT_PTR TIMEOUT_TIMER = 1;
constexpr COLORREF VIDEO_TEXT = RGB(220, 220, 120);

std::map<HWND, std::string> windowLabels;

void PaintLabel(HWND window, const std::string& text) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, VIDEO_TEXT);
    TextOutA(dc, 8, 8, text.c_str(), static_cast<int>(text.size()));
    EndPaint(window, &paint);
}

LRESULT CALLBACK StandinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        auto label = windowLabels.find(window);
        if (label == windowLabels.end()) break;
        PaintLabel(window, label->second);
        return 0;
    }
    case WM_TIMER:
        if (wParam == TIMEOUT_TIMER) DestroyWindow(window);
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
    // Only the background is painted, and only when the window system asks.
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    wc.lpszClassName = CLASS_NAME;
    RegisterClassA(&wc);
    registered = true;
}

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

void AnnounceReady(const char* kind, HWND top, const std::vector<HWND>& draw) {
    std::string line = std::string("READY ") + kind + " pid=" +
                       std::to_string(GetCurrentProcessId()) + " top=" + Hex(top) + " draw=";
    for (size_t i = 0; i < draw.size(); ++i) line += (i ? "," : "") + Hex(draw[i]);
    WriteOut(line + "\n");
}

// Reads stdin until "close" or its end, then asks the top-level window to close.
DWORD WINAPI WatchInput(LPVOID parameter) {
    HWND top = static_cast<HWND>(parameter);
    std::string pending;
    char chunk[256];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got, nullptr) && got) {
        pending.append(chunk, got);
        if (pending.find("close") != std::string::npos) break;
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

void LabelWindow(HWND window, const std::string& text) {
    windowLabels[window] = text + " " + Hex(window);
}

void PlaceBelow(HWND window, HWND above) {
    SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int RunStandin(const char* kind, HWND top, const std::vector<HWND>& draw, int timeoutSeconds) {
    for (auto& [window, text] : windowLabels) {
        bool drawn = std::find(draw.begin(), draw.end(), window) != draw.end();
        text += drawn ? ": the overlay draws here" : ": no cross here";
    }
    ShowWindow(top, SW_SHOWNOACTIVATE);
    UpdateWindow(top);
    AnnounceReady(kind, top, draw);
    SetTimer(top, TIMEOUT_TIMER, static_cast<UINT>(timeoutSeconds) * 1000u, nullptr);
    CloseHandle(CreateThread(nullptr, 0, WatchInput, top, 0, nullptr));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WriteOut("CLOSED\n");
    return 0;
}

bool IsVideoSized(Size size) {
    return size.width >= 500 && size.height >= 350;
}
