#pragma once
// Process-wide diagnostic log. Any thread may write; lines go to stderr (or the
// file named by Q731_LOG_FILE) above the level set by Q731_LOG, and to every
// LogCapture alive at the time. Nothing here is part of any user interface.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {

enum class LogLevel : int { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };

void Log(LogLevel level, std::string_view text);
inline void LogDebug(std::string_view text) {
    Log(LogLevel::Debug, text);
}
inline void LogInfo(std::string_view text) {
    Log(LogLevel::Info, text);
}
inline void LogWarning(std::string_view text) {
    Log(LogLevel::Warning, text);
}
inline void LogError(std::string_view text) {
    Log(LogLevel::Error, text);
}

// Lines below this level are not written to the sink (captures still see them).
void SetLogLevel(LogLevel level);
LogLevel GetLogLevel();

// Longest line kept; longer text is cut so that a hostile input cannot flood the log.
inline constexpr std::size_t kMaxLogLineBytes = 4096;

// Collects every line logged while it is alive, at every level. At most
// `capacity` lines are kept (the oldest are dropped). For tests and diagnostics.
class LogCapture {
public:
    explicit LogCapture(std::size_t capacity = 10000);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const;
    bool Contains(std::string_view fragment) const;
    std::size_t Count(std::string_view fragment) const;
    void Clear();

private:
    friend void Log(LogLevel, std::string_view);
    void Append(std::string_view line);

    std::size_t capacity_;
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace q731
