// Meade LPI: "Meade LPI" > a > b > "Live" > video. Every level sits at the
// origin of its parent and is as large as the video, so the middle of each
// level lies in the next one. A "Help" window may sit among b's children
// just above "Live", covering only the middle so the video stays in sight
// around it. The overlay draws the LPI frame on the video once it is
// video-sized, and on nothing else.
#include "layouts/layout.h"

namespace {

Layout DescribeLpi(const LayoutOptions& options) {
    const VideoSize v = options.video;
    const RECT whole{0, 0, v.width, v.height};
    Layout layout{"lpi", "LpiCam.exe", options.modules, {}, {}};
    AddNestedLevels(layout, "Meade LPI", v);
    if (options.help) AddHelpOverVideo(layout, v);
    int live = static_cast<int>(layout.windows.size());
    layout.windows.push_back({2, "Live", whole, "live"});
    layout.windows.push_back({live, "", whole, "video", true});
    if (IsVideoSized(v)) layout.draws.push_back({live + 1, "lpi", FRAME_LPI});
    return layout;
}

const bool registered = RegisterCaptureProgram({
    "lpi", "LpiCam.exe", 1, DescribeLpi,
    {
        {"lpi", "--video 700x520"},
        {"lpi-help", "--help-window"},
        {"lpi-clipped", "--video 500x350"},
        {"lpi-small-video", "--video 640x349"},
    }});

}  // namespace
