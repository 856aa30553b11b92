#include "testsupport.h"

#include "support/App.h"
#include "support/Forms.h"
#include "support/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

static const QByteArray threeVerbs("# list\r\nto go\twent\tgone\tgehen\r\n"
                                   "to burn\tburnt/burned\tburnt/burned\tbrennen\r\n"
                                   "to be\twas/were\tbeen\tsein\r\n");

class tst_frmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void startUp_data();
    void startUp();
    void flow_data();
    void flow();
    void aboutAndUnload();

private:
    void open(bool withFile)
    {
        QFile file(mVerbFile);
        file.remove();
        if (withFile && (!file.open(QIODevice::WriteOnly) || file.write(threeVerbs) != threeVerbs.size()))
            qFatal("cannot write the verb file");
        file.close();
        mWindow = new frmMain;
        mWindow->setRandomSource([] { return 0.5f; }); // the middle verb, "to burn"
    }

    QTemporaryDir mDir;
    QString mVerbFile = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
    QPointer<frmMain> mWindow;
    MsgBoxRecorder mBoxes;
};

void tst_frmMain::initTestCase()
{
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
        qputenv(name, mDir.path().toLocal8Bit());
    App::setPath(mDir.path());
}

void tst_frmMain::cleanup()
{
    delete mWindow;
    const QList<QWidget *> left = Forms::all(); // each deletion edits the list
    qDeleteAll(left);
    mBoxes.boxes.clear();
}

void tst_frmMain::startUp_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<bool>("readOnlyUpdater");
    QTest::newRow("file-and-updater") << true << false;
    QTest::newRow("no-file-read-only-updater") << false << true;
}

void tst_frmMain::startUp()
{
    QFETCH(bool, withFile);
    QFETCH(bool, readOnlyUpdater);
    QFile updater(mDir.filePath(QStringLiteral("Updater.exe")));
    QVERIFY(updater.open(QIODevice::WriteOnly));
    updater.close();
    QVERIFY(updater.setPermissions(readOnlyUpdater ? QFileDevice::ReadOwner : QFileDevice::WriteOwner));

    open(withFile);
    QVERIFY(!updater.exists());
    QCOMPARE(mBoxes.boxes.size(), withFile ? 0 : 1); // raised while loading, before show()
    mWindow->show();
    QTest::mouseClick(mWindow->findChild<QWidget *>(QStringLiteral("btNewWord")), Qt::LeftButton);
    QCOMPARE(mWindow->currentVerb(), qint16(withFile ? 2 : -1));
    if (withFile)
        return;
    QCOMPARE(mBoxes.boxes[0].prompt,
             QStringLiteral("Die Verben-Datei (IrregularVerbs.txt) wurde nicht im Programmordner gefunden!"));
    QCOMPARE(mBoxes.boxes[0].style, 48);
    QCOMPARE(mBoxes.boxes[0].title, QStringLiteral("VerbodromEN - keine Verben-Datei"));
    QCOMPARE(mBoxes.boxes[1].prompt, QStringLiteral("Die Verben-Datei ist leer oder konnte nicht geladen werden"));
    QCOMPARE(mBoxes.boxes[1].style, 48);
    QCOMPARE(mBoxes.boxes[1].title, QStringLiteral("VerbodromEN - Keine Verben geladen"));
}

// Each row is a script of steps separated by " | ": "op control argument",
// controls named by their objectName. Every script starts on a shown window
// with three verbs that always draws "to burn".
void tst_frmMain::flow_data()
{
    QTest::addColumn<QString>("script");
    const QString germanAnswers = QStringLiteral(
        "click btNewWord | text txtGerInf brennen | text txtEngInf | locked txtEngInf no | focus txtEngInf"
        " | type txtEngInf  Burn | type txtEngPast   BURNT  | type txtEngPastParticiple burnt/burned");
    const QString germanVerdicts = QStringLiteral(
        " | text txtEngInf to Burn | text txtEngPast BURNT | text lblEngInf CORRECT! | colour lblEngInf #00ff00"
        " | text lblEngPast CORRECT! | text lblEngPastParticiple WRONG! --> burnt/burned"
        " | colour lblEngPastParticiple #ff0000 | locked txtEngInf yes | locked txtEngPastParticiple yes | boxes 0");

    QTest::newRow("german-round") << germanAnswers + " | click btEnter" + germanVerdicts;
    QTest::newRow("german-round-checked-twice") << germanAnswers + " | click btEnter | click btEnter" + germanVerdicts;
    QTest::newRow("english-round")
        << "click optEN | colour txtEngInf grey | click btNewWord | text txtEngInf to burn | locked txtEngInf yes"
           " | focus txtEngPast | type txtEngPast burned | click btEnter | text lblEngInf"
           " | text lblEngPast CORRECT! | text lblEngPastParticiple WRONG! --> burnt/burned";
    QTest::newRow("new-word-reopens-and-clears")
        << "click btNewWord | click btEnter | click btNewWord | locked txtEngPast no | text txtEngPast"
           " | text lblEngPast";
    QTest::newRow("switch-after-german-check")
        << "click btNewWord | type txtEngInf goes | click btEnter | click optEN | text txtEngInf to burn"
           " | locked txtEngInf yes | colour txtEngInf grey | text lblEngInf WRONG! --> to burn"
           " | click optDE | text txtEngInf | locked txtEngInf yes | colour txtEngInf window";
    QTest::newRow("switch-before-check") << "click btNewWord | click optEN | click optDE | locked txtEngInf no";
    QTest::newRow("reload-by-menu")
        << "click btNewWord | menu mnuReload | current -1 | verbs 3 | boxes 0 | text txtGerInf brennen"
           " | click btEnter | lastbox VerbodromEN - Keine Verben geladen | text lblEngInf";
    QTest::newRow("reload-by-tab") << "click btNewWord | tab | current -1 | verbs 3 | click btEnter | boxes 1";
    QTest::newRow("reload-after-file-deleted")
        << "click btNewWord | delete | tab | verbs 0 | lastbox VerbodromEN - keine Verben-Datei"
           " | click btNewWord | lastbox VerbodromEN - Keine Verben geladen | boxes 2";
    for (const char *name : {"txtGerInf", "txtEngPastParticiple", "optDE", "btEnter"})
        QTest::newRow(qPrintable(QStringLiteral("enter-on-%1").arg(name)))
            << QStringLiteral("click btNewWord | enter %1 | text lblEngPast WRONG! --> burnt/burned").arg(name);
    QTest::newRow("enter-on-btNewWord-draws") << "click btNewWord | click btEnter | enter btNewWord | text lblEngPast";
}

void tst_frmMain::flow()
{
    QFETCH(QString, script);
    open(true);
    mWindow->show();
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    const QColor window = QApplication::palette().color(QPalette::Active, QPalette::Base);
    for (const QString &step : script.split(QStringLiteral(" | "))) {
        const QString op = step.section(u' ', 0, 0);
        const QString name = step.section(u' ', 1, 1);
        const QString arg = step.section(u' ', 2);
        QWidget *w = mWindow->findChild<QWidget *>(name);
        if (op == u"click" || op == u"type" || op == u"enter" || op == u"text" || op == u"locked"
            || op == u"colour" || op == u"focus")
            QVERIFY2(w, qPrintable(step));
        if (op == u"click") {
            QTest::mouseClick(w, Qt::LeftButton);
        } else if (op == u"type") {
            QTest::keyClicks(w, arg);
        } else if (op == u"enter") {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Return);
        } else if (op == u"menu") {
            mWindow->findChild<QAction *>(name)->trigger();
        } else if (op == u"tab") {
            QTabBar *bar = mWindow->findChild<QTabWidget *>(QStringLiteral("SSTab1"))->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        } else if (op == u"delete") {
            QVERIFY(QFile::remove(mVerbFile));
        } else if (op == u"text") {
            QCOMPARE(w->property("text").toString(), arg);
        } else if (op == u"locked") {
            QCOMPARE(w->property("readOnly").toBool(), arg == u"yes");
        } else if (op == u"focus") {
            QCOMPARE(mWindow->focusWidget(), w);
        } else if (op == u"colour") {
            const QColor expected = arg == u"grey" ? grey : arg == u"window" ? window : QColor(arg);
            QCOMPARE(w->palette().color(w->inherits("QLabel") ? QPalette::WindowText : QPalette::Base), expected);
        } else if (op == u"boxes") {
            QCOMPARE(mBoxes.boxes.size(), name.toInt());
        } else if (op == u"lastbox") {
            QVERIFY(!mBoxes.boxes.isEmpty());
            QCOMPARE(mBoxes.boxes.last().title, step.section(u' ', 1));
        } else if (op == u"current") {
            QCOMPARE(mWindow->currentVerb(), qint16(name.toInt()));
        } else if (op == u"verbs") {
            QCOMPARE(mWindow->verbList().size(), name.toInt());
            QCOMPARE(mWindow->lastVerb(), qint16(name.toInt() ? name.toInt() : -1));
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
        }
    }
}

void tst_frmMain::aboutAndUnload()
{
    QPointer<frmDummy> dummy = new frmDummy;
    open(true);
    mWindow->show();
    QAction *about = mWindow->findChild<QAction *>(QStringLiteral("mnuAbout"));
    about->trigger();
    QPointer<QWidget> first = Forms::all().last();
    about->trigger(); // raises the open one
    QCOMPARE(Forms::count(), 3);
    QVERIFY(qobject_cast<frmAbout *>(first) && first->isVisible() && !first->parentWidget());
    first->close();
    QTRY_VERIFY(!first);
    about->trigger(); // a closed one is made anew
    QCOMPARE(Forms::count(), 3);

    mWindow->close();
    QTRY_VERIFY(!mWindow);
    QVERIFY(!dummy);
    QCOMPARE(Forms::count(), 1); // the About window lives on by itself
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
