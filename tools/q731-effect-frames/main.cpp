// Renders frames of a keyboard lighting mode as PPM pictures of the key
// matrix (23 columns x 6 rows, one square per cell; empty cells dark grey),
// drawn by the same renderers the keyboard's render thread runs.
//
//   q731-effect-frames --mode 13 --frames 40 --every 4 --out /tmp/fountain
//   q731-effect-frames --mode 21 --audio-mode 0 --script levels.txt --out /tmp/bars
//
// A level script has one line per frame: up to 25 whole numbers (spaces or
// commas between them; missing ones are 0) pushed before that frame, or an
// empty line for a frame without a push. `--level N` pushes N to every column
// before every frame instead.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "devices/lighting/key_renderers.h"
#include "devices/lighting/keyboard_layout.h"
#include "devices/lighting/music_renderers.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

constexpr int kMusicMode = 21;

struct Options {
    int mode = -1;
    int audioMode = 0;
    int frames = 20;
    int every = 1;
    int scale = 24;
    int fx = 1;
    int brightness = 4;
    bool multi = false;
    bool wheel = false;
    unsigned seed = 1;
    std::optional<std::int32_t> level;
    std::string script;
    fs::path out;
};

int Usage(const char* why) {
    if (why != nullptr) std::fprintf(stderr, "q731-effect-frames: %s\n", why);
    std::fprintf(stderr,
                 "usage: q731-effect-frames --mode N --out DIR [--frames N] [--every K]\n"
                 "         [--fx 0|1] [--multi] [--brightness 0-4] [--seed S] [--scale PX]\n"
                 "         [--audio-mode 0-6] [--wheel] [--level N | --script FILE]\n"
                 "Writes DIR/frame-NNNN.ppm for every K-th of N frames of mode N (the\n"
                 "per-key modes, and 21 for music).\n");
    return 2;
}

bool ParseInt(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// Reads the options; an error text when they are not usable.
std::optional<std::string> ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--multi") {
            options.multi = true;
            continue;
        }
        if (name == "--wheel") {
            options.wheel = true;
            continue;
        }
        if (i + 1 >= argc) return fmt::format("{} needs a value", name);
        const std::string value = argv[++i];
        long long number = 0;
        const auto integer = [&](long long low, long long high) {
            return ParseInt(value, low, high, number);
        };
        if (name == "--out") {
            options.out = value;
        } else if (name == "--script") {
            options.script = value;
        } else if (name == "--mode" && integer(0, 31)) {
            options.mode = static_cast<int>(number);
        } else if (name == "--audio-mode" && integer(0, kAudioModes - 1)) {
            options.audioMode = static_cast<int>(number);
        } else if (name == "--frames" && integer(1, 100000)) {
            options.frames = static_cast<int>(number);
        } else if (name == "--every" && integer(1, 100000)) {
            options.every = static_cast<int>(number);
        } else if (name == "--scale" && integer(2, 64)) {
            options.scale = static_cast<int>(number);
        } else if (name == "--fx" && integer(0, 1)) {
            options.fx = static_cast<int>(number);
        } else if (name == "--brightness" && integer(0, 4)) {
            options.brightness = static_cast<int>(number);
        } else if (name == "--seed" && integer(0, 0xFFFFFFFFll)) {
            options.seed = static_cast<unsigned>(number);
        } else if (name == "--level" && integer(INT32_MIN, INT32_MAX)) {
            options.level = static_cast<std::int32_t>(number);
        } else {
            return fmt::format("{} {}: unknown option or value out of range", name, value);
        }
    }
    if (options.mode < 0) return std::string("--mode is required");
    if (options.out.empty()) return std::string("--out is required");
    if (options.mode != kMusicMode && !HasKeyRenderer(options.mode))
        return fmt::format("mode {} is not drawn by the per-key or music renderers", options.mode);
    if (options.level && !options.script.empty())
        return std::string("--level and --script exclude each other");
    return std::nullopt;
}

// One push per line; an empty line is a frame without a push.
std::optional<std::string> ReadScript(const std::string& path,
                                      std::vector<std::optional<MusicLevels>>& pushes) {
    std::ifstream in(path);
    if (!in) return fmt::format("cannot read {}", path);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        for (char& c : line) {
            if (c == ',' || c == '\t' || c == '\r') c = ' ';
        }
        std::istringstream words(line);
        std::vector<std::int32_t> values;
        std::string word;
        while (words >> word) {
            long long value = 0;
            if (!ParseInt(word, INT32_MIN, INT32_MAX, value))
                return fmt::format("{}:{}: \"{}\" is not a 32-bit whole number", path, number,
                                   word);
            if (values.size() == kMusicLevels)
                return fmt::format("{}:{}: more than {} levels", path, number, kMusicLevels);
            values.push_back(static_cast<std::int32_t>(value));
        }
        if (values.empty()) {
            pushes.emplace_back();
        } else {
            pushes.emplace_back(TakeMusicLevels(values));
        }
    }
    return std::nullopt;
}

bool WritePicture(const fs::path& path, const LedColourList& leds, int scale) {
    const int width = kKeyMatrixColumns * scale;
    const int height = kKeyMatrixRows * scale;
    std::string pixels;
    pixels.reserve(static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int column = x / scale;
            const int row = y / scale;
            const bool gap = x % scale == 0 || y % scale == 0;
            const int key = KeyMatrixCell(column, row);
            Rgb shown{0, 0, 0};
            if (gap) {
                shown = {16, 16, 16};
            } else if (key >= KeyEffects::kKeys) {
                shown = {48, 48, 48};
            } else {
                shown = leds.Get(static_cast<std::size_t>(key)).Shaded();
            }
            pixels.push_back(static_cast<char>(shown.red));
            pixels.push_back(static_cast<char>(shown.green));
            pixels.push_back(static_cast<char>(shown.blue));
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out.flush());
}

int Run(int argc, char** argv) {
    Options options;
    if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        Usage(nullptr);
        return 0;
    }
    if (const auto error = ParseOptions(argc, argv, options)) return Usage(error->c_str());
    std::vector<std::optional<MusicLevels>> pushes;
    if (!options.script.empty()) {
        if (const auto error = ReadScript(options.script, pushes)) {
            std::fprintf(stderr, "q731-effect-frames: %s\n", error->c_str());
            return 1;
        }
    }
    std::error_code error;
    fs::create_directories(options.out, error);
    if (error) {
        std::fprintf(stderr, "q731-effect-frames: cannot create %s: %s\n",
                     options.out.string().c_str(), error.message().c_str());
        return 1;
    }

    LightSetting light;
    light.selectItem = static_cast<std::uint8_t>(options.mode);
    light.brightness = static_cast<std::uint8_t>(options.brightness);
    light.direction = static_cast<std::uint8_t>(options.fx);
    light.multiColor = options.multi ? 1 : 0;
    light.red = 255;
    light.green = 120;
    light.blue = 0;
    AudioLightSetting audio;
    audio.audioMode = static_cast<std::uint8_t>(options.audioMode);
    audio.backgroundBlue = 60;
    audio.foregroundRed = 255;
    audio.foregroundGreen = 160;
    audio.sevenColors = options.wheel ? 1 : 0;

    KeyEffects state;
    state.Clear();
    state.StartMode(options.mode);
    LedColourList leds(KeyEffects::kKeys);
    std::mt19937 random(options.seed);
    MusicRippleTrigger ripples;
    int written = 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        if (options.mode == kMusicMode) {
            std::optional<MusicLevels> push;
            if (options.level) {
                push.emplace();
                push->fill(*options.level);
            } else if (static_cast<std::size_t>(frame) < pushes.size()) {
                push = pushes[static_cast<std::size_t>(frame)];
            }
            // As the keyboard does: audio mode 2 turns pushes into ripples.
            if (push && options.audioMode == 2) {
                if (ripples.Add(*push)) state.StartRipple(MusicRippleTrigger::kRippleKey, 1);
            } else if (push) {
                state.musicLevels = *push;
            }
            RenderMusicFrame(audio, light, state, leds, random);
        } else {
            RenderKeyFrame(options.mode, light, state, leds, random);
        }
        if (frame % options.every != 0) continue;
        const fs::path path = options.out / fmt::format("frame-{:04}.ppm", frame);
        if (!WritePicture(path, leds, options.scale)) {
            std::fprintf(stderr, "q731-effect-frames: cannot write %s\n", path.string().c_str());
            return 1;
        }
        int lit = 0;
        for (int key = 0; key < KeyEffects::kKeys; ++key)
            lit += leds.Get(static_cast<std::size_t>(key)).Shaded() == Rgb{} ? 0 : 1;
        std::printf("%s: %d keys lit\n", path.string().c_str(), lit);
        ++written;
    }
    std::printf("%d pictures in %s\n", written, options.out.string().c_str());
    return 0;
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    return q731::Run(argc, argv);
}
