#include "platform/linux/qt_tray_icon.h"

#include <cstring>

namespace tolvane {

QtTrayIcon::QtTrayIcon(const QIcon& icon, std::function<void(std::uint32_t)> mouseMessage) {
    icon_.setIcon(icon);
    QObject::connect(&icon_, &QSystemTrayIcon::activated,
                     [mouseMessage = std::move(mouseMessage)](QSystemTrayIcon::ActivationReason r) {
                         switch (r) {
                             case QSystemTrayIcon::Trigger:
                                 mouseMessage(kWmLButtonDown);
                                 break;
                             case QSystemTrayIcon::Context:
                                 mouseMessage(kWmRButtonDown);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 mouseMessage(kWmLButtonDblClk);
                                 break;
                             case QSystemTrayIcon::MiddleClick:
                             case QSystemTrayIcon::Unknown:
                                 break;
                         }
                     });
}

bool QtTrayIcon::Add(const NotifyIconRecord& record) {
    if (record.uFlags & kNifTip) {
        const std::size_t length = strnlen(record.szTip.data(), record.szTip.size());
        icon_.setToolTip(QString::fromUtf8(record.szTip.data(), qsizetype(length)));
    }
    if (!icon_.isVisible()) icon_.show();
    if (added_ || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
    added_ = true;
    return true;
}

}  // namespace tolvane
