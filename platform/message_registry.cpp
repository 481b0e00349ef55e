#include "platform/message_registry.h"

#include <algorithm>

namespace q731 {

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool MessageNamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

MessageId MessageRegistry::Register(std::string_view name) {
    if (name.empty()) return 0;
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (MessageNamesEqual(names_[i], name)) return kFirstId + static_cast<MessageId>(i);
    }
    if (names_.size() > kLastId - kFirstId) return 0;
    names_.emplace_back(name);
    return kFirstId + static_cast<MessageId>(names_.size() - 1);
}

std::optional<MessageId> MessageRegistry::Find(std::string_view name) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (MessageNamesEqual(names_[i], name)) return kFirstId + static_cast<MessageId>(i);
    }
    return std::nullopt;
}

std::optional<std::string> MessageRegistry::NameOf(MessageId id) const {
    std::lock_guard lock(mutex_);
    if (id < kFirstId || id - kFirstId >= names_.size()) return std::nullopt;
    return names_[id - kFirstId];
}

MessageRegistry& MessageRegistry::Global() {
    static MessageRegistry registry;
    return registry;
}

}  // namespace q731
