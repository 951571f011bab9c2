// The Meade LPI stand-in: "Meade LPI" > a > b > "Live" > video, with an
// optional "Help" window among b's children just above "Live". Every level
// sits at the origin of its parent and is as large as the video, so the
// middle of each level lies in the next one; "Help" covers only the middle,
// so the video around it stays in sight.
#include "standin.h"

int main(int argc, char** argv) {
    StandinOptions options;
    options.title = "Meade LPI";
    if (!ParseStandinOptions(argc, argv, options)) return 2;

    Size size = options.video;
    HWND top = CreateTopWindow(options.title, options.at, size);
    HWND a = CreateChild(top, "", 0, 0, size);
    HWND b = CreateChild(a, "", 0, 0, size);
    HWND live = CreateChild(b, "Live", 0, 0, size);
    if (options.helpWindow) {
        HWND help = CreateChild(b, "Help", HELP_MARGIN.width, HELP_MARGIN.height, HelpSize(size));
        LabelWindow(help, "LPI Help");
        ShowOnScreen(help, HELP_COLOUR);
        PlaceBelow(help, HWND_TOP);
        PlaceBelow(live, help);
    }
    HWND video = CreateChild(live, "", 0, 0, size);
    if (!top || !a || !b || !live || !video) return 3;
    LabelWindow(video, "LPI video");
    ShowOnScreen(video);

    std::vector<HWND> draw;
    if (IsVideoSized(size)) draw.push_back(video);
    return RunStandin("lpi", Frame::LPI, top, draw, options);
}
