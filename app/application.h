#pragma once
// The running program: single instance, folders, the UI platform, the device
// manager and its scan thread, the local message bus, signals, and the orderly
// shutdown (workers stopped, files written) however the program is asked to end.

namespace q731 {

// The whole entry sequence; returns the process exit code.
int RunControlCentre(int argc, char** argv);

}  // namespace q731
