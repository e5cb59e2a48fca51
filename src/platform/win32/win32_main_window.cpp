#include "platform/win32/win32_main_window.h"

// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/win32_resource_ids.h"
#include "shell/caption_fit.h"
#include "shell/handler_guard.h"
#include "shell/main_window.h"
#include "shell/texts.h"

namespace tolvane {

namespace {

constexpr char kWindowClass[] = "TolvaneMainWindow";
constexpr int kFirstControlCommand = 100;
constexpr UINT kFirstMenuCommand = 1000;
// Lines the open list of a drop-down combo shows before it scrolls.
constexpr int kComboListLines = 10;

std::size_t ControlIndex(ControlId id) {
    const auto controls = MainWindowControls();
    return static_cast<std::size_t>(std::find_if(controls.begin(), controls.end(),
                                                 [&](const ControlSpec& c) { return c.id == id; }) -
                                    controls.begin());
}

std::size_t MenuIndex(MenuId id) {
    const auto menus = MainWindowMenus();
    return static_cast<std::size_t>(
        std::find_if(menus.begin(), menus.end(), [&](const MenuSpec& m) { return m.id == id; }) -
        menus.begin());
}

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Frame && kind != ControlKind::BorderlessFrame &&
           kind != ControlKind::Label;
}

bool IsContainer(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::BorderlessFrame;
}

// The control's place on the window: its own offset plus its containers'.
POINT WindowTwips(const ControlSpec& spec) {
    POINT at{spec.left, spec.top};
    for (auto container = spec.container; container;) {
        const ControlSpec& outer = Control(*container);
        at.x += outer.left;
        at.y += outer.top;
        container = outer.container;
    }
    return at;
}

struct ControlClass {
    const char* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassFor(ControlKind kind) {
    switch (kind) {
        case ControlKind::Frame:
            return {"BUTTON", BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
        case ControlKind::BorderlessFrame:
            // Only groups its option buttons: present, never shown.
            return {"STATIC", SS_LEFT, 0};
        case ControlKind::PushButton:
            return {"BUTTON", BS_PUSHBUTTON, 0};
        case ControlKind::OptionButton:
            return {"BUTTON", BS_AUTORADIOBUTTON, 0};
        case ControlKind::CheckBox:
            // Three states (the third, grayed, only from code); the program
            // flips the box itself on a click, so setting it from code raises
            // no click.
            return {"BUTTON", BS_3STATE, 0};
        case ControlKind::DropDownCombo:
            return {"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0};
        case ControlKind::ListBox:
            // No LBS_SORT: the schedule decides the order and tells where each
            // line goes. Its keys come to the window first (WM_VKEYTOITEM), for
            // the Delete key.
            return {"LISTBOX",
                    LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT | WS_VSCROLL,
                    WS_EX_CLIENTEDGE};
        case ControlKind::ShownLines:
            // Read and scrolled, never chosen: nothing here acts on a line.
            return {"LISTBOX", LBS_NOSEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            return {"STATIC", SS_LEFT | WS_CLIPSIBLINGS, 0};
    }
    return {"STATIC", SS_LEFT, 0};
}

// Layers, top first: the controls that take the focus, in the table's focus
// order (which the dialog manager follows), then the labels, then the frames.
// Labels and frames are clipped by everything above them, so a label wider
// than its text or a frame never paints over a control that lies on it.
int Layer(ControlKind kind) {
    if (IsContainer(kind)) return 2;
    return kind == ControlKind::Label ? 1 : 0;
}

std::vector<const ControlSpec*> CreationOrder() {
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& spec : MainWindowControls()) order.push_back(&spec);
    std::stable_sort(order.begin(), order.end(), [](const ControlSpec* a, const ControlSpec* b) {
        if (Layer(a->kind) != Layer(b->kind)) return Layer(a->kind) < Layer(b->kind);
        return a->tabIndex < b->tabIndex;
    });
    return order;
}

// The system's message font, sized for `dotsPerInch`.
bool MessageFont(int dotsPerInch, LOGFONTA& font) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return false;
    }
    font = metrics.lfMessageFont;
    // The system's font is sized for the system's resolution.
    font.lfHeight = MulDiv(font.lfHeight, dotsPerInch, SystemDotsPerInch());
    return true;
}

// Below this the captions would be unreadable.
constexpr int kSmallestPoints = 6;

// How far the caption of a push button keeps from its sides: the raised
// edge, then the focus rectangle's gap.
int ButtonTextMargin() {
    return 2 * GetSystemMetrics(SM_CXEDGE);
}

// Where an option button's or check box's caption starts: after the
// indicator and the gap before the text.
int IndicatorRoom(int dotsPerInch) {
    return std::max(GetSystemMetrics(SM_CXMENUCHECK), MulDiv(13, dotsPerInch, 96)) +
           MulDiv(6, dotsPerInch, 96);
}

// A group box's caption sits between the frame's line and gaps beside it.
int FrameTitleRoom(int dotsPerInch) {
    return MulDiv(16, dotsPerInch, 96);
}

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

// Whether `text` shows whole on `control` with the font selected into `dc`.
bool TextFits(HDC dc, HWND control, const ControlSpec& spec, const std::string& text,
              int dotsPerInch) {
    RECT client;
    GetClientRect(control, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const SIZE size = TextSize(dc, text);
    switch (spec.kind) {
        case ControlKind::PushButton:
            return size.cx + 2 * ButtonTextMargin() <= width && metrics.tmHeight <= height;
        case ControlKind::OptionButton:
        case ControlKind::CheckBox:
            return IndicatorRoom(dotsPerInch) + size.cx <= width && metrics.tmHeight <= height;
        case ControlKind::Frame:
            return size.cx + FrameTitleRoom(dotsPerInch) <= width;
        case ControlKind::Label: {
            // Wrapped as the label wraps it; a word wider than the label
            // widens the rectangle.
            RECT needed{0, 0, width, 0};
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_LEFT);
            return needed.right <= width && needed.bottom <= height;
        }
        case ControlKind::DropDownCombo: {
            // The edit part, beside the drop-down button, inside its margins.
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (!GetComboBoxInfo(control, &info) || !info.hwndItem) return true;
            RECT shown{};
            SendMessageA(info.hwndItem, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
            return size.cx < shown.right - shown.left;
        }
        case ControlKind::BorderlessFrame:
        case ControlKind::ListBox:
        case ControlKind::ShownLines:
            return true;
    }
    return true;
}

// Narrows a combo's edit margins, as MarginsThatFit says, so that its widest
// text in the font selected into `dc` fits. Setting a font resets them to the
// font's own, so this follows every change of font.
void FitEditMargins(HDC dc, HWND combo, const ControlSpec& spec) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(combo, &info) || !info.hwndItem) return;
    int widest = 0;
    for (const std::string& text : TextsToShowWhole(spec)) {
        widest = std::max(widest, static_cast<int>(TextSize(dc, text).cx));
    }
    RECT client;
    GetClientRect(info.hwndItem, &client);
    const auto own = static_cast<DWORD>(SendMessageA(info.hwndItem, EM_GETMARGINS, 0, 0));
    const EditMargins current{LOWORD(own), HIWORD(own)};
    const EditMargins fitted = MarginsThatFit(current, client.right - client.left, widest);
    if (fitted == current) return;
    SendMessageA(info.hwndItem, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(fitted.left, fitted.right));
}

std::string WindowText(HWND window) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return text;
}

}  // namespace

int SystemDotsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int Win32MainWindow::ControlCommand(ControlId id) {
    return kFirstControlCommand + static_cast<int>(ControlIndex(id));
}

UINT Win32MainWindow::MenuCommand(MenuId id) {
    return kFirstMenuCommand + static_cast<UINT>(MenuIndex(id));
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance, int dotsPerInch,
                                 std::function<void()> endProgram)
    : dotsPerInch_(dotsPerInch), endProgram_(std::move(endProgram)) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExA(instance, kWindowClass, &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &Win32MainWindow::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassExA(&windowClass)) {
            creationError_ = GetLastError();
            return;
        }
    }

    bigIcon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(TOLVANE_ICON),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(TOLVANE_ICON),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0)));

    // Owned here until the window takes the menu bar (and its menus) over.
    UniqueMenu menuBar(CreateMenu());
    std::vector<HMENU> popups(MainWindowMenus().size(), nullptr);
    for (const MenuSpec& spec : MainWindowMenus()) {
        const std::string caption(spec.caption);
        if (!spec.parent) {
            popups[MenuIndex(spec.id)] = CreatePopupMenu();
            AppendMenuA(menuBar.Get(), MF_POPUP | MF_STRING,
                        reinterpret_cast<UINT_PTR>(popups[MenuIndex(spec.id)]), caption.c_str());
        } else if (caption == "-") {
            AppendMenuA(popups[MenuIndex(*spec.parent)], MF_SEPARATOR, MenuCommand(spec.id),
                        nullptr);
        } else {
            AppendMenuA(popups[MenuIndex(*spec.parent)], MF_STRING, MenuCommand(spec.id),
                        caption.c_str());
        }
    }

    // A fixed frame: the controls never follow a resize.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, Pixels(kClientWidthTwips), Pixels(kClientHeightTwips)};
    AdjustWindowRectEx(&frame, style, TRUE, 0);
    const std::string title(texts::kWindowTitle);
    window_ = CreateWindowExA(0, kWindowClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr,
                              menuBar.Get(), instance, this);
    if (!window_) {
        creationError_ = GetLastError();
        return;
    }
    menuBar_ = menuBar.Release();
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
    FitClientArea();
    CreateControls(instance);
    FitFont();
    FitComboHeights();
    SetTimer(window_, kTimerId, kTimerIntervalMs, nullptr);
}

Win32MainWindow::~Win32MainWindow() {
    destroying_ = true;
    form_ = nullptr;
    watch_.reset();
    // The window takes its menu bar with it; the font and icons go after it,
    // as nothing draws with them any more.
    if (window_) DestroyWindow(window_);
}

bool Win32MainWindow::WatchFolder(const std::string& folder) {
    watch_.reset();
    watch_ = std::make_unique<Win32FolderWatch>(folder, window_, kFolderChangedMessage);
    return watch_->Watching();
}

void Win32MainWindow::FitClientArea() {
    // A menu bar that wraps onto a second line takes client height; grow the
    // window until the client area has the table's size.
    RECT client;
    GetClientRect(window_, &client);
    const int missingWidth = Pixels(kClientWidthTwips) - (client.right - client.left);
    const int missingHeight = Pixels(kClientHeightTwips) - (client.bottom - client.top);
    if (missingWidth == 0 && missingHeight == 0) return;
    RECT outer;
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + missingWidth,
                 outer.bottom - outer.top + missingHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::CreateControls(HINSTANCE instance) {
    const ControlSpec* previous = nullptr;
    for (const ControlSpec* spec : CreationOrder()) {
        const ControlClass kind = ClassFor(spec->kind);
        DWORD style = WS_CHILD | kind.style;
        if (spec->kind != ControlKind::BorderlessFrame) style |= WS_VISIBLE;
        if (TakesFocus(spec->kind)) style |= WS_TABSTOP;
        // Option buttons that follow each other on the same container are one
        // group (the arrow keys move within it, a click clears the others);
        // every other control starts a group of its own.
        const bool continuesGroup = spec->kind == ControlKind::OptionButton && previous &&
                                    previous->kind == ControlKind::OptionButton &&
                                    previous->container == spec->container;
        if (!continuesGroup) style |= WS_GROUP;

        const POINT at = WindowTwips(*spec);
        const int left = Pixels(at.x);
        const int top = Pixels(at.y);
        const int width = Pixels(at.x + spec->width) - left;
        int height = Pixels(at.y + spec->height) - top;
        // A drop-down combo's height includes its open list.
        if (spec->kind == ControlKind::DropDownCombo) height += kComboListLines * Pixels(195);

        const std::string caption(spec->caption);
        HWND control = CreateWindowExA(
            kind.exStyle, kind.name, caption.c_str(), style, left, top, width, height, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlCommand(spec->id))), instance,
            nullptr);
        // A combo box ignores the text it is created with.
        if (control && spec->kind == ControlKind::DropDownCombo) {
            SetWindowTextA(control, caption.c_str());
        }
        previous = spec;
    }
}

void Win32MainWindow::FitFont() {
    LOGFONTA base{};
    if (!MessageFont(dotsPerInch_, base)) return;
    // A negative height is the characters' height, a positive one the
    // cell's; the size tried keeps the system's sign.
    const int sign = base.lfHeight < 0 ? -1 : 1;
    const int largest = std::abs(base.lfHeight);
    const int smallest = MulDiv(kSmallestPoints, dotsPerInch_, 72);
    HDC dc = GetDC(window_);
    int applied = 0;
    auto apply = [&](int size) {
        LOGFONTA wanted = base;
        wanted.lfHeight = sign * size;
        HFONT next = CreateFontIndirectA(&wanted);
        if (!next) return;
        // The controls take it first: a combo's edit sets its margins by it.
        for (const ControlSpec& spec : MainWindowControls()) {
            SendMessageA(ControlWindow(spec.id), WM_SETFONT, reinterpret_cast<WPARAM>(next), 0);
        }
        font_.Reset(next);
        applied = size;
        if (!dc) return;
        const HGDIOBJ before = SelectObject(dc, next);
        for (const ControlSpec& spec : MainWindowControls()) {
            if (spec.kind == ControlKind::DropDownCombo) {
                FitEditMargins(dc, ControlWindow(spec.id), spec);
            }
        }
        SelectObject(dc, before);
    };
    const int chosen = LargestSizeThatFits(largest, smallest, [&](int size) {
        apply(size);
        if (!font_ || !dc) return true;
        const HGDIOBJ before = SelectObject(dc, font_.Get());
        bool fits = true;
        for (const ControlSpec& spec : MainWindowControls()) {
            for (const std::string& text : TextsToShowWhole(spec)) {
                if (!TextFits(dc, ControlWindow(spec.id), spec, text, dotsPerInch_)) {
                    fits = false;
                    break;
                }
            }
            if (!fits) break;
        }
        SelectObject(dc, before);
        return fits;
    });
    if (chosen != applied) apply(chosen);
    if (dc) ReleaseDC(window_, dc);
}

void Win32MainWindow::FitComboHeights() {
    // The closed combo's height follows its font and its field's height; move
    // the field by what the combo still lacks until it has the table's
    // height. The field's height is kept here: the one the combo reports back
    // can differ from the one it was given.
    for (const ControlSpec& spec : MainWindowControls()) {
        if (spec.kind != ControlKind::DropDownCombo) continue;
        HWND combo = ControlWindow(spec.id);
        const POINT at = WindowTwips(spec);
        const int wanted = Pixels(at.y + spec.height) - Pixels(at.y);
        LRESULT field = SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        if (field == CB_ERR) continue;
        for (int attempt = 0; attempt < 16; ++attempt) {
            RECT rect;
            GetWindowRect(combo, &rect);
            const int difference = wanted - (rect.bottom - rect.top);
            if (difference == 0 || field + difference <= 0) break;
            field += difference;
            SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        }
    }
}

HWND Win32MainWindow::ControlWindow(ControlId id) const {
    return GetDlgItem(window_, ControlCommand(id));
}

void Win32MainWindow::Run(std::string_view event, const std::function<void(MainWindow&)>& call) {
    if (!form_) return;
    RunHandler(
        event, [&] { call(*form_); }, failureLog_);
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Win32MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_VKEYTOITEM:
            return OnListKey(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case kFolderChangedMessage:
            OnFolderChanged();
            return 0;
        case kTrayIconMessage:
        case kNoticeIconMessage:
            OnIconEvent(static_cast<UINT>(wParam), static_cast<UINT>(lParam));
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_QUERYENDSESSION:
            // Never hold up a log-off or shutdown, the program's own included.
            return TRUE;
        case WM_ENDSESSION:
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam));
            return 0;
        case WM_SETFOCUS:
            RestoreFocus();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            if (RunAddedHandler(message)) return 0;
            return DefWindowProcA(window_, message, wParam, lParam);
    }
}

// ---- Keyboard ----

LRESULT Win32MainWindow::OnListKey(int key, HWND list) {
    // The schedule list has the focus: Delete presses the button the table
    // gives it; every other key is the list's.
    if (key != VK_DELETE || list != ControlWindow(ControlId::ScheduleLines)) return -1;
    const ControlSpec& button = Control(kListDeleteKeyButton);
    Run(button.name, [&](MainWindow& form) { (form.*button.click)(); });
    return -2;
}

// ---- The timer and the schedule's watch ----

void Win32MainWindow::OnTimer(UINT_PTR id) {
    if (id == kTimerId) Run("the timer", [](MainWindow& form) { form.OnTimerTick(); });
}

void Win32MainWindow::OnFolderChanged() {
    if (watch_) watch_->Handled();
    Run("the schedule's watch", [](MainWindow& form) { form.OnScheduleFileChanged(); });
}

// ---- The notification area ----

void Win32MainWindow::OnIconEvent(UINT iconId, UINT event) {
    if (event >= NIN_BALLOONSHOW && event <= NIN_BALLOONUSERCLICK) {
        if (balloonEvents_) {
            RunHandler(
                "the notice's balloon", [&] { balloonEvents_(iconId, event); }, failureLog_);
        }
        return;
    }
    // A left or right button going down on the icon asks for the window.
    if (event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN) {
        Run("the tray icon", [](MainWindow& form) { form.OnTrayIconActivated(); });
    }
}

void Win32MainWindow::SetMessageHandler(UINT message, std::string event,
                                        std::function<void()> handler) {
    std::erase_if(addedHandlers_,
                  [&](const AddedHandler& added) { return added.message == message; });
    if (handler) addedHandlers_.push_back({message, std::move(event), std::move(handler)});
}

bool Win32MainWindow::RunAddedHandler(UINT message) {
    const auto found =
        std::find_if(addedHandlers_.begin(), addedHandlers_.end(),
                     [&](const AddedHandler& added) { return added.message == message; });
    if (found == addedHandlers_.end()) return false;
    // A copy: the handler may replace or remove itself while it runs.
    const AddedHandler added = *found;
    RunHandler(added.event, added.handler, failureLog_);
    return true;
}

// ---- The window's state ----

void Win32MainWindow::OnClose() {
    // Title-bar button, system menu, Alt+F4: the window decides.
    int cancel = 1;
    if (form_) {
        cancel = 0;
        Run("closing the window", [&](MainWindow& form) { form.OnCloseRequested(cancel); });
    }
    if (!cancel) EndProgram();
}

void Win32MainWindow::OnActivate(int state) {
    if (state == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
    } else {
        RestoreFocus();
    }
}

void Win32MainWindow::OnDestroy() {
    // Only the program's end destroys the window from outside.
    if (!destroying_) PostQuitMessage(0);
}

void Win32MainWindow::RestoreFocus() {
    HWND target = lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : nullptr;
    if (!target) target = GetNextDlgTabItem(window_, nullptr, FALSE);
    if (target) SetFocus(target);
}

// ---- Commands ----

void Win32MainWindow::OnCommand(int id, int code, HWND control) {
    if (id == IDOK) {
        // Enter, which the dialog manager turns into IDOK (with no control
        // behind it): it presses the push button that has the focus.
        HWND focus = GetFocus();
        const int focusId = focus && GetParent(focus) == window_ ? GetDlgCtrlID(focus) : 0;
        const int index = focusId - kFirstControlCommand;
        const auto controls = MainWindowControls();
        if (index >= 0 && index < static_cast<int>(controls.size()) &&
            controls[static_cast<std::size_t>(index)].kind == ControlKind::PushButton) {
            SendMessageA(focus, BM_CLICK, 0, 0);
        }
        return;
    }

    if (!control) {
        // A menu item (code 0; the window has no accelerators).
        const auto menus = MainWindowMenus();
        const int index = id - static_cast<int>(kFirstMenuCommand);
        if (code != 0 || index < 0 || index >= static_cast<int>(menus.size())) return;
        const MenuSpec& item = menus[static_cast<std::size_t>(index)];
        if (item.click) Run(item.name, [&](MainWindow& form) { (form.*item.click)(); });
        return;
    }
    const auto controls = MainWindowControls();
    const int index = id - kFirstControlCommand;
    if (index < 0 || index >= static_cast<int>(controls.size())) return;
    const ControlSpec& spec = controls[static_cast<std::size_t>(index)];
    switch (spec.kind) {
        case ControlKind::PushButton:
            if (code == BN_CLICKED && spec.click) {
                Run(spec.name, [&](MainWindow& form) { (form.*spec.click)(); });
            }
            break;
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) {
                // A click checks a clear box and clears a checked or grayed one.
                SetCheckValue(spec.id, CheckValue(spec.id) == BST_UNCHECKED ? 1 : 0);
                if (spec.click) Run(spec.name, [&](MainWindow& form) { (form.*spec.click)(); });
            }
            break;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                const int selected = static_cast<int>(SendMessageA(control, LB_GETCURSEL, 0, 0));
                Run(spec.name, [&](MainWindow& form) { form.OnScheduleLineSelected(selected); });
            }
            break;
        default:
            break;
    }
}

// ---- MainWindowView ----

bool Win32MainWindow::OptionValue(ControlId option) {
    return SendMessageA(ControlWindow(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainWindow::SetOptionValue(ControlId option, bool selected) {
    if (selected) {
        const ControlSpec& chosen = Control(option);
        for (const ControlSpec& other : MainWindowControls()) {
            if (other.kind == ControlKind::OptionButton && other.container == chosen.container &&
                other.id != option) {
                SendMessageA(ControlWindow(other.id), BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
    }
    SendMessageA(ControlWindow(option), BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
}

int Win32MainWindow::CheckValue(ControlId check) {
    return static_cast<int>(SendMessageA(ControlWindow(check), BM_GETCHECK, 0, 0));
}

void Win32MainWindow::SetCheckValue(ControlId check, int value) {
    const WPARAM state = value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
    SendMessageA(ControlWindow(check), BM_SETCHECK, state, 0);
}

std::string Win32MainWindow::ComboText(ControlId combo) {
    return WindowText(ControlWindow(combo));
}

void Win32MainWindow::SetComboText(ControlId combo, const std::string& text) {
    SetWindowTextA(ControlWindow(combo), text.c_str());
}

void Win32MainWindow::AddComboItem(ControlId combo, const std::string& item) {
    SendMessageA(ControlWindow(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

bool Win32MainWindow::MenuChecked(MenuId item) {
    return (GetMenuState(menuBar_, MenuCommand(item), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void Win32MainWindow::SetMenuChecked(MenuId item, bool checked) {
    CheckMenuItem(menuBar_, MenuCommand(item),
                  MF_BYCOMMAND | static_cast<UINT>(checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32MainWindow::ShowWindow() {
    ::ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
}

void Win32MainWindow::HideWindow() {
    ::ShowWindow(window_, SW_HIDE);
}

void Win32MainWindow::EndProgram() {
    if (endProgram_) endProgram_();
}

void Win32MainWindow::SetShownLines(ControlId list, const std::vector<std::string>& lines) {
    HWND shown = ControlWindow(list);
    SendMessageA(shown, LB_RESETCONTENT, 0, 0);
    for (const std::string& line : lines) {
        SendMessageA(shown, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

void Win32MainWindow::ItemInserted(int index, const std::string& line) {
    SendMessageA(ControlWindow(ControlId::ScheduleLines), LB_INSERTSTRING,
                 static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(line.c_str()));
}

void Win32MainWindow::ItemRemoved(int index) {
    SendMessageA(ControlWindow(ControlId::ScheduleLines), LB_DELETESTRING,
                 static_cast<WPARAM>(index), 0);
}

void Win32MainWindow::SelectionChanged(int index) {
    SendMessageA(ControlWindow(ControlId::ScheduleLines), LB_SETCURSEL, static_cast<WPARAM>(index),
                 0);
}

}  // namespace tolvane
