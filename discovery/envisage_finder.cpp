// The Envisage program's top-level window is titled "AutoStar Envisage" and
// its process has loaded a module whose name contains "ENVISAGE". Its main
// live view is four levels down under the middle of each parent. The panel
// holding it is followed by sibling panels, each with a video window as its
// first child and, next to that, a label captioned "TRACKING" in any case.
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "discovery/process_filter.h"

namespace {

constexpr int LABEL_BUFFER_SIZE = 32;
constexpr int LABEL_CAPACITY = 31;

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(const char* text, const char* upperWord) {
    for (; *text && *upperWord; ++text, ++upperWord)
        if (AsciiUpper(*text) != *upperWord) return false;
    return *text == *upperWord;
}

bool IsTrackingLabel(HWND label) {
    char caption[LABEL_BUFFER_SIZE];
    ReadCaption(label, caption, LABEL_CAPACITY);
    return EqualsIgnoringAsciiCase(caption, "TRACKING");
}

}  // namespace

BOOL CALLBACK EnvisageProcessFilter(HWND window, LPARAM slot) {
    HANDLE snapshot = OpenEnvisageTitledSnapshot(window);
    if (!snapshot) return TRUE;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    // Any module will do; the walk stops at the first that matches.
    BOOL found = Module32First(snapshot, &entry);
    while (found && !ModuleNameContains(entry, "ENVISAGE"))
        found = Module32Next(snapshot, &entry);
    bool matches = found != FALSE;
    CloseHandle(snapshot);
    if (!matches) return TRUE;
    *reinterpret_cast<HWND*>(slot) = window;
    return FALSE;
}

int FindEnvisageLiveWindows(HWND list[ENVISAGE_LIST_SIZE]) {
    HWND top = nullptr;
    EnumWindows(EnvisageProcessFilter, reinterpret_cast<LPARAM>(&top));
    if (!top) return 0;
    HWND panel = DescendByCenters(top, CENTER_DESCENT_DEPTH);
    if (!panel) return 0;
    HWND video = ChildAtCenter(panel);
    if (!video || !IsVideoSized(video)) return 0;
    list[0] = video;
    int gathered = 1;

    // When nothing covers the middle, the descent stays on the top-level
    // window itself, and its next siblings are other programs' windows:
    // there are no tracking panels to walk then.
    if (panel == top) return gathered;

    // Any panel that does not fit ends the walk; what was gathered stands.
    while (gathered < MAX_ENVISAGE_SLOTS) {
        panel = GetWindow(panel, GW_HWNDNEXT);
        if (!panel) break;
        video = GetWindow(panel, GW_CHILD);
        if (!video || !IsVideoSized(video)) break;
        HWND label = GetWindow(video, GW_HWNDNEXT);
        if (!label || !IsTrackingLabel(label)) break;
        list[gathered++] = video;
    }
    // The last tracking window gathered is not among those drawn.
    return gathered <= 1 ? gathered : gathered - 1;
}
