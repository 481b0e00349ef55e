#pragma once
// The one reader and writer of JSON documents. Everything read here is
// untrusted: the reader never throws, refuses oversized files and reports why a
// file gave no document, so that callers can tell "missing" from "damaged" and
// never replace a damaged file without keeping it aside first.

#include <json/json.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace q731 {

namespace fs = std::filesystem;

enum class DocumentStatus {
    Ok,          // parsed
    Missing,     // no such file
    Empty,       // exists, holds nothing but white space or a byte-order mark
    Unparsable,  // exists, is not JSON (or nests too deeply)
    TooLarge,    // exists, larger than the cap
    Unreadable,  // exists but cannot be read (permissions, not a regular file)
};

struct DocumentRead {
    Json::Value value;  // null unless status is Ok
    DocumentStatus status = DocumentStatus::Missing;

    // A file is present whose bytes we could not turn into a document.
    bool Damaged() const {
        return status == DocumentStatus::Empty || status == DocumentStatus::Unparsable ||
               status == DocumentStatus::TooLarge;
    }
};

class DocumentFile {
public:
    // Largest file read; profiles are a few hundred kilobytes at most.
    static constexpr std::size_t kMaxBytes = std::size_t{16} << 20;
    // Deepest nesting accepted; real documents nest five levels.
    static constexpr unsigned kMaxDepth = 256;

    // Null for a missing, unreadable, empty, oversized or unparsable file.
    static Json::Value ReadJsonFile(const fs::path& path);
    static DocumentRead Read(const fs::path& path);
    // Parses `text` (a leading UTF-8 byte-order mark is skipped). On failure
    // `out` is null and the reason goes to `error`.
    static bool Parse(std::string_view text, Json::Value& out, std::string* error = nullptr);

    // The styled layout followed by one line end.
    static std::string StyledText(const Json::Value& value);
    // Replaces the file atomically; false (with the reason logged) on failure.
    static bool WriteJsonFile(const fs::path& path, const Json::Value& value,
                              std::string* error = nullptr);

    // Reads a user file that is about to be rewritten. A JSON object comes back
    // as is; a missing file as an empty object. A file that exists but holds no
    // object is first moved aside as "<name>.corrupt-<stamp>" and an empty
    // object comes back with `keptAside` set. Returns false when the file can be
    // neither read nor moved aside: the caller must not write it then.
    static bool ReadForUpdate(const fs::path& path, Json::Value& out, bool* keptAside = nullptr);
    // Moves a damaged file aside; the new path, or empty on failure.
    static fs::path KeepAside(const fs::path& path);

    // Local time as "%d_%02d_%02d_%02d_%02d_%02d_%03d" (year ... millisecond).
    static std::string TimeStamp();
    static std::string TimeStamp(std::chrono::system_clock::time_point when);
    // The file name without folder and extension.
    static std::string FileTitle(const fs::path& path);
};

}  // namespace q731
