#include "ui/widgets/xml.h"

#include <cctype>
#include <charconv>

#include "ui/widgets/ui_types.h"

namespace q731 {

const std::string* XmlElement::Attribute(std::string_view attr) const {
    for (const auto& [key, value] : attributes) {
        if (EqualsNoCase(key, attr)) return &value;
    }
    return nullptr;
}

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<XmlElement> Document(std::string* error) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // UTF-8 byte-order mark
        std::optional<XmlElement> root;
        while (Ok()) {
            SkipMisc();
            if (AtEnd()) break;
            if (Peek() != '<') {
                Fail("text outside the root element");
                break;
            }
            if (root) {
                Fail("more than one root element");
                break;
            }
            XmlElement element;
            if (Element(element, 0)) root = std::move(element);
        }
        if (Ok() && !root) Fail("no root element");
        if (!Ok()) {
            if (error) *error = "line " + std::to_string(Line()) + ": " + error_;
            return std::nullopt;
        }
        return root;
    }

private:
    bool Ok() const { return error_.empty(); }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool StartsWith(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
    void Fail(std::string reason) {
        if (Ok()) error_ = std::move(reason);
    }
    int Line() const {
        int line = 1;
        for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i)
            line += text_[i] == '\n';
        return line;
    }
    void SkipSpace() {
        while (!AtEnd() && std::isspace(static_cast<unsigned char>(Peek())))
            ++pos_;
    }
    bool SkipPast(std::string_view end) {
        std::size_t at = text_.find(end, pos_);
        if (at == std::string_view::npos) {
            Fail("unterminated construct");
            pos_ = text_.size();
            return false;
        }
        pos_ = at + end.size();
        return true;
    }
    // Skips whitespace, comments, declarations and processing instructions.
    void SkipMisc() {
        while (Ok()) {
            SkipSpace();
            if (StartsWith("<!--")) {
                SkipPast("-->");
            } else if (StartsWith("<?")) {
                SkipPast("?>");
            } else if (StartsWith("<!DOCTYPE") || StartsWith("<!doctype")) {
                SkipPast(">");
            } else {
                return;
            }
        }
    }
    static bool IsNameChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
               c == ':' || static_cast<unsigned char>(c) >= 0x80;
    }
    std::string Name() {
        std::size_t start = pos_;
        while (!AtEnd() && IsNameChar(Peek()))
            ++pos_;
        if (start == pos_) Fail("expected a name");
        return std::string(text_.substr(start, pos_ - start));
    }
    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    std::string Decode(std::string_view raw) {
        std::string out;
        out.reserve(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            std::size_t semi = raw.find(';', i);
            if (semi == std::string_view::npos || semi - i > 10) {
                Fail("bad entity");
                return out;
            }
            std::string_view entity = raw.substr(i + 1, semi - i - 1);
            if (entity == "lt") {
                out += '<';
            } else if (entity == "gt") {
                out += '>';
            } else if (entity == "amp") {
                out += '&';
            } else if (entity == "quot") {
                out += '"';
            } else if (entity == "apos") {
                out += '\'';
            } else if (entity.size() > 1 && entity[0] == '#') {
                bool hex = entity[1] == 'x' || entity[1] == 'X';
                std::string_view digits = entity.substr(hex ? 2 : 1);
                unsigned code = 0;
                auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code,
                                                 hex ? 16 : 10);
                if (ec != std::errc() || end != digits.data() + digits.size() || code == 0 ||
                    code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                    Fail("bad character reference");
                    return out;
                }
                AppendUtf8(out, code);
            } else {
                Fail("unknown entity");
                return out;
            }
            i = semi;
        }
        return out;
    }
    bool Element(XmlElement& element, std::size_t depth) {
        if (depth >= kMaxXmlDepth) {
            Fail("elements nested too deeply");
            return false;
        }
        ++pos_;  // '<'
        element.name = Name();
        while (Ok()) {
            SkipSpace();
            if (StartsWith("/>")) {
                pos_ += 2;
                return true;
            }
            if (Peek() == '>') {
                ++pos_;
                break;
            }
            std::string key = Name();
            SkipSpace();
            if (Peek() != '=') {
                Fail("expected '=' after attribute " + key);
                return false;
            }
            ++pos_;
            SkipSpace();
            char quote = Peek();
            if (quote != '"' && quote != '\'') {
                Fail("attribute value without quotes");
                return false;
            }
            std::size_t end = text_.find(quote, pos_ + 1);
            if (end == std::string_view::npos) {
                Fail("unterminated attribute value");
                return false;
            }
            std::string value = Decode(text_.substr(pos_ + 1, end - pos_ - 1));
            pos_ = end + 1;
            element.attributes.emplace_back(std::move(key), std::move(value));
        }
        while (Ok()) {
            std::size_t lt = text_.find('<', pos_);
            if (lt == std::string_view::npos) {
                Fail("element <" + element.name + "> is not closed");
                return false;
            }
            pos_ = lt;
            if (StartsWith("<!--")) {
                SkipPast("-->");
            } else if (StartsWith("<![CDATA[")) {
                SkipPast("]]>");
            } else if (StartsWith("<?")) {
                SkipPast("?>");
            } else if (StartsWith("</")) {
                pos_ += 2;
                std::string closing = Name();
                SkipSpace();
                if (closing != element.name || Peek() != '>') {
                    Fail("mismatched closing tag </" + closing + "> for <" + element.name + ">");
                    return false;
                }
                ++pos_;
                return true;
            } else {
                XmlElement child;
                if (!Element(child, depth + 1)) return false;
                element.children.push_back(std::move(child));
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::optional<XmlElement> ParseXml(std::string_view text, std::string* error) {
    return Reader(text).Document(error);
}

}  // namespace q731
