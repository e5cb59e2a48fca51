#include "platform/win32/win32_process_starter.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
constexpr UINT kErrorOutputClosed = WM_APP + 8;
constexpr char kReceiverClass[] = "TolvaneProgramEnded";

// A started program's error output, read on a thread of its own until every
// process that holds the pipe's writing end has closed it. The thread owns
// this with the starter, so a starter that goes first frees nothing it reads.
struct ErrorOutput {
    UniqueHandle pipe;  // the reading end
    std::string kept;   // the end of what came, at most kErrorOutputKept bytes
    std::atomic<bool> closed{false};
    HWND receiver = nullptr;
    std::uint64_t id = 0;  // the record to tell, by its number
};

DWORD WINAPI ReadErrorOutput(void* parameter) {
    const std::unique_ptr<std::shared_ptr<ErrorOutput>> owned(
        static_cast<std::shared_ptr<ErrorOutput>*>(parameter));
    ErrorOutput& output = **owned;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output.pipe.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        output.kept.append(buffer, read);
        if (output.kept.size() > ProcessStarter::kErrorOutputKept) {
            output.kept.erase(0, output.kept.size() - ProcessStarter::kErrorOutputKept);
        }
    }
    output.closed.store(true, std::memory_order_release);
    // The record is named by number: a freed record's address may be reused.
    PostMessageA(output.receiver, kErrorOutputClosed, static_cast<WPARAM>(output.id), 0);
    return 0;
}
}  // namespace

struct Win32ProcessStarter::Waited {
    Win32ProcessStarter* starter = nullptr;
    std::uint64_t id = 0;
    UniqueHandle process;
    // Declared after the process, so it goes first: ending the wait waits for
    // a callback under way, so none runs on a freed record.
    UniqueThreadPoolWait wait;
    Ended ended;
    bool processEnded = false;
    DWORD exitCode = 0;
    DWORD exitCodeError = 0;  // why the exit code could not be read, or 0
    std::shared_ptr<ErrorOutput> errorOutput;
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
    if (message != kProgramEnded && message != kErrorOutputClosed) {
        return DefWindowProcA(window, message, w, l);
    }
    auto* starter =
        reinterpret_cast<Win32ProcessStarter*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const auto found = std::find_if(
        starter->waited_.begin(), starter->waited_.end(), [&](const std::unique_ptr<Waited>& waited) {
            return message == kProgramEnded ? waited.get() == reinterpret_cast<Waited*>(l)
                                            : waited->id == static_cast<std::uint64_t>(w);
        });
    if (found == starter->waited_.end()) return 0;
    Waited& record = **found;
    if (message == kProgramEnded && !record.processEnded) {
        record.processEnded = true;
        record.wait.Reset();
        if (!GetExitCodeProcess(record.process.Get(), &record.exitCode)) {
            record.exitCodeError = GetLastError();
        }
        record.process.Reset();
    }
    // Told once the program has ended and all it wrote to its error output is
    // read: that output closes when the last process holding it ends.
    const bool outputClosed =
        !record.errorOutput || record.errorOutput->closed.load(std::memory_order_acquire);
    if (!record.processEnded || !outputClosed) return 0;
    std::unique_ptr<Waited> done = std::move(*found);
    starter->waited_.erase(found);
    const std::string errorOutput = done->errorOutput ? done->errorOutput->kept : std::string();
    if (done->exitCodeError != 0) {
        done->ended(false, ErrorText(done->exitCodeError), errorOutput);
    } else if (done->exitCode != 0) {
        done->ended(false, "It ended with status " + std::to_string(done->exitCode) + ".",
                    errorOutput);
    } else {
        done->ended(true, {}, errorOutput);
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
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_SHOWNORMAL;
    DWORD creationFlags = 0;
    // A program waited for writes its error output into a pipe that is read
    // here; its input and output stay the console's (null handles in the
    // startup information are given the new console's), and the pipe's
    // writing end is the one handle it inherits.
    UniqueHandle errorRead;
    UniqueHandle errorWrite;
    std::vector<char> attributes;
    if (ended) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (!CreatePipe(errorRead.Out(), errorWrite.Out(), &inheritable, 0) ||
            !SetHandleInformation(errorRead.Get(), HANDLE_FLAG_INHERIT, 0) ||
            !InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size)) {
            reason = ErrorText(GetLastError());
            return false;
        }
        HANDLE inheritOnly = errorWrite.Get();
        const bool listed =
            UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                      &inheritOnly, sizeof inheritOnly, nullptr, nullptr) != 0;
        const DWORD listError = GetLastError();
        if (!listed) {
            DeleteProcThreadAttributeList(startup.lpAttributeList);
            reason = ErrorText(listError);
            return false;
        }
        startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdError = errorWrite.Get();
        creationFlags = EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION started{};
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::string writable = commandLine;
    const bool created =
        CreateProcessA(nullptr, writable.data(), nullptr, nullptr, ended ? TRUE : FALSE,
                       creationFlags, nullptr, nullptr, &startup.StartupInfo, &started) != 0;
    const DWORD createError = GetLastError();
    if (startup.lpAttributeList) DeleteProcThreadAttributeList(startup.lpAttributeList);
    // Only the program holds the writing end now: the pipe closes when it ends.
    errorWrite.Reset();
    if (!created) {
        reason = ErrorText(createError);
        return false;
    }
    UniqueHandle thread(started.hThread);
    UniqueHandle process(started.hProcess);
    if (!ended) return true;  // nothing waits for it
    auto record = std::make_unique<Waited>();
    record->starter = this;
    record->id = ++lastId_;
    record->ended = std::move(ended);
    auto output = std::make_shared<ErrorOutput>();
    output->pipe = std::move(errorRead);
    output->receiver = receiver_.Get();
    output->id = record->id;
    auto* shared = new std::shared_ptr<ErrorOutput>(output);
    UniqueHandle reader(CreateThread(nullptr, 0, ReadErrorOutput, shared, 0, nullptr));
    if (!reader) {
        delete shared;
        // It runs; its error output is not read, and not waited for: with
        // the reading end closed, its writes there fail instead of blocking.
        output->pipe.Reset();
        output->closed = true;
    }
    record->errorOutput = std::move(output);
    HANDLE wait = nullptr;
    if (!RegisterWaitForSingleObject(&wait, process.Get(), ProcessEnded, record.get(), INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        // It runs; only its end cannot be heard.
        const DWORD error = GetLastError();
        process.Reset();
        record->ended(false, "Its end could not be waited for: " + ErrorText(error), {});
        return true;
    }
    record->process = std::move(process);
    record->wait.Reset(wait);
    waited_.push_back(std::move(record));
    return true;
}

}  // namespace tolvane
