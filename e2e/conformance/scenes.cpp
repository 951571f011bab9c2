// The scenes both sides build. Each one tries a rule the finders rely on
// where the simulation could most easily be wrong: overlapping, hidden and
// disabled children, points on edges, cut and empty captions, sizes at the
// video bounds, windows that have gone away, and the order of windows.
// Top-level windows are hidden unless showing them is the point: under Wine
// without a window manager, taking a shown one down costs seconds.
#include "e2e/conformance/scenes.h"

namespace conformance {

const std::vector<Scene>& Scenes() {
    static const std::vector<Scene> scenes = {
        {"overlap",
         {
             {"T", nullptr, "overlap", 100, 100, 640, 480, HIDDEN},
             {"A", "T", "a", 0, 0, 300, 300, 0},
             {"B", "T", "b", 100, 100, 300, 300, HIDDEN},
             {"C", "T", "c", 200, 200, 300, 300, DISABLED},
             {"D", "T", "d", 0, 0, 640, 480, HIDDEN | DISABLED},
         },
         {
             {Ask::FirstChild, "T"}, {Ask::Next, "A"}, {Ask::Next, "B"}, {Ask::Next, "C"},
             {Ask::Next, "D"},
             {Ask::ChildAt, "T", 50, 50}, {Ask::ChildAt, "T", 150, 150},
             {Ask::ChildAt, "T", 350, 350}, {Ask::ChildAt, "T", 450, 450},
             {Ask::ChildAt, "T", 550, 50}, {Ask::ChildAtCenter, "T"},
             // Hit-test, remove what was hit, and hit-test again.
             {Ask::Destroy, "A"}, {Ask::FirstChild, "T"}, {Ask::ChildAt, "T", 150, 150},
             {Ask::ChildAt, "T", 50, 50},
             {Ask::Destroy, "B"}, {Ask::ChildAt, "T", 250, 250},
             {Ask::Destroy, "C"}, {Ask::ChildAt, "T", 250, 250},
             {Ask::Destroy, "D"}, {Ask::ChildAt, "T", 250, 250}, {Ask::FirstChild, "T"},
         }},
        {"edges",
         {
             {"T", nullptr, "edges", 50, 60, 640, 480, HIDDEN},
             {"E", "T", "e", 10, 20, 100, 50, 0},
             {"F", "E", "f", 0, 0, 100, 50, 0},
             {"G", "T", "g", 639, 479, 1, 1, 0},
         },
         {
             {Ask::ChildAt, "T", 10, 20}, {Ask::ChildAt, "T", 109, 69},
             {Ask::ChildAt, "T", 110, 20}, {Ask::ChildAt, "T", 10, 70},
             {Ask::ChildAt, "T", 9, 20}, {Ask::ChildAt, "T", 10, 19},
             {Ask::ChildAt, "T", 0, 0}, {Ask::ChildAt, "T", 639, 479},
             {Ask::ChildAt, "T", 638, 479}, {Ask::ChildAt, "T", 640, 479},
             {Ask::ChildAt, "T", 639, 480}, {Ask::ChildAt, "T", -1, 0},
             {Ask::ChildAt, "T", 0, -1},
             // Only direct children are hit.
             {Ask::ChildAt, "E", 0, 0}, {Ask::ChildAt, "E", 99, 49}, {Ask::ChildAt, "E", 100, 49},
             {Ask::ChildAt, "F", 50, 25}, {Ask::ChildAt, "G", 0, 0}, {Ask::ChildAt, "G", 1, 0},
             {Ask::ChildAtCenter, "G"},
         }},
        {"captions",
         {
             {"T", nullptr, "captions", 0, 0, 400, 300, HIDDEN},
             {"Empty", "T", "", 0, 0, 10, 10, 0},
             {"Live", "T", "Live", 0, 0, 10, 10, 0},
             {"Fourteen", "T", "Fourteen chars", 0, 0, 10, 10, 0},
             {"Fifteen", "T", "Fifteen chars!!", 0, 0, 10, 10, 0},
             {"Title", "T", "AutoStar Envisage", 0, 0, 10, 10, 0},
             {"Long", "T", "A caption of well over thirty-one characters in all", 0, 0, 10, 10, HIDDEN},
         },
         {
             {Ask::Text, "Empty", 15}, {Ask::Text, "Empty", 1},
             {Ask::Text, "Live", 15}, {Ask::Text, "Live", 5}, {Ask::Text, "Live", 4},
             {Ask::Text, "Live", 2}, {Ask::Text, "Live", 1}, {Ask::Text, "Live", 0},
             {Ask::Text, "Fourteen", 15}, {Ask::Text, "Fifteen", 15}, {Ask::Text, "Fifteen", 31},
             {Ask::Text, "Title", 31}, {Ask::Text, "Title", 15}, {Ask::Text, "Long", 31},
             {Ask::Text, "Long", 15}, {Ask::Text, "T", 31},
             {Ask::Find, "captions"}, {Ask::Find, "CAPTIONS"}, {Ask::Find, "caption"},
             {Ask::Find, "captions "}, {Ask::Find, "Live"},
         }},
        {"sizes",
         {
             {"T", nullptr, "sizes", 0, 0, 1100, 800, HIDDEN},
             {"W499", "T", "", 0, 0, 499, 350, 0},
             {"W500", "T", "", 0, 0, 500, 350, 0},
             {"H349", "T", "", 0, 0, 500, 349, 0},
             {"Big", "T", "", 0, 0, 1024, 768, HIDDEN},
             {"Zero", "T", "", 5, 5, 0, 0, 0},
             {"Top499", nullptr, "top499", 0, 0, 499, 349, HIDDEN},
             {"Top500", nullptr, "top500", 0, 0, 500, 350, HIDDEN},
         },
         {
             {Ask::ClientRect, "T"}, {Ask::ClientRect, "W499"}, {Ask::ClientRect, "W500"},
             {Ask::ClientRect, "H349"}, {Ask::ClientRect, "Big"}, {Ask::ClientRect, "Zero"},
             {Ask::ClientRect, "Top499"}, {Ask::ClientRect, "Top500"},
             {Ask::VideoSized, "W499"}, {Ask::VideoSized, "W500"}, {Ask::VideoSized, "H349"},
             {Ask::VideoSized, "Big"}, {Ask::VideoSized, "Zero"}, {Ask::VideoSized, "Top499"},
             {Ask::VideoSized, "Top500"},
             {Ask::ChildAt, "Zero", 0, 0}, {Ask::ChildAtCenter, "Zero"},
             {Ask::ChildAt, "T", 5, 5},
         }},
        {"vanished",
         {
             {"T", nullptr, "vanished", 0, 0, 640, 480, HIDDEN},
             {"P", "T", "panel", 0, 0, 640, 480, 0},
             {"V", "P", "video", 0, 0, 640, 480, 0},
             {"S", "T", "sibling", 0, 0, 640, 480, 0},
         },
         {
             {Ask::Process, "V"}, {Ask::Process, "T"},
             {Ask::Destroy, "V"},
             {Ask::Text, "V", 15}, {Ask::ClientRect, "V"}, {Ask::VideoSized, "V"},
             {Ask::ChildAt, "V", 10, 10}, {Ask::ChildAtCenter, "V"}, {Ask::Next, "V"},
             {Ask::FirstChild, "V"}, {Ask::Process, "V"}, {Ask::FirstChild, "P"},
             {Ask::ChildAt, "P", 10, 10},
             // A parent takes its children with it.
             {Ask::Destroy, "T"},
             {Ask::Text, "S", 15}, {Ask::ClientRect, "P"}, {Ask::Next, "P"},
             {Ask::Process, "S"}, {Ask::Find, "vanished"},
         }},
        {"order",
         {
             {"First", nullptr, "Same title", 0, 0, 100, 100, 0},
             {"Second", nullptr, "Same title", 20, 20, 100, 100, 0},
             {"Hidden", nullptr, "Same title", 40, 40, 100, 100, HIDDEN},
             {"K1", "First", "k1", 0, 0, 10, 10, 0},
             {"K2", "First", "k2", 0, 0, 10, 10, HIDDEN},
             {"K3", "First", "k3", 0, 0, 10, 10, 0},
         },
         {
             {Ask::Enumerate, nullptr}, {Ask::Find, "Same title"}, {Ask::Find, "same TITLE"},
             {Ask::Next, "Hidden"}, {Ask::Next, "Second"},
             {Ask::FirstChild, "First"}, {Ask::Next, "K1"}, {Ask::Next, "K2"},
             {Ask::Next, "K3"}, {Ask::ChildAt, "First", 5, 5},
             {Ask::Destroy, "Hidden"}, {Ask::Enumerate, nullptr}, {Ask::Find, "Same title"},
             {Ask::Destroy, "K2"}, {Ask::Next, "K1"},
         }},
        // The capture programs as their descriptions lay them out.
        {"lpi help then live", {},
         {{Ask::FindLpi, nullptr}, {Ask::Find, "meade lpi"},
          {Ask::Destroy, "live"}, {Ask::FindLpi, nullptr}},
         {{"", "lpi", "--help-window"}}},
        {"lpi small video", {}, {{Ask::FindLpi, nullptr}, {Ask::ChildAtCenter, "live"}},
         {{"", "lpi", "--video 640x349"}}},
        {"lpi live in the wrong case", {}, {{Ask::FindLpi, nullptr}},
         {{"", "lpi", "", "live", "live"}}},
        // The program's own module names carry "dsi" and "envisage", so
        // every "AutoStar Envisage" window here passes both process filters.
        {"dsi help then video", {},
         {{Ask::FindDsi, nullptr}, {Ask::FindEnvisage, nullptr},
          {Ask::Destroy, "video"}, {Ask::FindDsi, nullptr}},
         {{"", "dsi", "--help-window"}}},
        {"envisage four tracking panels", {},
         {{Ask::FindEnvisage, nullptr}, {Ask::FindDsi, nullptr},
          {Ask::Destroy, "panel 4"}, {Ask::FindEnvisage, nullptr},
          {Ask::Destroy, "panel 2 label"}, {Ask::FindEnvisage, nullptr},
          {Ask::Destroy, "main video"}, {Ask::FindEnvisage, nullptr}},
         {{"", "envisage", "--tracking 4"}}},
        {"envisage label with another caption", {}, {{Ask::FindEnvisage, nullptr}},
         {{"", "envisage", "--tracking 2 --other-panel-at 1"}}},
        {"two envisage windows and a longer title",
         {
             {"Longer", nullptr, "AutoStar Envisage 2", 0, 0, 800, 600, HIDDEN},
             {"LA", "Longer", "", 0, 0, 800, 600, 0},
         },
         {{Ask::Enumerate, nullptr}, {Ask::FindDsi, nullptr}, {Ask::FindEnvisage, nullptr},
          {Ask::Destroy, "newer top"}, {Ask::FindDsi, nullptr}, {Ask::FindEnvisage, nullptr},
          {Ask::Destroy, "older top"}, {Ask::FindDsi, nullptr}, {Ask::FindEnvisage, nullptr}},
         {{"older ", "dsi", ""}, {"newer ", "dsi", ""}}},
    };
    return scenes;
}

}  // namespace conformance
