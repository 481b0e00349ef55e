// Music lighting end to end, on a private sound server with a null sink as
// the default output (tests/support/private_pulse.sh runs this program): the
// real companion records the sink's monitor, the control centre's side (the
// companion link, the capture gate, the analyser) feeds a simulated keyboard
// in the music mode, and a tone played into the sink reaches the keyboard as
// lit light frames. The companion holds a recording stream only while the
// keyboard shows music, and "exit" ends it without leaving its socket.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numbers>
#include <thread>

#include "lighting_extras/music_analyser.h"
#include "lighting_extras/music_companion.h"
#include "platform/ui_loop.h"
#include "tests/music_e2e/music_rig.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using music_rig::ChildGuard;

constexpr int kQuietMode = 1;
constexpr int kToneHz = 80;  // the keyboard's 25 levels cover 30-140 Hz
constexpr int kToneRate = 48000;

// `seconds` of a sine at half full scale in bursts of 100 ms with 100 ms of
// silence between them, 16-bit mono, as pacat plays it raw. The levels follow
// changes of the sound, so every burst's start and end is a chance to light.
void WriteTone(const fs::path& file, double seconds) {
    std::ofstream out(file, std::ios::binary);
    const int samples = static_cast<int>(seconds * kToneRate);
    const int burst = kToneRate / 10;
    for (int i = 0; i < samples; ++i) {
        const double phase = 2.0 * std::numbers::pi * kToneHz * i / kToneRate;
        const bool sounding = (i / burst) % 2 == 0;
        const auto value =
            static_cast<std::int16_t>(sounding ? std::lround(16384.0 * std::sin(phase)) : 0);
        out.put(static_cast<char>(value & 0xFF));
        out.put(static_cast<char>((value >> 8) & 0xFF));
    }
}

pid_t Play(const fs::path& file) {
    const std::string path = file.string();
    const char* argv[] = {"pacat",        "--playback",   "--raw",      "--format=s16le",
                          "--rate=48000", "--channels=1", path.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "pacat", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

class MusicEndToEnd : public ::testing::Test {
protected:
    MusicEndToEnd() { loop_.BindToCurrentThread(); }

    // Runs the UI loop until `done` holds, checking it every `period`.
    bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit,
              std::chrono::milliseconds period = 5ms) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            loop_.ProcessPending();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(period);
        }
    }
    void PumpFor(std::chrono::milliseconds span) {
        (void)Pump([] { return false; }, span);
    }

    testing::TestFolder folder_{"q731-music-e2e"};
    UiLoop loop_;
};

TEST_F(MusicEndToEnd, CaptureFollowsTheKeyboardAndAToneLightsItsFrames) {
    const char* server = std::getenv("PULSE_SERVER");
    const char* runtimeBase = std::getenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(server && runtimeBase)
        << "run through tests/support/private_pulse.sh: never on the machine's own server";
    // The private server's runtime folder: short enough for a socket path.
    const fs::path runtime = fs::path(runtimeBase) / "music";
    fs::create_directories(runtime);

    music_rig::SimMusicKeyboard keyboard(folder_.path(), 0us);
    std::string error;
    ASSERT_TRUE(keyboard.Start(kQuietMode, &error)) << error;
    loop_.SetTimer(this, 1, Millis(50), [&] { keyboard.Device().LightTick(); });

    // Wired as the main window wires it.
    MusicAnalyser analyser(SteadyClock::Instance());
    analyser.SetKeyboardSink(
        [&](std::span<const std::int32_t> levels) { keyboard.Device().PushAudioLevels(levels); });
    std::optional<ChildGuard> child;
    MusicCompanionSetup setup;
    setup.runtimeFolder = runtime;
    setup.launch = [&](std::string* why) {
        child.emplace(music_rig::SpawnCompanion(Q731_COMPANION_PROGRAM, runtime, 5));
        if (child->Pid() > 0) return true;
        *why = "spawn failed";
        return false;
    };
    MusicCompanion companion(loop_, setup);
    int frames = 0;
    companion.SetFrameHandler([&](int type, std::string payload) {
        ++frames;
        (void)analyser.HandleBlock(type, payload);
    });
    companion.SetCaptureWanted([&] { return keyboard.ShowsMusic(); });
    loop_.SetTimer(this, 2, Millis(100), [&] {
        analyser.CheckSilence();
        companion.UpdateCapture();
    });

    companion.Start();
    ASSERT_TRUE(child && child->Pid() > 0);
    ASSERT_TRUE(Pump([&] { return companion.Connected() || companion.ConnectNow(); }, 10s));

    // No keyboard shows music: connected to the server, nothing recorded.
    std::optional<std::string> client;
    ASSERT_TRUE(
        Pump([&] { return (client = music_rig::ClientOf("RerurIvavud")).has_value(); }, 10s, 50ms))
        << "the companion never connected to the sound server";
    PumpFor(500ms);
    EXPECT_EQ(music_rig::Pactl("list short source-outputs"), std::optional<std::string>(""));
    EXPECT_EQ(frames, 0);

    // The keyboard shows music: the companion records, silence stays dark.
    keyboard.SetMode(CVexloKeyboardDevice::kMusicMode);
    ASSERT_TRUE(Pump([&] { return music_rig::RecordingStreamsOf(*client) == 1; }, 10s, 50ms))
        << music_rig::Pactl("list short source-outputs").value_or("(pactl failed)");
    ASSERT_TRUE(Pump([&] { return frames > 20 && analyser.Active(); }, 10s));
    PumpFor(200ms);
    auto [streamed, lit] = keyboard.StreamedReports();
    EXPECT_GT(streamed, 0);
    EXPECT_EQ(lit, 0) << "silence lit the keyboard";

    const fs::path tone = folder_ / "tone.raw";
    WriteTone(tone, 3.0);
    ChildGuard player(Play(tone));
    ASSERT_GT(player.Pid(), 0);
    EXPECT_TRUE(Pump([&] { return keyboard.StreamedReports().second > 0; }, 10s))
        << "the tone never reached the keyboard's light frames; frames from the companion: "
        << frames;
    EXPECT_EQ(player.Wait(10s), std::optional<int>(0)) << "pacat";

    // Back to a quiet mode: the recording stream closes.
    keyboard.SetMode(kQuietMode);
    EXPECT_TRUE(Pump([&] { return music_rig::RecordingStreamsOf(*client) == 0; }, 10s, 50ms))
        << music_rig::Pactl("list short source-outputs").value_or("(pactl failed)");

    companion.Shutdown();
    EXPECT_EQ(child->Wait(10s), std::optional<int>(0)) << "the companion's exit";
    EXPECT_FALSE(fs::exists(CompanionSocketPath(runtime)));
    loop_.KillTimers(this);
}

}  // namespace
}  // namespace q731
