#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace tolvane::testing {

// What a message box showed, read while it was up.
struct SeenBox {
    std::string title;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool picturesOnButtons = false;
};

// Answers each modal message box that comes up, in turn, by pressing the
// given buttons, and records what each box showed.
class BoxAnswerer {
  public:
    explicit BoxAnswerer(std::vector<QMessageBox::StandardButton> answers)
        : answers_(std::move(answers)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { Answer(); });
        poll_.start(5);
    }
    const std::vector<SeenBox>& Seen() const { return seen_; }

  private:
    void Answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || answers_.empty() || !box->isVisible()) return;
        SeenBox seen;
        seen.title = box->windowTitle().toStdString();
        seen.text = box->text().toStdString();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons()) {
            seen.buttons.push_back(box->standardButton(b));
            seen.picturesOnButtons = seen.picturesOnButtons || !b->icon().isNull();
        }
        if (box->defaultButton()) seen.defaultButton = box->standardButton(box->defaultButton());
        seen_.push_back(seen);
        QAbstractButton* press = box->button(answers_.front());
        answers_.erase(answers_.begin());
        if (press) press->click();
    }

    std::vector<QMessageBox::StandardButton> answers_;
    std::vector<SeenBox> seen_;
    QTimer poll_;
};

}  // namespace tolvane::testing
