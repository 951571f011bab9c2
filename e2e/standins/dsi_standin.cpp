// The DSI stand-in, built as DsiCam.exe so that its process's first module
// has "dsi" in its name: "AutoStar Envisage" > a > b > video, with an
// optional "Help" window among b's children just above the video. Every
// level sits at the origin of its parent and is as large as the video;
// "Help" covers only the middle, so the video around it stays in sight.
#include "standin.h"

int main(int argc, char** argv) {
    StandinOptions options;
    options.title = "AutoStar Envisage";
    if (!ParseStandinOptions(argc, argv, options)) return 2;
    if (!LoadModules(options)) return 4;

    Size size = options.video;
    HWND top = CreateTopWindow(options.title, options.at, size);
    HWND a = CreateChild(top, "", 0, 0, size);
    HWND b = CreateChild(a, "", 0, 0, size);
    HWND video = CreateChild(b, "", 0, 0, size);
    HWND help = nullptr;
    if (options.helpWindow) {
        help = CreateChild(b, "Help", HELP_MARGIN.width, HELP_MARGIN.height, HelpSize(size));
        LabelWindow(help, "DSI Help");
        ShowOnScreen(help, HELP_COLOUR);
        PlaceBelow(help, HWND_TOP);
        PlaceBelow(video, help);
    }
    if (!top || !a || !b || !video) return 3;
    LabelWindow(video, "DSI video");
    ShowOnScreen(video);

    // With an "envisage" module loaded the Envisage finder walks this window
    // too, one level deeper and without the "Help" skip, before the DSI one.
    std::vector<HWND> draw;
    Size underMiddle = help ? HelpSize(size) : size;
    if (IsVideoSized(underMiddle) && LoadsModuleNamed(options, "ENVISAGE"))
        draw.push_back(help ? help : video);
    if (IsVideoSized(size)) draw.push_back(video);
    return RunStandin("dsi", Frame::DSI, top, draw, options);
}
