#include "schedule/log_text.h"

#include <cstdint>

namespace tolvane {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendByteEscape(std::string& out, unsigned char byte) {
    switch (byte) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
    }
}

void AppendCodePointEscape(std::string& out, std::uint32_t point) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(point >> shift) & 0xF];
}

bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// Code points that move or hide text on a reader's screen though they are
// valid UTF-8: C1 controls, the line and paragraph separators, and the
// bidirectional embeddings, overrides and isolates.
bool IsInvisibleSteering(std::uint32_t point) {
    return (point >= 0x80 && point <= 0x9F) || point == 0x2028 || point == 0x2029 ||
           (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

// The length of the well-formed UTF-8 sequence at `at` and its code point;
// 0 when the bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, std::uint32_t& point) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    point = lead & (0x7Fu >> length);
    if (text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        point = (point << 6) | (byte(i) & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string EscapeForLog(std::string_view text, LogBytes bytes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (at == 0 && byte == '<') {
            AppendByteEscape(out, byte);
            ++at;
        } else if (IsControlByte(byte)) {
            AppendByteEscape(out, byte);
            ++at;
        } else if (byte < 0x80 || bytes == LogBytes::CodePage) {
            out += static_cast<char>(byte);
            ++at;
        } else {
            std::uint32_t point = 0;
            const std::size_t length = DecodeUtf8(text, at, point);
            if (length == 0) {
                AppendByteEscape(out, byte);
                ++at;
            } else if (IsInvisibleSteering(point)) {
                AppendCodePointEscape(out, point);
                at += length;
            } else {
                out.append(text.substr(at, length));
                at += length;
            }
        }
    }
    return out;
}

}  // namespace tolvane
