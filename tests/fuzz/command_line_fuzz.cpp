// The command-line text, any bytes. Letter case and surrounding spaces never
// change what it asks for, "/force" is seen wherever it stands, and a Windows
// process command line gives the same request once its program name is cut
// off. The quoting the program uses to start a service script must survive
// the Linux starter's splitting: a quoted path is that path, whole.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/linux/windows_command_line.h"
#include "platform/win32/win32_command_line.h"
#include "schedule/text.h"
#include "shell/command_line.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string textBytes(reinterpret_cast<const char*>(data), size);

    const CommandLineRequest request = ParseCommandLine(textBytes);
    FUZZ_CHECK(ParseCommandLine(text::ToUpper(textBytes)) == request);
    FUZZ_CHECK(ParseCommandLine("  " + textBytes + " ") == request);
    FUZZ_CHECK(request.force == text::Contains(text::ToLower(textBytes), "/force"));
    if (text::TrimSpaces(textBytes).empty()) {
        FUZZ_CHECK(request == CommandLineRequest{});
    } else {
        FUZZ_CHECK(request.action != CommandLineAction::None);
    }

    // As the whole process command line on Windows, after the program's name.
    const std::string arguments =
        CommandLineArguments("\"C:\\Program Files\\tolvane.exe\" " + textBytes);
    // (The system's cut also takes tabs after the name, which the program's own
    // reading keeps: an option behind a tab differs there, as it should.)
    const auto firstNonSpace = textBytes.find_first_not_of(' ');
    if (firstNonSpace == std::string::npos || textBytes[firstNonSpace] != '\t') {
        FUZZ_CHECK(ParseCommandLine(arguments) == request);
    }

    // A service script's path in the quotes the program puts around it.
    const std::string path = textBytes;
    if (path.find('"') == std::string::npos && !path.empty() && path.back() != '\\') {
        const auto pieces = SplitWindowsCommandLine("\"" + path + "\"");
        FUZZ_CHECK(pieces.size() == 1 && pieces[0] == path);
    }
    SplitWindowsCommandLine(textBytes);  // any text at all splits without harm
    return 0;
}
