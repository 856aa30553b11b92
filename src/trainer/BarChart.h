#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

// A bar chart painted with QPainter: slots along the bottom, each with one
// bar per set side by side, a value axis on the left, a legend when there is
// more than one set. A slot without a value has no bar: a gap, not a bar of
// height zero. Colours come from the widget's palette whenever it paints, so
// a change of theme is followed at once: the texts in the palette's text
// colour, the bars shaded to stand out from the background (Look::apart).
class BarChart : public QWidget
{
    Q_OBJECT
public:
    // What a set stands for, and so its colour: the palette's highlight, or
    // the verdict colour for right answers.
    enum class Tone { Accent, Right };
    struct Set
    {
        QString name;
        Tone tone = Tone::Accent;
        QList<std::optional<quint64>> values; // one per slot; none: no bar
    };

    explicit BarChart(QWidget *parent = nullptr);

    // The slots' labels ("" leaves a slot unlabelled) and the sets; with
    // showCounts, each bar's count is written above it. Repaints.
    void setData(const QStringList &slotLabels, const QList<Set> &sets, bool showCounts);
    const QStringList &slotLabels() const { return mSlotLabels; }
    const QList<Set> &sets() const { return mSets; }

    // A set's bar colour on the current palette.
    QColor barColour(Tone tone) const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Frame; // where the parts go, worked out from the size and the data
    Frame frame() const;
    void paintAxis(QPainter &painter, const Frame &frame) const;
    void paintBars(QPainter &painter, const Frame &frame) const;
    void paintLegend(QPainter &painter, const Frame &frame) const;
    quint64 largest() const;

    QStringList mSlotLabels;
    QList<Set> mSets;
    bool mShowCounts = false;
};
