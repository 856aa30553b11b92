#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QLineEdit;
class QWidget;

// Fonts and colours of the main window's controls.
namespace Look {

// The controls use the classic 8 pt sans-serif face, the answer boxes and
// verdicts the same face at 13.5 pt.
inline constexpr qreal controlPointSize = 8;
inline constexpr qreal answerPointSize = 13.5;
// A verdict or the prompt steps its font down to this size at most to fit.
inline constexpr qreal smallestFitPointSize = 6;
// The least contrast between a text and its background (WCAG AA for normal
// text).
inline constexpr qreal minimumContrast = 4.5;

QFont sansSerif(qreal pointSize);
QFont answerFont();

// Backgrounds of the boxes, from the application's palette. A given or a
// locked box keeps the palette's text colour, so its shade is moved as far
// as needed to keep that text readable.
QColor window();   // background of a box the learner types in
QColor grayText(); // background of a box that shows a given word
QColor locked();   // background of an answer box that is locked

// The verdict colours: green and red as readable as needed on background.
QColor correct(const QColor &background);
QColor wrong(const QColor &background);

// The contrast ratio of two colours by their relative luminance (WCAG 2),
// from 1 (the same) to 21 (black on white).
qreal contrast(const QColor &a, const QColor &b);

// The colour with its hue and saturation kept and its lightness moved away
// from other, towards black or white, whichever stands further from other,
// until the two reach minimumContrast (or as far as black or white goes).
QColor apart(const QColor &colour, const QColor &other);

void setBackground(QLineEdit *box, const QColor &colour);

// Sets the verdict's font to the answer font, stepped down until the text
// fits the label's width. Text too wide even at the smallest size keeps that
// size and is offered whole as the label's tool tip.
void fitVerdict(QLabel *label);
// The same for the text of a box, such as the German prompt.
void fitBox(QLineEdit *box);

} // namespace Look
