#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/process_starter.h"
#include "platform/win32/win32_handles.h"

namespace tolvane {

// Whether the command interpreter, which the system runs a batch file with,
// would read this batch file's command line as something else: it replaces
// %NAME% (and !NAME! where delayed expansion is on) even inside quotation
// marks, and a line break ends its command. A folder named "%TEMP%" would
// start the batch file of another folder.
bool InterpreterWouldRewrite(std::string_view commandLine);

// CreateProcessA with no separate program name: the system takes the program
// from the command line the starter builds (ProcessCommandLine), as the shell
// does, and shows its first window normally. A batch file is run through the
// command interpreter by the system itself. Not started: a path holding a
// double quote, which the quoting cannot carry; a batch file whose command
// line the interpreter would rewrite, or with an argument holding a quote,
// which the interpreter reads by rules of its own.
// A program waited for is watched by the thread pool and its error output
// read by a thread of its own (its console window shows the rest); its end
// is handed to the window's thread through a message-only window of the
// starter's own, so it arrives in whatever message loop runs (a message
// box's, a pause's).
class Win32ProcessStarter final : public ProcessStarter {
  public:
    Win32ProcessStarter();
    ~Win32ProcessStarter() override;
    Win32ProcessStarter(const Win32ProcessStarter&) = delete;
    Win32ProcessStarter& operator=(const Win32ProcessStarter&) = delete;

    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               std::string& reason, Ended ended) override;

  private:
    struct Waited;
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    static void CALLBACK ProcessEnded(void* waited, BOOLEAN timedOut);
    HWND Receiver();

    UniqueWindow receiver_;
    DWORD receiverError_ = 0;  // why the receiver could not be made
    std::uint64_t lastId_ = 0;
    // Gone before the receiver: each wait ends first, so nothing more is posted.
    std::vector<std::unique_ptr<Waited>> waited_;
};

}  // namespace tolvane
