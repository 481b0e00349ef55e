#include "lighting_extras/companion/command_state.h"

#include <algorithm>

namespace q731::companion {

namespace {

int ClampWeight(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, kMaxWeight));
}

std::int32_t Int32At(const std::string& payload, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(payload[offset + i]))
                << (8 * i);
    return static_cast<std::int32_t>(bits);
}

}  // namespace

bool MusicCommandState::Apply(const BusMessage& message) {
    if (message.name == kMusicCommandName) return ApplyCommand(message.wParam, message.lParam);
    if (message.name == kMusicStyleName) {
        if (message.payload.size() != kStyleBlockBytes) return false;
        for (std::size_t i = 0; i < weights_.size(); ++i)
            weights_[i] = ClampWeight(Int32At(message.payload, 4 * i));
        return true;
    }
    return false;
}

bool MusicCommandState::ApplyCommand(std::int64_t command, std::int64_t value) {
    switch (command) {
        case static_cast<int>(MusicCommand::Register):
            registered_ = true;
            return true;
        case static_cast<int>(MusicCommand::Capture):
            capture_ = true;
            return true;
        case static_cast<int>(MusicCommand::Stop):
            capture_ = false;
            return true;
        case static_cast<int>(MusicCommand::Connect):
            soundServer_ = true;
            return true;
        case static_cast<int>(MusicCommand::Disconnect):
            soundServer_ = false;
            return true;
        case static_cast<int>(MusicCommand::Exit):
            exit_ = true;
            return true;
        case static_cast<int>(MusicCommand::ChannelR):
        case static_cast<int>(MusicCommand::ChannelG):
        case static_cast<int>(MusicCommand::ChannelB):
            weights_[static_cast<std::size_t>(command - static_cast<int>(MusicCommand::ChannelR))] =
                ClampWeight(value);
            return true;
        default:
            return false;
    }
}

void SourceControl::Sync(const MusicCommandState& state) {
    const bool connect = state.SoundServerWanted();
    const bool capture = state.StreamWanted();
    if (capturing_ && !capture) {
        source_.StopCapture();
        capturing_ = false;
    }
    if (connected_ != connect) {
        connect ? source_.Connect() : source_.Disconnect();
        connected_ = connect;
    }
    if (!capturing_ && capture) {
        source_.StartCapture();
        capturing_ = true;
    }
}

}  // namespace q731::companion
