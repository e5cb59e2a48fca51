// The command-line text, any bytes. Letter case and surrounding spaces never
// change what it asks for, "/force" is seen wherever it stands, and a Windows
// process command line gives the same request once its program name is cut
// off. The command line the Windows starter builds for a program keeps its
// path one name, whole, whatever else it holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_process_command_line.h"
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
        FUZZ_CHECK(request.what.has_value() != request.invalid);
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

    // A program's path (the starter refuses one holding a quote): the system's
    // cut of the name leaves exactly the arguments.
    const std::string path = textBytes;
    if (path.find('"') == std::string::npos) {
        FUZZ_CHECK(CommandLineArguments(ProcessCommandLine(path, {})).empty());
        FUZZ_CHECK(CommandLineArguments(ProcessCommandLine(path, {"/x"})) == "/x");
    }
    ProcessCommandLine(textBytes, {textBytes, ""});  // any text at all without harm
    return 0;
}
