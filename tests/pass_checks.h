// Scenes of capture programs for the long-running checks (fuzzing, soak),
// and the rules every overlay pass must keep on them whatever the windows
// do. The model remembers what was built, so a pass can be judged without
// asking the simulated platform anything (which would count as calls and
// could trip scheduled faults).
#pragma once

#include "sim/sim.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace scenes {

struct Model {
    std::map<HWND, HWND> parent;  // none for a top-level window
    std::map<HWND, std::string> caption;
    std::map<HWND, DWORD> process;  // top-level windows only
    std::map<DWORD, std::vector<std::string>> modules;
    std::set<DWORD> unsnappable;  // ended, or snapshots refused
    std::vector<HWND> windows;    // every window added, oldest first
};

// Scene building through the model; each mirrors the sim:: call.
HWND Add(Model& model, HWND parent, const std::string& caption, RECT rect, unsigned flags = 0,
         DWORD processId = 0);
void SetCaption(Model& model, HWND window, const std::string& caption);
void AddProcess(Model& model, DWORD processId, std::vector<std::string> modules);
void EndProcess(Model& model, DWORD processId);
void DenySnapshots(Model& model, DWORD processId);

// The three programs laid out as their finders expect, each level filling
// its parent so that every centre hit-test lands one level deeper. Every
// field can be bent into a near miss.
struct LpiLayout {
    std::string title = "Meade LPI";
    bool help = false;  // a "Help" window over "Live"
    std::string helpCaption = "Help";
    std::string caption = "Live";
    LONG videoWidth = 640;
    LONG videoHeight = 480;
};
struct DsiLayout {
    std::string title = "AutoStar Envisage";
    bool help = false;
    std::string helpCaption = "Help";
    LONG videoWidth = 648;
    LONG videoHeight = 489;
};
struct EnvisageLayout {
    std::string title = "AutoStar Envisage";
    LONG videoWidth = 648;
    LONG videoHeight = 489;
    int trackingPanels = 0;
    std::string label = "TRACKING";
};
struct Program {
    HWND top = nullptr;
    HWND parentOfPanels = nullptr;  // where panels are added (Envisage)
    std::vector<HWND> videos;       // main video first
};
Program AddLpiProgram(Model& model, const LpiLayout& layout);
Program AddDsiProgram(Model& model, const DsiLayout& layout, DWORD processId);
Program AddEnvisageProgram(Model& model, const EnvisageLayout& layout, DWORD processId);
// One more tracking panel below the others: a video window and its label.
HWND AddTrackingPanel(Model& model, Program& program, const std::string& label = "TRACKING");

// Whether the window's top-level ancestor is one the LPI finder may draw
// on, or one the DSI or Envisage finder may draw on.
bool UnderLpiProgram(const Model& model, HWND window);
bool UnderDsiOrEnvisageProgram(const Model& model, HWND window);

// Judges the pass run since the last sim::ClearRecords(): nothing left
// open, at most six crosses, each with the right frame on the right
// program's window, each on a window seen to be video-sized before it was
// drawn. Every broken rule adds a line to `problems`. When SelectObject
// was made to fail, a context may go back with the pen still in it (its
// restoring select failed), and that alone is not held against the pass.
struct PassReport {
    std::vector<std::string> problems;
    int lpiCrosses = 0;
    int dsiCrosses = 0;
};
PassReport CheckPass(const Model& model, bool selectMayFail = false);

}  // namespace scenes
