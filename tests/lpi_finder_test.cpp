// The Meade LPI finder against scenes built the way that program lays out
// its windows, and against the ways such a scene can differ or fall apart.
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "tests/sim_fixture.h"

#include <string>
#include <vector>

namespace {

// Meade LPI > a > b > c ("Live") > video, every level filling its parent,
// so that each centre hit-test lands one level deeper.
struct LpiScene {
    HWND top, a, b, c, video;
};

LpiScene BuildLpi(const std::string& caption = "Live", LONG videoWidth = 640,
                  LONG videoHeight = 480) {
    LpiScene s;
    s.top = sim::AddWindow(nullptr, "Meade LPI", Rect(10, 10, 800, 600));
    s.a = sim::AddWindow(s.top, "", Rect(0, 0, 800, 600));
    s.b = sim::AddWindow(s.a, "", Rect(0, 0, 800, 600));
    s.c = sim::AddWindow(s.b, caption, Rect(0, 0, 800, 600));
    s.video = sim::AddWindow(s.c, "", Rect(0, 0, videoWidth, videoHeight));
    return s;
}

class LpiFinderTest : public SimTest {};

TEST_F(LpiFinderTest, FindsTheVideoUnderLive) {
    LpiScene s = BuildLpi();
    EXPECT_EQ(FindLpiLiveWindow(), s.video);
}

TEST_F(LpiFinderTest, NoMeadeLpiWindowFindsNothing) {
    sim::AddWindow(nullptr, "Meade LPI - Help", Rect(0, 0, 800, 600));
    EXPECT_EQ(FindLpiLiveWindow(), nullptr);
}

TEST_F(LpiFinderTest, TheTopLevelTitleIsMatchedWithoutRegardToCase) {
    LpiScene s = BuildLpi();
    sim::SetCaption(s.top, "MEADE lpi");
    EXPECT_EQ(FindLpiLiveWindow(), s.video);
}

TEST_F(LpiFinderTest, TheLiveCaptionIsComparedExactly) {
    const struct {
        const char* caption;
        bool found;
    } cases[] = {
        {"Live", true},   {"live", false}, {"LIVE", false},          {"Live ", false},
        {" Live", false}, {"Liv", false},  {"Live view window", false}, {"", false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        LpiScene s = BuildLpi(c.caption);
        EXPECT_EQ(FindLpiLiveWindow(), c.found ? s.video : nullptr) << '"' << c.caption << '"';
    }
}

TEST_F(LpiFinderTest, VideoSizeBoundsAreInclusive) {
    const struct {
        LONG width, height;
        bool found;
    } cases[] = {
        {500, 350, true}, {499, 350, false}, {500, 349, false},
        {499, 349, false}, {640, 480, true}, {800, 600, true},
    };
    for (const auto& c : cases) {
        sim::Reset();
        LpiScene s = BuildLpi("Live", c.width, c.height);
        EXPECT_EQ(FindLpiLiveWindow(), c.found ? s.video : nullptr)
            << c.width << " x " << c.height;
    }
}

// A "Help" window over the centre is stepped over once, to its next
// sibling, whose caption is then the one that must read "Live".
TEST_F(LpiFinderTest, HelpIsSteppedOverOnceOnly) {
    const struct {
        std::vector<std::string> captions;  // third-level siblings, topmost first
        int expected;                       // index of the sibling holding the video, or -1
    } cases[] = {
        {{"Help", "Live"}, 1},
        {{"Help"}, -1},                  // no sibling to step to
        {{"Help", "Help", "Live"}, -1},  // the second "Help" is not skipped
        {{"Help", "Other", "Live"}, -1},
        {{"Live", "Help"}, 0},           // no sibling step when "Live" comes first
        {{"help", "Live"}, -1},          // the skip, too, is case-sensitive
    };
    for (const auto& c : cases) {
        sim::Reset();
        HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 800, 600));
        HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
        HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));
        std::vector<HWND> videos;
        for (size_t i = 0; i < c.captions.size(); ++i) {
            // All cover the centre; the topmost is the one hit.
            HWND sibling = sim::AddWindow(b, c.captions[i], Rect(0, 0, 800, 600));
            videos.push_back(sim::AddWindow(sibling, "", Rect(0, 0, 640, 480)));
        }
        HWND expected = c.expected < 0 ? nullptr : videos[static_cast<size_t>(c.expected)];
        EXPECT_EQ(FindLpiLiveWindow(), expected) << c.captions.size() << " siblings, first "
                                                 << c.captions[0];
    }
}

// The video is hit-tested inside "Live" at the centre of the level above,
// which differs from the centre of "Live" itself when the two differ in size.
TEST_F(LpiFinderTest, VideoIsHitTestedAtTheCentreOfTheLevelAbove) {
    HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 800, 600));
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));                 // centre (400, 300)
    HWND live = sim::AddWindow(b, "Live", Rect(0, 0, 1000, 700));         // centre (500, 350)
    HWND video = sim::AddWindow(live, "", Rect(0, 0, 500, 350));          // holds (400, 300) only
    HWND decoy = sim::AddWindow(live, "", Rect(450, 320, 550, 380));      // holds (500, 350) only
    EXPECT_EQ(FindLpiLiveWindow(), video);
    EXPECT_NE(video, decoy);
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

// With no child under a centre the window stands for the next level itself.
TEST_F(LpiFinderTest, UncoveredCentresKeepTheWindowItself) {
    {
        HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 800, 600));
        sim::AddWindow(top, "Live", Rect(0, 0, 100, 100));  // not under the centre
        EXPECT_EQ(FindLpiLiveWindow(), nullptr) << "caption of the top-level window is not Live";
    }
    sim::Reset();
    {
        HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 800, 600));
        HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
        HWND live = sim::AddWindow(a, "Live", Rect(0, 0, 800, 600));
        // b = live, c = live, and the video probe lands on live itself.
        EXPECT_EQ(FindLpiLiveWindow(), live);
    }
}

TEST_F(LpiFinderTest, EachFailingCallEndsTheSearch) {
    const sim::Op ops[] = {sim::Op::FindWindowA, sim::Op::GetClientRect,
                           sim::Op::ChildWindowFromPoint, sim::Op::GetWindowTextA};
    for (sim::Op op : ops) {
        for (int nth = 1; nth <= 5; ++nth) {
            sim::Reset();
            BuildLpi();
            sim::FailCall(op, nth);
            long before = sim::CallCount(op);
            HWND found = FindLpiLiveWindow();
            bool faultHit = sim::CallCount(op) - before >= nth;
            EXPECT_EQ(found == nullptr, faultHit) << sim::OpName(op) << " #" << nth;
        }
    }
}

// A window that vanishes between two calls fails the search quietly; the
// caption buffer is emptied first, so a caption read of a dead window never
// compares bytes that were not written (run under valgrind as well).
TEST_F(LpiFinderTest, VanishingWindowsEndTheSearch) {
    sim::Reset();
    BuildLpi();
    FindLpiLiveWindow();
    const long callsPerSearch = sim::TotalCalls();
    const long videoProbe = callsPerSearch - 1;  // ChildWindowFromPoint into "Live"

    for (int level = 0; level < 5; ++level) {
        for (long after = 0; after <= callsPerSearch; ++after) {
            sim::Reset();
            LpiScene s = BuildLpi();
            HWND chain[] = {s.top, s.a, s.b, s.c, s.video};
            sim::DestroyAfterCalls(chain[level], static_cast<int>(after));
            HWND expected = nullptr;
            if (after == callsPerSearch)
                expected = s.video;
            else if (chain[level] == s.video && after < videoProbe)
                expected = s.c;  // nothing under the point: "Live" stands for itself
            EXPECT_EQ(FindLpiLiveWindow(), expected) << "level " << level << " after " << after;
        }
    }
}

TEST_F(LpiFinderTest, VanishedLiveWindowFailsTheCaptionTest) {
    LpiScene s = BuildLpi();
    // FindWindowA, then three GetClientRect + ChildWindowFromPoint pairs:
    // the "Live" window goes just before its caption is read.
    sim::DestroyAfterCalls(s.c, 7);
    EXPECT_EQ(FindLpiLiveWindow(), nullptr);
    EXPECT_EQ(sim::CallCount(sim::Op::GetWindowTextA), 1);
    EXPECT_EQ(sim::CallCount(sim::Op::GetWindow), 0);
}

}  // namespace
