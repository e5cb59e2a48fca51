#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "shell/view.h"
#include "shell/window_layout.h"

class QAction;
class QButtonGroup;
class QListWidget;
class QMenuBar;
class QStyle;

namespace tolvane {

// The main window on Qt Widgets, built from the window table: every control
// at its place converted at the screen's resolution, the menus, the tab order,
// and the timer, which runs from the window's creation. Once attached, the
// window's events go to MainWindow's handlers.
class QtMainWindow final : public QWidget, public MainWindowView {
  public:
    // `endProgram` ends the process at once (tests put something milder there).
    explicit QtMainWindow(std::function<void()> endProgram);
    ~QtMainWindow() override;

    void Attach(MainWindow* form) { form_ = form; }
    // Runs a handler of the attached window, guarded: a failure is written
    // to standard error and ends that event's work only. Nothing runs
    // before a window is attached.
    void Run(std::string_view event, const std::function<void(MainWindow&)>& call);

    QWidget* ControlWidget(ControlId id) const { return controls_.at(id); }
    QAction* MenuAction(MenuId id) const { return menus_.at(id); }
    const QTimer& Timer() const { return timer_; }
    int DotsPerInch() const { return dotsPerInch_; }
    QWidget* ClientArea() const { return client_; }

    bool OptionValue(ControlId option) override;
    void SetOptionValue(ControlId option, bool selected) override;
    int CheckValue(ControlId check) override;
    void SetCheckValue(ControlId check, int value) override;
    std::string ComboText(ControlId combo) override;
    void SetComboText(ControlId combo, const std::string& text) override;
    void AddComboItem(ControlId combo, const std::string& item) override;
    void SetShownLines(ControlId list, const std::vector<std::string>& lines) override;
    bool MenuChecked(MenuId item) override;
    void SetMenuChecked(MenuId item, bool checked) override;
    void ShowWindow() override;
    void HideWindow() override;
    void EndProgram() override;

    void ItemInserted(int index, const std::string& line) override;
    void ItemRemoved(int index) override;
    void SelectionChanged(int index) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    int Pixels(int twips) const;
    void BuildControls();
    void BuildMenus(QMenuBar& bar);
    void SetTabOrder();
    void Forward(std::string_view control, MainWindowHandler handler);
    void ListSelectionChanged();

    std::function<void()> endProgram_;
    MainWindow* form_ = nullptr;
    int dotsPerInch_ = 96;
    std::unique_ptr<QStyle> controlStyle_;
    QWidget* client_ = nullptr;
    QListWidget* list_ = nullptr;
    std::map<ControlId, QWidget*> controls_;
    std::map<MenuId, QAction*> menus_;
    std::map<QWidget*, QButtonGroup*> optionGroups_;  // by the container they lie on
    QTimer timer_;
};

}  // namespace tolvane
