#include "platform/win32/win32_process_starter.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/win32_error_text.h"

namespace tolvane {

namespace {

bool IsBatchFile(std::string_view program) {
    // The system drops dots and blanks at the end of a file name.
    while (!program.empty() && (program.back() == '.' || program.back() == ' ')) {
        program.remove_suffix(1);
    }
    if (program.size() < 4) return false;
    std::string extension(program.substr(program.size() - 4));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return extension == ".bat" || extension == ".cmd";
}

}  // namespace

bool InterpreterWouldRewrite(std::string_view commandLine) {
    std::string_view program = commandLine;
    if (!program.empty() && program.front() == '"') {
        program.remove_prefix(1);
        program = program.substr(0, program.find('"'));
    } else {
        program = program.substr(0, program.find_first_of(" \t"));
    }
    if (!IsBatchFile(program)) return false;
    return std::any_of(commandLine.begin(), commandLine.end(), [](char c) {
        return c == '%' || c == '!' || static_cast<unsigned char>(c) < 0x20;
    });
}

bool Win32ProcessStarter::Start(const std::string& commandLine, int windowStyle,
                                std::string& reason) {
    if (InterpreterWouldRewrite(commandLine)) {
        reason =
            "The command interpreter would read a path holding %, ! or a line break as another "
            "one.";
        return false;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::string writable = commandLine;
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        reason = ErrorText(GetLastError());
        return false;
    }
    // Nothing waits for the program; its handles are not needed.
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

}  // namespace tolvane
