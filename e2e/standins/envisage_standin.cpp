// The Envisage stand-in: a process that loads envisage_core.dll (so the
// module is not its first one), with "AutoStar Envisage" > a > b > panels.
// The first panel, on top, holds the main video under b's middle; each panel
// below it holds a video window and, next in order, a label above the video.
// The tracking panels are stacked down and to the right of the main one,
// each a little further, so every video shows a strip on screen.
#include "standin.h"

#include <string>

namespace {

constexpr int MAX_GATHERED = 5;  // the main window and four tracking panels
constexpr int LABEL_HEIGHT = 20;
constexpr int FIRST_PANEL_INSET = 120;  // how far the first tracking panel tucks under the main one
constexpr int PANEL_STEP = 16;          // each next panel's offset from the one above it

bool IsTrackingLabel(const std::string& label) {
    const std::string word = "TRACKING";
    if (label.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = label[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    StandinOptions options;
    options.title = "AutoStar Envisage";
    if (!ParseStandinOptions(argc, argv, options)) return 2;
    if (options.envisageModule) options.modules.insert(options.modules.begin(), "envisage_core.dll");
    if (!LoadModules(options)) return 4;

    // b's middle, (w - 1, h - 1), lies in the main panel at its origin; the
    // rest of b holds the tracking panels.
    Size size = options.video;
    Size area{2 * size.width - 1, 2 * size.height - 1};
    HWND top = CreateTopWindow(options.title, options.at, area);
    HWND a = CreateChild(top, "", 0, 0, area);
    HWND b = CreateChild(a, "", 0, 0, area);
    HWND mainPanel = CreateChild(b, "", 0, 0, size);
    HWND mainVideo = CreateChild(mainPanel, "", 0, 0, size);
    if (!top || !a || !b || !mainPanel || !mainVideo) return 3;
    PlaceBelow(mainPanel, HWND_TOP);
    LabelWindow(mainVideo, "Envisage main video");
    ShowOnScreen(mainVideo);

    // The overlay's walk: the main video, then each tracking panel in order
    // until one carries another label, at most MAX_GATHERED in all; every
    // gathered window but the last is drawn on once more than one is gathered.
    // Without such a module no finder takes this window for the Envisage
    // program; a "dsi" module after the executable does not make it the DSI one.
    std::vector<HWND> gathered;
    if (LoadsModuleNamed(options, "ENVISAGE") && IsVideoSized(size)) gathered.push_back(mainVideo);
    bool walking = !gathered.empty();
    HWND above = mainPanel;
    int panels = options.tracking + (options.otherPanelAt >= 0 ? 1 : 0);
    for (int i = 0; i < panels; ++i) {
        bool other = i == options.otherPanelAt;
        int offset = PANEL_STEP * i;
        HWND panel = CreateChild(b, "", size.width - FIRST_PANEL_INSET + offset,
                                 size.height - FIRST_PANEL_INSET + offset,
                                 Size{size.width, size.height + LABEL_HEIGHT});
        HWND video = CreateChild(panel, "", 0, LABEL_HEIGHT, size);
        HWND label = CreateChild(panel, other ? "GUIDING" : options.label, 0, 0,
                                 Size{size.width, LABEL_HEIGHT});
        if (!panel || !video || !label) return 3;
        // Labelled at the bottom: the main panel covers the top left.
        LabelWindow(video, "Envisage panel " + std::to_string(i + 1), POINT{8, size.height - 24});
        ShowOnScreen(video);
        PlaceBelow(panel, above);
        PlaceBelow(video, HWND_TOP);
        PlaceBelow(label, video);
        above = panel;
        if (other || !IsTrackingLabel(options.label)) walking = false;
        if (walking && static_cast<int>(gathered.size()) < MAX_GATHERED)
            gathered.push_back(video);
    }
    if (gathered.size() > 1) gathered.pop_back();
    return RunStandin("envisage", Frame::DSI, top, gathered, options);
}
