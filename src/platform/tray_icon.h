#pragma once

#include <array>
#include <cstdint>

namespace tolvane {

// The notification-area icon's record, as the program fills it: which fields
// are valid, the message the icon's notifications arrive with, and the tip as
// a 64-character field. The platform adapter lays it out in the platform's own
// form (and sets the record's size for that form).
struct NotifyIconRecord {
    std::uintptr_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uintptr_t hIcon = 0;
    std::array<char, 64> szTip{};
};

inline constexpr std::uint32_t kNifMessage = 1;
inline constexpr std::uint32_t kNifIcon = 2;
inline constexpr std::uint32_t kNifTip = 4;

// The mouse messages that reach the window from the icon.
inline constexpr std::uint32_t kWmMouseMove = 0x200;
inline constexpr std::uint32_t kWmLButtonDown = 0x201;
inline constexpr std::uint32_t kWmLButtonUp = 0x202;
inline constexpr std::uint32_t kWmLButtonDblClk = 0x203;
inline constexpr std::uint32_t kWmRButtonDown = 0x204;
inline constexpr std::uint32_t kWmRButtonUp = 0x205;

class TrayIcon {
  public:
    virtual ~TrayIcon() = default;
    // Adds the icon; false when the platform refused (it may already be there).
    virtual bool Add(const NotifyIconRecord& record) = 0;
};

}  // namespace tolvane
