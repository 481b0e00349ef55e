#pragma once
// A small XML reader for layouts, the resource index and language files: elements
// and attributes only (text, comments, declarations and CDATA are skipped).
// Skin files are untrusted, so depth and size are bounded and any error yields
// no document at all rather than a half-built one.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace q731 {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;  // in document order
    std::vector<XmlElement> children;

    // The attribute's value, compared without regard to case; nullptr when absent.
    const std::string* Attribute(std::string_view attr) const;
};

inline constexpr std::size_t kMaxXmlDepth = 200;

// Parses a document with exactly one root element. On failure returns nullopt
// and, when `error` is given, a line-numbered reason.
std::optional<XmlElement> ParseXml(std::string_view text, std::string* error = nullptr);

}  // namespace q731
