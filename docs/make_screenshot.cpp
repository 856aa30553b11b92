// Draws the main window in the middle of a drill and saves it as a PNG
// (default: docs/screenshot.png in the source tree). Runs under Qt's
// offscreen platform unless another one is asked for; needs no display.

#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
        qputenv(name, home.path().toLocal8Bit());
    QApplication app(argc, argv);

    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral(VERBODROM_SOURCE_DIR "/docs/screenshot.png");
    if (!QFile::copy(QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt"),
                     home.filePath(QStringLiteral("IrregularVerbs.txt")))) {
        std::fprintf(stderr, "cannot copy the verb list\n");
        return 1;
    }
    App::setPath(home.path());
    setMsgBoxHandler([](const QString &prompt, int, const QString &) {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        return int(vbOK);
    });

    auto *window = new frmMain;
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return 1;

    // Draw "to burn" and answer it with one slip.
    const QList<VerbEntry> &verbs = window->verbList();
    qsizetype target = 0;
    while (target < verbs.size() && verbs.at(target).EngInf() != QLatin1String("to burn"))
        ++target;
    if (target == verbs.size())
        return 1;
    const float r = float(target) / float(verbs.size() - 1);
    window->setRandomSource([r] { return r; });
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btNewWord")),
                      Qt::LeftButton);
    QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("txtEngInf")),
                     QStringLiteral("burn"));
    QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("txtEngPast")),
                     QStringLiteral("burned"));
    QTest::keyClicks(window->findChild<QLineEdit *>(QStringLiteral("txtEngPastParticiple")),
                     QStringLiteral("burnded"));
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btEnter")), Qt::LeftButton);
    QApplication::processEvents();

    QDir().mkpath(QFileInfo(output).absolutePath());
    const bool saved = window->grab().save(output);
    std::printf("%s: %s\n", saved ? "saved" : "failed", qPrintable(output));
    window->close();
    return saved ? 0 : 1;
}
