// The Meade LPI finder against its program's layout bent into near misses,
// and against the ways that layout can fall apart mid-search.
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <string>

namespace {

class LpiFinderTest : public SimTest {};

// "Live" is matched whole and exactly, and only a "Help" captioned exactly
// so is stepped over, once: after it the next sibling must read "Live", and
// a second "Help", or anything else, is not stepped over to the "Live" each
// case adds further down.
TEST_F(LpiFinderTest, CaptionsAreComparedWholeAndOneHelpIsSteppedOver) {
    const struct {
        const char* options;
        const char* role;
        const char* caption;
    } cases[] = {
        {"", "live", "live"},
        {"", "live", "Live "},
        {"", "live", " Live"},
        {"", "live", "Liv"},
        {"", "live", "Live view window"},  // cut to 14 characters, still longer
        {"", "live", ""},
        {"--help-window", "help", "help"},
        {"--help-window", "help", "Help "},
        {"--help-window", "live", "Help"},  // no second step
        {"--help-window", "live", "Other"},
    };
    for (const auto& c : cases) {
        Built lpi = BuildAfresh("lpi", c.options);
        sim::SetCaption(lpi[c.role], c.caption);
        const RECT whole = lpi.layout.windows[0].rect;
        sim::AddWindow(sim::AddWindow(lpi["b"], "Live", whole), "", whole);
        EXPECT_EQ(FindLpiLiveWindow(), nullptr)
            << c.options << " " << c.role << " \"" << c.caption << '"';
    }
}

// The video is hit-tested inside "Live" at the centre of the level above,
// which differs from the centre of "Live" itself when the two differ in size:
// a tree of its own, as the program's layout centres every level alike.
TEST_F(LpiFinderTest, VideoIsHitTestedAtTheCentreOfTheLevelAbove) {
    HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 800, 600));
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));                 // centre (400, 300)
    HWND live = sim::AddWindow(b, "Live", Rect(0, 0, 1000, 700));         // centre (500, 350)
    HWND video = sim::AddWindow(live, "", Rect(0, 0, 500, 350));          // holds (400, 300) only
    sim::AddWindow(live, "", Rect(450, 320, 550, 380));                   // holds (500, 350) only
    EXPECT_EQ(FindLpiLiveWindow(), video);
}

TEST_F(LpiFinderTest, CentreTruncatesTowardZero) {
    const struct {
        RECT rect;
        LONG x, y;
    } cases[] = {
        {{0, 0, 641, 481}, 320, 240},
        {{0, 0, 1, 1}, 0, 0},
        {{-3, -3, 0, 0}, -1, -1},  // -1.5 truncates to -1, not -2
        {{0, 0, 0, 0}, 0, 0},
    };
    for (const auto& c : cases) {
        POINT p = CenterOf(c.rect);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

TEST_F(LpiFinderTest, EachFailingCallEndsTheSearch) {
    const sim::Op ops[] = {sim::Op::FindWindowA, sim::Op::GetClientRect,
                           sim::Op::ChildWindowFromPoint, sim::Op::GetWindowTextA};
    for (sim::Op op : ops) {
        for (int nth = 1; nth <= 5; ++nth) {
            BuildAfresh("lpi");
            sim::FailCall(op, nth);
            bool found = FindLpiLiveWindow() != nullptr;
            EXPECT_EQ(found, sim::CallCount(op) < nth) << sim::OpName(op) << " #" << nth;
        }
    }
}

// A window that vanishes between two calls fails the search quietly; the
// caption buffer is emptied first, so a caption read of a dead window never
// compares bytes that were not written (run under valgrind as well).
TEST_F(LpiFinderTest, VanishingWindowsEndTheSearch) {
    Build("lpi");
    FindLpiLiveWindow();
    const long callsPerSearch = sim::TotalCalls();
    const long videoProbe = callsPerSearch - 1;  // ChildWindowFromPoint into "Live"

    for (const char* role : {"top", "a", "b", "live", "video"}) {
        for (long after = 0; after <= callsPerSearch; ++after) {
            Built lpi = BuildAfresh("lpi");
            sim::DestroyAfterCalls(lpi[role], static_cast<int>(after));
            HWND expected = nullptr;
            if (after == callsPerSearch)
                expected = lpi["video"];
            else if (std::string(role) == "video" && after < videoProbe)
                expected = lpi["live"];  // nothing under the point: "Live" stands for itself
            EXPECT_EQ(FindLpiLiveWindow(), expected) << role << " after " << after;
            // A gone window's caption reads as empty, never as "Help".
            EXPECT_EQ(sim::CallCount(sim::Op::GetWindow), 0) << role << " after " << after;
        }
    }
}

}  // namespace
