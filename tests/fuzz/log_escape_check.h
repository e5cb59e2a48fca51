#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "schedule/log_text.h"

// Whatever a user wrote, its escaped form is one plain log line: no control
// byte, no leading '<', and in UTF-8 only well-formed text free of C1
// controls, separators and direction overrides. Printable ASCII passes as it is.
inline void CheckLogEscape(std::string_view text) {
    using tolvane::LogBytes;
    for (const LogBytes bytes : {LogBytes::Utf8, LogBytes::CodePage}) {
        const std::string logged = tolvane::EscapeForLog(text, bytes);
        FUZZ_CHECK(logged.empty() || logged.front() != '<');
        for (const char c : logged) {
            const auto byte = static_cast<unsigned char>(c);
            FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
        }
        bool plain = text.empty() || text.front() != '<';
        for (const char c : text) plain = plain && c >= 0x20 && c < 0x7F;
        if (plain) FUZZ_CHECK(logged == text);
        if (bytes != LogBytes::Utf8) continue;
        for (std::size_t at = 0; at < logged.size();) {
            const auto lead = static_cast<unsigned char>(logged[at]);
            if (lead < 0x80) {
                ++at;
                continue;
            }
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            FUZZ_CHECK(lead >= 0xC2 && lead <= 0xF4 && at + length <= logged.size());
            std::uint32_t point = lead & (0x7Fu >> length);
            for (std::size_t i = 1; i < length; ++i) {
                const auto next = static_cast<unsigned char>(logged[at + i]);
                FUZZ_CHECK((next & 0xC0) == 0x80);
                point = (point << 6) | (next & 0x3F);
            }
            FUZZ_CHECK(!(point >= 0x80 && point <= 0x9F) && point != 0x2028 && point != 0x2029 &&
                       !(point >= 0x202A && point <= 0x202E) && !(point >= 0x2066 && point <= 0x2069));
            at += length;
        }
    }
}
