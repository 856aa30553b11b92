#include "trainer/frmLernstand.h"

#include "platform/App.h"
#include "trainer/BarChart.h"
#include "trainer/ProgressStats.h"
#include "trainer/Quiz.h"
#include "trainer/frmMain.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The size the window opens with: the history needs the width.
constexpr QSize initialSize(880, 660);
// Every this many days the history names the date.
constexpr int daysBetweenDates = 7;
// The list's columns: the prompt, the misses of each form, the last miss.
constexpr int missesColumn = 1;
constexpr int lastWrongColumn = missesColumn + 3;
// The row's verb key, kept on its first column.
constexpr int keyRole = Qt::UserRole;

QWidget *framed(const QString &title, QWidget *content)
{
    auto *box = new QGroupBox(title);
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

} // namespace

frmLernstand::frmLernstand(frmMain &main)
    : mMain(&main)
{
    setObjectName(QStringLiteral("frmLernstand"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window);
    setWindowTitle(App::Title() + QStringLiteral(" - Lernstand"));
    setWindowIcon(main.windowIcon());
    buildControls();
    resize(initialSize);
    // Shown, the window follows every check, switch, reset and reload.
    connect(&main, &frmMain::progressChanged, this, [this] {
        if (isVisible())
            refresh();
    });
    connect(&main, &QObject::destroyed, this, &QWidget::close);
}

void frmLernstand::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    lblOutlook = Forms::addLabel(this, "lblOutlook", QString(), {0, 0, 0, 0});
    QFont larger = lblOutlook->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.25);
    lblOutlook->setFont(larger);
    layout->addWidget(lblOutlook);

    mNothingKept = new QWidget(this);
    auto *offer = new QVBoxLayout(mNothingKept);
    lblNothingKept = Forms::addLabel(
            mNothingKept, "lblNothingKept",
            QStringLiteral("Der Lernstand wird nur aufgezeichnet, solange „Fehler wiederholen“ "
                           "eingeschaltet ist, und bisher ist nichts aufgezeichnet."),
            {0, 0, 0, 0});
    lblNothingKept->setWordWrap(true);
    btRepeatMistakes
            = Forms::addButton(mNothingKept, "btRepeatMistakes",
                               QStringLiteral("„Fehler wiederholen“ &einschalten"), {0, 0, 0, 0});
    offer->addWidget(lblNothingKept);
    offer->addWidget(btRepeatMistakes, 0, Qt::AlignLeft);
    offer->addStretch();
    layout->addWidget(mNothingKept);
    buildCharts();
    layout->addWidget(mCharts, 1);
    connect(btRepeatMistakes, &QPushButton::clicked, this, &frmLernstand::btRepeatMistakes_Click);
}

void frmLernstand::buildCharts()
{
    mCharts = new QWidget(this);
    auto *grid = new QGridLayout(mCharts);
    grid->setContentsMargins(0, 0, 0, 0);
    picBoxes = new BarChart;
    picBoxes->setObjectName(QStringLiteral("picBoxes"));
    picBoxes->setAccessibleName(QStringLiteral("Verben nach Kasten"));
    picDays = new BarChart;
    picDays->setObjectName(QStringLiteral("picDays"));
    picDays->setAccessibleName(QStringLiteral("Die letzten 30 Tage"));
    lstMostMissed = new QTreeWidget;
    lstMostMissed->setObjectName(QStringLiteral("lstMostMissed"));
    lstMostMissed->setAccessibleName(QStringLiteral("Am häufigsten falsch"));
    lstMostMissed->setRootIsDecorated(false);
    lstMostMissed->setUniformRowHeights(true);
    lstMostMissed->setHeaderLabels({QStringLiteral("Verb"), QStringLiteral("Infinitiv"),
                                    QStringLiteral("Präteritum"), QStringLiteral("Partizip"),
                                    QStringLiteral("zuletzt falsch")});
    lstMostMissed->header()->setStretchLastSection(false);
    lstMostMissed->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstMostMissed->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    grid->addWidget(framed(picBoxes->accessibleName(), picBoxes), 0, 0);
    grid->addWidget(framed(picDays->accessibleName(), picDays), 0, 1);
    grid->addWidget(framed(lstMostMissed->accessibleName(), lstMostMissed), 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    connect(lstMostMissed, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { lstMostMissed_DblClick(item); });
}

void frmLernstand::refresh()
{
    if (!mMain)
        return;
    const ProgressState &state = mMain->progress();
    const bool nothingKept = !mMain->repeatMistakes() && state.verbs.isEmpty()
                             && state.days.isEmpty() && state.earlier == DayCount();
    lblOutlook->setVisible(!nothingKept);
    mNothingKept->setVisible(nothingKept);
    mCharts->setVisible(!nothingKept);
    if (nothingKept)
        return;
    lblOutlook->setText(ProgressStats::outlookCaption(
            ProgressStats::outlook(mMain->listProgress(), mMain->now().date())));
    showBoxes();
    showDays();
    showMostMissed();
}

void frmLernstand::showBoxes()
{
    const auto counts = ProgressStats::boxCounts(mMain->listProgress());
    QStringList labels {QStringLiteral("noch nie geübt")};
    BarChart::Set verbs {QStringLiteral("Verben"), BarChart::Tone::Accent, {quint64(counts[0])}};
    for (int box = Leitner::FirstBox; box <= Leitner::LastBox; ++box) {
        labels << QStringLiteral("Kasten %1").arg(box);
        verbs.values << quint64(counts[box]);
    }
    picBoxes->setData(labels, {verbs}, true);
}

void frmLernstand::showDays()
{
    const QList<ProgressStats::Day> days
            = ProgressStats::recentDays(mMain->progress(), mMain->now().date(), RecentDays);
    QStringList labels;
    BarChart::Set checked {QStringLiteral("geprüft"), BarChart::Tone::Accent, {}};
    BarChart::Set right {QStringLiteral("beim ersten Mal richtig"), BarChart::Tone::Right, {}};
    for (qsizetype k = 0; k < days.size(); ++k) {
        const ProgressStats::Day &day = days.at(k);
        // Counted back from today, so today is always named.
        labels << ((days.size() - 1 - k) % daysBetweenDates == 0
                           ? day.date.toString(QStringLiteral("dd.MM."))
                           : QString());
        checked.values << (day.count ? std::optional(day.count->checked) : std::nullopt);
        right.values << (day.count ? std::optional(day.count->right) : std::nullopt);
    }
    picDays->setData(labels, {checked, right}, false);
}

void frmLernstand::showMostMissed()
{
    const ListProgress &list = mMain->listProgress();
    lstMostMissed->clear();
    for (const ProgressStats::MissedVerb &missed :
         ProgressStats::mostMissed(list, MostMissedShown)) {
        auto *row = new QTreeWidgetItem(lstMostMissed);
        row->setText(
                0,
                Quiz::planRound(Quiz::Direction::German, mMain->verbList().at(missed.verb)).prompt);
        row->setData(0, keyRole, list.keys.at(missed.verb));
        for (int form = 0; form < 3; ++form) {
            row->setText(missesColumn + form, QString::number(missed.misses[form]));
            row->setTextAlignment(missesColumn + form, Qt::AlignRight | Qt::AlignVCenter);
        }
        row->setText(lastWrongColumn, missed.lastWrong.toString(QStringLiteral("dd.MM.yyyy")));
    }
}

void frmLernstand::btRepeatMistakes_Click()
{
    if (mMain)
        mMain->switchRepeatMistakesOn();
}

// The row's verb is found by its key: the list may have been read again
// since the row was made.
void frmLernstand::lstMostMissed_DblClick(QTreeWidgetItem *item)
{
    if (!mMain || !item)
        return;
    const qsizetype index = mMain->listProgress().indexOf(item->data(0, keyRole).toString());
    if (index < 0 || !mMain->drawVerbAt(qint16(index + 1)))
        return;
    mMain->raise();
    mMain->activateWindow();
}

void frmLernstand::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    Form::keyPressEvent(event);
}

void frmLernstand::showEvent(QShowEvent *event)
{
    refresh();
    Form::showEvent(event);
}
