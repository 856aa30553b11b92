#include "platform/App.h"
#include "platform/Forms.h"
#include "trainer/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include "testsupport.h"

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
    void initTestCase()
    {
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
            qputenv(name, mDir.path().toLocal8Bit());
        App::setPath(mDir.path());
    }
    void cleanup()
    {
        delete mWindow;
        qDeleteAll(QList<QWidget *>(Forms::all())); // a copy: each deletion edits the list
        mBoxes.boxes.clear();
    }
    void flow_data();
    void flow();
    void aboutAndUnload();

private:
    // Starts the window over a leftover read-only Updater.exe; false unless
    // start-up removed it. The verb file holds the three verbs, or as kind
    // says: "missing", "many" (one verb over the limit).
    bool open(const QString &kind)
    {
        QFile file(mVerbFile), updater(mDir.filePath(QStringLiteral("Updater.exe")));
        file.remove();
        QByteArray content = threeVerbs;
        if (kind == u"many") {
            for (int i = 0; i < MaxVerbs; ++i)
                content += "to v\tp\tpp\tg\r\n";
        }
        if (kind != u"missing"
            && (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()))
            return false;
        file.close();
        if (!updater.open(QIODevice::WriteOnly) || !updater.setPermissions(QFileDevice::ReadOwner))
            return false;
        updater.close();
        mWindow = new frmMain;
        mWindow->setRandomSource([] { return 0.5f; }); // the middle verb, "to burn"
        return !updater.exists();
    }

    QTemporaryDir mDir;
    QString mVerbFile = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
    QPointer<frmMain> mWindow;
    MsgBoxRecorder mBoxes;
};

// Each row is a script of steps separated by " | ": "op control argument",
// controls named by their objectName. "open" starts the window on the three
// verbs (on no file with "open missing"); it always draws "to burn".
void tst_frmMain::flow_data()
{
    QTest::addColumn<QString>("script");
    const auto row = [](const char *name, const QString &steps) {
        QTest::newRow(name) << "open | show | " + steps;
    };
    const QString germanAnswers = QStringLiteral("click btNewWord | text txtGerInf brennen | text "
                                                 "txtEngInf | locked txtEngInf no | focus txtEngInf"
                                                 " | type txtEngInf  Burn | type txtEngPast   "
                                                 "BURNT  | type txtEngPastParticiple burnt/burned");
    const QString germanVerdicts = QStringLiteral(
            " | text txtEngInf to Burn | text txtEngPast BURNT | text lblEngInf CORRECT! | colour "
            "lblEngInf #00ff00"
            " | text lblEngPast CORRECT! | text lblEngPastParticiple WRONG! --> burnt/burned"
            " | colour lblEngPastParticiple #ff0000 | locked txtEngInf yes | locked "
            "txtEngPastParticiple yes | boxes 0");

    QTest::newRow("missing-file-told-before-show")
            << "open missing | boxes 1 | box Die Verben-Datei (IrregularVerbs.txt) wurde nicht im "
               "Programmordner"
               " gefunden! | show | click btNewWord | current -1 | title VerbodromEN - Keine "
               "Verben geladen";
    row("german-round", germanAnswers + " | click btEnter" + germanVerdicts);
    row("german-round-checked-twice",
        germanAnswers + " | click btEnter | click btEnter" + germanVerdicts);
    row("english-round",
        "click optEN | colour txtEngInf grey | click btNewWord | text txtEngInf to burn"
        " | locked txtEngInf yes | focus txtEngPast | type txtEngPast burned | click btEnter"
        " | text lblEngInf | text lblEngPast CORRECT! | text lblEngPastParticiple WRONG! --> "
        "burnt/burned");
    row("switch-after-german-check", "click btNewWord | type txtEngInf goes | click btEnter | "
                                     "click optEN | text txtEngInf to burn"
                                     " | locked txtEngInf yes | colour txtEngInf grey | text "
                                     "lblEngInf WRONG! --> to burn | click btEnter"
                                     " | text lblEngInf | click optDE | text txtEngInf | locked "
                                     "txtEngInf yes | colour txtEngInf window");
    row("switch-before-check-and-new-word-reopens",
        "click btNewWord | click optEN | click optDE | locked txtEngInf no"
        " | click btEnter | click btNewWord | locked txtEngPast no | text txtEngPast | text "
        "lblEngPast");
    row("reload-by-menu-forgets-verb",
        "click btNewWord | menu mnuReload | current -1 | verbs 3 | boxes 0"
        " | click btEnter | title VerbodromEN - Keine Verben geladen | text lblEngInf");
    row("reload-by-tab-after-file-deleted",
        "click btNewWord | delete | tab | verbs 0 | title VerbodromEN - keine"
        " Verben-Datei | click btNewWord | boxes 2");
    QTest::newRow("too-many-verbs-told-first-kept")
            << "open many | boxes 1 | box Die Verben-Datei (IrregularVerbs.txt) enthält mehr als "
               "32.760 Verben. Nur die ersten 32.760 wurden geladen. | title VerbodromEN - zu "
               "viele Verben | verbs 32760";
    // Tab stops at the selected option only; the tab bar takes no focus.
    row("focus-chain",
        "chain btNewWord txtGerInf txtEngInf txtEngPast txtEngPastParticiple btEnter optDE "
        "btNewWord | click optEN | chain btEnter optEN btNewWord");
    row("enter-in-text-box-checks",
        "click btNewWord | enter txtEngPastParticiple | text lblEngPast WRONG! --> burnt/burned");
}

void tst_frmMain::flow()
{
    QFETCH(QString, script);
    const auto colour = [](const QString &arg) {
        return arg == u"grey" ? QApplication::palette().color(QPalette::Disabled, QPalette::Text)
               : arg == u"window" ? QApplication::palette().color(QPalette::Active, QPalette::Base)
                                  : QColor(arg);
    };
    for (const QString &step : script.split(QStringLiteral(" | "))) {
        const QString op = step.section(u' ', 0, 0), name = step.section(u' ', 1, 1),
                      arg = step.section(u' ', 2);
        QWidget *w = mWindow ? mWindow->findChild<QWidget *>(name) : nullptr;
        if (op == u"open") {
            QVERIFY(open(name));
        } else if (op == u"show") {
            mWindow->show();
        } else if (op == u"menu") {
            mWindow->findChild<QAction *>(name)->trigger();
        } else if (op == u"tab") {
            QTabBar *bar = mWindow->findChild<QTabWidget *>(QStringLiteral("SSTab1"))->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        } else if (op == u"delete") {
            QVERIFY(QFile::remove(mVerbFile));
        } else if (op == u"chain") {
            // Tab from the first named control visits the others in order.
            const QStringList names = step.section(u' ', 1).split(u' ');
            mWindow->findChild<QWidget *>(names.first())->setFocus();
            for (const QString &next : names.mid(1)) {
                QTest::keyClick(mWindow->focusWidget(), Qt::Key_Tab);
                QCOMPARE(mWindow->focusWidget()->objectName(), next);
            }
        } else if (op == u"boxes") {
            QCOMPARE(mBoxes.boxes.size(), name.toInt());
        } else if (op == u"box" || op == u"title") {
            QVERIFY(!mBoxes.boxes.isEmpty());
            QCOMPARE(op == u"box" ? mBoxes.boxes.last().prompt : mBoxes.boxes.last().title,
                     step.section(u' ', 1));
            QCOMPARE(mBoxes.boxes.last().style, int(vbExclamation));
        } else if (op == u"current") {
            QCOMPARE(mWindow->currentVerb(), qint16(name.toInt()));
        } else if (op == u"verbs") {
            QCOMPARE(mWindow->verbList().size(), name.toInt());
            QCOMPARE(mWindow->lastVerb(), qint16(name.toInt() ? name.toInt() : -1));
        } else {
            QVERIFY2(w, qPrintable(step));
            if (op == u"click")
                QTest::mouseClick(w, Qt::LeftButton);
            else if (op == u"type")
                QTest::keyClicks(w, arg);
            else if (op == u"enter")
                QTest::keyClick(w, Qt::Key_Return);
            else if (op == u"text")
                QCOMPARE(w->property("text").toString(), arg);
            else if (op == u"locked")
                QCOMPARE(w->property("readOnly").toBool(), arg == u"yes");
            else if (op == u"focus")
                QCOMPARE(mWindow->focusWidget(), w);
            else if (op == u"colour")
                QCOMPARE(w->palette().color(w->inherits("QLabel") ? QPalette::WindowText
                                                                  : QPalette::Base),
                         colour(arg));
            else
                QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
        }
    }
}

void tst_frmMain::aboutAndUnload()
{
    QPointer<frmDummy> dummy = new frmDummy;
    QVERIFY(open(QString()));
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
