#include "platform/win32/win32_process_starter.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_process_command_line.h"

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

namespace {
constexpr UINT kProgramEnded = WM_APP + 7;
constexpr char kReceiverClass[] = "TolvaneProgramEnded";
}  // namespace

struct Win32ProcessStarter::Waited {
    Win32ProcessStarter* starter = nullptr;
    UniqueHandle process;
    // Declared after the process, so it goes first: ending the wait waits for
    // a callback under way, so none runs on a freed record.
    UniqueThreadPoolWait wait;
    Ended ended;
};

Win32ProcessStarter::Win32ProcessStarter() {
    // Made now rather than at the first start: the window's thread is the
    // one that constructs the starter.
    Receiver();
}

Win32ProcessStarter::~Win32ProcessStarter() = default;

HWND Win32ProcessStarter::Receiver() {
    if (receiver_) return receiver_.Get();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kReceiverClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        receiverError_ = GetLastError();
        return nullptr;
    }
    receiver_.Reset(CreateWindowExA(0, kReceiverClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr));
    if (!receiver_) {
        receiverError_ = GetLastError();
        return nullptr;
    }
    SetWindowLongPtrA(receiver_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return receiver_.Get();
}

void CALLBACK Win32ProcessStarter::ProcessEnded(void* waited, BOOLEAN) {
    auto* record = static_cast<Waited*>(waited);
    PostMessageA(record->starter->receiver_.Get(), kProgramEnded, 0,
                 reinterpret_cast<LPARAM>(record));
}

LRESULT CALLBACK Win32ProcessStarter::WindowProcedure(HWND window, UINT message, WPARAM w,
                                                      LPARAM l) {
    if (message != kProgramEnded) return DefWindowProcA(window, message, w, l);
    auto* starter =
        reinterpret_cast<Win32ProcessStarter*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    auto* record = reinterpret_cast<Waited*>(l);
    const auto found =
        std::find_if(starter->waited_.begin(), starter->waited_.end(),
                     [&](const std::unique_ptr<Waited>& waited) { return waited.get() == record; });
    if (found == starter->waited_.end()) return 0;
    std::unique_ptr<Waited> done = std::move(*found);
    starter->waited_.erase(found);
    done->wait.Reset();
    DWORD code = 0;
    const bool known = GetExitCodeProcess(done->process.Get(), &code) != 0;
    const DWORD error = GetLastError();
    done->process.Reset();
    if (!known) {
        done->ended(false, ErrorText(error));
    } else if (code != 0) {
        done->ended(false, "It ended with status " + std::to_string(code) + ".");
    } else {
        done->ended(true, {});
    }
    return 0;
}

bool Win32ProcessStarter::Start(const std::string& program,
                                const std::vector<std::string>& arguments, std::string& reason,
                                Ended ended) {
    if (program.find('"') != std::string::npos) {
        reason = "The path holds a quotation mark.";
        return false;
    }
    const bool quoteForInterpreter =
        IsBatchFile(program) &&
        std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
            return argument.find('"') != std::string::npos;
        });
    if (quoteForInterpreter) {
        reason =
            "The command interpreter would read an argument holding a quotation mark as more "
            "than one.";
        return false;
    }
    const std::string commandLine = ProcessCommandLine(program, arguments);
    if (InterpreterWouldRewrite(commandLine)) {
        reason =
            "The command interpreter would read a path holding %, ! or a line break as another "
            "one.";
        return false;
    }
    if (ended && !Receiver()) {
        reason = ErrorText(receiverError_);
        return false;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::string writable = commandLine;
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        reason = ErrorText(GetLastError());
        return false;
    }
    UniqueHandle thread(started.hThread);
    UniqueHandle process(started.hProcess);
    if (!ended) return true;  // nothing waits for it
    auto record = std::make_unique<Waited>();
    record->starter = this;
    record->ended = std::move(ended);
    HANDLE wait = nullptr;
    if (!RegisterWaitForSingleObject(&wait, process.Get(), ProcessEnded, record.get(), INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        // It runs; only its end cannot be heard.
        const DWORD error = GetLastError();
        process.Reset();
        record->ended(false, "Its end could not be waited for: " + ErrorText(error));
        return true;
    }
    record->process = std::move(process);
    record->wait.Reset(wait);
    waited_.push_back(std::move(record));
    return true;
}

}  // namespace tolvane
