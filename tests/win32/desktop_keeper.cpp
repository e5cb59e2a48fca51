// Holds Wine's desktop open for a whole test run. Without it, every test
// process that makes a window may be the one that starts the desktop, and
// when several do at once, one of them can be left without it: its windows
// then fail to be made. Started by the run's setup; ended with the server.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    // Making a window is what starts the desktop and ties this process to it.
    const HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    // The setup waits for this file before it lets the tests start.
    if (FILE* ready = std::fopen(argv[1], "w")) std::fclose(ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
