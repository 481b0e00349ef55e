#pragma once
// The ALSA simple mixer of one sound card (libasound), and the Linux audio
// configuration library built on it.

#include <memory>

#include "headset/alsa_audio_conf.h"

namespace q731 {

std::unique_ptr<IAlsaMixer> MakeAlsaMixer();

// The headset's card under /proc/asound, element names overridable by
// "headset-mixer.json" in `configFolder`, stored values in `storeFolder`
// (the headset's device folder of the user data folder).
std::unique_ptr<IAudioConfLib> MakeAlsaAudioConf(const fs::path& configFolder,
                                                 const fs::path& storeFolder);

}  // namespace q731
