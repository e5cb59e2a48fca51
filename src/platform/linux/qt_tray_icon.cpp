#include "platform/linux/qt_tray_icon.h"

namespace tolvane {

QtTrayIcon::QtTrayIcon(const QIcon& icon, std::function<void()> activated)
    : picture_(icon), activated_(std::move(activated)) {}

QSystemTrayIcon& QtTrayIcon::Icon() {
    if (icon_) return *icon_;
    icon_ = std::make_unique<QSystemTrayIcon>(picture_);
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                     [activated = activated_](QSystemTrayIcon::ActivationReason r) {
                         if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::Context) {
                             activated();
                         }
                     });
    return *icon_;
}

bool QtTrayIcon::Show(const std::string& tip) {
    QSystemTrayIcon& icon = Icon();
    icon.setToolTip(QString::fromUtf8(tip.data(), qsizetype(tip.size())));
    if (!icon.isVisible()) icon.show();
    if (added_ || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
    added_ = true;
    return true;
}

}  // namespace tolvane
