// The DSI stand-in, built as DsiCam.exe so that its process's first module
// has "dsi" in its name: "AutoStar Envisage" > a > b > ["Help" >] video,
// every level at the origin of its parent and as large as the video.
#include "standin.h"

int main(int argc, char** argv) {
    StandinOptions options;
    options.title = "AutoStar Envisage";
    if (!ParseStandinOptions(argc, argv, options)) return 2;

    Size size = options.video;
    HWND top = CreateTopWindow(options.title, size);
    HWND a = CreateChild(top, "", 0, 0, size);
    HWND b = CreateChild(a, "", 0, 0, size);
    HWND video = CreateChild(b, "", 0, 0, size);
    if (options.helpWindow) {
        HWND help = CreateChild(b, "Help", 0, 0, size);
        PlaceBelow(help, HWND_TOP);
        PlaceBelow(video, help);
    }
    if (!top || !a || !b || !video) return 3;

    std::vector<HWND> draw;
    if (IsVideoSized(size)) draw.push_back(video);
    return RunStandin("dsi", top, draw, options.timeoutSeconds);
}
