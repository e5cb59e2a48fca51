#pragma once

#include <windows.h>

#include <utility>

namespace tolvane {

// One owner for each kind of Windows handle: closed with its own function
// when the owner goes, whatever path leaves the scope. `Traits` names the
// handle's type, the value that means "none" and how it is closed.
template <typename Traits>
class UniqueWin32 {
  public:
    using Type = typename Traits::Type;

    UniqueWin32() = default;
    explicit UniqueWin32(Type value) : value_(value) {}
    ~UniqueWin32() { Reset(); }
    UniqueWin32(UniqueWin32&& other) noexcept : value_(other.Release()) {}
    UniqueWin32& operator=(UniqueWin32&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueWin32(const UniqueWin32&) = delete;
    UniqueWin32& operator=(const UniqueWin32&) = delete;

    Type Get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::None(); }
    // Gives the handle up without closing it.
    Type Release() { return std::exchange(value_, Traits::None()); }
    // Where a function that hands its handle back through a pointer puts it;
    // any handle held so far is closed first.
    Type* Out() {
        Reset();
        return &value_;
    }
    void Reset(Type value = Traits::None()) {
        const Type old = std::exchange(value_, value);
        if (old != Traits::None()) Traits::Close(old);
    }

  private:
    Type value_ = Traits::None();
};

namespace handle_traits {

struct Kernel {  // processes, threads, tokens, events, jobs: none is null
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};
struct File {  // CreateFile: none is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};
struct FindSearch {  // FindFirstFile: none is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type search) { FindClose(search); }
};
struct ChangeNotification {  // FindFirstChangeNotification
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type change) { FindCloseChangeNotification(change); }
};
struct LocalMemory {  // what the system allocated for the caller with LocalAlloc
    using Type = HLOCAL;
    static Type None() { return nullptr; }
    static void Close(Type memory) { LocalFree(memory); }
};
struct Icon {
    using Type = HICON;
    static Type None() { return nullptr; }
    static void Close(Type icon) { DestroyIcon(icon); }
};
struct Font {
    using Type = HFONT;
    static Type None() { return nullptr; }
    static void Close(Type font) { DeleteObject(font); }
};
struct Menu {
    using Type = HMENU;
    static Type None() { return nullptr; }
    static void Close(Type menu) { DestroyMenu(menu); }
};
struct Window {
    using Type = HWND;
    static Type None() { return nullptr; }
    static void Close(Type window) { DestroyWindow(window); }
};
struct RegistryKey {
    using Type = HKEY;
    static Type None() { return nullptr; }
    static void Close(Type key) { RegCloseKey(key); }
};
struct ThreadPoolWait {  // RegisterWaitForSingleObject; closing waits for a callback under way
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static void Close(Type wait) { UnregisterWaitEx(wait, INVALID_HANDLE_VALUE); }
};

}  // namespace handle_traits

using UniqueHandle = UniqueWin32<handle_traits::Kernel>;
using UniqueFileHandle = UniqueWin32<handle_traits::File>;
using UniqueFindHandle = UniqueWin32<handle_traits::FindSearch>;
using UniqueChangeNotification = UniqueWin32<handle_traits::ChangeNotification>;
using UniqueLocalMemory = UniqueWin32<handle_traits::LocalMemory>;
using UniqueIcon = UniqueWin32<handle_traits::Icon>;
using UniqueFont = UniqueWin32<handle_traits::Font>;
using UniqueMenu = UniqueWin32<handle_traits::Menu>;
using UniqueWindow = UniqueWin32<handle_traits::Window>;
using UniqueRegistryKey = UniqueWin32<handle_traits::RegistryKey>;
using UniqueThreadPoolWait = UniqueWin32<handle_traits::ThreadPoolWait>;

}  // namespace tolvane
