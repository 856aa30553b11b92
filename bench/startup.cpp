// Time from the start of main() until the main window is on screen, against
// three Qt windows in the same run: an empty one, one with a line of text
// (which pays for the font set-up that any window with text needs), and one
// with the main window's kinds of controls, fonts and icon built plainly.
// Each measurement runs in a fresh child process (this program started again
// with "empty", "label", "controls" or "main"), so that no window profits
// from what another has loaded; all are the same executable, so loading it
// costs them alike. The runs go in rounds, each round one run of every window
// in a rotating order, after one warm-up round that is not counted, so that a
// busy spell of the machine falls on all alike. The clock stops when the
// window has handled its first expose, its first frame painted and flushed.
// Printed are the median and the best of every window, the ratios, and the
// part after QApplication is set up (the window's own work, where the program
// can make a difference), both as elapsed time and as processor time of the
// main thread; the latter scatters far less on a busy machine.
//
//   startup [rounds]   (default 15)

#include "platform/App.h"
#include "platform/Forms.h"
#include "program/Globals.h"
#include "trainer/frmMainLook.h"

#include "Figures.h"
#include "FirstFrame.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr int defaultRounds = 15;
constexpr int exposeTimeoutMs = 10000;
constexpr int childTimeoutMs = 30000;

enum Window { Empty, Label, Controls, Main, WindowCount };
const std::array<const char *, WindowCount> windowArgs = {"empty", "label", "controls", "main"};

// The main window's kinds and numbers of Qt controls, fonts and icon, built
// plainly without the program: what Qt itself needs for such a window, and
// so the floor that the program's own start-up work adds to.
QWidget *plainControls()
{
    auto *window = new QWidget;
    window->setWindowIcon(QIcon(QStringLiteral(":/trainer/verbodrom.png")));
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *menuBar = new QMenuBar(window);
    layout->setMenuBar(menuBar);
    for (const int entries : {2, 2, 1}) {
        QMenu *menu = menuBar->addMenu(QStringLiteral("&Menu"));
        for (int k = 0; k < entries; ++k)
            menu->addAction(QStringLiteral("&Entry"));
    }
    auto *client = new QWidget(window);
    client->setFixedSize(640, 480);
    client->setFont(Look::sansSerif(Look::controlPointSize));
    layout->addWidget(client);
    auto *tabs = new QTabWidget(client);
    tabs->setGeometry(0, 0, 637, 477);
    auto *page = new QWidget;
    tabs->addTab(page, QStringLiteral("irregular verbs"));
    const auto place = [](QWidget *control, int row, int column) {
        control->setGeometry(22 + column * 335, 28 + row * 56, 300, 29);
    };
    auto *frame = new QGroupBox(QStringLiteral("Wort vorgeben auf..."), page);
    auto *options = new QHBoxLayout(frame);
    options->addWidget(new QRadioButton(QStringLiteral("Englisch")));
    options->addWidget(new QRadioButton(QStringLiteral("Deutsch")));
    place(frame, 0, 0);
    place(new QPushButton(QStringLiteral("&Neues Wort"), page), 0, 1);
    for (int row = 1; row <= 4; ++row) {
        place(new QLabel(QStringLiteral("English infinitive:"), page), row, 0);
        auto *box = new QLineEdit(page);
        box->setFont(Look::answerFont());
        place(box, row, 1);
        if (row > 1) {
            auto *verdict = new QLabel(page);
            verdict->setFont(Look::answerFont());
            place(verdict, row, 2);
        }
    }
    place(new QPushButton(QStringLiteral("&Prüfen"), page), 5, 0);
    place(new QLabel(QStringLiteral("0 Wörter"), page), 6, 0);
    window->show();
    return window;
}

// In a child: shows one window and prints, in nanoseconds, the time from the
// start of main() until QApplication is ready, the time until the window's
// first frame, and the main thread's processor time in between.
int showOne(const QString &which, const QElapsedTimer &sinceStart, int argc, char *argv[])
{
    FirstFrameApp app(argc, argv, sinceStart);
    const qint64 appReady = sinceStart.nsecsElapsed();
    const qint64 cpuAtAppReady = threadCpuNs();
    QWidget *window = nullptr;
    if (which == QLatin1String(windowArgs[Empty]) || which == QLatin1String(windowArgs[Label])) {
        window = which == QLatin1String(windowArgs[Empty])
                         ? new QWidget
                         : new QLabel(QStringLiteral("Verbodrom(EN)"));
        window->resize(640, 480);
        window->show();
    } else if (which == QLatin1String(windowArgs[Controls])) {
        window = plainControls();
    } else if (which == QLatin1String(windowArgs[Main])) {
        App::setPath(QStringLiteral(VERBODROM_SOURCE_DIR)); // the shipped verb list
        Globals::Main();
        window = Forms::all().last();
    } else {
        return 2;
    }
    const QWindow *handle = window->windowHandle();
    app.watch([handle](const QWindow *exposed) { return exposed == handle; });
    if (!app.waitForFrame(exposeTimeoutMs))
        return 1;
    std::printf("%lld %lld %lld\n", static_cast<long long>(appReady),
                static_cast<long long>(app.framedNs()),
                static_cast<long long>(app.framedCpuNs() - cpuAtAppReady));
    return 0;
}

struct Sample
{
    double totalMs = 0;
    double windowMs = 0;    // after QApplication was set up
    double windowCpuMs = 0; // the main thread's processor time in that part
};

bool runChild(Window which, Sample &sample)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(windowArgs[which])});
    if (!child.waitForFinished(childTimeoutMs)) {
        child.kill();
        child.waitForFinished(childTimeoutMs);
        return false;
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return false;
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3)
        return false;
    std::array<qint64, 3> ns {};
    for (int k = 0; k < 3; ++k) {
        bool ok = false;
        ns[k] = fields.at(k).toLongLong(&ok);
        if (!ok)
            return false;
    }
    const auto [appReady, total, cpu] = ns;
    sample = {total / 1e6, (total - appReady) / 1e6, cpu / 1e6};
    return true;
}

// Every window's samples of the counted rounds, by Window.
struct Samples
{
    std::array<QList<double>, WindowCount> total;
    std::array<QList<double>, WindowCount> own;
    std::array<QList<double>, WindowCount> ownCpu;
};

bool runRounds(int rounds, Samples &samples)
{
    for (int round = -1; round < rounds; ++round) { // round -1 warms up
        for (int k = 0; k < WindowCount; ++k) {
            const auto which = Window((k + qMax(round, 0)) % WindowCount);
            Sample sample;
            if (!runChild(which, sample)) {
                std::fprintf(stderr, "startup: the %s window did not come up\n", windowArgs[which]);
                return false;
            }
            if (round >= 0) {
                samples.total[which].append(sample.totalMs);
                samples.own[which].append(sample.windowMs);
                samples.ownCpu[which].append(sample.windowCpuMs);
            }
        }
    }
    return true;
}

// The figures of every window, by Window.
struct Results
{
    std::array<Figures, WindowCount> total;
    std::array<double, WindowCount> own {}; // medians
    std::array<double, WindowCount> ownCpu {};
};

Results resultsOf(const Samples &samples)
{
    Results results;
    for (int k = 0; k < WindowCount; ++k) {
        results.total[k] = figuresOf(samples.total[k]);
        results.own[k] = median(samples.own[k]);
        results.ownCpu[k] = median(samples.ownCpu[k]);
    }
    return results;
}

void printFigures(const Results &results, int rounds, const QByteArray &platform)
{
    const auto &[empty, label, controls, main] = results.total; // in Window's order
    const auto &own = results.own;
    const auto &ownCpu = results.ownCpu;
    std::printf("platform: %s\n", platform.constData());
    std::printf("rounds: %d\n", rounds);
    std::printf("empty_window_ms: %.1f\n", empty.median);
    std::printf("text_window_ms: %.1f\n", label.median);
    std::printf("controls_window_ms: %.1f\n", controls.median);
    std::printf("main_window_ms: %.1f\n", main.median);
    std::printf("empty_window_best_ms: %.1f\n", empty.best);
    std::printf("text_window_best_ms: %.1f\n", label.best);
    std::printf("controls_window_best_ms: %.1f\n", controls.best);
    std::printf("main_window_best_ms: %.1f\n", main.best);
    std::printf("ratio_to_empty: %.2f\n", main.median / empty.median);
    std::printf("ratio_to_text: %.2f\n", main.median / label.median);
    std::printf("ratio_to_controls: %.2f\n", main.median / controls.median);
    std::printf("best_ratio_to_empty: %.2f\n", main.best / empty.best);
    std::printf("best_ratio_to_text: %.2f\n", main.best / label.best);
    std::printf("after_qapplication_empty_ms: %.1f\n", own[Empty]);
    std::printf("after_qapplication_text_ms: %.1f\n", own[Label]);
    std::printf("after_qapplication_controls_ms: %.1f\n", own[Controls]);
    std::printf("after_qapplication_main_ms: %.1f\n", own[Main]);
    std::printf("after_qapplication_cpu_empty_ms: %.2f\n", ownCpu[Empty]);
    std::printf("after_qapplication_cpu_text_ms: %.2f\n", ownCpu[Label]);
    std::printf("after_qapplication_cpu_controls_ms: %.2f\n", ownCpu[Controls]);
    std::printf("after_qapplication_cpu_main_ms: %.2f\n", ownCpu[Main]);
}

void printResult(const Results &results, int rounds, const QByteArray &platform)
{
    const auto &[empty, label, controls, main] = results.total;
    std::printf("result: main window on screen %.1f ms after start (median of %d, best %.1f), "
                "%.2f times an empty Qt window (%.1f ms) and %.2f times a window with one line "
                "of text (%.1f ms); %.2f times the same Qt controls built plainly (%.1f ms), "
                "platform %s\n",
                main.median, rounds, main.best, main.median / empty.median, empty.median,
                main.median / label.median, label.median, main.median / controls.median,
                controls.median, platform.constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    const QString arg = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    bool isCount = false;
    const int rounds = arg.isEmpty() ? defaultRounds : arg.toInt(&isCount);
    if (!arg.isEmpty() && !isCount)
        return showOne(arg, sinceStart, argc, argv);
    if (rounds < 1)
        return 2;

    QCoreApplication app(argc, argv);
    Samples samples;
    if (!runRounds(rounds, samples))
        return 1;
    const Results results = resultsOf(samples);
    const QByteArray platform = platformName();
    printFigures(results, rounds, platform);
    printResult(results, rounds, platform);
    return 0;
}
