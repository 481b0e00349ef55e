#include "profiles/document_file.h"

#include <ctime>
#include <exception>
#include <memory>

#include <fmt/format.h>

#include "platform/files.h"
#include "platform/log.h"

namespace q731 {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    return text;
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

const Json::CharReaderBuilder& ReaderBuilder() {
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder b;
        b["allowComments"] = true;
        b["collectComments"] = false;
        // Trailing bytes after the value mean a file cut or spliced by a crash.
        b["failIfExtra"] = true;
        b["stackLimit"] = DocumentFile::kMaxDepth;
        b["allowSpecialFloats"] = false;
        return b;
    }();
    return builder;
}

const Json::StreamWriterBuilder& WriterBuilder() {
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder b;
        b["indentation"] = "   ";
        b["commentStyle"] = "None";
        b["emitUTF8"] = true;
        return b;
    }();
    return builder;
}

}  // namespace

bool DocumentFile::Parse(std::string_view text, Json::Value& out, std::string* error) {
    out = Json::Value();
    text = WithoutByteOrderMark(text);
    std::string reason;
    try {
        const std::unique_ptr<Json::CharReader> reader(ReaderBuilder().newCharReader());
        Json::Value root;
        if (reader->parse(text.data(), text.data() + text.size(), &root, &reason)) {
            out.swap(root);
            return true;
        }
    } catch (const std::exception& e) {
        // Thrown for nesting beyond the stack limit; the partial root is dropped.
        reason = e.what();
    } catch (...) {
        reason = "unknown parser failure";
    }
    if (error) *error = reason;
    return false;
}

DocumentRead DocumentFile::Read(const fs::path& path) {
    DocumentRead result;
    std::string bytes;
    std::string error;
    switch (ReadFileBytes(path, bytes, kMaxBytes, &error)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::Missing:
            result.status = DocumentStatus::Missing;
            return result;
        case ReadStatus::TooLarge:
            LogWarning(error);
            result.status = DocumentStatus::TooLarge;
            return result;
        case ReadStatus::Error:
            LogDebug(error);
            result.status = DocumentStatus::Unreadable;
            return result;
    }
    if (IsBlank(WithoutByteOrderMark(bytes))) {
        result.status = DocumentStatus::Empty;
        return result;
    }
    if (!Parse(bytes, result.value, &error)) {
        LogWarning(fmt::format("{} does not parse: {}", path.string(), error));
        result.status = DocumentStatus::Unparsable;
        return result;
    }
    result.status = DocumentStatus::Ok;
    return result;
}

Json::Value DocumentFile::ReadJsonFile(const fs::path& path) {
    return Read(path).value;
}

std::string DocumentFile::StyledText(const Json::Value& value) {
    try {
        return Json::writeString(WriterBuilder(), value) + "\n";
    } catch (...) {
        return {};
    }
}

bool DocumentFile::WriteJsonFile(const fs::path& path, const Json::Value& value,
                                 std::string* error) {
    const std::string text = StyledText(value);
    std::string reason;
    if (text.empty()) {
        reason = "cannot format the document for " + path.string();
    } else if (WriteFileAtomically(path, text, &reason)) {
        return true;
    }
    LogError(reason);
    if (error) *error = reason;
    return false;
}

fs::path DocumentFile::KeepAside(const fs::path& path) {
    fs::path aside = MoveAside(path, "corrupt", TimeStamp());
    if (aside.empty()) {
        LogError("cannot keep the damaged file " + path.string() + " aside");
    } else {
        LogWarning("kept the damaged file " + path.string() + " as " + aside.string());
    }
    return aside;
}

bool DocumentFile::ReadForUpdate(const fs::path& path, Json::Value& out, bool* keptAside) {
    if (keptAside) *keptAside = false;
    out = Json::Value(Json::objectValue);
    DocumentRead read = Read(path);
    if (read.status == DocumentStatus::Missing) return true;
    if (read.status == DocumentStatus::Unreadable) return false;
    if (read.status == DocumentStatus::Ok && read.value.isObject()) {
        out.swap(read.value);
        return true;
    }
    // Present but not an object: a rewrite would destroy it.
    if (KeepAside(path).empty()) return false;
    if (keptAside) *keptAside = true;
    return true;
}

std::string DocumentFile::TimeStamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto sinceEpoch = when.time_since_epoch();
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    const auto millis = duration_cast<milliseconds>(sinceEpoch - wholeSeconds).count();
    const std::time_t seconds = static_cast<std::time_t>(wholeSeconds.count());
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) local = std::tm{};
    return fmt::format("{}_{:02}_{:02}_{:02}_{:02}_{:02}_{:03}", local.tm_year + 1900,
                       local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                       millis);
}

std::string DocumentFile::TimeStamp() {
    return TimeStamp(std::chrono::system_clock::now());
}

std::string DocumentFile::FileTitle(const fs::path& path) {
    return path.stem().string();
}

}  // namespace q731
