#include "platform/linux/ini_document.h"

#include <algorithm>

namespace tolvane {

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// `special` lists bytes escaped wherever they stand; blanks are escaped only
// at either end, where a reader would trim them.
std::string Escape(std::string_view text, std::string_view special) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool atEnd = i == 0 || i + 1 == text.size();
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7f || (atEnd && c == ' ') ||
                   special.find(static_cast<char>(c)) != std::string_view::npos) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

std::string EscapeIniValue(std::string_view value) {
    return Escape(value, "");
}

std::string EscapeIniName(std::string_view name) {
    // "=" ends a key, "[" and "]" frame a section, ";" and "#" open comments.
    return Escape(name, "=[];#");
}

std::string UnescapeIni(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[i + 1];
        if (next == '\\') {
            out += '\\';
            ++i;
        } else if (next == 'n') {
            out += '\n';
            ++i;
        } else if (next == 'r') {
            out += '\r';
            ++i;
        } else if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            out += '\\';  // not an escape this program writes: kept as it stands
        }
    }
    return out;
}

IniDocument::IniDocument(std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        // Every CR before the LF belongs to the line's end (a file passed
        // through CR LF conversion twice has two). Keeping one in the line
        // would turn into part of the value once the file is rewritten.
        while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        Line line;
        line.raw = std::string(raw);
        const auto body = TrimBlanks(raw);
        if (body.size() >= 2 && body.front() == '[' && body.back() == ']') {
            line.kind = Kind::Section;
            line.name = UnescapeIni(TrimBlanks(body.substr(1, body.size() - 2)));
        } else if (!body.empty() && body.front() != ';' && body.front() != '#' &&
                   body.find('=') != std::string_view::npos) {
            const auto equals = body.find('=');
            line.kind = Kind::Entry;
            line.name = UnescapeIni(TrimBlanks(body.substr(0, equals)));
            line.value = UnescapeIni(TrimBlanks(body.substr(equals + 1)));
        }
        lines_.push_back(std::move(line));
    }
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const auto& line : lines_) {
        if (line.kind == Kind::Section) inSection = SameName(line.name, section);
        if (inSection && line.kind == Kind::Entry && SameName(line.name, key)) return line.value;
    }
    return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    bool inSection = false;
    bool inFirstAppearance = false;
    std::optional<std::size_t> insertAt;  // after the last entry of the section's first appearance
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto& line = lines_[i];
        if (line.kind == Kind::Section) {
            inSection = SameName(line.name, section);
            inFirstAppearance = inSection && !insertAt;
            if (inFirstAppearance) insertAt = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (line.kind == Kind::Entry && SameName(line.name, key)) {
            line.value = std::string(value);
            line.raw = EscapeIniName(line.name) + "=" + EscapeIniValue(value);
            return;
        }
        if (inFirstAppearance && line.kind == Kind::Entry) insertAt = i + 1;
    }

    Line entry;
    entry.kind = Kind::Entry;
    entry.name = std::string(key);
    entry.value = std::string(value);
    entry.raw = EscapeIniName(key) + "=" + EscapeIniValue(value);
    if (insertAt) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAt), std::move(entry));
        return;
    }
    if (!lines_.empty() && !TrimBlanks(lines_.back().raw).empty()) lines_.push_back(Line{});
    Line header;
    header.kind = Kind::Section;
    header.name = std::string(section);
    // Built in place: GCC 12 at -O3 warns falsely (-Wrestrict) on "[" + name + "]".
    header.raw = EscapeIniName(section);
    header.raw.insert(header.raw.begin(), '[');
    header.raw.push_back(']');
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(entry));
}

std::string IniDocument::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line.raw;
        text += '\n';
    }
    return text;
}

}  // namespace tolvane
