// Every caption of the real window whole, at the resolutions desktops use.
// Qt reads the resolution once, when the application starts, so each one is
// measured by a child run of this test program with its own QT_FONT_DPI.
// With Qt's own scaling off the window itself sees that resolution and
// converts the table there; with it on (the usual desktop case) the window
// sees 96 and Qt draws it larger, with unhinted fonts of other widths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "child_process.h"
#include "fakes/fake_system_power.h"
#include "native_platform.h"
#include "platform/linux/linux_program.h"
#include "shell/window_layout.h"

extern char** environ;

namespace tolvane {
namespace {

constexpr const char* kDpiVariable = "TOLVANE_FIT_DPI";

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string Show(const QRect& r) {
    std::ostringstream out;
    out << r.width() << "x" << r.height() << "+" << r.x() << "+" << r.y();
    return out.str();
}

// What a control must show, and where it may show it; a cut is any of the
// text's extent beyond the room.
struct Cut {
    std::string control;
    std::string text;
    std::string what;
};

class Measurer {
  public:
    explicit Measurer(QtMainWindow& window) : window_(window) {}

    std::vector<Cut> Cuts() {
        for (const ControlSpec& spec : MainWindowControls()) Measure(spec);
        return cuts_;
    }

  private:
    void Need(const ControlSpec& spec, const QString& text, bool fits, const std::string& what) {
        if (!fits) cuts_.push_back({std::string(spec.name), text.toStdString(), what});
    }

    // Width and height of the text against the room the style gives it.
    void Fits(const ControlSpec& spec, const QString& text, const QFontMetrics& metrics,
              const QRect& room) {
        const int width = metrics.horizontalAdvance(text);
        Need(spec, text, width <= room.width() && metrics.height() <= room.height(),
             "text " + std::to_string(width) + "x" + std::to_string(metrics.height()) + " in " +
                 Show(room));
    }

    // The text where the control draws it must not lie under a sibling
    // stacked above the control (the table lets some neighbours overlap).
    void Uncovered(const ControlSpec& spec, QWidget* widget, const QString& text,
                   const QRect& drawn) {
        const QRect inParent = drawn.translated(widget->pos());
        const QObjectList& siblings = widget->parentWidget()->children();
        for (auto at = siblings.begin() + siblings.indexOf(widget) + 1; at != siblings.end();
             ++at) {
            auto* above = qobject_cast<QWidget*>(*at);
            if (above && above->isVisible() && above->geometry().intersects(inParent)) {
                Need(spec, text, false,
                     "text " + Show(inParent) + " under " + above->objectName().toStdString() +
                         " " + Show(above->geometry()));
            }
        }
    }

    void Measure(const ControlSpec& spec) {
        QWidget* widget = window_.ControlWidget(spec.id);
        const QFontMetrics metrics = widget->fontMetrics();
        const QStyle& style = *widget->style();
        switch (spec.kind) {
            case ControlKind::PushButton: {
                QStyleOptionButton option;
                option.initFrom(widget);
                option.text = Q(spec.caption);
                Fits(spec, option.text, metrics,
                     style.subElementRect(QStyle::SE_PushButtonContents, &option, widget));
                break;
            }
            case ControlKind::OptionButton:
            case ControlKind::CheckBox: {
                const bool radio = spec.kind == ControlKind::OptionButton;
                QStyleOptionButton option;
                option.initFrom(widget);
                option.text = Q(spec.caption);
                const QRect indicator = style.subElementRect(
                    radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option,
                    widget);
                Need(spec, option.text, widget->rect().contains(indicator),
                     "indicator " + Show(indicator) + " in " + Show(widget->rect()));
                const QRect text = style.subElementRect(
                    radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option,
                    widget);
                Fits(spec, option.text, metrics, text.intersected(widget->rect()));
                Need(spec, option.text, !text.intersects(indicator), "text over the indicator");
                const QRect drawn = QStyle::alignedRect(
                    Qt::LeftToRight, Qt::AlignLeft | Qt::AlignVCenter,
                    QSize(metrics.horizontalAdvance(option.text), metrics.height()), text);
                Uncovered(spec, widget, option.text, drawn.united(indicator));
                break;
            }
            case ControlKind::Label: {
                auto* label = static_cast<QLabel*>(widget);
                const QRect room = label->contentsRect();
                // Wrapped at word boundaries; a word wider than the room is cut.
                const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20),
                                                          Qt::TextWordWrap, label->text());
                Need(spec, label->text(),
                     needed.width() <= room.width() && needed.height() <= room.height(),
                     "wrapped text " + Show(needed) + " in " + Show(room));
                Uncovered(spec, label, label->text(), needed.translated(room.topLeft()));
                break;
            }
            case ControlKind::DropDownCombo: {
                auto* combo = static_cast<QComboBox*>(widget);
                QLineEdit* edit = combo->lineEdit();
                QStyleOptionFrame frame;
                frame.initFrom(edit);
                frame.rect = edit->contentsRect();
                frame.lineWidth =
                    edit->hasFrame() ? style.pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, edit)
                                     : 0;
                QRect room =
                    edit->style()->subElementRect(QStyle::SE_LineEditContents, &frame, edit);
                // The edit keeps a fixed two-pixel margin either side of its text.
                const QMargins margins = edit->textMargins();
                room = room.adjusted(2 + margins.left(), margins.top(), -2 - margins.right(),
                                     -margins.bottom());
                room = room.intersected(edit->rect());
                // Whatever the list may put into the edit part.
                QStringList texts{Q(spec.caption)};
                for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
                for (const QString& text : texts) Fits(spec, text, edit->fontMetrics(), room);
                break;
            }
            case ControlKind::Frame: {
                auto* frame = static_cast<QWidget*>(widget);
                const QString title = Q(spec.caption);
                // Where the frame draws its title: set into its top edge.
                const QRect caption(6, 0, metrics.horizontalAdvance(title) + 4, metrics.height());
                Need(spec, title, frame->rect().contains(caption),
                     "title " + Show(caption) + " in " + Show(frame->rect()));
                for (QObject* child : frame->children()) {
                    auto* inside = qobject_cast<QWidget*>(child);
                    if (inside && inside->isVisibleTo(frame) &&
                        inside->geometry().intersects(caption)) {
                        Need(spec, title, false,
                             "title " + Show(caption) + " under " +
                                 inside->objectName().toStdString() + " " +
                                 Show(inside->geometry()));
                    }
                }
                break;
            }
            case ControlKind::ListBox:
            case ControlKind::ShownLines: {
                auto* list = static_cast<QListWidget*>(widget);
                // Four whole lines, and no part of a fifth below them.
                const int rows = list->viewport()->height() / list->sizeHintForRow(0);
                Need(spec, "four whole lines",
                     list->viewport()->height() == 4 * list->sizeHintForRow(0),
                     std::to_string(rows) + " lines of " + std::to_string(list->sizeHintForRow(0)) +
                         " in " + Show(list->viewport()->rect()));
                break;
            }
            case ControlKind::BorderlessFrame:
                break;
        }
    }

    QtMainWindow& window_;
    std::vector<Cut> cuts_;
};

// Run only as a child of the test below, with the resolution in the
// environment; reports the font it measured with on its standard output.
// Disabled, so that only that test starts it.
TEST(WindowFit, DISABLED_NothingIsCutAtTheResolutionThisRunWasGiven) {
    const char* asked = ::getenv(kDpiVariable);
    ASSERT_NE(asked, nullptr) << "started by WindowFit.NothingIsCutAt96_120_144And192...";
    const int dpi = std::atoi(asked);

    const std::string root = testing::MakeScratchFolder();
    std::filesystem::create_directories(root + "/program");
    testing::FakeSystemPower power;
    {
        LinuxProgram program(LinuxProgramSetup{root + "/program", root + "/data/tolvane",
                                               root + "/config/tolvane", &power, [] {}});
        program.Start("");  // fills the combos and shows the window
        // A line in the list for its row height.
        program.Window().ItemInserted(0, "12:00 AM-Reboot-Repeat NO-Every Day");
        program.Window().SetShownLines(ControlId::MachineLines,
                                       {"6:00 PM-Force ShutDown-Repeat YES-Every Day"});
        QtMainWindow& window = program.Window();
        ASSERT_EQ(window.DotsPerInch(), dpi) << "the resolution did not reach the window";
        ASSERT_EQ(window.ClientArea()->width(), TwipsToPixels(kClientWidthTwips, dpi));

        for (const Cut& cut : Measurer(window).Cuts()) {
            ADD_FAILURE() << dpi << " dpi: " << cut.control << " \"" << cut.text << "\" "
                          << cut.what;
        }
        const QFont font = window.ClientArea()->font();
        std::printf("chosen font: %s %.1f pt, %d pixels high, drawn at %.2f\n",
                    qPrintable(font.family()), font.pointSizeF(), QFontMetrics(font).height(),
                    window.devicePixelRatioF());
    }
    std::filesystem::remove_all(root);
}

struct ChildRun {
    bool ended = false;
    int status = -1;
    std::string output;
};

// `windowDpi` is what the window must see: the resolution itself, or 96
// when Qt scales.
ChildRun RunAtDpi(int dpi, bool qtScales, int windowDpi, const std::string& folder) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_FONT_DPI=", 0) == 0 ||
            entry.rfind("QT_ENABLE_HIGHDPI_SCALING=", 0) == 0 ||
            entry.rfind("QT_SCALE_FACTOR", 0) == 0 || entry.rfind("QT_SCREEN_SCALE", 0) == 0 ||
            entry.rfind(kDpiVariable, 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("QT_FONT_DPI=" + std::to_string(dpi));
    env.push_back(std::string("QT_ENABLE_HIGHDPI_SCALING=") + (qtScales ? "1" : "0"));
    env.push_back(std::string(kDpiVariable) + "=" + std::to_string(windowDpi));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter =
        "--gtest_filter=WindowFit.DISABLED_NothingIsCutAtTheResolutionThisRunWasGiven";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {program.data(), filter.data(), disabled.data(), nullptr};
    const std::string log =
        folder + "/" + std::to_string(dpi) + (qtScales ? "-scaled" : "") + ".log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    ChildRun run;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    run.ended = testing::WaitForExit(child, run.status, 300);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    run.output = text.str();
    return run;
}

TEST(WindowFit, NothingIsCutAt96_120_144And192DotsPerInchAndTheFontFollowsTheResolution) {
    const std::string folder = testing::MakeScratchFolder();
    const struct {
        int dpi;
        bool qtScales;
        int windowDpi;
        double drawnAt;
    } runs[] = {{96, false, 96, 1.0},   {120, false, 120, 1.0}, {144, false, 144, 1.0},
                {192, false, 192, 1.0}, {144, true, 96, 1.5},   {192, true, 96, 2.0}};
    std::map<int, int> fontPixels;  // Qt's scaling off, by resolution
    for (const auto& r : runs) {
        SCOPED_TRACE(std::to_string(r.dpi) + (r.qtScales ? " dpi, Qt scaling" : " dpi"));
        const ChildRun run = RunAtDpi(r.dpi, r.qtScales, r.windowDpi, folder);
        ASSERT_TRUE(run.ended) << run.output;
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.output;
        std::smatch found;
        ASSERT_TRUE(std::regex_search(run.output, found,
                                      std::regex(R"((\d+) pixels high, drawn at ([0-9.]+))")))
            << run.output;
        EXPECT_DOUBLE_EQ(std::stod(found[2]), r.drawnAt);
        if (!r.qtScales) fontPixels[r.dpi] = std::stoi(found[1]);
    }
    // Each resolution really reached the measuring: the chosen font grows with it.
    EXPECT_LT(fontPixels[96], fontPixels[120]);
    EXPECT_LT(fontPixels[120], fontPixels[144]);
    EXPECT_LT(fontPixels[144], fontPixels[192]);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tolvane
