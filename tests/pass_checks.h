// The capture programs as the long-running checks (fuzzing, soak) build
// them from their descriptions, and the rules every overlay pass must keep
// on them whatever the windows do. The model remembers what was built, so a
// pass can be judged without asking the simulated platform anything (which
// would count as calls and could trip scheduled faults).
#pragma once

#include "layouts/layout.h"
#include "sim/sim.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace scenes {

// A registered program built from its description.
struct Program {
    Layout layout;
    std::vector<HWND> windows;   // by the layout's indices
    // The frames a correct pass may draw inside it: those its description
    // draws with, had its video been video-sized (windows added, removed or
    // recaptioned in it may make any video-sized window the video).
    std::set<FrameKind> frames;
};

struct Model {
    std::map<HWND, HWND> parent;  // none for a top-level window
    std::map<HWND, std::string> caption;
    std::vector<HWND> windows;    // every window added, oldest first
    std::vector<Program> programs;
};

// Scene building through the model; each mirrors the sim:: call.
HWND Add(Model& model, HWND parent, const std::string& caption, RECT rect, unsigned flags = 0,
         DWORD processId = 0);
void SetCaption(Model& model, HWND window, const std::string& caption);
// Builds the program with these options as BuildInSim does; its index in
// model.programs.
size_t AddProgram(Model& model, const CaptureProgram& program, const LayoutOptions& options,
                  DWORD processId);

// The most crosses a correct pass draws, from the descriptions: a search
// draws at most as many as in any registered scene, so a frame gets at most
// the sum of that over the searches, and a pass the sum of all.
struct Most {
    std::map<FrameKind, int> byFrame;
    int total = 0;
};
const Most& MostCrosses();

// How checks name a frame: "640x480".
std::string FrameName(FrameKind frame);

// Judges the pass run since the last sim::ClearRecords(): nothing left open;
// each cross in the white pen with the lines of a frame, inside a program
// built here whose title still reads as described and that may be drawn on
// with that frame, on a window seen to be video-sized before it was drawn;
// no more crosses than MostCrosses(). Gives a line for every broken rule.
// When SelectObject was made to fail, a context may go back with the pen
// still in it (its restoring select failed), and that alone is not held
// against the pass.
std::vector<std::string> CheckPass(const Model& model, bool selectMayFail = false);

// A hostile desktop made from arbitrary bytes, for the fuzz target and the
// soak run. The first byte picks which of the registered capture programs
// are built from their descriptions (bit i for the i-th in tick order) and,
// in the bits above those, how many other top-level windows lie below them.
// The rest picks each program's scene and bends its options, title and
// captions into near misses, adds random window trees up to six levels
// deep, injects call failures, refuses snapshots and destroys windows
// between platform calls. Then 1 to 4 overlay passes run, the desktop
// churned between them, each judged by CheckPass, until one breaks a rule.
// Bytes that run out read as zeros, which always pick the first (proper)
// choice.
struct DesktopReport {
    std::vector<int> crosses;           // by each pass run
    std::vector<std::string> problems;  // "pass N: ..."
};
DesktopReport RunHostileDesktop(const std::uint8_t* data, size_t size);

}  // namespace scenes
