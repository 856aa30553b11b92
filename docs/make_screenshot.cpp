// Draws the pictures of the README into a folder (default: docs/ in the
// source tree): screenshot.png, a German round with one slip;
// english-round.png, an English round; about.png, the About window. Runs
// under Qt's offscreen platform unless another one is asked for; needs no
// display. `cmake --build <build> --target screenshots` builds and runs it.

#include "platform/App.h"
#include "platform/MsgBox.h"
#include "program/Globals.h"
#include "trainer/frmAbout.h"
#include "trainer/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool save(QWidget *window, const QString &path)
{
    QApplication::processEvents();
    const bool saved = window->grab().save(path);
    std::printf("%s: %s\n", saved ? "saved" : "failed", qPrintable(path));
    return saved;
}

void type(QWidget *window, const char *box, const QString &text)
{
    QTest::keyClicks(window->findChild<QLineEdit *>(QLatin1String(box)), text);
}

void click(QWidget *window, const char *button)
{
    QTest::mouseClick(window->findChild<QAbstractButton *>(QLatin1String(button)), Qt::LeftButton);
}

// Makes "Neues Wort" draw the verb with this English infinitive.
bool drawNext(frmMain *window, const QString &infinitive)
{
    const QList<VerbEntry> &verbs = window->verbList();
    qsizetype target = 0;
    while (target < verbs.size() && verbs.at(target).EngInf() != infinitive)
        ++target;
    if (target == verbs.size())
        return false;
    const float r = float(target) / float(verbs.size() - 1);
    window->setRandomSource([r] { return r; });
    click(window, "btNewWord");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_STATE_HOME"})
        qputenv(name, home.path().toLocal8Bit());
    QApplication app(argc, argv);

    const QDir output(argc > 1 ? QString::fromLocal8Bit(argv[1])
                               : QStringLiteral(VERBODROM_SOURCE_DIR "/docs"));
    if (!QFile::copy(QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt"),
                     home.filePath(QStringLiteral("IrregularVerbs.txt")))
        || !output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot copy the verb list or make %s\n", qPrintable(output.path()));
        return 1;
    }
    App::setPath(home.path());
    setMsgBoxHandler([](const QString &prompt, int, const QString &) {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        return int(vbOK);
    });

    auto *window = Globals::loadMainWindow();
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return 1;

    // A German round: "to burn" answered with one slip.
    if (!drawNext(window, QStringLiteral("to burn")))
        return 1;
    type(window, "txtEngInf", QStringLiteral("burn"));
    type(window, "txtEngPast", QStringLiteral("burned"));
    type(window, "txtEngPastParticiple", QStringLiteral("burnded"));
    click(window, "btEnter");
    bool saved = save(window, output.filePath(QStringLiteral("screenshot.png")));

    // An English round: the infinitive is given, both past forms right.
    click(window, "optEN");
    if (!drawNext(window, QStringLiteral("to drink")))
        return 1;
    type(window, "txtEngPast", QStringLiteral("drank"));
    type(window, "txtEngPastParticiple", QStringLiteral("drunk"));
    click(window, "btEnter");
    saved = save(window, output.filePath(QStringLiteral("english-round.png"))) && saved;

    // The About window on an ordinary day, without the birthday line.
    auto *about = new frmAbout(QString());
    about->Form_Load(QDate(2026, 3, 1));
    about->show();
    if (!QTest::qWaitForWindowExposed(about))
        return 1;
    saved = save(about, output.filePath(QStringLiteral("about.png"))) && saved;
    about->close();
    window->close();
    return saved ? 0 : 1;
}
