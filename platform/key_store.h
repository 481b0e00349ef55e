#pragma once
// Typed values under named keys, kept in one text file and written atomically.
// Stands in for the few registry values the control centre keeps
// ("LANGUAGE", "DisplayVersion" under "SOFTWARE\GamingKeyboardQ731ControlCenter").
//
// File format, one section per key:
//   [SOFTWARE\GamingKeyboardQ731ControlCenter]
//   LANGUAGE=dword:1
//   DisplayVersion=sz:1.0.1.4
// Lines that do not parse are ignored; before such a file is rewritten it is
// kept aside as "<name>.corrupt-<stamp>", and a file that cannot be read at all
// is never replaced.

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace q731 {

class KeyStore {
public:
    explicit KeyStore(std::filesystem::path file);

    std::optional<std::uint32_t> GetDword(std::string_view key, std::string_view name) const;
    std::optional<std::string> GetString(std::string_view key, std::string_view name) const;
    // Write through to the file; false when it could not be written (the value is
    // then not kept either).
    bool SetDword(std::string_view key, std::string_view name, std::uint32_t value);
    bool SetString(std::string_view key, std::string_view name, std::string_view value);
    bool Remove(std::string_view key, std::string_view name);

    const std::filesystem::path& File() const { return file_; }

private:
    using Value = std::variant<std::uint32_t, std::string>;
    using Values = std::map<std::string, std::map<std::string, Value>>;

    enum class LoadState { Clean, Damaged, Unreadable };
    Values Load(LoadState* state = nullptr) const;
    std::optional<Value> Get(std::string_view key, std::string_view name) const;
    bool Store(const Values& values);
    bool Update(std::string_view key, std::string_view name, std::optional<Value> value);

    std::filesystem::path file_;
    mutable std::mutex mutex_;
};

}  // namespace q731
