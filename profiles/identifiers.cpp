#include "profiles/identifiers.h"

#include "profiles/document_file.h"

namespace q731 {

WallClock OrSystemClock(WallClock clock) {
    if (clock) return clock;
    return [] { return std::chrono::system_clock::now(); };
}

std::string UniqueTimeStamp(const WallClock& clock,
                            const std::function<bool(const std::string&)>& taken) {
    auto when = clock();
    for (int attempt = 0; attempt < 100000; ++attempt, when += std::chrono::milliseconds(1)) {
        std::string stamp = DocumentFile::TimeStamp(when);
        if (!taken(stamp)) return stamp;
    }
    return {};
}

}  // namespace q731
