// The DSI stand-in, built as DsiCam.exe so that its process's first module
// has "dsi" in its name: "AutoStar Envisage" > a > b > video, with an
// optional "Help" window among b's children just above the video. Every
// level sits at the origin of its parent and is as large as the video.
#include "standin.h"

int main(int argc, char** argv) {
    StandinOptions options;
    options.title = "AutoStar Envisage";
    if (!ParseStandinOptions(argc, argv, options)) return 2;

    Size size = options.video;
    HWND top = CreateTopWindow(options.title, options.at, size);
    HWND a = CreateChild(top, "", 0, 0, size);
    HWND b = CreateChild(a, "", 0, 0, size);
    HWND video = CreateChild(b, "", 0, 0, size);
    if (options.helpWindow) {
        HWND help = CreateChild(b, "Help", 0, 0, size);
        PlaceBelow(help, HWND_TOP);
        PlaceBelow(video, help);
    }
    if (!top || !a || !b || !video) return 3;
    LabelWindow(video, "DSI video");

    std::vector<HWND> draw;
    if (IsVideoSized(size)) draw.push_back(video);
    return RunStandin("dsi", top, draw, options.timeoutSeconds);
}
