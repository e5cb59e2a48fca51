#pragma once

#include <QFont>

class QStyle;

namespace tolvane {

// The largest size of `base` (not above its own, not below 6 points) at which
// every caption of the window table fits its control at `dotsPerInch`, as
// `style` draws it, a combo's edit holds a line and the list four whole lines.
// The table's controls are small, sized for a compact Windows font; desktop
// fonts are often wider.
QFont FontThatFitsEveryCaption(const QFont& base, const QStyle& style, int dotsPerInch);

}  // namespace tolvane
