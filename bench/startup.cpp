// Time from process start until the main window is on screen, against two
// minimal Qt windows in the same run: an empty one, and one with a line of
// text (which pays for the font set-up that any window with text needs). Each measurement runs in a fresh child
// process (this program started again with "empty" or "main"), so that
// neither window profits from what the other has loaded; the median of
// several runs is printed with the ratio.

#include "platform/App.h"
#include "platform/Forms.h"
#include "program/Globals.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace {

// In a child: shows one window and prints the nanoseconds from the start of
// main() until the window is exposed.
int showOne(const QString &which, const QElapsedTimer &sinceStart, int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget *window = nullptr;
    if (which == QLatin1String("empty") || which == QLatin1String("label")) {
        window = which == QLatin1String("empty") ? new QWidget
                                                 : new QLabel(QStringLiteral("Verbodrom(EN)"));
        window->resize(640, 480);
        window->show();
    } else {
        App::setPath(QStringLiteral(VERBODROM_SOURCE_DIR)); // the shipped verb list
        Globals::Main();
        window = Forms::all().last();
    }
    if (!QTest::qWaitForWindowExposed(window))
        return 1;
    std::printf("%lld\n", static_cast<long long>(sinceStart.nsecsElapsed()));
    return 0;
}

double medianMs(const QString &which, int runs)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {which});
        if (!child.waitForFinished(30000) || child.exitCode() != 0)
            return -1;
        times.append(child.readAllStandardOutput().trimmed().toLongLong() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc > 1)
        return showOne(QString::fromLocal8Bit(argv[1]), sinceStart, argc, argv);

    QCoreApplication app(argc, argv);
    constexpr int runs = 9;
    const double empty = medianMs(QStringLiteral("empty"), runs);
    const double label = medianMs(QStringLiteral("label"), runs);
    const double main = medianMs(QStringLiteral("main"), runs);
    if (empty <= 0 || label <= 0 || main <= 0)
        return 1;
    const QByteArray platform = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
                                        ? QByteArray("default")
                                        : qgetenv("QT_QPA_PLATFORM");
    std::printf("platform: %s\n", platform.constData());
    std::printf("empty_window_ms: %.1f\n", empty);
    std::printf("text_window_ms: %.1f\n", label);
    std::printf("main_window_ms: %.1f\n", main);
    std::printf("ratio_to_empty: %.2f\n", main / empty);
    std::printf("ratio_to_text: %.2f\n", main / label);
    std::printf("result: main window on screen %.1f ms after start, %.2f times an empty Qt window "
                "(%.1f ms) and %.2f times a window with one line of text (%.1f ms), "
                "platform %s\n",
                main, main / empty, empty, main / label, label, platform.constData());
    return 0;
}
