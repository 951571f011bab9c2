// The simulated window system's answers that the conformance scenes
// (e2e/conformance/) cannot hold to Wine's, named by the tests below. Every
// other answer the finders rely on is compared with Wine's there.
#include "tests/sim_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class SimPlatformTest : public SimTest {};

TEST_F(SimPlatformTest, FaultsAndScheduledDestructionsHitTheChosenCallOnly) {
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

    sim::DestroyAfterCalls(w, 2);
    EXPECT_TRUE(GetClientRect(w, &r));
    EXPECT_TRUE(GetClientRect(w, &r));
    EXPECT_FALSE(GetClientRect(w, &r));
    EXPECT_FALSE(sim::IsAlive(w));
}

// What the pass checks read: open and peak contexts and snapshots, pens,
// drawings, and the successful client reads in call order until cleared.
TEST_F(SimPlatformTest, ContextsSnapshotsDrawingsAndReadsAreAccounted) {
    HWND w = sim::AddWindow(nullptr, "w", Rect(5, 5, 640, 480));
    sim::AddProcess(7, {"a.exe"});
    RECT r;
    GetClientRect(w, &r);
    sim::FailCall(sim::Op::GetClientRect);
    GetClientRect(w, &r);
    HDC dc = GetDC(w), other = GetDC(w);
    CloseHandle(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 7));
    EXPECT_EQ(sim::OpenDCs(), 2);
    HGDIOBJ white = GetStockObject(WHITE_PEN);
    HGDIOBJ previous = SelectObject(dc, white);
    EXPECT_EQ(previous, sim::StockObject(BLACK_PEN));
    const POINT points[2] = {{0, 0}, {5, 5}};
    const DWORD one[1] = {1}, two[1] = {2};
    EXPECT_FALSE(PolyPolyline(dc, points, one, 1)) << "a polyline needs two points";
    EXPECT_TRUE(PolyPolyline(dc, points, two, 1));
    SelectObject(dc, previous);
    ReleaseDC(w, other);
    sim::DestroyWindow(w);
    EXPECT_EQ(ReleaseDC(w, dc), 1) << "released by its handle after the window died";
    EXPECT_EQ(ReleaseDC(w, dc), 0);
    EXPECT_EQ(GetDC(w), nullptr);
    EXPECT_EQ(sim::PeakOpenDCs(), 2);
    EXPECT_EQ(sim::PeakOpenSnapshots(), 1);

    ASSERT_EQ(sim::Drawings().size(), 1u);
    EXPECT_EQ(sim::Drawings()[0].window, w);
    EXPECT_EQ(sim::Drawings()[0].pen, white);
    const auto& answers = sim::ClientRectAnswers();
    ASSERT_EQ(answers.size(), 1u) << "a failed read was recorded";
    EXPECT_EQ(answers[0].window, w);
    EXPECT_EQ(answers[0].rect.right, 640);
    EXPECT_EQ(answers[0].rect.bottom, 480);
    EXPECT_EQ(answers[0].call, 1);
    EXPECT_GT(sim::Drawings()[0].call, answers[0].call);
    sim::ClearRecords();
    EXPECT_TRUE(sim::ClientRectAnswers().empty());
    EXPECT_TRUE(sim::Drawings().empty());
    EXPECT_GT(sim::TotalCalls(), 0) << "clearing records keeps the counts";
    sim::Reset();
    EXPECT_EQ(sim::PeakOpenDCs(), 0);
}

// The module names a snapshot of the process hands out, or "(no snapshot)".
std::vector<std::string> ModuleNames(DWORD processId) {
    std::vector<std::string> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return {"(no snapshot)"};
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry))
        names.emplace_back(entry.szModule);
    EXPECT_TRUE(CloseHandle(snapshot));
    EXPECT_FALSE(CloseHandle(snapshot)) << "closed twice";
    return names;
}

// Names come back as loaded, bytes above 127 as given, cut to the record's
// 255 characters; only live processes of this user can be read, and 0
// stands for the calling process.
TEST_F(SimPlatformTest, SnapshotsListTheModulesOfLiveReadableProcesses) {
    const std::string name255 = std::string(251, 'a') + ".dll";
    const std::string name300 = std::string(296, 'B') + ".DLL";
    const std::vector<std::string> loaded = {"dsicapture.exe", "\xc9nvisage-\xe9t\xe9.dll",
                                             name255, name300, ""};
    std::vector<std::string> read = loaded;
    read[3] = name300.substr(0, MAX_MODULE_NAME32);
    sim::AddProcess(40, loaded);
    sim::AddProcess(41, {"gone.exe"});
    sim::EndProcess(41);
    sim::AddProcess(42, {"other-user.exe"});
    sim::DenySnapshots(42);
    sim::AddProcess(sim::CURRENT_PROCESS_ID, {"self.exe"});
    const struct {
        DWORD processId;
        std::vector<std::string> modules;
    } cases[] = {
        {40, read}, {41, {"(no snapshot)"}}, {42, {"(no snapshot)"}}, {43, {"(no snapshot)"}},
        {0, {"self.exe"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ModuleNames(c.processId), c.modules) << c.processId;
    EXPECT_EQ(CreateToolhelp32Snapshot(0, 40), INVALID_HANDLE_VALUE);
}

// Records smaller than their type are refused and leave the position
// alone; the position starts at the first entry even without
// Module32First; a snapshot outlives its process.
TEST_F(SimPlatformTest, ModuleRecordsAreHandedOutInTurnFromTheSnapshotsMoment) {
    sim::AddProcess(40, {"first.exe", "second.dll", "third.dll"});
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 40);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    sim::EndProcess(40);
    MODULEENTRY32 entry;
    for (DWORD size : {DWORD{0}, DWORD{4}, DWORD{sizeof entry - 1}}) {
        entry.dwSize = size;
        EXPECT_FALSE(Module32First(snapshot, &entry)) << "dwSize " << size;
        EXPECT_FALSE(Module32Next(snapshot, &entry)) << "dwSize " << size;
    }
    entry.dwSize = sizeof entry;
    std::string order;
    for (auto step : {Module32Next, Module32Next, Module32First, Module32Next, Module32Next,
                      Module32Next, Module32Next})
        order += step(snapshot, &entry) ? std::string(entry.szModule) + " " : "- ";
    EXPECT_EQ(order, "first.exe second.dll first.exe second.dll third.dll - - ");
    EXPECT_TRUE(CloseHandle(snapshot));
}

// EnumWindows offers the top-level windows listed when it was called, top
// first, and gives FALSE as soon as the filter does.
TEST_F(SimPlatformTest, EnumWindowsOffersTheWindowsOfItsMomentUntilTheFilterStops) {
    struct Visit {
        std::vector<HWND> seen;
        size_t stopAt;
    };
    auto record = [](HWND window, LPARAM param) -> BOOL {
        auto* visit = reinterpret_cast<Visit*>(param);
        visit->seen.push_back(window);
        sim::AddWindow(nullptr, "late", Rect(0, 0, 1, 1));
        return visit->seen.size() == visit->stopAt ? FALSE : TRUE;
    };
    HWND bottom = sim::AddWindow(nullptr, "bottom", Rect(0, 0, 10, 10));
    HWND top = sim::AddWindow(nullptr, "top", Rect(0, 0, 10, 10));
    sim::AddWindow(top, "child", Rect(0, 0, 5, 5));
    Visit all{{}, 0}, one{{}, 1};
    EXPECT_TRUE(EnumWindows(record, reinterpret_cast<LPARAM>(&all)));
    EXPECT_EQ(all.seen, (std::vector<HWND>{top, bottom}));
    EXPECT_FALSE(EnumWindows(record, reinterpret_cast<LPARAM>(&one)));
    EXPECT_EQ(one.seen.size(), 1u);
}

// A caption read writes the caption cut to the buffer and its terminator,
// nothing past them; for a window that is gone it leaves the buffer
// unwritten, the harshest answer the platform allows (Wine empties it).
TEST_F(SimPlatformTest, CaptionReadsWriteNothingPastTheTerminatorNorForAGoneWindow) {
    HWND w = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 10, 10));
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    const std::string cut("Auto\0xxx", sizeof buffer);
    EXPECT_EQ(GetWindowTextA(w, buffer, 5), 4);
    EXPECT_EQ(std::string(buffer, sizeof buffer), cut);
    sim::DestroyWindow(w);
    EXPECT_EQ(GetWindowTextA(w, buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer, sizeof buffer), cut);
}

}  // namespace
