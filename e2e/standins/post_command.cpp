// Posts WM_COMMAND with a command id to the first top-level window of a
// class, as a menu pick would: post_command.exe CLASS ID. Exit code 0 when
// posted, 1 when there is no such window, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: post_command.exe CLASS ID\n");
        return 2;
    }
    HWND window = FindWindowA(argv[1], nullptr);
    if (!window) return 1;
    WPARAM command = static_cast<WPARAM>(std::strtoul(argv[2], nullptr, 0));
    return PostMessageA(window, WM_COMMAND, command, 0) ? 0 : 1;
}
