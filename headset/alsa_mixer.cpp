#include "headset/alsa_mixer.h"

#include <alsa/asoundlib.h>

namespace q731 {
namespace {

class AlsaMixer final : public IAlsaMixer {
public:
    AlsaMixer() = default;
    ~AlsaMixer() override { Close(); }
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    bool Open(int card) override {
        Close();
        const std::string name = "hw:" + std::to_string(card);
        if (snd_mixer_open(&handle_, 0) < 0) {
            handle_ = nullptr;
            return false;
        }
        if (snd_mixer_attach(handle_, name.c_str()) < 0 ||
            snd_mixer_selem_register(handle_, nullptr, nullptr) < 0 ||
            snd_mixer_load(handle_) < 0) {
            Close();
            return false;
        }
        return true;
    }

    std::vector<std::string> ElementNames() override {
        std::vector<std::string> names;
        if (handle_ == nullptr) return names;
        for (snd_mixer_elem_t* element = snd_mixer_first_elem(handle_); element != nullptr;
             element = snd_mixer_elem_next(element)) {
            if (const char* name = snd_mixer_selem_get_name(element)) names.emplace_back(name);
        }
        return names;
    }

    std::optional<bool> GetSwitch(const std::string& name, MixerSide side) override {
        snd_mixer_elem_t* element = Find(name);
        if (element == nullptr) return std::nullopt;
        int on = 0;
        if (side == MixerSide::Capture) {
            if (!snd_mixer_selem_has_capture_switch(element) ||
                snd_mixer_selem_get_capture_switch(element, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0) {
                return std::nullopt;
            }
        } else if (!snd_mixer_selem_has_playback_switch(element) ||
                   snd_mixer_selem_get_playback_switch(element, SND_MIXER_SCHN_FRONT_LEFT, &on) <
                       0) {
            return std::nullopt;
        }
        return on != 0;
    }

    bool SetSwitch(const std::string& name, MixerSide side, bool on) override {
        snd_mixer_elem_t* element = Find(name);
        if (element == nullptr) return false;
        if (side == MixerSide::Capture) {
            return snd_mixer_selem_has_capture_switch(element) &&
                   snd_mixer_selem_set_capture_switch_all(element, on ? 1 : 0) >= 0;
        }
        return snd_mixer_selem_has_playback_switch(element) &&
               snd_mixer_selem_set_playback_switch_all(element, on ? 1 : 0) >= 0;
    }

    std::optional<MixerRange> VolumeRange(const std::string& name, MixerSide side) override {
        snd_mixer_elem_t* element = Find(name);
        if (element == nullptr) return std::nullopt;
        MixerRange range;
        if (side == MixerSide::Capture) {
            if (!snd_mixer_selem_has_capture_volume(element) ||
                snd_mixer_selem_get_capture_volume_range(element, &range.min, &range.max) < 0) {
                return std::nullopt;
            }
        } else if (!snd_mixer_selem_has_playback_volume(element) ||
                   snd_mixer_selem_get_playback_volume_range(element, &range.min, &range.max) < 0) {
            return std::nullopt;
        }
        return range;
    }

    std::optional<long> GetVolume(const std::string& name, MixerSide side) override {
        snd_mixer_elem_t* element = Find(name);
        if (element == nullptr) return std::nullopt;
        long raw = 0;
        const int result =
            side == MixerSide::Capture
                ? snd_mixer_selem_get_capture_volume(element, SND_MIXER_SCHN_FRONT_LEFT, &raw)
                : snd_mixer_selem_get_playback_volume(element, SND_MIXER_SCHN_FRONT_LEFT, &raw);
        if (result < 0) return std::nullopt;
        return raw;
    }

    bool SetVolume(const std::string& name, MixerSide side, long raw) override {
        snd_mixer_elem_t* element = Find(name);
        if (element == nullptr) return false;
        const int result = side == MixerSide::Capture
                               ? snd_mixer_selem_set_capture_volume_all(element, raw)
                               : snd_mixer_selem_set_playback_volume_all(element, raw);
        return result >= 0;
    }

private:
    // The element of that name, after taking in changes other programs made,
    // so that reads see the card as it is now.
    snd_mixer_elem_t* Find(const std::string& name) {
        if (handle_ == nullptr) return nullptr;
        // Pending events only refresh the cached values; an error here shows
        // again in the call that follows.
        snd_mixer_handle_events(handle_);
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, name.c_str());
        return snd_mixer_find_selem(handle_, id);
    }

    void Close() {
        if (handle_ != nullptr) snd_mixer_close(handle_);
        handle_ = nullptr;
    }

    snd_mixer_t* handle_ = nullptr;
};

}  // namespace

std::unique_ptr<IAlsaMixer> MakeAlsaMixer() {
    return std::make_unique<AlsaMixer>();
}

std::unique_ptr<IAudioConfLib> MakeAlsaAudioConf(const fs::path& configFolder,
                                                 const fs::path& storeFolder) {
    AlsaAudioPaths paths;
    if (!configFolder.empty()) paths.overrideFile = configFolder / "headset-mixer.json";
    paths.storeFolder = storeFolder;
    return std::make_unique<AlsaAudioConf>(MakeAlsaMixer(), std::move(paths));
}

}  // namespace q731
