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

Layout DescribeDsi(const LayoutOptions& options) {
    const VideoSize v = options.video;
    Layout layout{"dsi", "DsiCam.exe", options.modules, {}, {}};
    AddNestedLevels(layout, "AutoStar Envisage", v);
    VideoSize underMiddle = options.help ? AddHelpOverVideo(layout, v) : v;
    int video = static_cast<int>(layout.windows.size());
    layout.windows.push_back({2, "", RECT{0, 0, v.width, v.height}, "video", true});
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
