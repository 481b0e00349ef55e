#include "platform/key_store.h"

#include <charconv>
#include <chrono>
#include <sstream>

#include "platform/files.h"
#include "platform/log.h"

namespace q731 {

namespace {

constexpr std::size_t kMaxStoreBytes = 1 << 20;

bool ValidName(std::string_view text) {
    if (text.empty() || text.size() > 255) return false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '=' || c == '[' || c == ']') return false;
    }
    return true;
}

bool ValidValue(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos && text.size() < 65536;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

KeyStore::KeyStore(std::filesystem::path file) : file_(std::move(file)) {}

KeyStore::Values KeyStore::Load(LoadState* state) const {
    Values values;
    std::string bytes;
    std::string error;
    const ReadStatus status = ReadFileBytes(file_, bytes, kMaxStoreBytes, &error);
    if (state) *state = LoadState::Clean;
    if (status == ReadStatus::Missing) return values;
    if (status != ReadStatus::Ok) {
        LogWarning("key store: " + error);
        if (state) *state = LoadState::Unreadable;
        return values;
    }
    auto damaged = [state] {
        if (state) *state = LoadState::Damaged;
    };
    std::string section;
    std::istringstream in(bytes);
    std::string rawLine;
    while (std::getline(in, rawLine)) {
        const std::string_view line = Trim(rawLine);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = std::string(line.substr(1, line.size() - 2));
            continue;
        }
        const auto eq = line.find('=');
        if (section.empty() || eq == std::string_view::npos) {
            damaged();
            continue;
        }
        const std::string name(Trim(line.substr(0, eq)));
        const std::string_view value = line.substr(eq + 1);
        if (value.starts_with("dword:")) {
            std::uint32_t number = 0;
            const std::string_view digits = value.substr(6);
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), number);
            if (ec == std::errc() && end == digits.data() + digits.size()) {
                values[section][name] = number;
            } else {
                damaged();
            }
        } else if (value.starts_with("sz:")) {
            values[section][name] = std::string(value.substr(3));
        } else {
            damaged();
        }
    }
    return values;
}

bool KeyStore::Store(const Values& values) {
    std::string text;
    for (const auto& [section, entries] : values) {
        if (entries.empty()) continue;
        text += "[" + section + "]\n";
        for (const auto& [name, value] : entries) {
            if (const auto* number = std::get_if<std::uint32_t>(&value)) {
                text += name + "=dword:" + std::to_string(*number) + "\n";
            } else {
                text += name + "=sz:" + std::get<std::string>(value) + "\n";
            }
        }
        text += "\n";
    }
    std::string error;
    if (!WriteFileAtomically(file_, text, &error)) {
        LogError("key store: " + error);
        return false;
    }
    return true;
}

bool KeyStore::Update(std::string_view key, std::string_view name, std::optional<Value> value) {
    if (!ValidName(key) || !ValidName(name)) return false;
    std::lock_guard lock(mutex_);
    LoadState state = LoadState::Clean;
    Values values = Load(&state);
    // A file we could not read is never replaced by the one value we have, and
    // one with lines we do not understand is kept aside before it is rewritten.
    if (state == LoadState::Unreadable) return false;
    if (state == LoadState::Damaged) {
        const auto stamp = std::chrono::system_clock::now().time_since_epoch().count();
        if (MoveAside(file_, "corrupt", std::to_string(stamp)).empty()) return false;
    }
    if (value) {
        values[std::string(key)][std::string(name)] = std::move(*value);
    } else {
        auto it = values.find(std::string(key));
        if (it == values.end() || it->second.erase(std::string(name)) == 0) return true;
    }
    return Store(values);
}

std::optional<KeyStore::Value> KeyStore::Get(std::string_view key, std::string_view name) const {
    std::lock_guard lock(mutex_);
    const Values values = Load();
    auto section = values.find(std::string(key));
    if (section == values.end()) return std::nullopt;
    auto entry = section->second.find(std::string(name));
    if (entry == section->second.end()) return std::nullopt;
    return entry->second;
}

std::optional<std::uint32_t> KeyStore::GetDword(std::string_view key, std::string_view name) const {
    const auto value = Get(key, name);
    if (const auto* number = value ? std::get_if<std::uint32_t>(&*value) : nullptr) return *number;
    return std::nullopt;
}

std::optional<std::string> KeyStore::GetString(std::string_view key, std::string_view name) const {
    const auto value = Get(key, name);
    if (const auto* text = value ? std::get_if<std::string>(&*value) : nullptr) return *text;
    return std::nullopt;
}

bool KeyStore::SetDword(std::string_view key, std::string_view name, std::uint32_t value) {
    return Update(key, name, Value(value));
}

bool KeyStore::SetString(std::string_view key, std::string_view name, std::string_view value) {
    if (!ValidValue(value)) return false;
    return Update(key, name, Value(std::string(value)));
}

bool KeyStore::Remove(std::string_view key, std::string_view name) {
    return Update(key, name, std::nullopt);
}

}  // namespace q731
