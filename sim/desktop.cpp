// The simulated desktop the overlay searches and draws on, in plain tables,
// answering the window-tree, Tool Help and drawing calls of sim/win32.h as
// the platform documents them, down to the failure values.
#include "sim/state.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace sim {
namespace {

constexpr std::uintptr_t WINDOW_BASE = 0x10000;
constexpr std::uintptr_t STOCK_BASE = 0x90000;

WindowRec& At(int index) { return S().windows[static_cast<size_t>(index)]; }

int IndexOf(HWND window) {
    return static_cast<int>((reinterpret_cast<std::uintptr_t>(window) - WINDOW_BASE) / 4);
}

void DestroyIndex(int index) {
    WindowRec& w = At(index);
    if (!w.alive) return;
    for (int child : std::vector<int>(w.children)) DestroyIndex(child);
    w.alive = false;
    std::vector<int>& siblings = w.parent < 0 ? S().topLevel : At(w.parent).children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), index), siblings.end());
}

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The record behind a device context or snapshot handle, or null.
template <typename Rec>
Rec* Find(std::map<std::uintptr_t, Rec>& table, const void* handle) {
    auto it = table.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == table.end() ? nullptr : &it->second;
}

bool IsPen(HGDIOBJ object) {
    return object == StockObject(WHITE_PEN) || object == StockObject(BLACK_PEN) ||
           object == StockObject(NULL_PEN);
}

// Hands out the snapshot's next entry (its first when `rewind`) as Tool Help
// does: the name cut to the field and always terminated, and a record smaller
// than its type refused, leaving the position alone.
BOOL NextModuleEntry(HANDLE snapshot, LPMODULEENTRY32 entry, bool rewind) {
    SnapshotRec* snap = Find(S().snapshots, snapshot);
    if (!snap || !entry || entry->dwSize < sizeof(MODULEENTRY32)) return FALSE;
    if (rewind) snap->next = 0;
    if (snap->next >= snap->modules.size()) return FALSE;
    const std::string& name = snap->modules[snap->next++];
    entry->th32ModuleID = 1;
    entry->th32ProcessID = snap->processId;
    entry->GlblcntUsage = 0xFFFF;
    entry->ProccntUsage = 0xFFFF;
    entry->modBaseAddr = nullptr;
    entry->modBaseSize = 0x1000;
    entry->hModule = nullptr;
    CopyText(name, entry->szModule, sizeof entry->szModule);
    CopyText("C:\\Program Files\\" + name, entry->szExePath, sizeof entry->szExePath);
    return TRUE;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualIgnoringCase(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

HDC OpenDc(HWND window) {
    std::uintptr_t handle = S().nextDc;
    S().nextDc += 4;
    S().dcs[handle] = DcRec{window, StockObject(BLACK_PEN)};
    S().peakDCs = std::max(S().peakDCs, OpenDCs());
    return reinterpret_cast<HDC>(handle);
}

bool CloseDc(HDC dc) {
    DcRec* rec = Find(S().dcs, dc);
    if (!rec) return false;
    if (rec->pen != StockObject(BLACK_PEN)) ++S().penLeftSelected;
    S().dcs.erase(reinterpret_cast<std::uintptr_t>(dc));
    return true;
}

int CopyText(const std::string& text, char* buffer, size_t capacity) {
    size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

HWND HandleOf(int index) {
    return reinterpret_cast<HWND>(WINDOW_BASE + 4 * static_cast<std::uintptr_t>(index));
}

WindowRec* Lookup(HWND window) {
    auto value = reinterpret_cast<std::uintptr_t>(window);
    size_t index = (value - WINDOW_BASE) / 4;
    if (value < WINDOW_BASE || value % 4 != 0 || index >= S().windows.size()) return nullptr;
    return S().windows[index].alive ? &S().windows[index] : nullptr;
}

HWND AddWindow(HWND parent, const std::string& caption, RECT rect, unsigned flags,
               DWORD processId) {
    State& s = S();
    WindowRec rec;
    rec.caption = caption;
    rec.rect = rect;
    rec.flags = flags;
    rec.processId = processId;
    int index = static_cast<int>(s.windows.size());
    if (parent) {
        WindowRec* p = Lookup(parent);
        if (!p) return nullptr;
        rec.parent = IndexOf(parent);
        rec.processId = p->processId;
        p->children.push_back(index);
    } else {
        s.topLevel.insert(s.topLevel.begin(), index);
    }
    s.windows.push_back(std::move(rec));
    return HandleOf(index);
}

void DestroyWindow(HWND window) {
    if (Lookup(window)) DestroyIndex(IndexOf(window));
}

void SetCaption(HWND window, const std::string& caption) {
    if (WindowRec* w = Lookup(window)) w->caption = caption;
}

bool IsAlive(HWND window) { return Lookup(window) != nullptr; }

void AddProcess(DWORD processId, std::vector<std::string> modules) {
    S().processes[processId] = ProcessRec{std::move(modules), false, false};
}

void EndProcess(DWORD processId) { S().processes[processId].ended = true; }

void DenySnapshots(DWORD processId) { S().processes[processId].denied = true; }

int OpenDCs() { return static_cast<int>(S().dcs.size()); }

int OpenSnapshots() { return static_cast<int>(S().snapshots.size()); }

int DCsReleasedWithPenSelected() { return S().penLeftSelected; }

const std::vector<Drawing>& Drawings() { return S().drawings; }

void SetRecordDrawings(bool record) { S().recordDrawings = record; }

const std::vector<ClientRectAnswer>& ClientRectAnswers() { return S().clientRects; }

int PeakOpenDCs() { return S().peakDCs; }

int PeakOpenSnapshots() { return S().peakSnapshots; }

HGDIOBJ StockObject(int index) {
    return reinterpret_cast<HGDIOBJ>(STOCK_BASE + 4 * static_cast<std::uintptr_t>(index));
}

}  // namespace sim

using sim::Op;

// FindWindowA(NULL, title): the topmost top-level window whose whole title
// matches without regard to case, hidden or not. There are no window classes.
HWND WINAPI FindWindowA(LPCSTR, LPCSTR windowName) {
    sim::PlatformCall call(Op::FindWindowA);
    if (call.Fails()) return nullptr;
    for (int index : sim::S().topLevel)
        if (!windowName || sim::EqualIgnoringCase(sim::At(index).caption, windowName))
            return sim::HandleOf(index);
    return nullptr;
}

// The handles are listed before the first call back, as the platform does,
// so a window destroyed during the enumeration is still offered.
BOOL WINAPI EnumWindows(WNDENUMPROC filter, LPARAM param) {
    sim::PlatformCall call(Op::EnumWindows);
    if (call.Fails()) return FALSE;
    for (int index : std::vector<int>(sim::S().topLevel))
        if (!sim::Outside([&] { return filter(sim::HandleOf(index), param); })) return FALSE;
    return TRUE;
}

// For a handle that is no longer valid the buffer is left as it was: the
// platform promises only the result 0, and Wine happens to empty the buffer
// first. Leaving it unwritten is the harshest answer a caller can get.
int WINAPI GetWindowTextA(HWND window, LPSTR text, int capacity) {
    sim::PlatformCall call(Op::GetWindowTextA);
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w || !text || capacity <= 0) return 0;
    return sim::CopyText(w->caption, text, static_cast<size_t>(capacity));
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    sim::PlatformCall call(Op::GetClientRect);
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    if (sim::S().recordDrawings)
        sim::S().clientRects.push_back(sim::ClientRectAnswer{window, *rect, sim::TotalCalls()});
    return TRUE;
}

// The first child in Z-order whose rectangle holds the point, hidden and
// disabled ones included; the parent itself when none does; no window when
// the point lies outside the parent's client area.
HWND WINAPI ChildWindowFromPoint(HWND parent, POINT point) {
    sim::PlatformCall call(Op::ChildWindowFromPoint);
    sim::WindowRec* p = sim::Lookup(parent);
    if (call.Fails() || !p) return nullptr;
    RECT client{0, 0, p->rect.right - p->rect.left, p->rect.bottom - p->rect.top};
    if (!sim::Contains(client, point)) return nullptr;
    for (int child : p->children)
        if (sim::Contains(sim::At(child).rect, point))
            return sim::HandleOf(child);
    return parent;
}

HWND WINAPI GetWindow(HWND window, UINT relation) {
    sim::PlatformCall call(Op::GetWindow);
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w) return nullptr;
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : sim::HandleOf(w->children.front());
    if (relation != GW_HWNDNEXT) return nullptr;  // the only other relation the system asks for
    const auto& siblings = w->parent < 0 ? sim::S().topLevel : sim::At(w->parent).children;
    auto at = std::find(siblings.begin(), siblings.end(), sim::IndexOf(window));
    return at + 1 == siblings.end() ? nullptr : sim::HandleOf(*(at + 1));
}

// For an invalid handle the process slot is left as it was.
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    sim::PlatformCall call(Op::GetWindowThreadProcessId);
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w) return 0;
    if (processId) *processId = w->processId;
    return w->processId + 1;
}

// Process 0 stands for the calling process. Only module lists are modelled:
// a snapshot without them is refused.
HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    sim::PlatformCall call(Op::CreateToolhelp32Snapshot);
    if (call.Fails() || !(flags & TH32CS_SNAPMODULE)) return INVALID_HANDLE_VALUE;
    if (processId == 0) processId = sim::CURRENT_PROCESS_ID;
    auto it = sim::S().processes.find(processId);
    if (it == sim::S().processes.end() || it->second.ended || it->second.denied)
        return INVALID_HANDLE_VALUE;
    std::uintptr_t handle = sim::S().nextSnapshot;
    sim::S().nextSnapshot += 4;
    sim::S().snapshots[handle] = sim::SnapshotRec{processId, it->second.modules, 0};
    sim::S().peakSnapshots = std::max(sim::S().peakSnapshots, sim::OpenSnapshots());
    return reinterpret_cast<HANDLE>(handle);
}

// The position starts at the first entry, so Module32Next without
// Module32First hands that one out.
BOOL WINAPI Module32First(HANDLE snapshot, LPMODULEENTRY32 entry) {
    sim::PlatformCall call(Op::Module32First);
    return !call.Fails() && sim::NextModuleEntry(snapshot, entry, true);
}

BOOL WINAPI Module32Next(HANDLE snapshot, LPMODULEENTRY32 entry) {
    sim::PlatformCall call(Op::Module32Next);
    return !call.Fails() && sim::NextModuleEntry(snapshot, entry, false);
}

BOOL WINAPI CloseHandle(HANDLE object) {
    sim::PlatformCall call(Op::CloseHandle);
    return !call.Fails() && sim::S().snapshots.erase(reinterpret_cast<std::uintptr_t>(object));
}

// GetDC(NULL) gives a context on the screen.
HDC WINAPI GetDC(HWND window) {
    sim::PlatformCall call(Op::GetDC);
    if (call.Fails() || (window && !sim::Lookup(window))) return nullptr;
    return sim::OpenDc(window);
}

// The context is found by its handle: it is released even when its window
// has been destroyed in the meantime.
int WINAPI ReleaseDC(HWND, HDC dc) {
    sim::PlatformCall call(Op::ReleaseDC);
    return !call.Fails() && sim::CloseDc(dc) ? 1 : 0;
}

HGDIOBJ WINAPI GetStockObject(int index) {
    sim::PlatformCall call(Op::GetStockObject);
    if (call.Fails() || index < 0 || index > STOCK_LAST || index == 9) return nullptr;
    return sim::StockObject(index);
}

// Only pens are modelled; selecting anything else fails.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    sim::PlatformCall call(Op::SelectObject);
    sim::DcRec* rec = sim::Find(sim::S().dcs, dc);
    if (call.Fails() || !rec || !sim::IsPen(object)) return nullptr;
    HGDIOBJ previous = rec->pen;
    rec->pen = object;
    return previous;
}

// Every polyline needs at least two points, as on the platform.
BOOL WINAPI PolyPolyline(HDC dc, const POINT* points, const DWORD* counts, DWORD polylines) {
    sim::PlatformCall call(Op::PolyPolyline);
    sim::DcRec* rec = sim::Find(sim::S().dcs, dc);
    if (call.Fails() || !rec || !points || !counts || polylines == 0) return FALSE;
    if (std::any_of(counts, counts + polylines, [](DWORD n) { return n < 2; })) return FALSE;
    size_t total = std::accumulate(counts, counts + polylines, size_t{0});
    if (sim::S().recordDrawings)
        sim::S().drawings.push_back(sim::Drawing{rec->window, rec->pen,
                                                 std::vector<POINT>(points, points + total),
                                                 std::vector<DWORD>(counts, counts + polylines),
                                                 sim::TotalCalls()});
    return TRUE;
}
