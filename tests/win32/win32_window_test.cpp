// The real window under Wine, driven with the messages a user's clicks and
// keys produce. Message boxes, the power requests and the notification area
// are the shared stand-ins, which record what they were asked; the settings
// go to the real registry (under a private root) and the schedule to a real
// file in a scratch folder. What the handlers then do is the core tests'
// business: here, only how the window turns the system's messages into them
// and their calls back into the system's.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <winver.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <variant>
#include <vector>

#include "fakes/fake_window_platform.h"
#include "platform/win32/win32_desktop_notices.h"
#include "platform/win32/win32_event_pump.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_msg_box.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_tray_icon.h"
#include "schedule/schedule_file.h"
#include "shell/caption_fit.h"
#include "shell/main_window.h"
#include "shell/settings_keys.h"
#include "shell/texts.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

using enum ControlId;
using namespace settings_keys;

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
}

// A control's rectangle in the window's client coordinates.
RECT PlaceOf(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The real message loop on a clock that stands still: waiting lets the
// clock's time pass instead of the real time, so a pause ends at once.
class PumpOnFakeTime final : public EventPump {
  public:
    PumpOnFakeTime(Win32EventPump& real, FakeClock& clock) : real_(real), clock_(clock) {}
    void ProcessPendingEvents() override { real_.ProcessPendingEvents(); }
    void WaitForEvents(double maxSeconds) override {
        real_.WaitForEvents(0);
        clock_.Advance(std::min(maxSeconds, 0.05));
    }

  private:
    Win32EventPump& real_;
    FakeClock& clock_;
};

class Win32WindowTest : public ::testing::Test, protected FakeWindowPlatform {
  protected:
    explicit Win32WindowTest(int dotsPerInch = 96)
        : window(instance, dotsPerInch, [this] { ++ends; }) {
        window.Attach(form);
        loop.SetDialogWindow(window.Handle());
    }
    ~Win32WindowTest() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, settingsRoot.c_str());
        RemoveFolderTree(folder);
    }

    void Load(const std::string& commandLine = "") {
        form.OnLoad(commandLine);
        loop.ProcessPendingEvents();
    }
    HWND Control(ControlId id) { return window.ControlWindow(id); }
    void Click(ControlId id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }
    // What the menu bar sends for a chosen item.
    void Choose(MenuId item) {
        SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(Win32MainWindow::MenuCommand(item), 0),
                     0);
    }
    int Checked(ControlId id) {
        return static_cast<int>(SendMessageA(Control(id), BM_GETCHECK, 0, 0));
    }
    bool MenuMarked(MenuId item) {
        return (GetMenuState(GetMenu(window.Handle()), Win32MainWindow::MenuCommand(item),
                             MF_BYCOMMAND) &
                MF_CHECKED) != 0;
    }
    // A value the program stored, read straight from the registry.
    std::optional<RegistryValue> Stored(SettingKey setting) {
        return ReadRegistryValue(settingsRoot + "\\Tolvane 2.1\\" + setting.section, setting.key);
    }
    std::string StoredText(SettingKey setting) {
        const auto value = Stored(setting);
        if (!value) return "<absent>";
        return value->type == REG_SZ ? value->data : "<not text>";
    }
    std::vector<std::string> ListItems(ControlId which = ScheduleLines) {
        HWND list = Control(which);
        std::vector<std::string> items;
        const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[256] = {};
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        return items;
    }
    std::string ScheduleFileBytes() {
        return disk.ReadWholeFile(folder + "\\rebootdata.kx").value_or("<missing>");
    }
    // A press of the left button on a line of ScheduleLines, as the mouse gives it.
    void ClickListLine(int index) {
        HWND list = Control(ScheduleLines);
        RECT item{};
        SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item));
        const LPARAM at = MAKELPARAM(item.left + 5, item.top + 2);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(list, WM_LBUTTONUP, 0, at);
    }
    void PickComboItem(ControlId combo, const std::string& item) {
        const LRESULT index =
            SendMessageA(Control(combo), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(item.c_str()));
        ASSERT_NE(index, CB_ERR) << item;
        SendMessageA(Control(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    void TypeComboText(ControlId combo, const std::string& text) {
        SendMessageA(Control(combo), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // A key pressed on the focused control, through the program's own loop.
    void PressKey(WPARAM key) {
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageA(GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        loop.ProcessPendingEvents();
    }

    HINSTANCE instance = GetModuleHandleA(nullptr);
    const std::string folder = MakeScratchFolder();
    const std::string settingsRoot = "Software\\" + UniqueName("Tolvane window test ");
    // The real adapters in place of the stand-ins' settings, files, loop and view.
    Win32SettingsStore registry{settingsRoot};
    ScratchWin32FileSystem disk{folder};
    Win32EventPump loop;
    PumpOnFakeTime loopOnFakeTime{loop, clock};
    int ends = 0;
    Win32MainWindow window;
    MainWindow form{Platform(Real())};

  private:
    RealAdapters Real() {
        RealAdapters real;
        real.view = &window;
        real.pump = &loopOnFakeTime;
        real.settings = &registry;
        real.files = &disk;
        return real;
    }
};

// ---- The window as the table draws it ----

struct Expected {
    const char* className;
    DWORD typeBits;  // the low style bits that name the control's type
};

Expected ExpectedFor(ControlKind kind) {
    switch (kind) {
        case ControlKind::Frame:
            return {"Button", BS_GROUPBOX};
        case ControlKind::BorderlessFrame:
            return {"Static", SS_LEFT};
        case ControlKind::PushButton:
            return {"Button", BS_PUSHBUTTON};
        case ControlKind::OptionButton:
            return {"Button", BS_AUTORADIOBUTTON};
        case ControlKind::CheckBox:
            return {"Button", BS_3STATE};
        case ControlKind::DropDownCombo:
            return {"ComboBox", CBS_DROPDOWN};
        case ControlKind::ListBox:
        case ControlKind::ShownLines:
            return {"ListBox", 0};
        case ControlKind::Label:
            return {"Static", SS_LEFT};
    }
    return {"", 0};
}

// Twips on the window (the control's offset plus its containers') to pixels.
RECT ExpectedPlace(const ControlSpec& spec, int dpi) {
    int left = spec.left;
    int top = spec.top;
    for (auto c = spec.container; c; c = tolvane::Control(*c).container) {
        left += tolvane::Control(*c).left;
        top += tolvane::Control(*c).top;
    }
    auto px = [dpi](int twips) { return (twips * dpi + 720) / 1440; };
    return {px(left), px(top), px(left + spec.width), px(top + spec.height)};
}

TEST_F(Win32WindowTest, EveryControlHasItsClassCaptionPlaceAndKindAt96Dpi) {
    Load();
    EXPECT_EQ(TextOf(window.Handle()), "Tolvane 2.1 - Quarnel ");
    RECT client;
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, 442);
    EXPECT_EQ(client.bottom, 444);

    int children = 0;
    for (HWND c = GetWindow(window.Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        ++children;
    }
    EXPECT_EQ(children, static_cast<int>(MainWindowControls().size()));

    for (const ControlSpec& spec : MainWindowControls()) {
        SCOPED_TRACE(std::string(spec.name));
        HWND control = Control(spec.id);
        ASSERT_NE(control, nullptr);
        const Expected expected = ExpectedFor(spec.kind);
        EXPECT_STRCASEEQ(ClassOf(control).c_str(), expected.className);
        const DWORD style = StyleOf(control);
        if (spec.kind == ControlKind::DropDownCombo) {
            EXPECT_EQ(style & 3u, expected.typeBits);
        } else if (spec.kind == ControlKind::ListBox) {
            EXPECT_EQ(style & LBS_SORT, 0u) << "the program orders the lines itself";
        } else if (spec.kind == ControlKind::ShownLines) {
            EXPECT_EQ(style & LBS_SORT, 0u) << "the lines keep the file's order";
            EXPECT_NE(style & LBS_NOSEL, 0u) << "read, never chosen";
        } else {
            EXPECT_EQ(style & 0xFu, expected.typeBits);
        }
        if (spec.kind == ControlKind::ListBox || spec.kind == ControlKind::ShownLines) {
            EXPECT_EQ(TextOf(control), "");
        } else {
            EXPECT_EQ(TextOf(control), spec.caption);
        }
        EXPECT_EQ(IsWindowVisible(control) != 0, spec.kind != ControlKind::BorderlessFrame);

        const RECT place = PlaceOf(control);
        const RECT wanted = ExpectedPlace(spec, 96);
        EXPECT_EQ(place.left, wanted.left);
        EXPECT_EQ(place.top, wanted.top);
        EXPECT_EQ(place.right - place.left, wanted.right - wanted.left);
        EXPECT_EQ(place.bottom - place.top, wanted.bottom - wanted.top);
    }
}

TEST_F(Win32WindowTest, SomePlacesAt96DpiAreTheTablesTwipsOver15) {
    struct Case {
        ControlId id;
        RECT place;  // left, top, right, bottom in client pixels
    };
    const Case cases[] = {
        {HideToTrayButton, {16, 24, 16 + 97, 24 + 25}},
        {OnlyOnce, {72, 240, 72 + 73, 240 + 13}},  // inside RepeatGroup inside SchedulePanel
        {Day, {80, 208, 80 + 137, 208 + 21}},
        {ScheduleLines, {16, 288, 16 + 273, 288 + 56}},
        {ForceNow, {336, 280, 336 + 73, 280 + 17}},
    };
    for (const Case& c : cases) {
        const RECT place = PlaceOf(Control(c.id));
        EXPECT_EQ(place.left, c.place.left) << tolvane::Control(c.id).name;
        EXPECT_EQ(place.top, c.place.top) << tolvane::Control(c.id).name;
        EXPECT_EQ(place.right, c.place.right) << tolvane::Control(c.id).name;
        EXPECT_EQ(place.bottom, c.place.bottom) << tolvane::Control(c.id).name;
    }
}

class Win32WindowAt144DpiTest : public Win32WindowTest {
  protected:
    Win32WindowAt144DpiTest() : Win32WindowTest(144) {}
};

TEST_F(Win32WindowAt144DpiTest, TheLayoutScalesWithTheResolution) {
    RECT client;
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, 663);
    EXPECT_EQ(client.bottom, 666);
    for (const ControlSpec& spec : MainWindowControls()) {
        const RECT place = PlaceOf(Control(spec.id));
        const RECT wanted = ExpectedPlace(spec, 144);
        EXPECT_EQ(place.left, wanted.left) << spec.name;
        EXPECT_EQ(place.top, wanted.top) << spec.name;
        EXPECT_EQ(place.right, wanted.right) << spec.name;
        EXPECT_EQ(place.bottom, wanted.bottom) << spec.name;
    }
}

NONCLIENTMETRICSA SystemMetrics() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    return metrics;
}

// The size of the system's message font in whole points, as font sizes are
// given, and that size in pixels at `dpi`. Wine's is 8 points, 11 pixels at
// 96 dpi; at other resolutions it takes those 11 pixels scaled and rounded
// up (17 at 144 dpi: 8.5 points), where an 8-point font has 16.
struct PointSize {
    int points;
    int pixels;
};
PointSize WholePoints(LONG height, int dpi) {
    int points = 1;
    while (MulDiv(points + 1, dpi, 72) <= std::abs(static_cast<int>(height))) ++points;
    return {points, MulDiv(points, dpi, 72)};
}

// Every control whose font is smaller than the system's message font (the
// one its dialogs use), with the sizes; empty when none is. For a window made
// at the system's own resolution, which the message font is sized for.
std::string SmallerThanTheSystemsFont(Win32MainWindow& window) {
    const int dpi = SystemDotsPerInch();
    const PointSize system = WholePoints(SystemMetrics().lfMessageFont.lfHeight, dpi);
    std::map<int, std::string> controlsBySize;  // pixels: the controls' names
    for (const ControlSpec& spec : MainWindowControls()) {
        const auto font =
            reinterpret_cast<HFONT>(SendMessageA(window.ControlWindow(spec.id), WM_GETFONT, 0, 0));
        LOGFONTA used{};
        const int pixels = font && GetObjectA(font, sizeof used, &used)
                               ? std::abs(static_cast<int>(used.lfHeight))
                               : 0;
        if (pixels < system.pixels) controlsBySize[pixels] += " " + std::string(spec.name);
    }
    if (controlsBySize.empty()) return "";
    std::string said = "at " + std::to_string(dpi) + " dpi the system's message font is " +
                       std::to_string(system.points) + " pt, " + std::to_string(system.pixels) +
                       " px; smaller:\n";
    for (const auto& [pixels, names] : controlsBySize) {
        said += std::to_string(pixels) + " px (" + std::to_string(pixels * 72.0 / dpi) +
                " pt):" + names + "\n";
    }
    return said;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

TEST_F(Win32WindowTest, EveryControlUsesOneFontOfTheSystemsFaceAndSize) {
    const NONCLIENTMETRICSA metrics = SystemMetrics();
    const auto first =
        reinterpret_cast<HFONT>(SendMessageA(Control(HideToTrayButton), WM_GETFONT, 0, 0));
    for (const ControlSpec& spec : MainWindowControls()) {
        const auto font = reinterpret_cast<HFONT>(SendMessageA(Control(spec.id), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << spec.name;
        EXPECT_EQ(font, first) << spec.name;
        LOGFONTA used{};
        GetObjectA(font, sizeof used, &used);
        EXPECT_STREQ(used.lfFaceName, metrics.lfMessageFont.lfFaceName) << spec.name;
        EXPECT_LE(std::abs(used.lfHeight), std::abs(metrics.lfMessageFont.lfHeight)) << spec.name;
    }
    // The window is made at the system's resolution here (96 dpi), where the
    // system's font fits every text: nothing is shrunk below it.
    ASSERT_EQ(SystemDotsPerInch(), 96);
    EXPECT_EQ(SmallerThanTheSystemsFont(window), "");
}

// ---- Every text shows whole ----

// The texts, of every control, that the control cannot show whole, each
// with how it is cut; measured on the controls as the system lays them out.
std::vector<std::string> CutTexts(Win32MainWindow& window) {
    std::vector<std::string> cut;
    for (const ControlSpec& spec : MainWindowControls()) {
        HWND control = window.ControlWindow(spec.id);
        RECT client;
        GetClientRect(control, &client);
        const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        HDC dc = GetDC(control);
        const HGDIOBJ before = SelectObject(dc, font);
        const std::string original = TextOf(control);
        for (const std::string& text : TextsToShowWhole(spec)) {
            const std::string where = std::string(spec.name) + " \"" + text + "\": ";
            SIZE size{};
            GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
            switch (spec.kind) {
                case ControlKind::PushButton:
                case ControlKind::OptionButton:
                case ControlKind::CheckBox: {
                    // The button's own measure of the width its text and
                    // indicator take (its height adds padding that a line
                    // of text as high as the button does not need).
                    SIZE ideal{};
                    SendMessageA(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
                    TEXTMETRICA metrics{};
                    GetTextMetricsA(dc, &metrics);
                    if (ideal.cx > client.right || metrics.tmHeight > client.bottom) {
                        cut.push_back(where + "needs " + std::to_string(ideal.cx) + "x" +
                                      std::to_string(metrics.tmHeight) + ", has " +
                                      std::to_string(client.right) + "x" +
                                      std::to_string(client.bottom));
                    }
                    break;
                }
                case ControlKind::Frame:
                    if (size.cx + 4 * GetSystemMetrics(SM_CXEDGE) > client.right) {
                        cut.push_back(where + std::to_string(size.cx) + " wide");
                    }
                    break;
                case ControlKind::Label: {
                    RECT needed{0, 0, client.right, 0};
                    DrawTextA(dc, text.c_str(), -1, &needed,
                              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_LEFT);
                    if (needed.right > client.right || needed.bottom > client.bottom) {
                        cut.push_back(where + "wraps to " + std::to_string(needed.right) + "x" +
                                      std::to_string(needed.bottom) + ", has " +
                                      std::to_string(client.right) + "x" +
                                      std::to_string(client.bottom));
                    }
                    break;
                }
                case ControlKind::DropDownCombo: {
                    // Chosen from the list, as a user does: the edit selects
                    // it all and scrolls to its end if it is wider than the
                    // edit. Its first letter must stay at the left and its
                    // last end inside.
                    COMBOBOXINFO info{};
                    info.cbSize = sizeof info;
                    GetComboBoxInfo(control, &info);
                    const LRESULT index = SendMessageA(control, CB_ADDSTRING, 0,
                                                       reinterpret_cast<LPARAM>(text.c_str()));
                    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
                    RECT shown{};
                    SendMessageA(info.hwndItem, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
                    const LRESULT firstAt = SendMessageA(info.hwndItem, EM_POSFROMCHAR, 0, 0);
                    const int firstX = static_cast<short>(LOWORD(firstAt));
                    SIZE all{};
                    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &all);
                    if (firstX < shown.left || firstX + all.cx > shown.right) {
                        cut.push_back(where + "starts at " + std::to_string(firstX) + ", " +
                                      std::to_string(all.cx) + " wide, edit shows " +
                                      std::to_string(shown.left) + ".." +
                                      std::to_string(shown.right));
                    }
                    SendMessageA(control, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
                    break;
                }
                case ControlKind::BorderlessFrame:
                case ControlKind::ListBox:
                case ControlKind::ShownLines:
                    break;
            }
        }
        if (spec.kind == ControlKind::DropDownCombo) SetWindowTextA(control, original.c_str());
        SelectObject(dc, before);
        ReleaseDC(control, dc);
    }
    return cut;
}

TEST_F(Win32WindowTest, EveryTextShowsWholeOnItsControl) {
    EXPECT_EQ(Joined(CutTexts(window)), "");
}

TEST_F(Win32WindowAt144DpiTest, EveryTextShowsWholeOnItsControl) {
    EXPECT_EQ(Joined(CutTexts(window)), "");
}

// Run by dpi_under_wine.sh with the prefix set to each resolution in turn
// (TOLVANE_EXPECTED_DPI names it): the window as the program makes it there.
class Win32WindowAtTheSystemsResolution : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* expected = std::getenv("TOLVANE_EXPECTED_DPI")) {
            ASSERT_EQ(SystemDotsPerInch(), std::atoi(expected));
        }
        ASSERT_NE(window.Handle(), nullptr);
    }
    Win32MainWindow window{GetModuleHandleA(nullptr), SystemDotsPerInch(), [] {}};
};

TEST_F(Win32WindowAtTheSystemsResolution, ShowsEveryTextWhole) {
    EXPECT_EQ(Joined(CutTexts(window)), "") << "at " << SystemDotsPerInch() << " dpi";
}

// Readable at every resolution: the texts fit without going below the size
// the system's own dialogs use there.
TEST_F(Win32WindowAtTheSystemsResolution, UsesAtLeastTheSystemsMessageFontSize) {
    EXPECT_EQ(SmallerThanTheSystemsFont(window), "");
}

// The resources this test program shares with tolvane.exe.
TEST(Win32Resources, DeclareTheVersionDpiAwarenessAndThemedControls) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path, &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (2u << 16) | 1u);
    EXPECT_EQ(fixed->dwFileVersionLS, (0u << 16) | 528u);
    EXPECT_EQ(fixed->dwProductVersionMS, (2u << 16) | 1u);
    EXPECT_EQ(fixed->dwProductVersionLS, (0u << 16) | 528u);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "2.1.0.528");

    EXPECT_TRUE(IsProcessDPIAware());
    // The manifest asks for the common controls that draw with visual styles.
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
}

TEST_F(Win32WindowTest, TheWindowCarriesTheProgramsIconInBothSizes) {
    const auto big =
        reinterpret_cast<HICON>(SendMessageA(window.Handle(), WM_GETICON, ICON_BIG, 0));
    const auto small =
        reinterpret_cast<HICON>(SendMessageA(window.Handle(), WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    for (auto [icon, size] : {std::pair{big, 32}, std::pair{small, 16}}) {
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colours{};
        GetObjectA(info.hbmColor, sizeof colours, &colours);
        EXPECT_EQ(colours.bmWidth, size);
        EXPECT_EQ(colours.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    EXPECT_EQ(small, window.SmallIcon());
}

// ---- Keyboard ----

TEST_F(Win32WindowTest, TabGoesThroughTheControlsInTheTablesFocusOrder) {
    Load();
    const std::vector<ControlId> order = {HideToTrayButton,
                                          AboutButton,
                                          HelpButton,
                                          ExitButton,
                                          ScheduleReboot,
                                          ScheduleLock,
                                          ScheduleLogOff,
                                          ScheduleShutDown,
                                          ScheduleForce,
                                          Hour,
                                          Minute,
                                          AmPm,
                                          OnlyOnce,
                                          Repeat,
                                          AddToSchedule,
                                          RemoveFromSchedule,
                                          RebootNow,
                                          LockNow,
                                          LogOffNow,
                                          ShutDownNow,
                                          ForceNow,
                                          ScheduleLines,
                                          Day,
                                          MachineLines};
    EXPECT_EQ(GetFocus(), Control(HideToTrayButton))
        << "the Minimize button has the focus at first";

    HWND at = GetNextDlgTabItem(window.Handle(), nullptr, FALSE);
    for (std::size_t i = 0; i < order.size() * 2; ++i) {
        EXPECT_EQ(at, Control(order[i % order.size()]))
            << "step " << i << ": expected " << tolvane::Control(order[i % order.size()]).name;
        at = GetNextDlgTabItem(window.Handle(), at, FALSE);
    }

    // The real keys, through the program's loop and the dialog manager.
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Control(AboutButton));
    SetFocus(Control(ForceNow));
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Control(ScheduleLines));
}

TEST_F(Win32WindowTest, EnterAndSpacePressTheFocusedButton) {
    Load();
    SetFocus(Control(AboutButton));  // About
    PressKey(VK_RETURN);
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(msgBox.shown[0].text, texts::AboutText());
    SetFocus(Control(ForceNow));
    PressKey(VK_SPACE);
    EXPECT_EQ(Checked(ForceNow), BST_CHECKED);
}

TEST_F(Win32WindowTest, TheArrowKeysStayInsideAnOptionGroup) {
    Load();
    SetFocus(Control(ScheduleLogOff));
    PressKey(VK_DOWN);
    EXPECT_EQ(GetFocus(), Control(ScheduleShutDown));
    EXPECT_EQ(Checked(ScheduleShutDown), BST_CHECKED);
    PressKey(VK_DOWN);
    EXPECT_EQ(GetFocus(), Control(ScheduleReboot)) << "wraps within the group, never onto Force";
}

// ---- Option buttons and check boxes ----

TEST_F(Win32WindowTest, TheTwoOptionGroupsDoNotClearEachOther) {
    Load();
    Click(ScheduleReboot);
    Click(OnlyOnce);
    EXPECT_EQ(Checked(ScheduleReboot), BST_CHECKED);
    EXPECT_EQ(Checked(OnlyOnce), BST_CHECKED);
    Click(ScheduleShutDown);
    EXPECT_EQ(Checked(ScheduleReboot), BST_UNCHECKED);
    EXPECT_EQ(Checked(ScheduleShutDown), BST_CHECKED);
    EXPECT_EQ(Checked(OnlyOnce), BST_CHECKED);
    Click(Repeat);
    EXPECT_EQ(Checked(OnlyOnce), BST_UNCHECKED);
    EXPECT_EQ(Checked(Repeat), BST_CHECKED);
    EXPECT_EQ(Checked(ScheduleShutDown), BST_CHECKED);

    // Selecting from code follows the same groups.
    window.SetOptionValue(ScheduleLock, true);
    EXPECT_FALSE(window.OptionValue(ScheduleShutDown));
    EXPECT_TRUE(window.OptionValue(Repeat));

    // A click on the selected button keeps it, in either group.
    for (const ControlId button :
         {ScheduleReboot, ScheduleLock, ScheduleLogOff, ScheduleShutDown, OnlyOnce, Repeat}) {
        SCOPED_TRACE(tolvane::Control(button).name);
        Click(button);
        Click(button);
        EXPECT_EQ(Checked(button), BST_CHECKED);
    }
    EXPECT_EQ(Checked(ScheduleShutDown), BST_CHECKED);
    EXPECT_EQ(Checked(Repeat), BST_CHECKED);
}

// The check boxes are the window's to flip: a click checks a clear box and
// clears a checked or grayed one, each click is the box's change, and a
// value set from code is none.
TEST_F(Win32WindowTest, ACheckBoxFlipsAtAClickButRaisesNoneWhenSetFromCode) {
    Load();
    window.SetCheckValue(ForceNow, 2);
    EXPECT_EQ(Checked(ForceNow), BST_INDETERMINATE);
    EXPECT_EQ(window.CheckValue(ForceNow), 2);
    window.SetCheckValue(ForceNow, 1);
    EXPECT_EQ(Checked(ForceNow), BST_CHECKED);
    EXPECT_EQ(window.CheckValue(ForceNow), 1);
    EXPECT_EQ(StoredText(kForceNow), "<absent>");

    Click(ForceNow);
    EXPECT_EQ(window.CheckValue(ForceNow), 0);
    EXPECT_EQ(StoredText(kForceNow), "0");
    Click(ForceNow);
    EXPECT_EQ(window.CheckValue(ForceNow), 1);
    EXPECT_EQ(StoredText(kForceNow), "1");
    window.SetCheckValue(ForceNow, 2);
    Click(ForceNow);
    EXPECT_EQ(window.CheckValue(ForceNow), 0);
    EXPECT_EQ(StoredText(kForceNow), "0");
    // The schedule's box is the same control: grayed, a click clears it.
    window.SetCheckValue(ScheduleForce, 2);
    Click(ScheduleForce);
    EXPECT_EQ(window.CheckValue(ScheduleForce), 0);
}

// ---- The schedule editor ----

TEST_F(Win32WindowTest, AddItAndRemoveItChangeTheListAndTheFile) {
    Load();
    EXPECT_EQ(SendMessageA(Control(Hour), CB_GETCOUNT, 0, 0), 12);
    EXPECT_EQ(SendMessageA(Control(Minute), CB_GETCOUNT, 0, 0), 60);
    EXPECT_EQ(TextOf(Control(Day)), "Every Day");

    Click(ScheduleShutDown);
    Click(Repeat);
    PickComboItem(Hour, "7");
    TypeComboText(Minute, "05");
    PickComboItem(AmPm, "AM");
    PickComboItem(Day, "Monday");
    Click(AddToSchedule);
    EXPECT_EQ(TextOf(Control(Hour)), "") << "the time is cleared for the next entry";

    Click(ScheduleReboot);
    Click(ScheduleForce);
    Click(OnlyOnce);
    PickComboItem(Hour, "10");
    PickComboItem(Minute, "30");
    TypeComboText(AmPm, "PM");
    PickComboItem(Day, "Every Day");
    Click(AddToSchedule);

    const std::vector<std::string> both = {"10:30 PM-Force Reboot-Repeat NO-Every Day",
                                           "7:05 AM-ShutDown-Repeat YES-Monday"};
    EXPECT_EQ(ListItems(), both) << "in plain character order, not in the order added";
    EXPECT_EQ(ScheduleFileBytes(),
              "10:30 PM-Force Reboot-Repeat NO-Every Day\r\n7:05 AM-ShutDown-Repeat YES-Monday"
              "\r\n\r\n");

    ClickListLine(0);
    EXPECT_EQ(form.List().Selected(), 0);
    Click(RemoveFromSchedule);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"7:05 AM-ShutDown-Repeat YES-Monday"}));
    EXPECT_EQ(ScheduleFileBytes(), "7:05 AM-ShutDown-Repeat YES-Monday\r\n\r\n");
    EXPECT_EQ(SendMessageA(Control(ScheduleLines), LB_GETCURSEL, 0, 0), LB_ERR);
}

// The machine's lines: shown in the file's order, replaced whole, and never
// chosen, so no key or click there reaches the user's schedule.
TEST_F(Win32WindowTest, TheMachinesLinesAreShownInOrderAndActOnNothing) {
    using Lines = std::vector<std::string>;
    WriteWholeFile(folder + "\\rebootdata.kx", "1:00 AM-Reboot-Repeat NO-Every Day\r\n\r\n");
    Load();
    const Lines machine = {"9:00 PM-ShutDown-Repeat YES-Every Day",
                           "1:00 AM-Force Reboot-Repeat YES-Sunday"};
    window.SetShownLines(MachineLines, machine);
    EXPECT_EQ(ListItems(MachineLines), machine);
    window.SetShownLines(MachineLines, {machine[1]});
    EXPECT_EQ(ListItems(MachineLines), Lines{machine[1]});

    HWND shown = Control(MachineLines);
    SetFocus(shown);
    ASSERT_EQ(GetFocus(), shown);
    PressKey(VK_DELETE);
    EXPECT_EQ(ListItems(), Lines{"1:00 AM-Reboot-Repeat NO-Every Day"});
    EXPECT_EQ(ScheduleFileBytes(), "1:00 AM-Reboot-Repeat NO-Every Day\r\n\r\n");
    EXPECT_EQ(form.List().Selected(), -1);
    EXPECT_TRUE(msgBox.shown.empty());
}

// The Delete key on the schedule list, while it has the focus, is Remove It:
// the selected line goes, with none selected the same message comes, and on
// any other control the key takes nothing out.
TEST_F(Win32WindowTest, DeleteOnTheFocusedListRemovesTheSelectedLineAsRemoveItDoes) {
    using Lines = std::vector<std::string>;
    const Lines three = {"1:00 AM-Reboot-Repeat NO-Every Day", "2:00 AM-Lock-Repeat NO-Every Day",
                         "3:00 AM-LogOff-Repeat NO-Every Day"};
    WriteWholeFile(folder + "\\rebootdata.kx",
                   three[0] + "\r\n" + three[1] + "\r\n" + three[2] + "\r\n\r\n");
    Load();
    ASSERT_EQ(ListItems(), three);
    HWND list = Control(ScheduleLines);

    ClickListLine(1);
    for (const ControlId elsewhere : {RemoveFromSchedule, Hour, ScheduleReboot}) {
        SCOPED_TRACE(tolvane::Control(elsewhere).name);
        SetFocus(Control(elsewhere));
        ASSERT_NE(GetFocus(), list);
        PressKey(VK_DELETE);
        EXPECT_EQ(ListItems(), three);
        EXPECT_TRUE(msgBox.shown.empty());
    }

    SetFocus(list);
    ASSERT_EQ(GetFocus(), list);
    PressKey(VK_DELETE);
    EXPECT_EQ(ListItems(), (Lines{three[0], three[2]}));
    EXPECT_EQ(ScheduleFileBytes(), three[0] + "\r\n" + three[2] + "\r\n\r\n");
    EXPECT_TRUE(msgBox.shown.empty());

    // Nothing selected now: Remove It's message, nothing taken out.
    ASSERT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    PressKey(VK_DELETE);
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(msgBox.shown[0].text, texts::kNothingSelected);
    EXPECT_EQ(ListItems(), (Lines{three[0], three[2]}));

    ClickListLine(1);
    ASSERT_EQ(GetFocus(), list);
    PressKey(VK_DELETE);
    EXPECT_EQ(ListItems(), (Lines{three[0]}));
    EXPECT_EQ(ScheduleFileBytes(), three[0] + "\r\n\r\n");
}

// ---- Closing and ending the session ----

TEST_F(Win32WindowTest, ClosingTheWindowIsRefused) {
    Load();
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    SendMessageA(window.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    loop.ProcessPendingEvents();
    EXPECT_TRUE(IsWindow(window.Handle()));
    EXPECT_TRUE(IsWindowVisible(window.Handle()));
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(tray.shows.empty());
}

TEST_F(Win32WindowTest, ALogOffOrShutdownIsNeverHeldUp) {
    Load();
    EXPECT_EQ(SendMessageA(window.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(SendMessageA(window.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
}

// ---- Menus ----

TEST_F(Win32WindowTest, TheMenuBarHoldsTheTablesMenusWithAccessKeysAndSeparator) {
    Load();
    HMENU bar = GetMenu(window.Handle());
    ASSERT_NE(bar, nullptr);
    auto captions = [](HMENU menu) {
        std::vector<std::string> out;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE;
            GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
            if (info.fType & MFT_SEPARATOR) {
                out.push_back("<separator>");
                continue;
            }
            char text[64] = {};
            GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            out.push_back(text);
        }
        return out;
    };
    EXPECT_EQ(captions(bar), (std::vector<std::string>{"File", "Options", "Help"}));
    EXPECT_EQ(captions(GetSubMenu(bar, 0)),
              (std::vector<std::string>{"Minimize", "About", "<separator>", "E&xit"}));
    EXPECT_EQ(captions(GetSubMenu(bar, 1)),
              (std::vector<std::string>{"Minimize on Start up", "Show Reboot Schedule",
                                        "Show Reboot Now", "Set Service"}));
    EXPECT_EQ(captions(GetSubMenu(bar, 2)), (std::vector<std::string>{"About", "Help"}));
}

// ---- Every button, check box and menu item reaches its handler ----

// Each one acted on as the system sends a user's click: BM_CLICK for a
// control, and for a menu item the WM_COMMAND the menu bar sends. What the
// handlers do is the core tests' business; a row looks only for the sign
// that its own one ran. A button, check box or menu item the table gains
// without a row here fails, and so does a row with no such entry.
TEST_F(Win32WindowTest, EveryClickReachesItsHandler) {
    Load();
    struct Row {
        std::variant<ControlId, MenuId> target;
        std::function<void()> ran;  // the handler's sign on the stand-ins
    };
    const auto says = [this](const std::string& text) {
        return [this, text] {
            ASSERT_EQ(msgBox.shown.size(), 1u);
            EXPECT_EQ(msgBox.shown[0].text, text);
        };
    };
    const std::string about = texts::AboutText();
    const auto opensHelp = [this] {
        EXPECT_EQ(browser.opened, std::vector<std::string>{std::string(texts::kHelpPageAddress)});
    };
    const auto hidesToTheTray = [this] {
        EXPECT_FALSE(IsWindowVisible(window.Handle()));
        EXPECT_EQ(tray.shows, std::vector<std::string>{std::string(texts::kTrayTip)});
    };
    const auto endsTheProgram = [this] { EXPECT_EQ(ends, 1); };
    const auto requests = [this](const char* request) {
        return [this, request] { EXPECT_EQ(power.requests, std::vector<std::string>{request}); };
    };
    // A check mark item, from its mark at start to `marked`.
    const auto marks = [this](MenuId item, SettingKey key, bool marked) {
        return [this, item, key, marked] {
            EXPECT_EQ(MenuMarked(item), marked);
            EXPECT_EQ(StoredText(key), marked ? "True" : "False");
        };
    };
    const Row rows[] = {
        {HideToTrayButton, hidesToTheTray},
        {AboutButton, says(about)},
        {HelpButton, opensHelp},
        {ExitButton, endsTheProgram},
        // No handler of its own: the window flips it, for Add It to read.
        {ScheduleForce, [this] { EXPECT_EQ(Checked(ScheduleForce), BST_CHECKED); }},
        {AddToSchedule, says(std::string(texts::kNoActionChosen))},
        {RemoveFromSchedule, says(std::string(texts::kNothingSelected))},
        {RebootNow, requests("reboot")},
        {LockNow, requests("lock")},
        {LogOffNow, requests("log-off")},
        {ShutDownNow, requests("shutdown")},
        {ForceNow,
         [this] {
             EXPECT_EQ(Checked(ForceNow), BST_CHECKED);
             EXPECT_EQ(StoredText(kForceNow), "1");
         }},
        {MenuId::HideToTray, hidesToTheTray},
        {MenuId::FileAbout, says(about)},
        {MenuId::Exit, endsTheProgram},
        {MenuId::MinimizeOnStart, marks(MenuId::MinimizeOnStart, kRunMinimized, true)},
        {MenuId::ShowSchedule, marks(MenuId::ShowSchedule, kShowSchedule, false)},
        {MenuId::ShowNowPanel, marks(MenuId::ShowNowPanel, kShowNowPanel, false)},
        {MenuId::SetService,
         [this] {
             // Asked, and answered yes by the stand-in: the script in the stored folder.
             ASSERT_EQ(processes.started.size(), 1u);
             EXPECT_EQ(processes.started[0].program, folder + "\\installs.bat");
         }},
        {MenuId::HelpAbout, says(about)},
        {MenuId::Help, opensHelp},
    };

    std::multiset<ControlId> controlRows;
    std::multiset<MenuId> menuRows;
    for (const Row& row : rows) {
        // Each from the window shown, both Force boxes clear and nothing recorded.
        if (!IsWindowVisible(window.Handle())) form.OnTrayIconActivated();
        window.SetCheckValue(ForceNow, 0);
        window.SetCheckValue(ScheduleForce, 0);
        msgBox.shown.clear();
        browser.opened.clear();
        tray.shows.clear();
        power.requests.clear();
        processes.started.clear();
        ends = 0;
        if (const ControlId* control = std::get_if<ControlId>(&row.target)) {
            SCOPED_TRACE(tolvane::Control(*control).name);
            controlRows.insert(*control);
            Click(*control);
            row.ran();
        } else {
            const MenuId item = std::get<MenuId>(row.target);
            SCOPED_TRACE(Menu(item).name);
            menuRows.insert(item);
            Choose(item);
            row.ran();
        }
    }

    for (const ControlSpec& spec : MainWindowControls()) {
        const bool clickable = spec.click || spec.kind == ControlKind::PushButton ||
                               spec.kind == ControlKind::CheckBox;
        EXPECT_EQ(controlRows.count(spec.id), clickable ? 1u : 0u) << spec.name;
    }
    for (const MenuSpec& item : MainWindowMenus()) {
        const bool clickable = item.parent && item.caption != "-";
        EXPECT_EQ(menuRows.count(item.id), clickable ? 1u : 0u) << item.name;
    }
}

// ---- Notification area ----

TEST_F(Win32WindowTest, OnlyALeftOrRightPressOnTheIconShowsTheWindow) {
    Load();
    const UINT tray = Win32MainWindow::kTrayIconMessage;
    const UINT notice = Win32MainWindow::kNoticeIconMessage;
    struct Case {
        UINT message;
        UINT mouseMessage;
        bool shows;
    };
    const Case cases[] = {
        {tray, WM_MOUSEMOVE, false},
        {tray, WM_LBUTTONUP, false},
        {tray, WM_LBUTTONDBLCLK, false},
        {tray, WM_RBUTTONUP, false},
        {tray, WM_MBUTTONDOWN, false},
        {tray, WM_LBUTTONDOWN, true},
        {tray, WM_RBUTTONDOWN, true},
        {notice, WM_LBUTTONDOWN, true},
        // A move of the mouse over the window, whatever its numbers.
        {WM_MOUSEMOVE, WM_LBUTTONDOWN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.message << " " << c.mouseMessage);
        Choose(MenuId::HideToTray);
        EXPECT_FALSE(IsWindowVisible(window.Handle()));
        // What the notification area sends: the icon's id and the mouse message.
        const UINT icon = c.message == notice ? window.NoticeIconId() : window.TrayIconId();
        SendMessageA(window.Handle(), c.message, icon, c.mouseMessage);
        EXPECT_EQ(IsWindowVisible(window.Handle()) != 0, c.shows);
    }
}

TEST_F(Win32WindowTest, TheIconsRecordNamesThisWindowItsSmallIconAndTheTip) {
    Load();
    std::vector<std::pair<DWORD, NOTIFYICONDATAA>> calls;
    Win32TrayIcon icon(window, [&](DWORD action, NOTIFYICONDATAA& data) {
        calls.emplace_back(action, data);
        return true;
    });
    EXPECT_TRUE(icon.Show("Tolvane 2.1 - Quarnel"));
    ASSERT_EQ(calls.size(), 1u);
    const auto& [action, data] = calls[0];
    EXPECT_EQ(action, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(data.hWnd, window.Handle());
    const auto small =
        reinterpret_cast<HICON>(SendMessageA(window.Handle(), WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(data.hIcon, small);
    // The icon's handle is its id as well.
    EXPECT_EQ(data.uID, static_cast<UINT>(reinterpret_cast<std::uintptr_t>(small)));
    EXPECT_EQ(data.uID, window.TrayIconId());
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(data.uCallbackMessage, Win32MainWindow::kTrayIconMessage);
    EXPECT_EQ(std::string(data.szTip, 64),
              std::string("Tolvane 2.1 - Quarnel") + '\0' + std::string(42, ' '));

    // A press, as the record has the notification area send it, shows the window.
    Choose(MenuId::HideToTray);
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
    SendMessageA(window.Handle(), data.uCallbackMessage, data.uID, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

// A restarted taskbar has forgotten every icon and tells each top-level
// window by a message registered under this name. The icon adds itself again
// with the record it was shown with, only while it is kept.
TEST_F(Win32WindowTest, ARestartedTaskbarGetsTheIconAgainOnlyWhileItIsKept) {
    Load();
    const UINT restarted = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(restarted, 0u);
    const std::string tip(texts::kTrayTip);
    enum Step { Show, Refused, StopKeeping, Restart };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int adds;  // NIM_ADD calls, each with the shown record
    };
    const Case cases[] = {
        {"never shown", {Restart}, 0},
        {"shown", {Show, Restart}, 2},
        {"shown, restarted twice", {Show, Restart, Restart}, 3},
        // Hidden again while the icon was still there: it is the way back.
        {"shown when it was there", {Refused, Restart}, 2},
        {"no longer kept", {Show, StopKeeping, Restart}, 1},
        {"kept again", {Show, StopKeeping, Show, Restart}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<DWORD, NOTIFYICONDATAA>> calls;
        bool refuse = false;
        Win32TrayIcon icon(window, [&](DWORD action, NOTIFYICONDATAA& data) {
            calls.emplace_back(action, data);
            return !refuse;
        });
        for (const Step step : c.steps) {
            refuse = step == Refused;
            if (step == Show || step == Refused) icon.Show(tip);
            if (step == StopKeeping) icon.StopKeeping();
            if (step == Restart) SendMessageA(window.Handle(), restarted, 0, 0);
        }
        ASSERT_EQ(calls.size(), static_cast<std::size_t>(c.adds));
        const NOTIFYICONDATAA shown =
            TrayIconData(window.Handle(), window.TrayIconId(), window.SmallIcon(), tip);
        for (const auto& [action, data] : calls) {
            EXPECT_EQ(action, static_cast<DWORD>(NIM_ADD));
            EXPECT_EQ(std::memcmp(&data, &shown, NOTIFYICONDATAA_V1_SIZE), 0);
        }
    }
}

TEST_F(Win32WindowTest, AnIconThatIsGoneHearsNoRestart) {
    Load();
    int adds = 0;
    {
        Win32TrayIcon icon(window, [&](DWORD, NOTIFYICONDATAA&) { return ++adds > 0; });
        icon.Show(std::string(texts::kTrayTip));
    }
    SendMessageA(window.Handle(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(adds, 1);
}

TEST_F(Win32WindowTest, TheRealNotificationAreaAcceptsTheRecord) {
    Load();
    Win32TrayIcon real(window);
    EXPECT_TRUE(real.Show("Tolvane 2.1 - Quarnel"));
    NOTIFYICONDATAA data =
        TrayIconData(window.Handle(), window.TrayIconId(), window.SmallIcon(), "");
    Shell_NotifyIconA(NIM_DELETE, &data);
}

// ---- Desktop notices ----

// The shell as the notices' adapter sees it: every record it was handed, and
// which icons are up. The window's own icon is up when the form's stand-in
// says so.
struct RecordedShell {
    struct Call {
        DWORD action;
        NOTIFYICONDATAA data;
    };
    std::vector<Call> calls;
    std::vector<UINT> noticeIcons;  // ids the adapter added and has not deleted
    bool noNotificationArea = false;
};

class Win32NoticesTest : public Win32WindowTest {
  protected:
    Win32NoticesTest() { Load(); }

    bool Notify(DWORD action, NOTIFYICONDATAA& data) {
        shell.calls.push_back({action, data});
        if (shell.noNotificationArea) return false;
        auto& own = shell.noticeIcons;
        const bool windowIcon = data.uID == window.TrayIconId();
        const bool up =
            windowIcon ? tray.present : std::find(own.begin(), own.end(), data.uID) != own.end();
        switch (action) {
            case NIM_ADD:
                if (up || windowIcon) return false;
                own.push_back(data.uID);
                return true;
            case NIM_MODIFY:
                return up;
            case NIM_DELETE:
                if (!up || windowIcon) return false;
                own.erase(std::find(own.begin(), own.end(), data.uID));
                return true;
        }
        return false;
    }
    std::vector<DWORD> Actions() const {
        std::vector<DWORD> actions;
        for (const auto& call : shell.calls) actions.push_back(call.action);
        return actions;
    }
    // What the notification area sends for `event` on the icon `iconId`.
    void Balloon(UINT iconId, UINT event) {
        const UINT message = iconId == window.TrayIconId() ? Win32MainWindow::kTrayIconMessage
                                                           : Win32MainWindow::kNoticeIconMessage;
        SendMessageA(window.Handle(), message, iconId, event);
    }
    std::function<void()> CountSkips() {
        return [this] { ++skips; };
    }

    RecordedShell shell;
    int skips = 0;
    Win32DesktopNotices notices{window, msgBox, [this](DWORD action, NOTIFYICONDATAA& data) {
                                    return Notify(action, data);
                                }};
    const DesktopNotice notice{"Reboot in 5 minutes", "The computer reboots at 10:30 PM.",
                               "Skip this reboot",
                               "The computer reboots at 10:30 PM.\r\n\r\nSkip this reboot?"};
};

TEST_F(Win32NoticesTest, WhileHiddenToTheTrayTheWindowsIconCarriesTheBalloon) {
    Click(HideToTrayButton);
    ASSERT_TRUE(tray.present);
    EXPECT_TRUE(notices.Show(notice, CountSkips()));
    ASSERT_EQ(Actions(), std::vector<DWORD>{NIM_MODIFY});
    const NOTIFYICONDATAA& data = shell.calls[0].data;
    EXPECT_GE(data.cbSize, NOTIFYICONDATAA_V2_SIZE);
    EXPECT_EQ(data.hWnd, window.Handle());
    EXPECT_EQ(data.uID, window.TrayIconId());
    // Only the balloon changes: the icon, its tip and its message stay.
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(std::string(data.szInfoTitle), "Reboot in 5 minutes");
    EXPECT_EQ(std::string(data.szInfo), "The computer reboots at 10:30 PM.");
    EXPECT_EQ(data.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_EQ(skips, 0);
}

TEST_F(Win32NoticesTest, WithTheWindowShownTheNoticeAddsAnIconOfItsOwnUntilTheBalloonEnds) {
    for (const UINT end : {NIN_BALLOONTIMEOUT, NIN_BALLOONHIDE, NIN_BALLOONUSERCLICK}) {
        SCOPED_TRACE(end);
        shell.calls.clear();
        msgBox.answers = {MsgBox::Answer::No};
        ASSERT_TRUE(notices.Show(notice, CountSkips()));
        ASSERT_EQ(Actions(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD}));
        const NOTIFYICONDATAA added = shell.calls[1].data;
        EXPECT_EQ(added.hWnd, window.Handle());
        EXPECT_EQ(added.uID, window.NoticeIconId());
        EXPECT_NE(added.uID, window.TrayIconId());
        EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
        EXPECT_EQ(added.uCallbackMessage, Win32MainWindow::kNoticeIconMessage);
        EXPECT_EQ(added.hIcon, reinterpret_cast<HICON>(
                                   SendMessageA(window.Handle(), WM_GETICON, ICON_SMALL, 0)));
        EXPECT_EQ(std::string(added.szInfoTitle), "Reboot in 5 minutes");
        EXPECT_EQ(std::string(added.szInfo), "The computer reboots at 10:30 PM.");

        Balloon(added.uID, end);
        ASSERT_EQ(Actions(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_DELETE}));
        EXPECT_EQ(shell.calls[2].data.uID, window.NoticeIconId());
        EXPECT_TRUE(shell.noticeIcons.empty());
    }
    // The window's own icon was never added by the notices, nor taken away.
    EXPECT_TRUE(tray.shows.empty());
    EXPECT_EQ(skips, 0);
}

TEST_F(Win32NoticesTest, HidingToTheTrayMeanwhileKeepsTheWindowsIcon) {
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    Click(HideToTrayButton);
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
    EXPECT_TRUE(tray.present);
    Balloon(window.NoticeIconId(), NIN_BALLOONTIMEOUT);
    ASSERT_EQ(Actions(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(shell.calls[2].data.uID, window.NoticeIconId());
    EXPECT_TRUE(tray.present);
    // The next notice comes from the window's icon again.
    shell.calls.clear();
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    EXPECT_EQ(Actions(), std::vector<DWORD>{NIM_MODIFY});
    EXPECT_EQ(shell.calls[0].data.uID, window.TrayIconId());
}

TEST_F(Win32NoticesTest, AClickOnTheBalloonAsksAndYesSkipsOnce) {
    Click(HideToTrayButton);
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    msgBox.answers = {MsgBox::Answer::Yes};
    Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(msgBox.shown[0].title, "Reboot in 5 minutes");
    EXPECT_EQ(msgBox.shown[0].text, "The computer reboots at 10:30 PM.\r\n\r\nSkip this reboot?");
    EXPECT_EQ(msgBox.shown[0].buttons, MsgBox::Buttons::YesNo);
    EXPECT_EQ(skips, 1);
    // The window's icon stays: it is the way back to the window.
    EXPECT_EQ(Actions(), std::vector<DWORD>{NIM_MODIFY});
    // The notice was answered: another click asks nothing.
    Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    EXPECT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(skips, 1);
}

TEST_F(Win32NoticesTest, AnsweringNoSkipsNothing) {
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    msgBox.answers = {MsgBox::Answer::No};
    Balloon(window.NoticeIconId(), NIN_BALLOONUSERCLICK);
    EXPECT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(skips, 0);
}

TEST_F(Win32NoticesTest, ABalloonThatTimesOutOrIsDismissedAsksNothing) {
    Click(HideToTrayButton);
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    // Sent, not posted: each is handled once its call returns.
    Balloon(window.TrayIconId(), NIN_BALLOONSHOW);
    Balloon(window.TrayIconId(), NIN_BALLOONTIMEOUT);
    Balloon(window.TrayIconId(), NIN_BALLOONHIDE);
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_EQ(skips, 0);
    EXPECT_TRUE(IsWindowVisible(window.Handle()) == FALSE);
}

TEST_F(Win32NoticesTest, OnlyTheLatestNoticesChoiceIsKept) {
    int firstSkips = 0;
    ASSERT_TRUE(notices.Show(notice, [&] { ++firstSkips; }));
    const DesktopNotice later{"Shut down in 1 minute", "The computer shuts down at 10:35 PM.",
                              "Skip this shutdown",
                              "The computer shuts down at 10:35 PM.\r\n\r\nSkip this shutdown?"};
    ASSERT_TRUE(notices.Show(later, CountSkips()));
    msgBox.answers = {MsgBox::Answer::Yes};
    Balloon(window.NoticeIconId(), NIN_BALLOONUSERCLICK);
    ASSERT_EQ(msgBox.shown.size(), 1u);
    EXPECT_EQ(msgBox.shown[0].text,
              "The computer shuts down at 10:35 PM.\r\n\r\nSkip this shutdown?");
    EXPECT_EQ(skips, 1);
    EXPECT_EQ(firstSkips, 0);
}

TEST_F(Win32NoticesTest, WhileTheQuestionIsUpAnotherClickAsksNothingMore) {
    Click(HideToTrayButton);
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    int later = 0;
    msgBox.whileShown = [&] {
        // The box's own loop brings the icon's events: a newer notice and a
        // click on its balloon.
        ASSERT_TRUE(
            notices.Show({"Shut down in 1 minute", "Soon.", "Skip it", "Soon.\r\n\r\nSkip it?"},
                         [&] { ++later; }));
        Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    };
    msgBox.answers = {MsgBox::Answer::Yes};
    Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    EXPECT_EQ(msgBox.shown.size(), 1u);
    // The answer is to the question asked; the newer notice still waits for its own.
    EXPECT_EQ(skips, 1);
    EXPECT_EQ(later, 0);
    msgBox.whileShown = nullptr;
    msgBox.answers = {MsgBox::Answer::Yes};
    Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    ASSERT_EQ(msgBox.shown.size(), 2u);
    EXPECT_EQ(msgBox.shown[1].text, "Soon.\r\n\r\nSkip it?");
    EXPECT_EQ(later, 1);
    EXPECT_EQ(skips, 1);
}

TEST_F(Win32NoticesTest, ASkipThatThrowsLeavesTheWindowRunning) {
    Click(HideToTrayButton);
    ASSERT_TRUE(notices.Show(notice, [] { throw std::runtime_error("lost"); }));
    msgBox.answers = {MsgBox::Answer::Yes};
    Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    EXPECT_EQ(msgBox.shown.size(), 1u);
    // The window still answers its icon.
    Balloon(window.TrayIconId(), WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

// A balloon's click fails as a button's does: logged with what failed and
// why, never lost.
TEST_F(Win32NoticesTest, AFailingBalloonClickIsLoggedAsAFailingButtonIs) {
    std::vector<std::string> logged;
    window.SetFailureLog([&](const std::string& line) { logged.push_back(line); });
    struct Case {
        const char* name;
        std::function<void()> act;
        std::string line;
    };
    const Case cases[] = {
        {"a button",
         [this] {
             msgBox.whileShown = [] { throw std::runtime_error("no screen"); };
             Click(AboutButton);
         },
         "tolvane: AboutButton failed: no screen"},
        {"a balloon's click",
         [this] {
             msgBox.whileShown = [] { throw std::runtime_error("no screen"); };
             ASSERT_TRUE(notices.Show(notice, CountSkips()));
             Balloon(window.NoticeIconId(), NIN_BALLOONUSERCLICK);
         },
         "tolvane: the notice's balloon failed: no screen"},
        {"a balloon's choice",
         [this] {
             msgBox.whileShown = nullptr;
             msgBox.answers = {MsgBox::Answer::Yes};
             ASSERT_TRUE(notices.Show(notice, [] { throw std::runtime_error("lost"); }));
             Balloon(window.NoticeIconId(), NIN_BALLOONUSERCLICK);
         },
         "tolvane: the notice's balloon failed: lost"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logged.clear();
        c.act();
        EXPECT_EQ(logged, std::vector<std::string>{c.line});
    }
    EXPECT_EQ(skips, 0);
}

TEST_F(Win32NoticesTest, WithoutANotificationAreaShowFailsAndAClickAsksNothing) {
    shell.noNotificationArea = true;
    EXPECT_FALSE(notices.Show(notice, CountSkips()));
    Balloon(window.NoticeIconId(), NIN_BALLOONUSERCLICK);
    Balloon(window.TrayIconId(), NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(msgBox.shown.empty());
    EXPECT_EQ(skips, 0);
}

TEST_F(Win32NoticesTest, AMouseMoveOverTheWindowIsNeverTakenForABalloonClick) {
    ASSERT_TRUE(notices.Show(notice, CountSkips()));
    // A move to x = 1029 (the click event's number), y = 0, no key held.
    SendMessageA(window.Handle(), WM_MOUSEMOVE, 0, NIN_BALLOONUSERCLICK);
    SendMessageA(window.Handle(), WM_MOUSEMOVE, MK_LBUTTON, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(msgBox.shown.empty());
    // The same message from the notice's icon does ask.
    msgBox.answers = {MsgBox::Answer::No};
    Balloon(window.NoticeIconId(), NIN_BALLOONUSERCLICK);
    EXPECT_EQ(msgBox.shown.size(), 1u);
}

// Whether a visible balloon of another process (the notification area's)
// reads `text`. A tooltip answers WM_GETTEXT with the text it shows, and the
// system carries that message between processes.
bool ABalloonShows(const std::string& text) {
    struct Search {
        const std::string& text;
        bool found = false;
    } search{text};
    EnumWindows(
        [](HWND candidate, LPARAM context) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(context);
            DWORD process = 0;
            GetWindowThreadProcessId(candidate, &process);
            if (process == GetCurrentProcessId() || !IsWindowVisible(candidate) ||
                _stricmp(ClassOf(candidate).c_str(), TOOLTIPS_CLASSA) != 0) {
                return TRUE;
            }
            char shown[512] = {};
            DWORD_PTR copied = 0;
            if (SendMessageTimeoutA(candidate, WM_GETTEXT, sizeof shown,
                                    reinterpret_cast<LPARAM>(shown), SMTO_ABORTIFHUNG, kHangGuardMs,
                                    &copied) &&
                search.text == shown) {
                search.found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(Win32WindowTest, TheRealNotificationAreaShowsTheNoticesBalloon) {
    Load();
    // Its own words, so that no balloon left from another run can pass for it.
    const std::string text = UniqueName("The computer reboots at 10:30 PM. ");
    {
        Win32DesktopNotices real(window, msgBox);
        ASSERT_TRUE(real.Show({"Reboot in 5 minutes", text, "Skip this reboot", ""}, [] {}));
        // The notification area shows it in its own time, from its own process:
        // nothing here is told, so the windows are looked at until it is there.
        const ULONGLONG giveUp = GetTickCount64() + kHangGuardMs;
        bool shown = false;
        while (!(shown = ABalloonShows(text)) && GetTickCount64() < giveUp) {
            DispatchMessagesUntil([] { return true; });
            Sleep(10);
        }
        EXPECT_TRUE(shown);
    }
    // The notice's icon went with the adapter, and its balloon with it.
    const ULONGLONG giveUp = GetTickCount64() + kHangGuardMs;
    bool shown = true;
    while ((shown = ABalloonShows(text)) && GetTickCount64() < giveUp) Sleep(10);
    EXPECT_FALSE(shown);
}

// ---- The timer ----

TEST_F(Win32WindowTest, TheTimerMessageRunsTheSchedulersTick) {
    Load();
    clock.now = FakeClock::At(22, 30);
    // The tick looks at the file first: the line is written there.
    WriteWholeFile(folder + "\\rebootdata.kx",
                   "10:30 PM-Force Reboot-Repeat YES-Every Day\r\n\r\n");
    SendMessageA(window.Handle(), WM_TIMER, Win32MainWindow::kTimerId, 0);
    EXPECT_EQ(power.requests, std::vector<std::string>{"forced reboot"});
}

// ---- The schedule written elsewhere ----

// Another window, the service or a script changes the file, again and again;
// with the timer stopped, only the folder's watch can bring each change in.
TEST_F(Win32WindowTest, TheListFollowsTheFileAsOthersChangeItWithoutATick) {
    const std::string schedule = folder + "\\rebootdata.kx";
    WriteWholeFile(schedule, "9:00 PM-LogOff-Repeat YES-Friday\r\n\r\n");
    Load();
    ASSERT_EQ(ListItems(), std::vector<std::string>{"9:00 PM-LogOff-Repeat YES-Friday"});
    KillTimer(window.Handle(), Win32MainWindow::kTimerId);
    ASSERT_TRUE(window.WatchFolder(folder));

    Win32FileSystem elsewhere;
    const std::vector<std::vector<std::string>> steps = {
        {"10:15 AM-Reboot-Repeat NO-Every Day", "7:05 AM-ShutDown-Repeat YES-Monday"},
        {"7:05 AM-ShutDown-Repeat YES-Monday"},
        {},  // the file deleted
    };
    for (const auto& lines : steps) {
        if (lines.empty()) {
            ASSERT_TRUE(DeleteFileA(schedule.c_str()));
        } else {
            const WriteResult written =
                ReplaceFileContents(elsewhere, schedule, tolvane::ScheduleFileBytes(lines));
            ASSERT_TRUE(written) << written.reason;
        }
        // Each message the loop gets may be the watch's; the deadline only
        // guards a hang.
        const ULONGLONG deadline = GetTickCount64() + kHangGuardMs;
        for (ULONGLONG now = GetTickCount64(); ListItems() != lines && now < deadline;
             now = GetTickCount64()) {
            loop.WaitForEvents(static_cast<double>(deadline - now) / 1000.0);
            loop.ProcessPendingEvents();
        }
        EXPECT_EQ(ListItems(), lines);
    }
}

// Another program (a second window, or the service) writes the file again
// and again while this window reads each change it is told of: none of those
// reads makes a write fail.
TEST_F(Win32WindowTest, TheWindowReadingEachChangeMakesNoOtherWriterFail) {
    const std::string schedule = folder + "\\rebootdata.kx";
    Load();
    KillTimer(window.Handle(), Win32MainWindow::kTimerId);
    ASSERT_TRUE(window.WatchFolder(folder));
    const int writes = 200;
    for (const bool service : {false, true}) {
        SCOPED_TRACE(service ? "the service's walk" : "a window's file functions");
        const std::string tag = service ? "service " : "window ";
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::vector<std::string> failures;  // the writer's until it is joined
        TestThread writer([&] {
            std::unique_ptr<FileSystem> elsewhere;
            if (service) {
                elsewhere = std::make_unique<ScratchServiceFileSystem>(folder);
            } else {
                elsewhere = std::make_unique<ScratchWin32FileSystem>(folder);
            }
            for (int i = 0; i < writes; ++i) {
                const std::string bytes =
                    tolvane::ScheduleFileBytes({tag + "line " + std::to_string(i)});
                const WriteResult written = ReplaceFileContents(*elsewhere, schedule, bytes);
                if (!written) failures.push_back(std::to_string(i) + ": " + written.reason);
            }
            SetEvent(done);
        });
        // The window's loop runs until the writer is done.
        while (MsgWaitForMultipleObjectsEx(1, &done, kHangGuardMs, QS_ALLINPUT,
                                           MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1) {
            loop.ProcessPendingEvents();
        }
        writer.Join();
        CloseHandle(done);
        EXPECT_TRUE(failures.empty()) << failures.size() << " writes failed, the first "
                                      << (failures.empty() ? "" : failures.front());
        const std::vector<std::string> last = {tag + "line " + std::to_string(writes - 1)};
        const ULONGLONG deadline = GetTickCount64() + kHangGuardMs;
        for (ULONGLONG now = GetTickCount64(); ListItems() != last && now < deadline;
             now = GetTickCount64()) {
            loop.WaitForEvents(static_cast<double>(deadline - now) / 1000.0);
            loop.ProcessPendingEvents();
        }
        EXPECT_EQ(ListItems(), last);
    }
}

// ---- The event pump and the message box ----

TEST_F(Win32WindowTest, WaitingWakesForAQueuedClickAndProcessingRunsIt) {
    Load();
    PostMessageA(Control(ForceNow), BM_CLICK, 0, 0);
    // A day's wait, which the queued click ends (the test's time limit
    // guards a hang).
    loop.WaitForEvents(24 * 3600.0);
    loop.ProcessPendingEvents();
    EXPECT_EQ(StoredText(kForceNow), "1");
}

// On a thread of its own, with no window and no timer, only what the test
// queues there can wake the wait.
TEST(Win32EventPump, AMessageQueuedBeforeTheWaitEndsItEvenOnceLookedAt) {
    TestThread waiter([] {
        Win32EventPump pump;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
        ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0));
        // Looked at, not taken: a wait for new messages alone would sleep on.
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
        // Longer than any test runs: only the message ends it.
        pump.WaitForEvents(24 * 3600.0);
        EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_APP, WM_APP, PM_REMOVE));
    });
    waiter.Join();
}

TEST(Win32EventPump, WithNothingQueuedItSleepsTheTimeAskedFor) {
    TestThread waiter([] {
        Win32EventPump pump;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        const ULONGLONG before = GetTickCount64();
        pump.WaitForEvents(0.5);
        // No less than asked; a slow machine only adds to it. The allowance is
        // the tick count's coarseness on Windows.
        EXPECT_GE(GetTickCount64() - before, 450u);
    });
    waiter.Join();
}

// Presses a button of the next message box the thread shows, after noting
// what the box holds.
struct BoxSeen {
    std::string title;
    std::vector<std::string> texts;
    std::vector<int> buttons;
    bool icon = false;
};
BoxSeen* g_seen = nullptr;
int g_press = 0;

LRESULT CALLBACK PressButton(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_seen) {
        HWND box = reinterpret_cast<HWND>(wParam);
        if (ClassOf(box) == "#32770") {
            g_seen->title = TextOf(box);
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                // The box's template holds every button; the unused ones are hidden.
                const bool shown = (StyleOf(c) & WS_VISIBLE) != 0;
                if (_stricmp(ClassOf(c).c_str(), "Button") == 0 && shown) {
                    g_seen->buttons.push_back(GetDlgCtrlID(c));
                } else if (_stricmp(ClassOf(c).c_str(), "Static") == 0) {
                    if ((StyleOf(c) & SS_TYPEMASK) == SS_ICON) {
                        g_seen->icon = g_seen->icon || SendMessageA(c, STM_GETICON, 0, 0) != 0;
                    } else if (!TextOf(c).empty()) {
                        g_seen->texts.push_back(TextOf(c));
                    }
                }
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(g_press, BN_CLICKED), 0);
            g_seen = nullptr;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Win32WindowTest, TheMessageBoxShowsTextTitleAndButtonsWithoutAnIcon) {
    Load();
    Win32MsgBox box;
    box.SetOwner(window.Handle());
    struct Case {
        MsgBox::Buttons asked;
        int press;
        MsgBox::Answer answer;
        std::vector<int> buttons;
    };
    const Case cases[] = {
        {MsgBox::Buttons::Ok, IDOK, MsgBox::Answer::Ok, {IDOK}},
        {MsgBox::Buttons::YesNo, IDYES, MsgBox::Answer::Yes, {IDYES, IDNO}},
        {MsgBox::Buttons::YesNo, IDNO, MsgBox::Answer::No, {IDYES, IDNO}},
    };
    for (const Case& c : cases) {
        BoxSeen seen;
        g_seen = &seen;
        g_press = c.press;
        HHOOK hook = SetWindowsHookExA(WH_CBT, PressButton, nullptr, GetCurrentThreadId());
        const MsgBox::Answer answer =
            box.Show("Line one\r\nLine two", "Tolvane - Quarnel", c.asked);
        UnhookWindowsHookEx(hook);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(seen.title, "Tolvane - Quarnel");
        std::vector<int> visibleButtons = seen.buttons;
        std::sort(visibleButtons.begin(), visibleButtons.end());
        EXPECT_EQ(visibleButtons, c.buttons);
        EXPECT_FALSE(seen.icon);
        ASSERT_FALSE(seen.texts.empty());
        EXPECT_EQ(seen.texts[0], "Line one\r\nLine two");
    }
}

}  // namespace
}  // namespace tolvane::testing
