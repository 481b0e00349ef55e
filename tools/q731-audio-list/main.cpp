// Lists what the headset's USB sound card offers the audio settings: the
// card's number and name, every mixer element it has, each binding with the
// property it serves and whether the card has the element (and its switch or
// volume on that side), and the properties without an element, which are
// only kept in the store file. Use it to write the names file for a card
// that names its controls otherwise.
//
//   q731-audio-list [--proc DIR] [--names FILE]
//
// Exit status: 0 listed, 1 no headset card, 2 its mixer cannot be opened,
// 64 bad arguments.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "headset/alsa_audio_conf.h"
#include "headset/alsa_mixer.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/products.h"
#include "profiles/document_file.h"

namespace q731 {
namespace {

constexpr int kNoCard = 1;
constexpr int kNoMixer = 2;
constexpr int kBadArguments = 64;
// A card's "id" is at most 15 characters and a line end.
constexpr std::size_t kMaxCardIdBytes = 64;
// The file MakeAlsaAudioConf reads from the config folder.
constexpr const char* kNamesFileName = "headset-mixer.json";

struct Options {
    fs::path procAsound = "/proc/asound";
    fs::path namesFile;  // empty: the config folder's
};

const char* SideName(MixerSide side) {
    return side == MixerSide::Capture ? "capture" : "playback";
}

const char* RoleName(MixerRole role) {
    switch (role) {
        case MixerRole::MuteSwitch:
            return "mute switch";
        case MixerRole::Volume:
            return "volume";
        case MixerRole::Presence:
            return "presence";
    }
    return "?";
}

// The card's name from "cardN/id", or nothing when it cannot be read.
std::optional<std::string> CardId(const fs::path& procAsound, int card) {
    std::string text;
    const fs::path file = procAsound / fmt::format("card{}", card) / "id";
    if (ReadFileBytes(file, text, kMaxCardIdBytes) != ReadStatus::Ok) return std::nullopt;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) return std::nullopt;
    return text;
}

// Whether the card can serve the binding: its element, and on that side the
// switch or volume the role needs.
std::string ElementState(IAlsaMixer& mixer, const std::vector<std::string>& elements,
                         const MixerBinding& binding) {
    if (std::find(elements.begin(), elements.end(), binding.element) == elements.end())
        return "missing";
    if (binding.role == MixerRole::MuteSwitch) {
        if (!mixer.GetSwitch(binding.element, binding.side))
            return fmt::format("present, no {} switch", SideName(binding.side));
        return "present";
    }
    const std::optional<MixerRange> range = mixer.VolumeRange(binding.element, binding.side);
    if (!range) return fmt::format("present, no {} volume", SideName(binding.side));
    return fmt::format("present, raw {}..{}", range->min, range->max);
}

std::string NamesFileState(const DocumentRead& names) {
    switch (names.status) {
        case DocumentStatus::Ok:
            return names.value.isObject() ? "read" : "not a JSON object, default names";
        case DocumentStatus::Missing:
            return "absent, default names";
        case DocumentStatus::Unreadable:
            return "unreadable, default names";
        default:
            return "not JSON, default names";
    }
}

// Entries of the names file the bindings did not take: a misspelt property
// or an unusable element name would otherwise go unnoticed.
void PrintIgnoredNames(const Json::Value& names, const std::vector<MixerBinding>& bindings) {
    if (!names.isObject()) return;
    for (const std::string& property : names.getMemberNames()) {
        const auto binding =
            std::find_if(bindings.begin(), bindings.end(),
                         [&](const MixerBinding& row) { return property == row.property; });
        const Json::Value& name = names[property];
        if (binding == bindings.end()) {
            fmt::print("  ignored: \"{}\" is no bound property\n", property);
        } else if (!name.isString() || name.asString() != binding->element) {
            fmt::print("  ignored: \"{}\" names no usable element\n", property);
        }
    }
}

int Run(const Options& options) {
    const Folders folders = Folders::Detect();
    const fs::path namesFile =
        options.namesFile.empty() ? folders.config / kNamesFileName : options.namesFile;

    const std::optional<int> card = FindUsbSoundCard(options.procAsound, kHeadsetUsbId);
    if (!card) {
        std::fprintf(stderr,
                     "q731-audio-list: no sound card with USB id %s under %s: is the headset "
                     "plugged in, and does `aplay -l` list it?\n",
                     std::string(kHeadsetUsbId).c_str(), options.procAsound.c_str());
        return kNoCard;
    }
    const std::unique_ptr<IAlsaMixer> mixer = MakeAlsaMixer();
    if (!mixer->Open(*card)) {
        std::fprintf(stderr,
                     "q731-audio-list: the mixer of card %d (hw:%d, USB id %s) cannot be opened: "
                     "check access to /dev/snd/controlC%d\n",
                     *card, *card, std::string(kHeadsetUsbId).c_str(), *card);
        return kNoMixer;
    }

    const std::optional<std::string> id = CardId(options.procAsound, *card);
    fmt::print("card {}{} (USB id {})\n", *card, id ? fmt::format(" \"{}\"", *id) : std::string(),
               kHeadsetUsbId);

    const std::vector<std::string> elements = mixer->ElementNames();
    fmt::print("\nmixer elements ({}):\n", elements.size());
    for (const std::string& element : elements)
        fmt::print("  {}\n", element);

    const DocumentRead names = DocumentFile::Read(namesFile);
    const std::vector<MixerBinding> bindings = HeadsetMixerBindings(namesFile);
    fmt::print("\nbindings ({}: {}):\n", namesFile.string(), NamesFileState(names));
    for (const MixerBinding& binding : bindings)
        fmt::print("  {:<22} {:<9} {:<12} {:<16} {}\n", binding.property, SideName(binding.side),
                   RoleName(binding.role), fmt::format("\"{}\"", binding.element),
                   ElementState(*mixer, elements, binding));
    PrintIgnoredNames(names.value, bindings);

    AlsaAudioPaths paths;
    paths.storeFolder = folders.userData / RecordOf(Product::Headset).profileFolder;
    const fs::path storeFile = AlsaAudioConf(nullptr, paths).StoreFile();
    fmt::print("\nstored only, reaching no hardware ({}):\n", storeFile.string());
    std::string_view serves;
    for (const StoredProperty& stored : StoredOnlyProperties()) {
        if (serves != stored.serves) {
            serves = stored.serves;
            fmt::print("  {}:\n", serves);
        }
        fmt::print("    {} ({})\n", stored.property,
                   stored.direction == AudioDirection::Playback ? "playback" : "recording");
    }
    return 0;
}

void Usage(std::FILE* out) {
    std::fputs(
        "usage: q731-audio-list [--proc DIR] [--names FILE]\n"
        "Lists the headset's USB sound card (USB id 0c76:1630): its mixer elements, the\n"
        "element each audio property is bound to, and the properties only kept on disk.\n"
        "  --proc DIR    the ALSA proc folder (default /proc/asound)\n"
        "  --names FILE  the element names file (default headset-mixer.json in the\n"
        "                config folder, as the control centre reads it)\n"
        "exit status: 0 listed, 1 no headset card, 2 its mixer cannot be opened, 64 bad\n"
        "arguments\n",
        out);
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    q731::Options options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0) {
            q731::Usage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--proc") == 0 && hasValue) {
            options.procAsound = argv[++i];
        } else if (std::strcmp(argv[i], "--names") == 0 && hasValue) {
            options.namesFile = argv[++i];
        } else {
            std::fprintf(stderr, "q731-audio-list: unexpected argument '%s'\n", argv[i]);
            q731::Usage(stderr);
            return q731::kBadArguments;
        }
    }
    return q731::Run(options);
}
