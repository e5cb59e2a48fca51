#include "platform/linux/application_icon.h"

namespace tolvane {

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/tolvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace tolvane
