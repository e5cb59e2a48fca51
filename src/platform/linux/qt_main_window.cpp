#include "platform/linux/qt_main_window.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/linux/application_icon.h"
#include "platform/linux/window_font.h"
#include "schedule/log_text.h"
#include "shell/handler_guard.h"
#include "shell/main_window.h"
#include "shell/texts.h"

namespace tolvane {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string Bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

// A frame drawn the classic way: an etched line with the caption set into its
// top edge, so the table's positions (measured from the frame's outer edge)
// put the controls inside it.
class EtchedFrame final : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect line = rect().adjusted(0, metrics.height() / 2, -1, -1);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(line.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(line.adjusted(1, 1, 0, 0));
        if (title().isEmpty()) return;
        const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(caption, palette().window());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, title());
    }
};

// The table's option and check rows are 13 pixels high at 96 dpi; the
// toolkit's indicators are drawn no larger than the row, or they are clipped.
// The combos' drop buttons are no wider than the native ones (a scroll bar's
// width), or the table's narrow time combos have no room left for "PM".
class TableSizedParts final : public QProxyStyle {
  public:
    TableSizedParts(QStyle* base, int largestIndicator, int largestDropButton)
        : QProxyStyle(base), largest_(largestIndicator), dropButton_(largestDropButton) {}

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        if (control != CC_ComboBox || (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField)) {
            return rect;
        }
        const QRect button = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
        const int spare = button.width() - dropButton_;
        if (spare <= 0) return rect;
        // The button keeps its outer edge; the edit part takes what it gives up.
        const bool leftToRight = option->direction != Qt::RightToLeft;
        if (part == SC_ComboBoxArrow) {
            leftToRight ? rect.setLeft(rect.left() + spare) : rect.setRight(rect.right() - spare);
        } else {
            leftToRight ? rect.setRight(rect.right() + spare) : rect.setLeft(rect.left() - spare);
        }
        return rect;
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int size = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
            case PM_IndicatorWidth:
            case PM_IndicatorHeight:
            case PM_ExclusiveIndicatorWidth:
            case PM_ExclusiveIndicatorHeight:
                return std::min(size, largest_);
            default:
                return size;
        }
    }

  private:
    int largest_;
    int dropButton_;
};

// The schedule list shows four whole lines and nothing of a fifth, as the
// native list does by sizing its lines to the font: the lines share the
// list's height in four, and the few pixels left over stay blank below them.
// The Delete key, pressed while the list has the focus, goes to `deleteKey`.
class FourLineList final : public QListWidget {
  public:
    FourLineList(QWidget* parent, std::function<void()> deleteKey)
        : QListWidget(parent), deleteKey_(std::move(deleteKey)) {
        setItemDelegate(new Lines(this));
    }
    int LineHeight() const { return contentsRect().height() / 4; }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Delete) {
            event->accept();
            deleteKey_();
            return;
        }
        QListWidget::keyPressEvent(event);
    }
    void resizeEvent(QResizeEvent* event) override {
        setViewportMargins(0, 0, 0, contentsRect().height() - 4 * LineHeight());
        QListWidget::resizeEvent(event);
        doItemsLayout();
    }

  private:
    class Lines final : public QStyledItemDelegate {
      public:
        explicit Lines(FourLineList* list) : QStyledItemDelegate(list), list_(list) {}
        QSize sizeHint(const QStyleOptionViewItem& option,
                       const QModelIndex& index) const override {
            QSize size = QStyledItemDelegate::sizeHint(option, index);
            size.setHeight(std::max(size.height(), list_->LineHeight()));
            return size;
        }

      private:
        FourLineList* list_;
    };

    std::function<void()> deleteKey_;
};

constexpr int kIndicatorTwips = 180;
constexpr int kDropButtonTwips = 255;  // 17 pixels at 96 dpi

// A two-state box that the program may set to grayed: a click from grayed
// clears it, as a click on the Windows window's box does, and from then on
// clicks only check and clear. Grayed comes back only when the program sets
// it again.
class TwoStateCheckBox final : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {
        if (checkState() == Qt::PartiallyChecked) {
            setTristate(false);
            setCheckState(Qt::Unchecked);
            return;
        }
        QCheckBox::nextCheckState();
    }
};

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Frame && kind != ControlKind::BorderlessFrame &&
           kind != ControlKind::Label;
}

}  // namespace

QtMainWindow::QtMainWindow(std::function<void()> endProgram) : endProgram_(std::move(endProgram)) {
    // The timer runs from the window's creation for the life of the program.
    timer_.setInterval(kTimerIntervalMs);
    connect(&timer_, &QTimer::timeout, this,
            [this] { Run("the timer", [](MainWindow& form) { form.OnTimerTick(); }); });
    timer_.start();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dotsPerInch_ = int(std::lround(screen->logicalDotsPerInch()));
    }

    setWindowTitle(Text(texts::kWindowTitle));
    setWindowIcon(ApplicationIcon());
    // A fixed window: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* bar = new QMenuBar(this);
    layout->setMenuBar(bar);
    client_ = new QWidget(this);
    client_->setObjectName(Text(kFormName));
    client_->setFixedSize(Pixels(kClientWidthTwips), Pixels(kClientHeightTwips));
    controlStyle_ =
        std::make_unique<TableSizedParts>(QStyleFactory::create(QApplication::style()->name()),
                                          Pixels(kIndicatorTwips), Pixels(kDropButtonTwips));
    client_->setFont(FontThatFitsEveryCaption(font(), *controlStyle_, dotsPerInch_));
    layout->addWidget(client_);

    BuildControls();
    BuildMenus(*bar);
    SetTabOrder();
}

QtMainWindow::~QtMainWindow() = default;

int QtMainWindow::Pixels(int twips) const {
    return TwipsToPixels(twips, dotsPerInch_);
}

void QtMainWindow::BuildControls() {
    for (const ControlSpec& spec : MainWindowControls()) {
        QWidget* parent = spec.container ? controls_.at(*spec.container) : client_;
        const QString caption = Text(spec.caption);
        QWidget* widget = nullptr;
        switch (spec.kind) {
            case ControlKind::Frame:
                widget = new EtchedFrame(caption, parent);
                break;
            case ControlKind::BorderlessFrame:
                widget = new QWidget(parent);  // groups its option buttons, draws nothing
                break;
            case ControlKind::PushButton: {
                auto* button = new QPushButton(caption, parent);
                button->setAutoDefault(false);
                connect(button, &QPushButton::clicked, this,
                        [this, &spec] { Forward(spec.name, spec.click); });
                widget = button;
                break;
            }
            case ControlKind::OptionButton: {
                // One group per container, as the table's frames make them.
                // Qt's own grouping of siblings would take in the buttons of
                // a frame inside this one too, and then a click on the
                // selected action could clear it while Only Once is set.
                QButtonGroup*& group = optionGroups_[parent];
                if (!group) group = new QButtonGroup(parent);
                auto* button = new QRadioButton(caption, parent);
                group->addButton(button);
                widget = button;
                break;
            }
            case ControlKind::CheckBox: {
                auto* box = new TwoStateCheckBox(caption, parent);
                // clicked comes from the user only, after the value changed;
                // a value set by the program raises nothing.
                connect(box, &QCheckBox::clicked, this,
                        [this, &spec] { Forward(spec.name, spec.click); });
                widget = box;
                break;
            }
            case ControlKind::DropDownCombo: {
                auto* combo = new QComboBox(parent);
                combo->setEditable(true);
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->setEditText(caption);
                widget = combo;
                break;
            }
            case ControlKind::ListBox:
                list_ = new FourLineList(parent, [this] {
                    const ControlSpec& button = Control(kListDeleteKeyButton);
                    Forward(button.name, button.click);
                });
                list_->setSelectionMode(QAbstractItemView::SingleSelection);
                list_->setSortingEnabled(false);  // the schedule list keeps the order
                // A long line is cut at the right edge, as the native list
                // does: a horizontal bar would take the room of a whole line
                // of the four the list shows.
                list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                list_->setTextElideMode(Qt::ElideNone);
                connect(list_, &QListWidget::itemSelectionChanged, this,
                        [this] { ListSelectionChanged(); });
                widget = list_;
                break;
            case ControlKind::ShownLines: {
                // Read and scrolled, never chosen: nothing here acts on a line.
                auto* lines = new FourLineList(parent, [] {});
                lines->setSelectionMode(QAbstractItemView::NoSelection);
                lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                lines->setTextElideMode(Qt::ElideNone);
                widget = lines;
                break;
            }
            case ControlKind::Label: {
                auto* label = new QLabel(caption, parent);
                label->setTextFormat(Qt::PlainText);
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                widget = label;
                break;
            }
        }
        widget->setObjectName(Text(spec.name));
        widget->setStyle(controlStyle_.get());
        widget->setGeometry(Pixels(spec.left), Pixels(spec.top), Pixels(spec.width),
                            Pixels(spec.height));
        controls_[spec.id] = widget;
    }
}

void QtMainWindow::BuildMenus(QMenuBar& bar) {
    std::map<MenuId, QMenu*> menus;
    for (const MenuSpec& spec : MainWindowMenus()) {
        const QString caption = Text(spec.caption);
        QAction* action = nullptr;
        if (!spec.parent) {
            QMenu* menu = bar.addMenu(caption);
            menu->setObjectName(Text(spec.name));
            menus[spec.id] = menu;
            action = menu->menuAction();
        } else if (spec.caption == "-") {
            action = menus.at(*spec.parent)->addSeparator();
        } else {
            action = menus.at(*spec.parent)->addAction(caption);
            action->setCheckable(spec.checkable);
            connect(action, &QAction::triggered, this, [this, action, &spec] {
                // The handler flips the check mark itself; undo Qt's
                // own flip first so one click is one change.
                if (spec.checkable) action->setChecked(!action->isChecked());
                Forward(spec.name, spec.click);
            });
        }
        action->setObjectName(Text(spec.name));
        menus_[spec.id] = action;
    }
}

void QtMainWindow::SetTabOrder() {
    std::vector<const ControlSpec*> focusable;
    for (const ControlSpec& spec : MainWindowControls()) {
        QWidget* widget = controls_.at(spec.id);
        if (TakesFocus(spec.kind)) {
            widget->setFocusPolicy(Qt::StrongFocus);
            focusable.push_back(&spec);
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    std::stable_sort(
        focusable.begin(), focusable.end(),
        [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < focusable.size(); ++i) {
        setTabOrder(controls_.at(focusable[i - 1]->id), controls_.at(focusable[i]->id));
    }
    if (!focusable.empty()) controls_.at(focusable.front()->id)->setFocus();
}

void QtMainWindow::Run(std::string_view event, const std::function<void(MainWindow&)>& call) {
    if (!form_) return;
    RunHandler(
        event, [&] { call(*form_); },
        [](const std::string& line) {
            std::fprintf(stderr, "%s\n", EscapeForLog(line, LogBytes::Utf8).c_str());
        });
}

void QtMainWindow::Forward(std::string_view control, MainWindowHandler handler) {
    if (handler) Run(control, [handler](MainWindow& form) { (form.*handler)(); });
}

void QtMainWindow::ListSelectionChanged() {
    if (!form_) return;
    const auto selected = list_->selectedItems();
    const int index = selected.isEmpty() ? -1 : list_->row(selected.front());
    Run("ScheduleLines", [index](MainWindow& form) { form.OnScheduleLineSelected(index); });
}

bool QtMainWindow::OptionValue(ControlId option) {
    return static_cast<QRadioButton*>(controls_.at(option))->isChecked();
}

void QtMainWindow::SetOptionValue(ControlId option, bool selected) {
    auto* button = static_cast<QRadioButton*>(controls_.at(option));
    if (selected || !button->isChecked()) {
        button->setChecked(selected);
        return;
    }
    // An exclusive group refuses to clear its selected button; the program
    // may leave a group with none selected.
    QButtonGroup* group = button->group();
    group->setExclusive(false);
    button->setChecked(false);
    group->setExclusive(true);
}

int QtMainWindow::CheckValue(ControlId check) {
    switch (static_cast<QCheckBox*>(controls_.at(check))->checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            break;
    }
    return 2;
}

void QtMainWindow::SetCheckValue(ControlId check, int value) {
    auto* box = static_cast<QCheckBox*>(controls_.at(check));
    box->setTristate(value == 2);
    box->setCheckState(value == 1   ? Qt::Checked
                       : value == 2 ? Qt::PartiallyChecked
                                    : Qt::Unchecked);
}

std::string QtMainWindow::ComboText(ControlId combo) {
    return Bytes(static_cast<QComboBox*>(controls_.at(combo))->currentText());
}

void QtMainWindow::SetComboText(ControlId combo, const std::string& text) {
    static_cast<QComboBox*>(controls_.at(combo))->setEditText(Text(text));
}

void QtMainWindow::AddComboItem(ControlId combo, const std::string& item) {
    auto* box = static_cast<QComboBox*>(controls_.at(combo));
    // Qt puts the first item into the text field; the text stays what it was.
    const QSignalBlocker quiet(box);
    const QString text = box->currentText();
    box->addItem(Text(item));
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

bool QtMainWindow::MenuChecked(MenuId item) {
    return menus_.at(item)->isChecked();
}

void QtMainWindow::SetMenuChecked(MenuId item, bool checked) {
    menus_.at(item)->setChecked(checked);
}

void QtMainWindow::ShowWindow() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void QtMainWindow::HideWindow() {
    hide();
}

void QtMainWindow::EndProgram() {
    endProgram_();
}

void QtMainWindow::SetShownLines(ControlId list, const std::vector<std::string>& lines) {
    auto* shown = static_cast<QListWidget*>(controls_.at(list));
    shown->clear();
    for (const std::string& line : lines) shown->addItem(Text(line));
}

void QtMainWindow::ItemInserted(int index, const std::string& line) {
    const QSignalBlocker quiet(list_);
    list_->insertItem(index, Text(line));
}

void QtMainWindow::ItemRemoved(int index) {
    const QSignalBlocker quiet(list_);
    delete list_->takeItem(index);
}

void QtMainWindow::SelectionChanged(int index) {
    const QSignalBlocker quiet(list_);
    if (index < 0) {
        list_->clearSelection();
        list_->setCurrentRow(-1);
    } else {
        list_->setCurrentRow(index);
    }
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    int cancel = 0;
    Run("closing the window", [&cancel](MainWindow& form) { form.OnCloseRequested(cancel); });
    if (cancel != 0) {
        event->ignore();
    } else {
        event->accept();
    }
}

}  // namespace tolvane
