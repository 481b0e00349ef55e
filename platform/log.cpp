#include "platform/log.h"

#include <strings.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace q731 {

struct LogCapture::State {
    mutable std::mutex mutex;
    std::deque<std::string> lines;
};

namespace {

struct Sink {
    std::mutex mutex;
    std::vector<LogCapture*> captures;
    LogLevel level = LogLevel::Warning;
    std::FILE* file = nullptr;

    Sink() {
        if (const char* env = std::getenv("Q731_LOG")) {
            static constexpr std::pair<const char*, LogLevel> kNames[] = {
                {"debug", LogLevel::Debug},
                {"info", LogLevel::Info},
                {"warning", LogLevel::Warning},
                {"error", LogLevel::Error},
                {"off", LogLevel::Off}};
            for (const auto& [name, value] : kNames) {
                if (strcasecmp(env, name) == 0) level = value;
            }
        }
        if (const char* path = std::getenv("Q731_LOG_FILE"); path && *path) {
            file = std::fopen(path, "a");
        }
    }
};

Sink& TheSink() {
    // Never destroyed: detached workers may still log while static destructors run.
    static Sink* sink = new Sink;
    return *sink;
}

const char* LevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Debug:
            return "debug";
        case LogLevel::Info:
            return "info";
        case LogLevel::Warning:
            return "warning";
        case LogLevel::Error:
            return "error";
        case LogLevel::Off:
            break;
    }
    return "";
}

}  // namespace

void SetLogLevel(LogLevel level) {
    Sink& sink = TheSink();
    std::lock_guard lock(sink.mutex);
    sink.level = level;
}

LogLevel GetLogLevel() {
    Sink& sink = TheSink();
    std::lock_guard lock(sink.mutex);
    return sink.level;
}

void Log(LogLevel level, std::string_view text) {
    if (level == LogLevel::Off) return;
    if (text.size() > kMaxLogLineBytes) text = text.substr(0, kMaxLogLineBytes);
    Sink& sink = TheSink();
    std::lock_guard lock(sink.mutex);
    for (LogCapture* capture : sink.captures)
        capture->Append(text);
    if (level < sink.level) return;
    std::FILE* out = sink.file ? sink.file : stderr;
    std::fprintf(out, "q731 %s: %.*s\n", LevelName(level), static_cast<int>(text.size()),
                 text.data());
    std::fflush(out);
}

LogCapture::LogCapture(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)), state_(std::make_unique<State>()) {
    Sink& sink = TheSink();
    std::lock_guard lock(sink.mutex);
    sink.captures.push_back(this);
}

LogCapture::~LogCapture() {
    {
        Sink& sink = TheSink();
        std::lock_guard lock(sink.mutex);
        std::erase(sink.captures, this);
    }
}

void LogCapture::Append(std::string_view line) {
    std::lock_guard lock(state_->mutex);
    if (state_->lines.size() >= capacity_) state_->lines.pop_front();
    state_->lines.emplace_back(line);
}

std::vector<std::string> LogCapture::Lines() const {
    std::lock_guard lock(state_->mutex);
    return {state_->lines.begin(), state_->lines.end()};
}

bool LogCapture::Contains(std::string_view fragment) const {
    return Count(fragment) > 0;
}

std::size_t LogCapture::Count(std::string_view fragment) const {
    std::lock_guard lock(state_->mutex);
    return static_cast<std::size_t>(std::count_if(
        state_->lines.begin(), state_->lines.end(),
        [&](const std::string& line) { return line.find(fragment) != std::string::npos; }));
}

void LogCapture::Clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

}  // namespace q731
