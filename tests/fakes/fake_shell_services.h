#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/msg_box.h"
#include "platform/process_starter.h"
#include "platform/settings_store.h"
#include "platform/tray_icon.h"
#include "platform/web_browser.h"
#include "schedule/text.h"
#include "shell/settings_keys.h"

namespace tolvane::testing {

// Records every box shown; answers from `answers` in turn (Yes, or Ok, when
// none is left). `whileShown` runs while the box is up, as events do under a
// modal box.
class FakeMsgBox final : public MsgBox {
  public:
    struct Shown {
        std::string text;
        std::string title;
        Buttons buttons;
    };
    std::vector<Shown> shown;
    std::deque<Answer> answers;
    std::function<void()> whileShown;

    Answer Show(const std::string& text, const std::string& title, Buttons buttons) override {
        shown.push_back({text, title, buttons});
        if (whileShown) whileShown();
        if (answers.empty()) return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : shown) texts.push_back(s.text);
        return texts;
    }
};

// Settings in memory; section and key names match without regard to case.
class FakeSettingsStore final : public SettingsStore {
  public:
    std::map<std::string, std::string> values;  // "application\section\key", lower case
    std::vector<std::string> saves;             // "section\key=value", in order, as written
    std::set<std::string> names;                // "section\key" of every read and write, as spelt

    static std::string Key(const std::string& application, const std::string& section,
                           const std::string& key) {
        return text::ToLower(application + "\\" + section + "\\" + key);
    }
    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override {
        names.insert(section + "\\" + key);
        const auto found = values.find(Key(application, section, key));
        return found == values.end() ? defaultValue : found->second;
    }
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override {
        values[Key(application, section, key)] = value;
        names.insert(section + "\\" + key);
        saves.push_back(section + "\\" + key + "=" + value);
    }
    void Put(const std::string& section, const std::string& key, const std::string& value) {
        values[Key("Tolvane 2.1", section, key)] = value;
    }
    void Put(SettingKey setting, const std::string& value) {
        Put(setting.section, setting.key, value);
    }
    std::string Get(const std::string& section, const std::string& key) {
        return GetSetting("Tolvane 2.1", section, key, "<absent>");
    }
    std::string Get(SettingKey setting) { return Get(setting.section, setting.key); }
    // How `saves` records the writing of `value` to `setting`.
    static std::string Saved(SettingKey setting, const std::string& value) {
        return std::string(setting.section) + "\\" + setting.key + "=" + value;
    }
};

class FakeProcessStarter final : public ProcessStarter {
  public:
    struct Started {
        std::string program;
        std::vector<std::string> arguments;
        Ended ended;  // the test ends the program by calling it
    };
    std::vector<Started> started;
    bool fail = false;

    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               std::string& reason, Ended ended) override {
        if (fail) {
            reason = "The system cannot find the file specified.";
            return false;
        }
        started.push_back({program, arguments, std::move(ended)});
        return true;
    }
};

class FakeWebBrowser final : public WebBrowser {
  public:
    std::vector<std::string> opened;
    bool fail = false;
    std::function<void()> failedLater;  // the last open's, for the test to call
    bool OpenWebAddress(const std::string& address, std::function<void()> later) override {
        if (fail) return false;
        opened.push_back(address);
        failedLater = std::move(later);
        return true;
    }
};

// Accepts the first showing of the icon and refuses a repeated one, as the
// platform does, unless told there is no notification area at all.
class FakeTrayIcon final : public TrayIcon {
  public:
    std::vector<std::string> shows;  // the tip of every showing asked for
    bool present = false;
    bool kept = false;  // to be put back after a restart of the notification area
    bool noNotificationArea = false;
    bool Show(const std::string& tip) override {
        shows.push_back(tip);
        kept = true;
        if (noNotificationArea || present) return false;
        present = true;
        return true;
    }
    void StopKeeping() override { kept = false; }
};

}  // namespace tolvane::testing
