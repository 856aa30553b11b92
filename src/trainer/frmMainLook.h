#pragma once

#include <QColor>
#include <QFont>

class QLabel;
class QLineEdit;

// Fonts and colours of the main window's controls.
namespace Look {

// The controls use the classic 8 pt sans-serif face, the answer boxes and
// verdicts the same face at 13.5 pt.
inline constexpr qreal controlPointSize = 8;
inline constexpr qreal answerPointSize = 13.5;
// A verdict steps its font down to this size at most to fit its label.
inline constexpr qreal smallestVerdictPointSize = 6;

QFont sansSerif(qreal pointSize);
QFont answerFont();

QColor window();   // background of a box the learner types in
QColor grayText(); // background of a box that shows a given word
QColor locked();   // background of an answer box that is locked
QColor correct();
QColor wrong();

void setBackground(QLineEdit *box, const QColor &colour);

// Sets the verdict's font to the answer font, stepped down until the text
// fits the label's width. Text too wide even at the smallest size keeps that
// size and is offered whole as the label's tool tip.
void fitVerdict(QLabel *label);

} // namespace Look
