#pragma once
// Process-wide registered message names. Registering a name gives a stable id in
// the range 0xC000-0xFFFF; names compare without regard to ASCII case, and
// registering an equal name again gives the same id.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {

using MessageId = std::uint32_t;

class MessageRegistry {
public:
    static constexpr MessageId kFirstId = 0xC000;
    static constexpr MessageId kLastId = 0xFFFF;

    // 0 when the name is empty or the id range is used up.
    MessageId Register(std::string_view name);
    std::optional<MessageId> Find(std::string_view name) const;
    std::optional<std::string> NameOf(MessageId id) const;

    static MessageRegistry& Global();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> names_;  // index = id - kFirstId
};

// Equal names in the registry's sense.
bool MessageNamesEqual(std::string_view a, std::string_view b);

}  // namespace q731
