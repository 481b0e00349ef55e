#pragma once
// What the control centre has asked of the companion, and bringing the sound
// source there. The companion applies every queued message to a
// MusicCommandState and only then calls SourceControl::Sync, so a request that
// a later one in the same batch takes back never reaches the source.
//
// A record stream is open while both the sound server and capture are wanted;
// capture stays wanted across Disconnect/Connect. Unknown commands, unknown
// messages and style payloads of the wrong size are ignored; weights are
// clamped to 0-9.

#include <array>

#include "lighting_extras/companion/music_analysis.h"
#include "lighting_extras/companion/sound_source.h"
#include "platform/message_bus.h"

namespace q731::companion {

class MusicCommandState {
public:
    // False when the message was ignored.
    bool Apply(const BusMessage& message);

    bool SoundServerWanted() const { return soundServer_; }
    bool StreamWanted() const { return soundServer_ && capture_; }
    bool ExitRequested() const { return exit_; }
    bool Registered() const { return registered_; }
    const StyleWeights& Weights() const { return weights_; }

private:
    bool ApplyCommand(std::int64_t command, std::int64_t value);

    bool registered_ = false;
    bool soundServer_ = false;
    bool capture_ = false;
    bool exit_ = false;
    StyleWeights weights_{kMaxWeight, kMaxWeight, kMaxWeight};
};

class SourceControl {
public:
    explicit SourceControl(ISoundSource& source) : source_(source) {}

    // Calls the source for what changed since the last Sync.
    void Sync(const MusicCommandState& state);
    // Closes the stream and leaves the server.
    void Release() { Sync(MusicCommandState{}); }

private:
    ISoundSource& source_;
    bool connected_ = false;
    bool capturing_ = false;
};

}  // namespace q731::companion
