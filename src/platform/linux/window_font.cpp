#include "platform/linux/window_font.h"

#include <QFontMetrics>
#include <QStyle>
#include <algorithm>

#include "shell/window_layout.h"

namespace tolvane {

namespace {

constexpr qreal kSmallestPointSize = 6.0;
constexpr qreal kStep = 0.5;
constexpr int kButtonMargin = 4;       // each side, inside a push button's frame
constexpr int kFrameTitleMargin = 16;  // the frame's line and gaps beside its title

bool CaptionFits(const ControlSpec& spec, const QFontMetrics& metrics, const QStyle& style,
                 int dotsPerInch) {
    const int width = TwipsToPixels(spec.width, dotsPerInch);
    const int height = TwipsToPixels(spec.height, dotsPerInch);
    const QString caption = QString::fromUtf8(spec.caption.data(), qsizetype(spec.caption.size()));
    switch (spec.kind) {
        case ControlKind::PushButton:
            return metrics.horizontalAdvance(caption) + 2 * kButtonMargin <= width &&
                   metrics.height() <= height;
        case ControlKind::OptionButton:
        case ControlKind::CheckBox: {
            const bool option = spec.kind == ControlKind::OptionButton;
            const int indicator = style.pixelMetric(option ? QStyle::PM_ExclusiveIndicatorWidth
                                                           : QStyle::PM_IndicatorWidth) +
                                  style.pixelMetric(option ? QStyle::PM_RadioButtonLabelSpacing
                                                           : QStyle::PM_CheckBoxLabelSpacing);
            return indicator + metrics.horizontalAdvance(caption) <= width &&
                   metrics.height() <= height;
        }
        case ControlKind::Label: {
            const QRect needed =
                metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, caption);
            return needed.width() <= width && needed.height() <= height;
        }
        case ControlKind::Frame:
            return metrics.horizontalAdvance(caption) + kFrameTitleMargin <= width;
        case ControlKind::DropDownCombo:
            // A line of text inside the frame.
            return metrics.height() <= height - 2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth);
        case ControlKind::ListBox:
        case ControlKind::ShownLines:
            // Four whole lines inside the frame, as the list is sized for.
            return 4 * metrics.height() <=
                   height - 2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth);
        case ControlKind::BorderlessFrame:
            return true;  // draws nothing
    }
    return true;
}

bool EveryCaptionFits(const QFont& font, const QStyle& style, int dotsPerInch) {
    const QFontMetrics metrics(font);
    return std::all_of(
        MainWindowControls().begin(), MainWindowControls().end(),
        [&](const ControlSpec& c) { return CaptionFits(c, metrics, style, dotsPerInch); });
}

}  // namespace

QFont FontThatFitsEveryCaption(const QFont& base, const QStyle& style, int dotsPerInch) {
    QFont font = base;
    qreal size = base.pointSizeF() > 0 ? base.pointSizeF() : 9.0;
    for (; size > kSmallestPointSize; size -= kStep) {
        font.setPointSizeF(size);
        if (EveryCaptionFits(font, style, dotsPerInch)) return font;
    }
    font.setPointSizeF(kSmallestPointSize);
    return font;
}

}  // namespace tolvane
