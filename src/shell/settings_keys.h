#pragma once

// Every section and key the window reads or writes in the settings store,
// under the application's name (texts::kApplicationName). The spellings are
// the ones users' settings already hold, letter case included: the store
// finds a name in any case, but one it creates keeps the spelling it was
// given, so none of these may change.
namespace tolvane {

// One value of the settings store.
struct SettingKey {
    const char* section;
    const char* key;
};

namespace settings_keys {

// The Options menu's check marks.
inline constexpr char kRunitSection[] = "Runit";
// One section, under two spellings: the Force box's value is written with
// the lower-case one, the others with the capitalized one.
inline constexpr char kOptionsSection[] = "Options";
inline constexpr char kForceSection[] = "options";
// Where the program is installed.
inline constexpr char kLocationSection[] = "Location";

// "True" or "False".
inline constexpr SettingKey kRunMinimized{kRunitSection, "RunMinimized"};
inline constexpr SettingKey kShowSchedule{kRunitSection, "ShowRebootScheduleM"};
inline constexpr SettingKey kShowNowPanel{kRunitSection, "ShowShowRebootNowM"};
// The immediate actions' Force box: 0 clear, 1 checked, 2 grayed.
inline constexpr SettingKey kForceNow{kForceSection, "c2"};
// Whether Set Service last installed the service: a number, 0 for no.
inline constexpr SettingKey kServiceInstalled{kOptionsSection, "Service"};
// Minutes of notice before a scheduled action.
inline constexpr SettingKey kNoticeMinutes{kOptionsSection, "NoticeMinutes"};
// The program's folder, written at every start; Set Service runs its
// scripts from there.
inline constexpr SettingKey kProgramFolder{kLocationSection, "Path"};

}  // namespace settings_keys
}  // namespace tolvane
