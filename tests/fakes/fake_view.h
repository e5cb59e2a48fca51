#pragma once

#include <map>
#include <string>
#include <vector>

#include "shell/view.h"

namespace tolvane::testing {

// The window's controls as plain state, with the toolkit's rules that matter
// to the handlers: option buttons clear the others of their group.
class FakeView final : public MainWindowView {
  public:
    std::map<ControlId, bool> options;
    std::map<ControlId, int> checks;
    std::map<ControlId, std::string> comboTexts{{ControlId::Day, "Every Day"}};
    std::map<ControlId, std::vector<std::string>> comboItems;
    std::map<MenuId, bool> menuChecks;
    std::vector<std::string> listItems;  // the schedule list as the observer calls built it
    std::map<ControlId, std::vector<std::string>> shownLines;
    int listSelection = -1;
    bool visible = false;
    int shows = 0;
    int hides = 0;
    bool ended = false;

    bool OptionValue(ControlId option) override { return options[option]; }
    void SetOptionValue(ControlId option, bool selected) override {
        if (selected) {
            for (ControlId other : GroupOf(option)) options[other] = false;
        }
        options[option] = selected;
    }
    int CheckValue(ControlId check) override { return checks[check]; }
    void SetCheckValue(ControlId check, int value) override { checks[check] = value; }
    std::string ComboText(ControlId combo) override { return comboTexts[combo]; }
    void SetComboText(ControlId combo, const std::string& text) override {
        comboTexts[combo] = text;
    }
    void AddComboItem(ControlId combo, const std::string& item) override {
        comboItems[combo].push_back(item);
    }
    void SetShownLines(ControlId list, const std::vector<std::string>& lines) override {
        shownLines[list] = lines;
    }
    bool MenuChecked(MenuId item) override { return menuChecks[item]; }
    void SetMenuChecked(MenuId item, bool checked) override { menuChecks[item] = checked; }
    void ShowWindow() override {
        visible = true;
        ++shows;
    }
    void HideWindow() override {
        visible = false;
        ++hides;
    }
    void EndProgram() override { ended = true; }

    void ItemInserted(int index, const std::string& line) override {
        listItems.insert(listItems.begin() + index, line);
    }
    void ItemRemoved(int index) override { listItems.erase(listItems.begin() + index); }
    void SelectionChanged(int index) override { listSelection = index; }

  private:
    static std::vector<ControlId> GroupOf(ControlId option) {
        if (option == ControlId::OnlyOnce || option == ControlId::Repeat) {
            return {ControlId::OnlyOnce, ControlId::Repeat};
        }
        return {ControlId::ScheduleReboot, ControlId::ScheduleLogOff, ControlId::ScheduleShutDown,
                ControlId::ScheduleLock};
    }
};

}  // namespace tolvane::testing
