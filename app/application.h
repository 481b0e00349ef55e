#pragma once
// The running program: single instance, folders, the UI platform, the device
// manager and its scan thread, the local message bus, signals, and the orderly
// shutdown (workers stopped, files written) however the program is asked to end.

#include <functional>

namespace q731 {

class CMainWnd;

// Points where a driver (the screenshot test) may act on the running program.
// The program itself runs with none.
struct AppHooks {
    // Once, on the UI thread, after the main window was first shown.
    std::function<void(CMainWnd& window)> windowShown;
};

// The whole entry sequence; returns the process exit code.
int RunControlCentre(int argc, char** argv, const AppHooks& hooks = {});

}  // namespace q731
