#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// An INI text kept as its lines, so that changing one value rewrites nothing
// else: comments, blank lines and entries the program does not know survive.
// Section and key names compare without regard to (ASCII) letter case; a name
// keeps the spelling it was first written with. Names and values are escaped
// on the way out, so any bytes (line breaks, "=", "[", leading spaces, NUL)
// come back exactly as they were stored.
class IniDocument {
  public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    // The first value stored under the section and key, in file order.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Replaces that value, or adds the key at the end of the section's first
    // appearance, or adds the section at the end.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;

  private:
    enum class Kind { Other, Section, Entry };
    struct Line {
        Kind kind = Kind::Other;
        std::string raw;   // as written in the file
        std::string name;  // section or key, unescaped
        std::string value;
    };
    std::vector<Line> lines_;
};

// The escaped forms, exposed for the tests of the file's shape.
std::string EscapeIniValue(std::string_view value);
std::string EscapeIniName(std::string_view name);
std::string UnescapeIni(std::string_view text);

}  // namespace tolvane
