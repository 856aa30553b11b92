#include "trainer/BarChart.h"

#include "trainer/frmMainLook.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The value axis is divided into about this many steps.
constexpr quint64 targetSteps = 4;
// The share of a slot's width that its bars fill; the rest parts the slots.
constexpr qreal barShare = 0.8;
// Pixels between the parts of the chart.
constexpr int spacing = 4;
// The grid lines mix this share of the text colour into the background.
constexpr float gridShare = 0.2f;
// A label wraps into at most this many lines; the rest is cut.
constexpr int maxLabelLines = 3;

// A step of 1, 2 or 5 times a power of ten that divides [0, largest] into at
// most about targetSteps parts (for counts beyond any the program keeps, just
// the part).
quint64 niceStep(quint64 largest)
{
    const quint64 least
            = std::max<quint64>(1, largest / targetSteps + (largest % targetSteps != 0));
    for (quint64 power = 1; power <= std::numeric_limits<quint64>::max() / 10; power *= 10) {
        for (const quint64 factor : {1, 2, 5}) {
            if (least <= factor * power)
                return factor * power;
        }
    }
    return least;
}

QString countText(quint64 count)
{
    return QLocale(QLocale::German).toString(qulonglong(count));
}

QColor mix(const QColor &a, const QColor &b, float share)
{
    return QColor::fromRgbF(a.redF() * share + b.redF() * (1 - share),
                            a.greenF() * share + b.greenF() * (1 - share),
                            a.blueF() * share + b.blueF() * (1 - share));
}

} // namespace

struct BarChart::Frame
{
    QRect plot; // the bars' area; its bottom edge is the base line
    qreal slotWidth = 0;
    quint64 step = 1; // between two value lines
    quint64 top = 1;  // the value at the plot's top edge
    int labelTop = 0; // the slot labels' top edge
    int labelHeight = 0;
};

BarChart::BarChart(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void BarChart::setData(const QStringList &slotLabels, const QList<Set> &sets, bool showCounts)
{
    mSlotLabels = slotLabels;
    mSets = sets;
    mShowCounts = showCounts;
    // What the chart shows, for a screen reader: "Kasten 1: 12; ...".
    QStringList slots;
    for (qsizetype slot = 0; slot < mSlotLabels.size(); ++slot) {
        QStringList values;
        for (const Set &set : std::as_const(mSets)) {
            const std::optional<quint64> value = set.values.value(slot);
            if (value)
                values << (mSets.size() > 1 ? set.name + u' ' : QString()) + countText(*value);
        }
        if (!values.isEmpty())
            slots << (mSlotLabels.at(slot).isEmpty() ? QString::number(slot + 1)
                                                     : mSlotLabels.at(slot))
                             + QStringLiteral(": ") + values.join(QStringLiteral(", "));
    }
    setAccessibleDescription(slots.join(QStringLiteral("; ")));
    update();
}

QColor BarChart::barColour(Tone tone) const
{
    const QColor background = palette().color(QPalette::Window);
    return tone == Tone::Right ? Look::correct(background)
                               : Look::apart(palette().color(QPalette::Highlight), background);
}

QSize BarChart::minimumSizeHint() const
{
    const int line = fontMetrics().height();
    return {line * 12, line * 8};
}

quint64 BarChart::largest() const
{
    quint64 most = 0;
    for (const Set &set : mSets) {
        for (const std::optional<quint64> &value : set.values)
            most = std::max(most, value.value_or(0));
    }
    return most;
}

BarChart::Frame BarChart::frame() const
{
    const QFontMetrics metrics = fontMetrics();
    Frame frame;
    const quint64 most = largest();
    frame.step = niceStep(most);
    frame.top = std::max(frame.step, (most + frame.step - 1) / frame.step * frame.step);
    const int axisWidth = metrics.horizontalAdvance(countText(frame.top)) + spacing;
    const int legendHeight = mSets.size() > 1 ? metrics.height() + spacing : 0;
    const int countsHeight = mShowCounts ? metrics.height() : metrics.height() / 2;
    const int slots = std::max<int>(1, int(mSlotLabels.size()));
    const int plotWidth = std::max(1, width() - axisWidth - 2 * spacing);
    frame.slotWidth = qreal(plotWidth) / slots;
    frame.labelHeight = metrics.height();
    for (const QString &label : mSlotLabels) {
        const QRect needed = metrics.boundingRect(QRect(0, 0, int(frame.slotWidth), 0),
                                                  Qt::AlignHCenter | Qt::TextWordWrap, label);
        frame.labelHeight = std::max(frame.labelHeight,
                                     std::min(needed.height(), maxLabelLines * metrics.height()));
    }
    frame.labelTop = height() - frame.labelHeight;
    const int plotTop = legendHeight + countsHeight;
    frame.plot = QRect(axisWidth + spacing, plotTop, plotWidth,
                       std::max(1, frame.labelTop - spacing - plotTop));
    return frame;
}

void BarChart::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    const Frame layout = frame();
    paintAxis(painter, layout);
    paintBars(painter, layout);
    paintLegend(painter, layout);
}

// The value lines with their values, the base line, and the slot labels: a
// label takes the room up to its nearest labelled neighbour, kept inside the
// chart.
void BarChart::paintAxis(QPainter &painter, const Frame &frame) const
{
    const QColor text = palette().color(QPalette::WindowText);
    const QColor grid = mix(text, palette().color(QPalette::Window), gridShare);
    const QRect &plot = frame.plot;
    for (quint64 value = 0; value <= frame.top; value += frame.step) {
        const int y = plot.bottom() - int(std::lround(qreal(value) / frame.top * plot.height()));
        painter.setPen(value == 0 ? text : grid);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(text);
        const int half = fontMetrics().height() / 2;
        painter.drawText(QRect(0, y - half, plot.left() - spacing, 2 * half),
                         Qt::AlignRight | Qt::AlignVCenter, countText(value));
    }
    qsizetype previous = -1;
    for (qsizetype slot = 0; slot < mSlotLabels.size(); ++slot) {
        if (mSlotLabels.at(slot).isEmpty())
            continue;
        qsizetype next = slot + 1;
        while (next < mSlotLabels.size() && mSlotLabels.at(next).isEmpty())
            ++next;
        const qsizetype all = mSlotLabels.size();
        const qsizetype room
                = std::min(previous < 0 ? all : slot - previous, next < all ? next - slot : all);
        const int labelWidth = std::min(width(), int(frame.slotWidth * room));
        const qreal centre = plot.left() + frame.slotWidth * (slot + 0.5);
        const int left
                = std::clamp(int(centre - labelWidth / 2.0), 0, std::max(0, width() - labelWidth));
        const QRect box(left, frame.labelTop, labelWidth, frame.labelHeight);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         mSlotLabels.at(slot));
        previous = slot;
    }
}

void BarChart::paintBars(QPainter &painter, const Frame &frame) const
{
    if (mSets.isEmpty())
        return;
    const QRect &plot = frame.plot;
    const qreal barWidth = frame.slotWidth * barShare / mSets.size();
    painter.setPen(palette().color(QPalette::WindowText));
    for (qsizetype k = 0; k < mSets.size(); ++k) {
        const Set &set = mSets.at(k);
        const QColor colour = barColour(set.tone);
        for (qsizetype slot = 0; slot < set.values.size() && slot < mSlotLabels.size(); ++slot) {
            const std::optional<quint64> value = set.values.at(slot);
            if (!value)
                continue;
            const qreal left
                    = plot.left() + frame.slotWidth * (slot + (1 - barShare) / 2) + barWidth * k;
            // A bar of one is still seen beside one of thousands.
            const qreal height
                    = *value == 0 ? 0 : std::max(1.0, qreal(*value) / frame.top * plot.height());
            const QRectF bar(left, plot.bottom() + 1 - height, barWidth, height);
            painter.fillRect(bar, colour);
            if (mShowCounts) {
                const QString count = countText(*value);
                const qreal textWidth
                        = std::max<qreal>(barWidth, fontMetrics().horizontalAdvance(count));
                painter.drawText(QRectF(bar.center().x() - textWidth / 2,
                                        bar.top() - fontMetrics().height(), textWidth,
                                        fontMetrics().height()),
                                 Qt::AlignHCenter | Qt::AlignBottom, count);
            }
        }
    }
}

void BarChart::paintLegend(QPainter &painter, const Frame &frame) const
{
    if (mSets.size() < 2)
        return;
    const QFontMetrics metrics = fontMetrics();
    const int square = metrics.ascent() - metrics.descent();
    int x = frame.plot.left();
    for (const Set &set : mSets) {
        painter.fillRect(QRect(x, (metrics.height() - square) / 2, square, square),
                         barColour(set.tone));
        x += square + spacing;
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(x, 0, metrics.horizontalAdvance(set.name), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, set.name);
        x += metrics.horizontalAdvance(set.name) + 3 * spacing;
    }
}
