// Opening the Lernstand window over 32,760 verbs with a full progress file
// (every verb kept, 365 days of history), from the menu item until the
// window's first frame, against opening an empty Qt Charts window (a
// QChartView with an empty QChart, of the same size) in the same run. The
// two alternate, each window closed and deleted again before the next. The
// first opening of each is shown apart and not counted in the medians: it
// pays for Qt Charts' own set-up, and the Lernstand window for the list's
// progress view (which the first draw with "Fehler wiederholen" on makes
// too); the target holds for it as well. Prints medians and best times of
// 11 openings, the processor time of the main thread, and the ratio.
//
//   lernstand [openings]   (default 11)

#include "platform/App.h"
#include "platform/StateFolder.h"
#include "program/Globals.h"
#include "trainer/ProgressStore.h"
#include "trainer/VerbList.h"
#include "trainer/frmMain.h"

#include "Figures.h"
#include "FirstFrame.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int defaultOpenings = 11;
constexpr int frameTimeoutMs = 10000;
constexpr double targetMs = 150;
constexpr qint64 msPerDay = 24 * 3600 * 1000;

// The verb list and the progress file in folder: every verb practised, in
// every box, some of them missed, and a count for each of the last 365 days.
bool writeFiles(const QString &folder, QDate today)
{
    QByteArray verbs;
    ProgressState state;
    state.repeatMistakes = true;
    for (int i = 1; i <= int(MaxVerbs); ++i) {
        const QString line = QStringLiteral("to verb%1\tpast%1\tparticiple%1\tdeutsch%1").arg(i);
        verbs += line.toUtf8() + "\r\n";
        VerbProgress &verb = state.verbs[progressKey(*parseVerbLine(line))];
        verb.box = quint8(Leitner::FirstBox + i % Leitner::LastBox);
        verb.seen = today.addDays(-(i % 40));
        verb.checkedAt = verb.seen.startOfDay().toMSecsSinceEpoch() + i % msPerDay;
        verb.misses = {quint32(i % 3), quint32(i % 7 == 0 ? i % 11 : 0), quint32(i % 5)};
        verb.lastWrong = verb.seen.addDays(-(i % 9));
    }
    for (int back = 0; back < int(MaxHistoryDays); ++back)
        state.days.insert(today.addDays(-back), {quint64(80 + back % 50), quint64(60 + back % 20)});
    QFile list(folder + QStringLiteral("/IrregularVerbs.txt"));
    QFile progress(progressFilePath());
    return list.open(QIODevice::WriteOnly) && list.write(verbs) == verbs.size()
           && makePrivateFolder(stateFolder()) && progress.open(QIODevice::WriteOnly)
           && progress.write(formatProgress(state)) > 0;
}

struct Opening
{
    double ms = 0;
    double cpuMs = 0;
};

// Runs open() (which makes and shows a window named name) and waits for the
// window's first frame; then closes it and waits until it is gone.
bool timeOpening(FirstFrameApp &app, const QString &name, const std::function<QWidget *()> &open,
                 Opening &opening)
{
    const QString windowName = name + QStringLiteral("Window"); // Qt's name for its QWindow
    app.watch([windowName](const QWindow *window) { return window->objectName() == windowName; });
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuStart = threadCpuNs();
    QPointer<QWidget> window = open();
    if (!window || !app.waitForFrame(frameTimeoutMs))
        return false;
    // The app's clock runs from the program's start; this one from the opening.
    opening = {clock.nsecsElapsed() / 1e6, (app.framedCpuNs() - cpuStart) / 1e6};
    window->close();
    while (window)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return true;
}

// Opens the Lernstand window through its menu item.
QWidget *openLernstand(QAction *entry)
{
    entry->trigger();
    const QList<QWidget *> top = QApplication::topLevelWidgets();
    const auto found = std::find_if(top.begin(), top.end(), [](QWidget *w) {
        return w->objectName() == QLatin1String("frmLernstand");
    });
    return found == top.end() ? nullptr : *found;
}

// The baseline: an empty Qt Charts window of the Lernstand window's size.
QWidget *openEmptyChart()
{
    auto *view = new QChartView(new QChart);
    view->setObjectName(QStringLiteral("emptyChart"));
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->resize(880, 660);
    view->show();
    return view;
}

// The first openings of both windows, and the times of the counted ones.
struct Openings
{
    Opening first {};
    Opening firstEmpty {};
    QList<double> lernstandMs, lernstandCpu, emptyMs, emptyCpu;
};

bool runOpenings(FirstFrameApp &app, QWidget *mainWindow, int openings, Openings &times)
{
    QAction *entry = mainWindow->findChild<QAction *>(QStringLiteral("mnuLernstand"));
    const auto lernstand = [entry] { return openLernstand(entry); };
    for (int round = -1; round < openings; ++round) { // round -1: the first openings
        Opening opened, empty;
        const bool lernstandFirst = round % 2 == 0;
        for (const bool isLernstand : {lernstandFirst, !lernstandFirst}) {
            if (!(isLernstand ? timeOpening(app, QStringLiteral("frmLernstand"), lernstand, opened)
                              : timeOpening(app, QStringLiteral("emptyChart"), openEmptyChart,
                                            empty))) {
                std::fprintf(stderr, "lernstand: a window did not come up\n");
                return false;
            }
        }
        if (round < 0) {
            times.first = opened;
            times.firstEmpty = empty;
            continue;
        }
        times.lernstandMs << opened.ms;
        times.lernstandCpu << opened.cpuMs;
        times.emptyMs << empty.ms;
        times.emptyCpu << empty.cpuMs;
    }
    return true;
}

void printFigures(const Openings &times, int openings)
{
    const Figures opened = figuresOf(times.lernstandMs);
    const Figures empty = figuresOf(times.emptyMs);
    const QByteArray platform = platformName();
    std::printf("platform: %s\n", platform.constData());
    std::printf("verbs: %lld\n", static_cast<long long>(MaxVerbs));
    std::printf("history_days: %lld\n", static_cast<long long>(MaxHistoryDays));
    std::printf("openings: %d\n", openings);
    std::printf("lernstand_first_ms: %.1f\n", times.first.ms);
    std::printf("empty_chart_first_ms: %.1f\n", times.firstEmpty.ms);
    std::printf("lernstand_median_ms: %.1f\n", opened.median);
    std::printf("lernstand_best_ms: %.1f\n", opened.best);
    std::printf("lernstand_cpu_median_ms: %.1f\n", median(times.lernstandCpu));
    std::printf("empty_chart_median_ms: %.1f\n", empty.median);
    std::printf("empty_chart_best_ms: %.1f\n", empty.best);
    std::printf("empty_chart_cpu_median_ms: %.1f\n", median(times.emptyCpu));
    std::printf("ratio_to_empty_chart: %.2f\n", opened.median / empty.median);
    std::printf("result: Lernstand window over %lld verbs and %lld days on screen %.1f ms after "
                "the menu item (median of %d, best %.1f; the first opening %.1f ms), %.2f times "
                "an empty Qt Charts window (%.1f ms); target of %.0f ms %s, platform %s\n",
                static_cast<long long>(MaxVerbs), static_cast<long long>(MaxHistoryDays),
                opened.median, openings, opened.best, times.first.ms, opened.median / empty.median,
                empty.median, targetMs,
                opened.median < targetMs && times.first.ms < targetMs ? "met" : "missed",
                platform.constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    bool isCount = true;
    const int openings = argc > 1 ? QByteArray(argv[1]).toInt(&isCount) : defaultOpenings;
    if (!isCount || openings < 1)
        return 2;
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_STATE_HOME"})
        qputenv(name, home.path().toLocal8Bit());
    FirstFrameApp app(argc, argv, sinceStart);
    App::setPath(home.path());
    if (!writeFiles(home.path(), QDate::currentDate()))
        return 1;

    auto *main = new frmMain(Globals::services());
    main->show();
    Openings times;
    if (!runOpenings(app, main, openings, times))
        return 1;
    main->close();
    printFigures(times, openings);
    return 0;
}
