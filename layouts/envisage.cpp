// The Envisage program: "AutoStar Envisage" > a > b > panels, its process
// loading envisage_core.dll after its executable. The main panel, on top,
// holds the main video under b's middle, (w - 1, h - 1); each panel below it
// holds a video window and, next in order, its label above the video. The
// tracking panels are stacked down and to the right of the main one, each a
// little further, so every video shows a strip on screen.
//
// The overlay draws the DSI frame on the main video once it is video-sized,
// then on the tracking panels' videos in order: the panels are gathered
// while their label reads "TRACKING" in any case, at most four of them, and
// the last one gathered is not drawn on.
#include "layouts/layout.h"

#include <string>

namespace {

constexpr LONG LABEL_HEIGHT = 20;
constexpr LONG FIRST_PANEL_INSET = 120;  // how far the first panel tucks under the main one
constexpr LONG PANEL_STEP = 32;          // each next panel's offset: room for its label
constexpr int MOST_PANELS_GATHERED = 4;

Layout DescribeEnvisage(const LayoutOptions& options) {
    const VideoSize v = options.video;
    const RECT video{0, 0, v.width, v.height};
    Layout layout{"envisage", "EnvCam.exe", options.modules, {}, {}};
    if (options.ownModule) layout.modules.insert(layout.modules.begin(), "envisage_core.dll");
    AddNestedLevels(layout, "AutoStar Envisage", {2 * v.width - 1, 2 * v.height - 1});
    layout.windows.push_back({2, "", video, "main panel"});
    layout.windows.push_back({3, "", video, "main video", true});
    if (!LoadsModuleNamed(layout, "ENVISAGE") || !IsVideoSized(v)) return layout;
    layout.draws.push_back({4, "envisage", FRAME_DSI});

    int panels = options.tracking + (options.otherPanelAt >= 0 ? 1 : 0);
    int gathered = 0;
    bool gathering = true;
    for (int i = 0; i < panels; ++i) {
        bool other = i == options.otherPanelAt;
        LONG x = v.width - FIRST_PANEL_INSET + PANEL_STEP * i;
        LONG y = v.height - FIRST_PANEL_INSET + PANEL_STEP * i;
        std::string name = "panel " + std::to_string(i + 1);
        int panel = static_cast<int>(layout.windows.size());
        const LONG h = LABEL_HEIGHT + v.height;
        layout.windows.push_back({2, "", RECT{x, y, x + v.width, y + h}, name});
        layout.windows.push_back({panel, "", RECT{0, LABEL_HEIGHT, v.width, h}, name + " video",
                                  true});
        layout.windows.push_back({panel, other ? "GUIDING" : options.label,
                                  RECT{0, 0, v.width, LABEL_HEIGHT}, name + " label"});
        gathering = gathering && !other && Upper(options.label) == "TRACKING" &&
                    gathered < MOST_PANELS_GATHERED;
        if (gathering) ++gathered;
    }
    // Every gathered panel but the last, in order.
    for (int i = 0; i + 1 < gathered; ++i)
        layout.draws.push_back({5 + 3 * i + 1, "envisage", FRAME_DSI});
    return layout;
}

const bool registered = RegisterCaptureProgram({
    "envisage", "EnvCam.exe", 2, DescribeEnvisage,
    {
        {"envisage-2", "--tracking 2 --video 648x489"},
        {"envisage-0", "--tracking 0"},
        {"envisage-1", "--tracking 1"},
        {"envisage-4", "--tracking 4"},
        {"envisage-6", "--tracking 6"},
        {"envisage-lowercase-label", "--tracking 3 --label tracking"},
        {"envisage-other-label", "--tracking 4 --other-panel-at 2"},
        {"envisage-no-module", "--tracking 2 --no-own-module"},
        {"dsi-module-not-first", "--no-own-module --load dsi_extra.dll"},
    }});

}  // namespace
