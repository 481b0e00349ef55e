// RerurIvavud: the control centre's audio-capture companion. It records what
// the computer plays, turns it into music-lighting frames and serves them on
// the music link (lighting_extras/music_link.h). See Usage for the options.
//
// Exit status: 0 ended normally (Exit, no client for the idle time, a signal)
// or another companion already runs; 1 it could not serve; 64 bad arguments.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "lighting_extras/companion/companion_server.h"
#include "lighting_extras/companion/sound_source.h"
#include "lighting_extras/music_link.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/single_instance.h"

namespace q731::companion {
namespace {

constexpr int kFailed = 1;
constexpr int kBadArguments = 64;

constexpr const char* kUsage = R"(Usage: RerurIvavud [options]

The control centre's audio-capture companion: records the default output's
monitor on the sound server, analyses it every 5 ms and sends the result to
the control centre over a seqpacket socket in the runtime folder.

Options:
  --runtime-dir DIR     serve in DIR instead of the user's runtime folder
  --source pulse        record the sound server (default; honours PULSE_SERVER)
  --source generated:HZ a sine of HZ Hz instead of the sound server (0: silence)
  --idle-exit SECONDS   end after this long without a client (default 10)
  --help                this text

Messages from the control centre:
  command  wParam 0 register, 1 capture, 2 stop, 3 connect to the sound
           server, 4 disconnect, 5 exit, 6/7/8 the style's R/G/B weight
           (lParam 0-9)
  style    payload 40 bytes: the style's R, G, B weights as int32 LE
Messages to the control centre:
  frame    wParam 1: 500 int32 LE band levels, 0-2000
           wParam 2: 6 int32 LE: bass, mid, treble (0-255), then 0, 0, 0
All the commands queued at a time are read before any is acted on.
)";

struct Options {
    std::filesystem::path runtimeFolder;
    std::optional<double> sineHz;
    double idleExitSeconds = static_cast<double>(kCompanionIdleExit.count());
};

std::optional<double> ParseNumber(std::string_view text, double limit) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || errno != 0 || end != copy.c_str() + copy.size() || !std::isfinite(value) ||
        value < 0 || value > limit) {
        return std::nullopt;
    }
    return value;
}

// Nothing when the program is to stop with `exitCode`.
std::optional<Options> ParseArguments(int argc, char** argv, int& exitCode) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            exitCode = 0;
            return std::nullopt;
        }
        std::optional<double> number;
        if (arg == "--runtime-dir" && hasValue) {
            options.runtimeFolder = argv[++i];
            continue;
        }
        if (arg == "--source" && hasValue) {
            const std::string_view source = argv[++i];
            constexpr std::string_view kGenerated = "generated:";
            if (source == "pulse") {
                options.sineHz.reset();
                continue;
            }
            if (source.starts_with(kGenerated) &&
                (number = ParseNumber(source.substr(kGenerated.size()), kCaptureRate / 2.0))) {
                options.sineHz = number;
                continue;
            }
        }
        if (arg == "--idle-exit" && hasValue && (number = ParseNumber(argv[++i], 86400.0))) {
            options.idleExitSeconds = *number;
            continue;
        }
        std::fprintf(stderr, "RerurIvavud: bad argument '%s' (see --help)\n", argv[i]);
        exitCode = kBadArguments;
        return std::nullopt;
    }
    return options;
}

int Main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<Options> options = ParseArguments(argc, argv, exitCode);
    if (!options) return exitCode;

    std::filesystem::path runtime = options->runtimeFolder;
    if (runtime.empty()) runtime = Folders::Detect().RuntimeFolder();
    std::error_code ec;
    if (runtime.empty() || !std::filesystem::is_directory(runtime, ec)) {
        LogError("music companion: no runtime folder");
        return kFailed;
    }

    InstanceLock lock;
    std::string error;
    switch (lock.Acquire(CompanionLockPath(runtime), &error)) {
        case InstanceLock::Result::Acquired:
            break;
        case InstanceLock::Result::HeldElsewhere:
            LogDebug("music companion: another companion runs");
            return 0;
        case InstanceLock::Result::Error:
            LogError("music companion: " + error);
            return kFailed;
    }

    // The signals that end the companion are read in its loop; a client that
    // hangs up mid-send must not kill it.
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&endSignals, signal);
    ::sigprocmask(SIG_BLOCK, &endSignals, nullptr);
    const int signals = ::signalfd(-1, &endSignals, SFD_CLOEXEC | SFD_NONBLOCK);

    const std::unique_ptr<ISoundSource> source =
        options->sineHz ? MakeGeneratedSource(*options->sineHz) : MakePulseSource();
    CompanionOptions serverOptions;
    serverOptions.runtimeFolder = runtime;
    serverOptions.idleExit = std::chrono::milliseconds(
        static_cast<long long>(std::llround(options->idleExitSeconds * 1000.0)));
    serverOptions.stopFd = signals;
    CompanionEnd end = CompanionEnd::Failed;
    {
        CompanionServer server(*source, serverOptions);
        if (!server.Listen(&error)) {
            LogError("music companion: " + error);
        } else {
            end = server.Run();
        }
    }
    if (signals >= 0) ::close(signals);
    return end == CompanionEnd::Failed ? kFailed : 0;
}

}  // namespace
}  // namespace q731::companion

int main(int argc, char** argv) {
    try {
        return q731::companion::Main(argc, argv);
    } catch (const std::exception& e) {
        q731::LogError(std::string("music companion: ") + e.what());
    } catch (...) {
        q731::LogError("music companion: unexpected failure");
    }
    return 1;
}
