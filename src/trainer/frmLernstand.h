#pragma once

#include "platform/Forms.h"

#include <QPointer>

class BarChart;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class frmMain;

// The learner's progress in the loaded list as pictures: the outlook for
// today, the verbs by box, the last 30 days, the verbs missed most often.
//
// Flow: "Übung → Lernstand anzeigen…" makes the window (one at a time, no
// owner, closed with Esc); it reads everything from the main window's
// accessors through ProgressStats and draws it again whenever the main
// window says its progress or its list changed while the window is shown,
// so it is always live. Activating a most-missed row (double click or
// Enter) draws that verb in the main window and brings it forward. With
// "Fehler wiederholen" off and nothing kept, one sentence says so and a
// button switches the item on, as the menu does. The window closes with the
// main window.
class frmLernstand : public Form
{
    Q_OBJECT
public:
    // The days the history chart shows and the rows of the most-missed list.
    static constexpr int RecentDays = 30;
    static constexpr int MostMissedShown = 15;

    explicit frmLernstand(frmMain &main);

    // Reads the progress and the list again and shows them.
    void refresh();

    void btRepeatMistakes_Click();
    void lstMostMissed_DblClick(QTreeWidgetItem *item);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildCharts();
    void showBoxes();
    void showDays();
    void showMostMissed();

    QPointer<frmMain> mMain;

    QLabel *lblOutlook = nullptr;
    QWidget *mNothingKept = nullptr; // the sentence and the button
    QLabel *lblNothingKept = nullptr;
    QPushButton *btRepeatMistakes = nullptr;
    QWidget *mCharts = nullptr; // the charts and the list
    BarChart *picBoxes = nullptr;
    BarChart *picDays = nullptr;
    QTreeWidget *lstMostMissed = nullptr;
};
