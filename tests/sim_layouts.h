// The capture programs' layouts (layouts/) built in the simulated window
// system, and crosses written as text, for every host-side check that needs
// a capture program's windows or judges the crosses drawn into them.
#pragma once

#include "layouts/layout.h"
#include "sim/sim.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The process a layout is built in unless another is named.
constexpr DWORD BUILD_PROCESS = 100;

// Builds the layout: its process (the executable, then the modules) and its
// windows, parents first, each child below those made before it so siblings
// keep their order, topmost first. Handles follow the layout's indices.
inline std::vector<std::string> ProcessModules(const Layout& layout) {
    std::vector<std::string> modules{layout.executable};
    modules.insert(modules.end(), layout.modules.begin(), layout.modules.end());
    return modules;
}
inline std::vector<HWND> BuildInSim(const Layout& layout, DWORD processId = BUILD_PROCESS) {
    sim::AddProcess(processId, ProcessModules(layout));
    std::vector<HWND> built;
    for (const LayoutWindow& w : layout.windows)
        built.push_back(sim::AddWindow(w.parent < 0 ? nullptr : built[static_cast<size_t>(w.parent)],
                                       w.caption, w.rect, 0, processId));
    return built;
}

// A program built from its description, its windows named by their roles.
struct Built {
    Layout layout;
    std::vector<HWND> windows;
    HWND operator[](const std::string& role) const {
        for (size_t i = 0; i < windows.size(); ++i)
            if (layout.windows[i].role == role) return windows[i];
        std::fprintf(stderr, "%s has no window %s\n", layout.program.c_str(), role.c_str());
        std::abort();
    }
};

inline Built Build(const std::string& program, const std::string& options = "",
                   DWORD processId = BUILD_PROCESS) {
    Built built{Describe(program, options), {}};
    built.windows = BuildInSim(built.layout, processId);
    return built;
}
// The program alone on an empty desktop, for each case of a table.
inline Built BuildAfresh(const std::string& program, const std::string& options = "") {
    sim::Reset();
    return Build(program, options);
}

// A drawing's lines as "x,y-x,y x,y-x,y", one group per polyline.
inline std::string Lines(const std::vector<POINT>& points, const std::vector<DWORD>& counts) {
    std::string text;
    size_t at = 0;
    for (DWORD count : counts) {
        text += text.empty() ? "" : " ";
        for (DWORD i = 0; i < count && at < points.size(); ++i, ++at)
            text += (i ? "-" : "") + std::to_string(points[at].x) + "," +
                    std::to_string(points[at].y);
    }
    return text;
}
inline std::string Lines(const sim::Drawing& d) { return Lines(d.points, d.counts); }
// The lines of the cross a correct overlay draws with the frame.
inline std::string Lines(FrameKind frame) {
    const Cross c = ExpectedCross(frame);
    return Lines({{c.x, 0}, {c.x, c.frameHeight}, {0, c.y}, {c.frameWidth, c.y}}, {2, 2});
}
