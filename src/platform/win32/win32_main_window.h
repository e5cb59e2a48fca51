#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/view.h"
#include "platform/win32/win32_folder_watch.h"
#include "platform/win32/win32_handles.h"
#include "schedule/log_text.h"
#include "shell/handler_guard.h"
#include "shell/window_layout.h"

namespace tolvane {

class MainWindow;

// The resolution the system draws at; the program declares itself aware of
// it, so these are real pixels.
int SystemDotsPerInch();

// The main window, built from the window table with the platform's standard
// controls. Every control is a child of the window itself (a frame only
// groups what lies on it), so one dialog manager serves the whole window and
// each control's notifications reach this window directly.
class Win32MainWindow final : public MainWindowView {
  public:
    // Creates the window, its menu bar and every control, hidden, laid out at
    // `dotsPerInch`. No event reaches a handler before Attach. `endProgram`
    // ends the process (tests pass something gentler).
    Win32MainWindow(HINSTANCE instance, int dotsPerInch, std::function<void()> endProgram);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    void Attach(MainWindow& form) { form_ = &form; }
    // Tells the form whenever something changes in `folder` (the schedule
    // file's): another window, the service or a script wrote it. Returns
    // whether the system watches it.
    bool WatchFolder(const std::string& folder);

    HWND Handle() const { return window_; }
    // Why the window could not be made (no handle): the system's error code.
    DWORD CreationError() const { return creationError_; }
    // Runs a handler of the attached window, guarded: nothing it throws may
    // unwind through the system's code; its failure goes to the failure log.
    void Run(std::string_view event, const std::function<void(MainWindow&)>& call);
    // Where a handler's failure is written; standard error until set.
    void SetFailureLog(HandlerFailureLog log) { failureLog_ = std::move(log); }
    HWND ControlWindow(ControlId id) const;
    // The identifiers in WM_COMMAND: a control's child id, a menu item's command.
    static int ControlCommand(ControlId id);
    static UINT MenuCommand(MenuId id);
    // Runs `handler` whenever the window receives `message`, a number
    // another adapter registered with the system; guarded as every handler
    // is, its failure logged under `event`. A null handler stops it; a
    // message has one handler at most.
    void SetMessageHandler(UINT message, std::string event, std::function<void()> handler);
    // The small image of the program's icon, the one the notification area
    // shows.
    HICON SmallIcon() const { return smallIcon_.Get(); }
    // The id the window's notification-area icon is added with (the icon's
    // handle), and a second id, never the first, for an icon added only to
    // carry a notice. A press on either icon (left or right button down) is
    // told to the form as the icon's activation.
    UINT TrayIconId() const {
        return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(smallIcon_.Get()));
    }
    UINT NoticeIconId() const { return TrayIconId() + 1; }
    // Receives the balloon events (NIN_BALLOON*) of either icon, with the
    // icon's id; null for none.
    void SetBalloonEvents(std::function<void(UINT iconId, UINT event)> events) {
        balloonEvents_ = std::move(events);
    }
    // The id of the timer in WM_TIMER.
    static constexpr UINT_PTR kTimerId = 1;
    // Posted by the folder's watch.
    static constexpr UINT kFolderChangedMessage = WM_APP + 1;
    // What the notification area sends about the window's icon and about
    // the notice's icon: the icon's id in wParam, the mouse message or the
    // balloon's event in lParam. Numbers of the window's own, so that nothing
    // the system sends the window itself can pass for them.
    static constexpr UINT kTrayIconMessage = WM_APP + 2;
    static constexpr UINT kNoticeIconMessage = WM_APP + 3;

    // MainWindowView
    bool OptionValue(ControlId option) override;
    void SetOptionValue(ControlId option, bool selected) override;
    int CheckValue(ControlId check) override;
    void SetCheckValue(ControlId check, int value) override;
    std::string ComboText(ControlId combo) override;
    void SetComboText(ControlId combo, const std::string& text) override;
    void AddComboItem(ControlId combo, const std::string& item) override;
    bool MenuChecked(MenuId item) override;
    void SetMenuChecked(MenuId item, bool checked) override;
    void ShowWindow() override;
    void HideWindow() override;
    void EndProgram() override;
    void SetShownLines(ControlId list, const std::vector<std::string>& lines) override;
    void ItemInserted(int index, const std::string& line) override;
    void ItemRemoved(int index) override;
    void SelectionChanged(int index) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Menu items, buttons, check boxes and the list's selection.
    void OnCommand(int id, int code, HWND control);
    // A key on the schedule list; the result is WM_VKEYTOITEM's.
    LRESULT OnListKey(int key, HWND list);
    void OnTimer(UINT_PTR id);
    void OnFolderChanged();
    // A press on an icon, or a balloon's event.
    void OnIconEvent(UINT iconId, UINT event);
    void OnClose();
    void OnActivate(int state);
    void OnDestroy();
    // Whether an adapter's handler took `message`.
    bool RunAddedHandler(UINT message);
    void CreateControls(HINSTANCE instance);
    // The largest size of the system's message font, not above its own, at
    // which every text shows whole on its control (measured on the controls
    // as laid out), given to every control. A combo's edit margins give way
    // for its items before the font does.
    void FitFont();
    void FitComboHeights();
    void FitClientArea();
    void RestoreFocus();
    int Pixels(int twips) const { return TwipsToPixels(twips, dotsPerInch_); }

    // Icons and font are declared first, so they outlive the window that
    // shows them; the window itself is destroyed by hand, before them.
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UniqueFont font_;
    HWND window_ = nullptr;
    HMENU menuBar_ = nullptr;  // the window's: destroyed with it
    DWORD creationError_ = 0;
    HWND lastFocus_ = nullptr;
    int dotsPerInch_;
    bool destroying_ = false;
    MainWindow* form_ = nullptr;
    std::function<void()> endProgram_;
    std::function<void(UINT, UINT)> balloonEvents_;
    struct AddedHandler {
        UINT message;
        std::string event;
        std::function<void()> handler;
    };
    std::vector<AddedHandler> addedHandlers_;
    std::unique_ptr<Win32FolderWatch> watch_;
    HandlerFailureLog failureLog_ = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", EscapeForLog(line, LogBytes::CodePage).c_str());
    };
};

}  // namespace tolvane
