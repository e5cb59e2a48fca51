#include "platform/linux/qt_tray_icon.h"

namespace tolvane {

QtTrayIcon::QtTrayIcon(const QIcon& icon, std::function<void()> activated) {
    icon_.setIcon(icon);
    QObject::connect(&icon_, &QSystemTrayIcon::activated,
                     [activated = std::move(activated)](QSystemTrayIcon::ActivationReason r) {
                         if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::Context) {
                             activated();
                         }
                     });
}

bool QtTrayIcon::Show(const std::string& tip) {
    icon_.setToolTip(QString::fromUtf8(tip.data(), qsizetype(tip.size())));
    if (!icon_.isVisible()) icon_.show();
    if (added_ || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
    added_ = true;
    return true;
}

}  // namespace tolvane
