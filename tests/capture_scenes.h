// Scenes laid out the way the capture programs lay out their windows, each
// level filling its parent so that every centre hit-test lands one deeper.
#pragma once

#include "tests/sim_fixture.h"

#include <string>
#include <vector>

constexpr DWORD DSI_PROCESS = 100;
constexpr DWORD ENVISAGE_PROCESS = 200;

// Meade LPI > a > b > "Live" > video.
inline HWND BuildLpiScene() {
    HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(10, 10, 800, 600));
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));
    HWND live = sim::AddWindow(b, "Live", Rect(0, 0, 800, 600));
    return sim::AddWindow(live, "", Rect(0, 0, 640, 480));
}

// AutoStar Envisage (DSI form) > a > b > video, the video optionally behind
// a "Help" window that covers the centre.
struct DsiScene {
    HWND top, a, b, video;
};

inline DsiScene BuildDsiWindows(DWORD processId, const std::string& title) {
    DsiScene s;
    s.top = sim::AddWindow(nullptr, title, Rect(0, 0, 800, 600), 0, processId);
    s.a = sim::AddWindow(s.top, "", Rect(0, 0, 800, 600));
    s.b = sim::AddWindow(s.a, "", Rect(0, 0, 800, 600));
    s.video = sim::AddWindow(s.b, "", Rect(0, 0, 648, 489));
    return s;
}

inline DsiScene BuildDsiScene(DWORD processId = DSI_PROCESS,
                              std::vector<std::string> modules = {"DSI.exe", "kernel32.dll"},
                              const std::string& title = "AutoStar Envisage") {
    sim::AddProcess(processId, std::move(modules));
    return BuildDsiWindows(processId, title);
}

// AutoStar Envisage (Envisage form) > a > b > panel > main video, and after
// the panel the tracking panels: a video window, then its label.
struct EnvisageScene {
    HWND top, b, panel, main;
    std::vector<HWND> tracking;  // the tracking panels' video windows
};

inline HWND AddTrackingPanel(HWND parent, const std::string& label = "TRACKING",
                             LONG width = 648, LONG height = 489) {
    // Stacked below the main panel, so the centre hit-test never lands here.
    HWND panel = sim::AddWindow(parent, "", Rect(0, 0, 700, 540));
    HWND video = sim::AddWindow(panel, "", Rect(0, 0, width, height));
    sim::AddWindow(panel, label, Rect(0, 500, 120, 20));
    return video;
}

inline EnvisageScene BuildEnvisageScene(
    int trackingPanels = 0, DWORD processId = ENVISAGE_PROCESS,
    std::vector<std::string> modules = {"Envisage.exe", "kernel32.dll"},
    LONG mainWidth = 648, LONG mainHeight = 489) {
    sim::AddProcess(processId, std::move(modules));
    EnvisageScene s;
    s.top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 1000, 800), 0, processId);
    HWND a = sim::AddWindow(s.top, "", Rect(0, 0, 1000, 800));
    s.b = sim::AddWindow(a, "", Rect(0, 0, 1000, 800));
    s.panel = sim::AddWindow(s.b, "", Rect(0, 0, 700, 540));
    s.main = sim::AddWindow(s.panel, "", Rect(0, 0, mainWidth, mainHeight));
    for (int i = 0; i < trackingPanels; ++i) s.tracking.push_back(AddTrackingPanel(s.b));
    return s;
}
