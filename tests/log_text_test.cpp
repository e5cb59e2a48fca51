#include "schedule/log_text.h"

#include <gtest/gtest.h>

namespace tolvane::testing {
namespace {

// Texts a user could put in a schedule line or a path, and how each reaches
// the log: as one line that cannot pose as another, nor steer a terminal.
TEST(EscapeForLog, MakesHostileTextOnePlainLine) {
    struct Case {
        std::string text;
        LogBytes bytes;
        std::string logged;
    };
    const Case cases[] = {
        {"3:00 AM-Reboot-Repeat NO-Every Day", LogBytes::Utf8,
         "3:00 AM-Reboot-Repeat NO-Every Day"},
        // A line of its own at emergency priority, as journald would read it.
        {"3:00 AM-Nothing\n<0>Broadcast from root: ...-Repeat YES-Every Day", LogBytes::Utf8,
         "3:00 AM-Nothing\\n<0>Broadcast from root: ...-Repeat YES-Every Day"},
        {"<0>first", LogBytes::Utf8, "\\x3c0>first"},
        {"<0>first", LogBytes::CodePage, "\\x3c0>first"},
        {"a<b", LogBytes::Utf8, "a<b"},
        {"cr\rtab\tnul" + std::string(1, '\0') + "end", LogBytes::Utf8,
         "cr\\rtab\\tnul\\x00end"},
        {"\x1b[2J\x1b]0;title\x07\x7f", LogBytes::Utf8, "\\x1b[2J\\x1b]0;title\\x07\\x7f"},
        {"C:\\Users\\Ann\\rebootdata.kx", LogBytes::CodePage, "C:\\Users\\Ann\\rebootdata.kx"},
        // UTF-8: letters pass; C1 controls, separators and direction
        // overrides are escaped by code point, broken bytes by byte.
        {"Zoë 日本 😀", LogBytes::Utf8, "Zoë 日本 😀"},
        {"a\xc2\x9b" "31mb", LogBytes::Utf8, "a\\u009b31mb"},
        {"a\xe2\x80\xa8z\xe2\x80\xaetxt.exe\xe2\x81\xa6", LogBytes::Utf8,
         "a\\u2028z\\u202etxt.exe\\u2066"},
        {"\x9b" "31m", LogBytes::Utf8, "\\x9b31m"},
        {"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82", LogBytes::Utf8,
         "\\xc0\\xaf \\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80 \\xe2\\x82"},
        // The code page: bytes above 0x7F are letters there, not controls.
        {"Zo\xeb \x9b", LogBytes::CodePage, "Zo\xeb \x9b"},
        {"", LogBytes::Utf8, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeForLog(c.text, c.bytes), c.logged) << c.text;
    }
}

}  // namespace
}  // namespace tolvane::testing
