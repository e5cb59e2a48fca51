#include "platform/linux/qt_msg_box.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace tolvane {

MsgBox::Answer QtMsgBox::Show(const std::string& text, const std::string& title, Buttons buttons) {
    // The texts end their lines Windows-style; a label shows CR LF as one break
    // only when the CR is gone.
    QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    const bool question = buttons == Buttons::YesNo;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(title.data(), qsizetype(title.size())),
                    shown, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner_);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    // Closing the box from its title bar or with Escape answers No.
    box.setEscapeButton(question ? QMessageBox::No : QMessageBox::Ok);
    // Plain buttons: some desktop themes put pictures on them.
    for (QAbstractButton* button : box.buttons()) button->setIcon(QIcon());
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Ok:
            return Answer::Ok;
        default:
            return question ? Answer::No : Answer::Ok;
    }
}

}  // namespace tolvane
