// The simulated window system must answer as the platform documents its
// calls; the finders' tests are only as good as these answers.
#include "tests/sim_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class SimPlatformTest : public SimTest {};

TEST_F(SimPlatformTest, ChildWindowFromPointTakesFirstChildInZOrderOrTheParent) {
    HWND parent = sim::AddWindow(nullptr, "parent", Rect(50, 50, 200, 100));
    HWND hidden = sim::AddWindow(parent, "hidden", Rect(0, 0, 50, 50), sim::HIDDEN);
    HWND disabled = sim::AddWindow(parent, "disabled", Rect(0, 0, 100, 50), sim::DISABLED);
    HWND plain = sim::AddWindow(parent, "plain", Rect(0, 0, 150, 100));

    struct Case {
        POINT point;
        HWND expected;
    };
    const Case cases[] = {
        {{10, 10}, hidden},      // hidden children are hit too
        {{49, 49}, hidden},      // last pixel inside
        {{50, 10}, disabled},    // right edge belongs to the next pixel
        {{100, 10}, plain},
        {{120, 60}, plain},
        {{150, 10}, parent},     // no child there: the parent itself
        {{199, 99}, parent},
        {{200, 50}, nullptr},    // outside the parent's client area
        {{10, 100}, nullptr},
        {{-1, 10}, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChildWindowFromPoint(parent, c.point), c.expected)
            << "point " << c.point.x << "," << c.point.y;

    // Removing the window found uncovers the next one in Z-order.
    POINT corner{5, 5};
    sim::DestroyWindow(hidden);
    EXPECT_EQ(ChildWindowFromPoint(parent, corner), disabled);
    sim::DestroyWindow(disabled);
    EXPECT_EQ(ChildWindowFromPoint(parent, corner), plain);
    sim::DestroyWindow(plain);
    EXPECT_EQ(ChildWindowFromPoint(parent, corner), parent);
    sim::DestroyWindow(parent);
    EXPECT_EQ(ChildWindowFromPoint(parent, corner), nullptr);
}

TEST_F(SimPlatformTest, GetWindowWalksSiblingsInCreationOrder) {
    HWND top = sim::AddWindow(nullptr, "top", Rect(0, 0, 100, 100));
    HWND first = sim::AddWindow(top, "1", Rect(0, 0, 10, 10));
    HWND second = sim::AddWindow(top, "2", Rect(0, 0, 10, 10));
    HWND third = sim::AddWindow(top, "3", Rect(0, 0, 10, 10));

    EXPECT_EQ(GetWindow(top, GW_CHILD), first);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), second);
    EXPECT_EQ(GetWindow(second, GW_HWNDNEXT), third);
    EXPECT_EQ(GetWindow(third, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetWindow(third, GW_CHILD), nullptr);

    sim::DestroyWindow(second);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), third);
    EXPECT_EQ(GetWindow(second, GW_HWNDNEXT), nullptr);
    sim::DestroyWindow(top);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), nullptr) << "children die with their parent";
}

TEST_F(SimPlatformTest, NewTopLevelWindowsGoOnTop) {
    HWND older = sim::AddWindow(nullptr, "Same", Rect(0, 0, 10, 10));
    HWND newer = sim::AddWindow(nullptr, "same", Rect(0, 0, 10, 10));
    EXPECT_EQ(GetWindow(newer, GW_HWNDNEXT), older);
    EXPECT_EQ(FindWindowA(nullptr, "SAME"), newer);
}

TEST_F(SimPlatformTest, FindWindowMatchesTheWholeTitleWithoutRegardToCase) {
    HWND lpi = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 10, 10), sim::HIDDEN);
    sim::AddWindow(nullptr, "Meade LPI 2", Rect(0, 0, 10, 10));

    const struct {
        const char* title;
        HWND expected;
    } cases[] = {
        {"Meade LPI", lpi}, {"meade lpi", lpi}, {"MEADE LPI", lpi},
        {"Meade LP", nullptr}, {"Meade LPI ", nullptr}, {"", nullptr},
    };
    for (const auto& c : cases) EXPECT_EQ(FindWindowA(nullptr, c.title), c.expected) << c.title;
}

TEST_F(SimPlatformTest, GetWindowTextCutsToCapacityAndSparesTheBufferOfAVanishedWindow) {
    HWND w = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 10, 10));
    const struct {
        int capacity;
        int length;
        const char* text;
    } cases[] = {
        {31, 17, "AutoStar Envisage"},
        {18, 17, "AutoStar Envisage"},
        {17, 16, "AutoStar Envisag"},
        {5, 4, "Auto"},
        {1, 0, ""},
    };
    for (const auto& c : cases) {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetWindowTextA(w, buffer, c.capacity), c.length);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(buffer[c.length + 1], 'x') << "wrote past the terminator";
    }

    sim::DestroyWindow(w);
    char buffer[8] = "stale";
    EXPECT_EQ(GetWindowTextA(w, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "stale");
}

TEST_F(SimPlatformTest, GetClientRectIsAtTheOriginWithTheWindowsSize) {
    HWND top = sim::AddWindow(nullptr, "top", Rect(30, 40, 640, 480));
    HWND child = sim::AddWindow(top, "child", Rect(7, 9, 500, 350));
    RECT r{-1, -1, -1, -1};
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 500);
    EXPECT_EQ(r.bottom, 350);
    sim::DestroyWindow(top);
    EXPECT_FALSE(GetClientRect(child, &r));
}

TEST_F(SimPlatformTest, InjectedFaultsHitTheChosenCallOnly) {
    HWND w = sim::AddWindow(nullptr, "w", Rect(0, 0, 10, 10));
    RECT r;
    sim::FailCall(sim::Op::GetClientRect, 2);
    EXPECT_TRUE(GetClientRect(w, &r));
    EXPECT_FALSE(GetClientRect(w, &r));
    EXPECT_TRUE(GetClientRect(w, &r));

    sim::FailAlways(sim::Op::GetDC);
    EXPECT_EQ(GetDC(w), nullptr);
    EXPECT_EQ(GetDC(w), nullptr);
    EXPECT_EQ(sim::CallCount(sim::Op::GetDC), 2);
}

TEST_F(SimPlatformTest, ScheduledDestructionFollowsTheNthCall) {
    HWND w = sim::AddWindow(nullptr, "w", Rect(0, 0, 10, 10));
    RECT r;
    sim::DestroyAfterCalls(w, 2);
    EXPECT_TRUE(GetClientRect(w, &r));
    EXPECT_TRUE(GetClientRect(w, &r));
    EXPECT_FALSE(GetClientRect(w, &r));
    EXPECT_FALSE(sim::IsAlive(w));
}

TEST_F(SimPlatformTest, DeviceContextsAreAccountedAndRecordTheirPen) {
    HWND w = sim::AddWindow(nullptr, "w", Rect(0, 0, 10, 10));
    HDC dc = GetDC(w);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(sim::OpenDCs(), 1);
    HGDIOBJ white = GetStockObject(WHITE_PEN);
    HGDIOBJ previous = SelectObject(dc, white);
    EXPECT_EQ(previous, sim::StockObject(BLACK_PEN));
    const POINT points[2] = {{0, 0}, {5, 5}};
    const DWORD one[1] = {1};
    const DWORD two[1] = {2};
    EXPECT_FALSE(PolyPolyline(dc, points, one, 1)) << "a polyline needs two points";
    EXPECT_TRUE(PolyPolyline(dc, points, two, 1));
    ASSERT_EQ(sim::Drawings().size(), 1u);
    EXPECT_EQ(sim::Drawings()[0].window, w);
    EXPECT_EQ(sim::Drawings()[0].pen, white);
    SelectObject(dc, previous);

    sim::DestroyWindow(w);
    EXPECT_EQ(ReleaseDC(w, dc), 1) << "released by its handle after the window died";
    EXPECT_EQ(ReleaseDC(w, dc), 0);
    EXPECT_EQ(GetDC(w), nullptr);
}

// Every module name in load order, as Module32First/Next hand them out.
std::vector<std::string> ModuleNames(DWORD processId) {
    std::vector<std::string> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return names;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        names.emplace_back(entry.szModule);
    CloseHandle(snapshot);
    return names;
}

TEST_F(SimPlatformTest, ModuleNamesComeBackAsLoadedCutTo255Characters) {
    const std::string name255 = std::string(251, 'a') + ".dll";
    const std::string name300 = std::string(296, 'B') + ".DLL";
    const struct {
        std::string given;
        std::string expected;
    } cases[] = {
        {"dsicapture.exe", "dsicapture.exe"},
        {"AutoStar_Envisage.EXE", "AutoStar_Envisage.EXE"},
        {"\xc9nvisage-\xe9t\xe9.dll", "\xc9nvisage-\xe9t\xe9.dll"},  // bytes above 127 as given
        {name255, name255},
        {name300, name300.substr(0, MAX_MODULE_NAME32)},
        {"", ""},
    };
    std::vector<std::string> given, expected;
    for (const auto& c : cases) {
        given.push_back(c.given);
        expected.push_back(c.expected);
    }
    sim::AddProcess(40, given);
    std::vector<std::string> actual = ModuleNames(40);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "entry " << i;
}

TEST_F(SimPlatformTest, ModuleRecordsSmallerThanTheirTypeAreRefused) {
    sim::AddProcess(40, {"first.exe", "second.dll", "third.dll"});
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 40);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    MODULEENTRY32 entry;
    const DWORD sizes[] = {0, 4, sizeof entry - 1};
    for (DWORD size : sizes) {
        entry.dwSize = size;
        EXPECT_FALSE(Module32First(snapshot, &entry)) << "dwSize " << size;
        EXPECT_FALSE(Module32Next(snapshot, &entry)) << "dwSize " << size;
    }
    // Refused calls leave the position alone, and the position starts at
    // the first entry even without Module32First.
    entry.dwSize = sizeof entry;
    ASSERT_TRUE(Module32Next(snapshot, &entry));
    EXPECT_STREQ(entry.szModule, "first.exe");
    ASSERT_TRUE(Module32Next(snapshot, &entry));
    EXPECT_STREQ(entry.szModule, "second.dll");
    ASSERT_TRUE(Module32First(snapshot, &entry));
    EXPECT_STREQ(entry.szModule, "first.exe");
    ASSERT_TRUE(Module32Next(snapshot, &entry));
    ASSERT_TRUE(Module32Next(snapshot, &entry));
    EXPECT_STREQ(entry.szModule, "third.dll");
    EXPECT_FALSE(Module32Next(snapshot, &entry));
    EXPECT_FALSE(Module32Next(snapshot, &entry));
    EXPECT_TRUE(CloseHandle(snapshot));
}

TEST_F(SimPlatformTest, SnapshotsAreTakenOnlyOfLiveReachableProcesses) {
    sim::AddProcess(40, {"live.exe"});
    sim::AddProcess(41, {"gone.exe"});
    sim::EndProcess(41);
    sim::AddProcess(42, {"other-user.exe"});
    sim::DenySnapshots(42);
    sim::AddProcess(sim::CURRENT_PROCESS_ID, {"self.exe"});

    const struct {
        DWORD flags;
        DWORD processId;
        bool taken;
        std::vector<std::string> modules;
    } cases[] = {
        {TH32CS_SNAPMODULE, 40, true, {"live.exe"}},
        {TH32CS_SNAPMODULE, 41, false, {}},
        {TH32CS_SNAPMODULE, 42, false, {}},
        {TH32CS_SNAPMODULE, 43, false, {}},  // never existed
        {TH32CS_SNAPMODULE, 0, true, {"self.exe"}},  // 0 is the calling process
        {TH32CS_SNAPPROCESS, 41, true, {}},  // the process id is not used
        {0, 40, false, {}},
    };
    for (const auto& c : cases) {
        HANDLE snapshot = CreateToolhelp32Snapshot(c.flags, c.processId);
        EXPECT_EQ(snapshot != INVALID_HANDLE_VALUE, c.taken)
            << "flags " << c.flags << ", process " << c.processId;
        if (snapshot == INVALID_HANDLE_VALUE) continue;
        EXPECT_EQ(sim::OpenSnapshots(), 1);
        MODULEENTRY32 entry;
        entry.dwSize = sizeof entry;
        std::vector<std::string> names;
        for (BOOL more = Module32First(snapshot, &entry); more;
             more = Module32Next(snapshot, &entry))
            names.emplace_back(entry.szModule);
        EXPECT_EQ(names, c.modules) << "process " << c.processId;
        EXPECT_TRUE(CloseHandle(snapshot));
        EXPECT_FALSE(CloseHandle(snapshot)) << "closed twice";
    }
}

TEST_F(SimPlatformTest, ASnapshotKeepsTheModulesOfItsMoment) {
    sim::AddProcess(40, {"one.exe"});
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 40);
    sim::EndProcess(40);
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    EXPECT_TRUE(Module32First(snapshot, &entry)) << "the process ended after the snapshot";
    CloseHandle(snapshot);
    EXPECT_EQ(sim::OpenSnapshots(), 0);
}

TEST_F(SimPlatformTest, GetWindowThreadProcessIdFillsTheSlotOfLiveWindowsOnly) {
    HWND top = sim::AddWindow(nullptr, "top", Rect(0, 0, 10, 10), 0, 40);
    HWND child = sim::AddWindow(top, "child", Rect(0, 0, 5, 5));
    HWND ownerless = sim::AddWindow(nullptr, "ownerless", Rect(0, 0, 10, 10));
    HWND gone = sim::AddWindow(nullptr, "gone", Rect(0, 0, 10, 10), 0, 41);
    sim::DestroyWindow(gone);

    const struct {
        HWND window;
        DWORD slot;  // after the call, starting from 77
        bool threadFound;
    } cases[] = {
        {top, 40, true}, {child, 40, true}, {ownerless, 0, true}, {gone, 77, false},
    };
    for (const auto& c : cases) {
        DWORD slot = 77;
        DWORD thread = GetWindowThreadProcessId(c.window, &slot);
        EXPECT_EQ(slot, c.slot);
        EXPECT_EQ(thread != 0, c.threadFound);
    }
}

TEST_F(SimPlatformTest, EnumWindowsListsTopLevelWindowsFirstAndStopsOnFalse) {
    struct Visit {
        std::vector<HWND> seen;
        size_t stopAt;
    };
    auto record = [](HWND window, LPARAM param) -> BOOL {
        auto* visit = reinterpret_cast<Visit*>(param);
        visit->seen.push_back(window);
        if (visit->seen.size() == 1) sim::AddWindow(nullptr, "late", Rect(0, 0, 1, 1));
        return visit->seen.size() == visit->stopAt ? FALSE : TRUE;
    };
    const struct {
        size_t stopAt;
        BOOL result;
        int seen;  // how many of top, middle, bottom were offered
    } cases[] = {
        {0, TRUE, 3},  // windows made meanwhile are not offered
        {1, FALSE, 1},
        {2, FALSE, 2},
        {3, FALSE, 3},
    };
    for (const auto& c : cases) {
        sim::Reset();
        HWND bottom = sim::AddWindow(nullptr, "bottom", Rect(0, 0, 10, 10));
        HWND middle = sim::AddWindow(nullptr, "middle", Rect(0, 0, 10, 10), sim::HIDDEN);
        HWND top = sim::AddWindow(nullptr, "top", Rect(0, 0, 10, 10));
        sim::AddWindow(top, "child", Rect(0, 0, 5, 5));
        const std::vector<HWND> order = {top, middle, bottom};

        Visit visit{{}, c.stopAt};
        EXPECT_EQ(EnumWindows(record, reinterpret_cast<LPARAM>(&visit)), c.result);
        std::vector<HWND> seen;
        for (HWND w : visit.seen)
            if (w == top || w == middle || w == bottom) seen.push_back(w);
        EXPECT_EQ(visit.seen.size(), seen.size()) << "offered a window made during the walk";
        EXPECT_EQ(seen, std::vector<HWND>(order.begin(), order.begin() + c.seen))
            << "stop at " << c.stopAt;
    }
}

}  // namespace
