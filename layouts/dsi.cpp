// The DSI program: "AutoStar Envisage" > a > b > video, its process's first
// module, its executable, carrying "Dsi" in its name. Every level sits at the
// origin of its parent and is as large as the video. A "Help" window may sit
// among b's children just above the video, covering only the middle. The
// overlay draws the DSI frame on the video once it is video-sized; a module
// with "envisage" in its name makes the Envisage search take the window too,
// one level deeper and with no "Help" skip, drawing on whatever lies under
// b's middle, before the DSI search does.
#include "layouts/layout.h"

namespace {

constexpr LONG HELP_MARGIN_X = 70;
constexpr LONG HELP_MARGIN_Y = 65;

Layout DescribeDsi(const LayoutOptions& options) {
    const VideoSize v = options.video;
    const RECT whole{0, 0, v.width, v.height};
    Layout layout{"dsi", "DsiCam.exe", options.modules, {}, {}};
    layout.windows = {
        {-1, "AutoStar Envisage", whole, "top"},
        {0, "", whole, "a"},
        {1, "", whole, "b"},
    };
    VideoSize underMiddle = v;
    if (options.help) {
        underMiddle = {v.width - 2 * HELP_MARGIN_X, v.height - 2 * HELP_MARGIN_Y};
        layout.windows.push_back({2, "Help",
                                  RECT{HELP_MARGIN_X, HELP_MARGIN_Y, v.width - HELP_MARGIN_X,
                                       v.height - HELP_MARGIN_Y},
                                  "help", true});
    }
    int video = static_cast<int>(layout.windows.size());
    layout.windows.push_back({2, "", whole, "video", true});
    if (LoadsModuleNamed(layout, "ENVISAGE") && IsVideoSized(underMiddle))
        layout.draws.push_back({options.help ? video - 1 : video, "envisage", FRAME_DSI});
    if (IsVideoSized(v)) layout.draws.push_back({video, "dsi", FRAME_DSI});
    return layout;
}

const bool registered = RegisterCaptureProgram({
    "dsi", "DsiCam.exe", 3, DescribeDsi,
    {
        {"dsi", "--video 700x520"},
        {"dsi-help", "--help-window --video 500x350"},
        {"dsi-also-envisage", "--load envisage_core.dll"},
    }});

}  // namespace
