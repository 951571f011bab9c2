#include "discovery/process_filter.h"

#include "discovery/probing.h"

#include <cstring>

HANDLE OpenEnvisageTitledSnapshot(HWND window) {
    char title[TITLE_BUFFER_SIZE];
    ReadCaption(window, title, TITLE_CAPACITY);
    if (std::strcmp(title, "AutoStar Envisage") != 0) return nullptr;

    // The slot is left as it was when the window has gone, so it starts at 0.
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return nullptr;

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
    return snapshot;
}

bool ModuleNameContains(const MODULEENTRY32& entry, const char* upperNeedle) {
    // Only a to z are mapped: bytes above 127 belong to the code page and
    // must not pass through the C library's locale-dependent toupper.
    char name[MODULE_NAME_BUFFER_SIZE];
    size_t length = 0;
    while (length < sizeof entry.szModule && length < sizeof name - 1 &&
           entry.szModule[length] != '\0') {
        char c = entry.szModule[length];
        name[length] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        ++length;
    }
    name[length] = '\0';
    return std::strstr(name, upperNeedle) != nullptr;
}
