// Draws the pictures of the README into a folder (default: docs/ in the
// source tree): screenshot.png, a German round with one slip;
// english-round.png, an English round; about.png, the About window;
// lernstand.png, the Lernstand window after a week of practice under a fake
// clock. Runs under Qt's offscreen platform unless another one is asked for;
// needs no display. `cmake --build <build> --target screenshots` builds and
// runs it. With --dark after the folder, it draws them in a dark palette, to
// check them by eye.
//
//   make_screenshot [folder [--dark]]

#include "platform/App.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "program/Globals.h"
#include "trainer/Quiz.h"
#include "trainer/frmAbout.h"
#include "trainer/frmMain.h"

#include <QAction>
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

// Types the drawn verb's asked forms: right, or with the forms that `wrong`
// names (by Quiz::Form) misspelt; then checks them.
void answer(frmMain *window, const std::array<bool, 3> &wrong)
{
    const VerbEntry verb = window->verbList().at(window->currentVerb() - 1);
    const char *const boxes[] = {"txtEngInf", "txtEngPast", "txtEngPastParticiple"};
    for (const Quiz::Form form : Quiz::AllForms) {
        auto *box = window->findChild<QLineEdit *>(QLatin1String(boxes[size_t(form)]));
        if (!box->isReadOnly())
            box->setText(Quiz::storedForm(verb, form).section(u'/', 0, 0)
                         + (wrong[size_t(form)] ? QStringLiteral("ed") : QString()));
    }
    click(window, "btEnter");
}

// A week of practice with "Fehler wiederholen" on, ending on `last` in the
// evening: more verbs each day, one day off, a few verbs that keep going
// wrong (some forms more than others) and now and then a slip.
void practiseWeek(frmMain *window, QDate last)
{
    auto *clock = new QDateTime;
    window->setClock([clock] { return *clock; });
    auto *random = new Quiz::Random;
    random->seed(20261206);
    window->setRandomSource([random] { return random->next(); });
    window->findChild<QAction *>(QStringLiteral("mnuRepeatMistakes"))->trigger();
    constexpr int days = 7, dayOff = 3, firstDayVerbs = 14, moreEachDay = 4;
    constexpr float slip = 0.04f;
    for (int day = 0; day < days; ++day) {
        if (day == dayOff)
            continue;
        *clock = QDateTime(last.addDays(day - days + 1), QTime(17, 30));
        for (int n = 0; n < firstDayVerbs + moreEachDay * day; ++n) {
            *clock = clock->addSecs(45);
            click(window, "btNewWord");
            const int verb = window->currentVerb();
            const auto missed = [random](bool hard, float often) {
                return random->next() < (hard ? often : slip);
            };
            answer(window, {missed(verb % 13 == 0, 0.3f), missed(verb % 11 == 0, 0.6f),
                            missed(verb % 7 == 0, 0.5f)});
        }
    }
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
    if (argc > 2 && QByteArray(argv[2]) == "--dark") {
        QPalette dark(QColor(0x35, 0x35, 0x35)); // light text on dark
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        QApplication::setPalette(dark);
    }

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

    // The Lernstand window after a week of practice.
    click(window, "optDE");
    practiseWeek(window, QDate(2026, 12, 6));
    window->findChild<QAction *>(QStringLiteral("mnuLernstand"))->trigger();
    QWidget *lernstand = Forms::all().last();
    if (!QTest::qWaitForWindowExposed(lernstand))
        return 1;
    saved = save(lernstand, output.filePath(QStringLiteral("lernstand.png"))) && saved;
    window->close();
    return saved ? 0 : 1;
}
