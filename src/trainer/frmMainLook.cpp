#include "trainer/frmMainLook.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace Look {

QFont sansSerif(qreal pointSize)
{
    // The classic face is rarely installed, so the style hint picks the
    // system's sans-serif of the size.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

QFont answerFont()
{
    return sansSerif(answerPointSize);
}

QColor window()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}

QColor grayText()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
}

QColor locked()
{
    // The face of the window around the box, as a read-only box has on the
    // classic desktop: plainly not a place to type.
    return QApplication::palette().color(QPalette::Active, QPalette::Window);
}

QColor correct()
{
    return QColor(0, 255, 0);
}

QColor wrong()
{
    return QColor(255, 0, 0);
}

void setBackground(QLineEdit *box, const QColor &colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, colour);
    box->setPalette(palette);
}

void fitVerdict(QLabel *label)
{
    constexpr qreal step = 0.5;
    const QString text = label->text();
    const int room = label->contentsRect().width();
    QFont font = answerFont();
    const auto needed = [&font, &text] { return QFontMetrics(font).horizontalAdvance(text); };
    if (needed() > room) {
        // Start near the size that fits (text width grows about linearly with
        // the size), then step down until it really does.
        const qreal guess = std::floor(answerPointSize * room / needed() / step) * step;
        font.setPointSizeF(qBound(smallestVerdictPointSize, guess, answerPointSize));
        while (needed() > room && font.pointSizeF() > smallestVerdictPointSize)
            font.setPointSizeF(qMax(smallestVerdictPointSize, font.pointSizeF() - step));
    }
    label->setFont(font);
    label->setToolTip(needed() > room ? text : QString());
}

} // namespace Look
