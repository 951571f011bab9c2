"""Functions the 32-bit program may import: each is exported by the DLL of
that name on Windows XP (and on every later Windows). Add a name here only
after checking that XP's DLL exports it; a name missing from XP stops the
program from loading there at all.
"""

XP_IMPORTS = {
    'user32.dll': {
        # The shell: class, window, loop, painting, resources, About box.
        'RegisterClassExA', 'CreateWindowExA', 'SetWindowPos', 'ShowWindow', 'UpdateWindow',
        'SetTimer', 'GetMessageA', 'TranslateAcceleratorA', 'TranslateMessage',
        'DispatchMessageA', 'DefWindowProcA', 'DestroyWindow', 'PostQuitMessage', 'BeginPaint',
        'EndPaint', 'LoadStringA', 'LoadIconA', 'LoadCursorA', 'LoadAcceleratorsA',
        'DialogBoxParamA', 'EndDialog',
        # Finding the capture programs' windows.
        'FindWindowA', 'EnumWindows', 'GetWindowTextA', 'GetClientRect', 'ChildWindowFromPoint',
        'GetWindow', 'GetWindowThreadProcessId',
        # Drawing.
        'GetDC', 'ReleaseDC',
    },
    'gdi32.dll': {'GetStockObject', 'SelectObject', 'PolyPolyline'},
    'kernel32.dll': {
        # Tool Help: the capture programs' module lists.
        'CreateToolhelp32Snapshot', 'Module32First', 'Module32Next', 'CloseHandle',
        # The MinGW start-up code and its static runtime.
        'DeleteCriticalSection', 'EnterCriticalSection', 'InitializeCriticalSection',
        'LeaveCriticalSection', 'FreeLibrary', 'GetLastError', 'GetModuleHandleA',
        'GetProcAddress', 'GetStartupInfoA', 'LoadLibraryA', 'SetUnhandledExceptionFilter',
        'Sleep', 'TlsGetValue', 'VirtualProtect', 'VirtualQuery',
    },
    'msvcrt.dll': {
        # The MinGW start-up code against the system's msvcrt.dll.
        '__getmainargs', '__initenv', '__p__acmdln', '__p__commode', '__p__fmode',
        '__set_app_type', '__setusermatherr', '_amsg_exit', '_cexit', '_initterm', '_iob',
        '_onexit', 'abort', 'calloc', 'exit', 'fprintf', 'free', 'fwrite', 'malloc', 'signal',
        'strlen', 'strncmp', 'vfprintf',
        # The system's own code.
        'memcpy', 'strcmp', 'strstr',
    },
}
