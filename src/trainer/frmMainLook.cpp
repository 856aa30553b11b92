#include "trainer/frmMainLook.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <cmath>

namespace Look {

namespace {

// Lightness moves in steps this small, so a colour stays as near to the
// original as the contrast allows.
constexpr float lightnessStep = 0.01f;

// sRGB channel to linear light, as WCAG defines relative luminance.
qreal linear(qreal channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

qreal luminance(const QColor &c)
{
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// A QLineEdit draws its text this far inside its contents on either side.
constexpr int lineEditTextMargin = 2;

// The width a box has for its text: inside its frame, its text margins and
// the small margin a line edit keeps, less one pixel for the cursor.
int textRoom(const QLineEdit *box)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->contentsRect();
    option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                   &option, box)
                                       : 0;
    const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
    const QMargins margins = box->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * lineEditTextMargin - 1;
}

// Sets widget's font to the answer font stepped down until text fits room,
// with the whole text as tool tip when it does not fit even at the smallest.
void fitText(QWidget *widget, const QString &text, int room)
{
    constexpr qreal step = 0.5;
    QFont font = answerFont();
    const auto needed = [&font, &text] { return QFontMetrics(font).horizontalAdvance(text); };
    if (needed() > room) {
        // Start near the size that fits (text width grows about linearly with
        // the size), then step down until it really does.
        const qreal guess = std::floor(answerPointSize * room / needed() / step) * step;
        font.setPointSizeF(qBound(smallestFitPointSize, guess, answerPointSize));
        while (needed() > room && font.pointSizeF() > smallestFitPointSize)
            font.setPointSizeF(qMax(smallestFitPointSize, font.pointSizeF() - step));
    }
    widget->setFont(font);
    widget->setToolTip(needed() > room ? text : QString());
}

} // namespace

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
    const QPalette palette = QApplication::palette();
    return apart(palette.color(QPalette::Disabled, QPalette::Text),
                 palette.color(QPalette::Active, QPalette::Text));
}

QColor locked()
{
    // The face of the window around the box, as a read-only box has on the
    // classic desktop: plainly not a place to type.
    const QPalette palette = QApplication::palette();
    return apart(palette.color(QPalette::Active, QPalette::Window),
                 palette.color(QPalette::Active, QPalette::Text));
}

QColor correct(const QColor &background)
{
    return apart(QColor(0, 255, 0), background);
}

QColor wrong(const QColor &background)
{
    return apart(QColor(255, 0, 0), background);
}

qreal contrast(const QColor &a, const QColor &b)
{
    constexpr qreal flare = 0.05; // WCAG's allowance for ambient light
    const qreal la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + flare) / (qMin(la, lb) + flare);
}

QColor apart(const QColor &colour, const QColor &other)
{
    const bool darker = contrast(Qt::black, other) >= contrast(Qt::white, other);
    float hue = 0, saturation = 0, lightness = 0, alpha = 1;
    colour.getHslF(&hue, &saturation, &lightness, &alpha);
    QColor moved = colour;
    while (contrast(moved, other) < minimumContrast && lightness > 0 && lightness < 1) {
        lightness = qBound(0.0f, lightness + (darker ? -lightnessStep : lightnessStep), 1.0f);
        moved = QColor::fromHslF(hue, saturation, lightness, alpha).toRgb();
    }
    return moved;
}

void setBackground(QLineEdit *box, const QColor &colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, colour);
    box->setPalette(palette);
}

void fitVerdict(QLabel *label)
{
    fitText(label, label->text(), label->contentsRect().width());
}

void fitBox(QLineEdit *box)
{
    fitText(box, box->text(), textRoom(box));
}

} // namespace Look
