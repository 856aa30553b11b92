#include "testsupport.h"

#include "support/App.h"
#include "support/Forms.h"
#include "support/Globals.h"
#include "support/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

static const QByteArray threeVerbs("# test list\r\nto go\twent\tgone\tgehen\r\n"
                                   "to burn\tburnt/burned\tburnt/burned\tbrennen\r\n"
                                   "to be\twas/were\tbeen\tsein\r\n");

class tst_frmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void missingFileBeforeShow();
    void round_data();
    void round();
    void switchAfterGermanCheck();
    void reloadForgetsDrawnVerb_data();
    void reloadForgetsDrawnVerb();
    void enterRunsCheck_data();
    void enterRunsCheck();
    void tabOrder();
    void tooManyVerbs();
    void leftoverUpdaterDeleted_data();
    void leftoverUpdaterDeleted();
    void aboutWindowOnce();
    void closeUnloadsHostForm();

private:
    frmMain *open(const QByteArray *verbs, float r = 0.0f)
    {
        const QString path = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
        QFile::remove(path);
        if (verbs) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(*verbs) != verbs->size())
                qFatal("cannot write the verb file");
        }
        mWindow = new frmMain;
        mWindow->setRandomSource([r] { return r; });
        return mWindow;
    }
    template<typename T>
    T *child(const char *name) { return mWindow->findChild<T *>(QLatin1String(name)); }
    QLineEdit *box(const char *name) { return child<QLineEdit>(name); }
    QString caption(const char *name) { return child<QLabel>(name)->text(); }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

    QTemporaryDir mDir;
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
    qDeleteAll(Forms::all());
    mBoxes.boxes.clear();
}

void tst_frmMain::missingFileBeforeShow()
{
    open(nullptr);
    QCOMPARE(mBoxes.boxes.size(), 1); // raised while loading, before any show()
    QCOMPARE(mBoxes.boxes[0].prompt,
             QStringLiteral("Die Verben-Datei (IrregularVerbs.txt) wurde nicht im Programmordner gefunden!"));
    QCOMPARE(mBoxes.boxes[0].style, 48);
    QCOMPARE(mBoxes.boxes[0].title, QStringLiteral("VerbodromEN - keine Verben-Datei"));
    mWindow->show();
    QCOMPARE(mWindow->firstVerb(), qint16(-1));
    QCOMPARE(mWindow->lastVerb(), qint16(-1));

    click("btNewWord");
    QCOMPARE(mBoxes.boxes.size(), 2);
    QCOMPARE(mBoxes.boxes[1].prompt, QStringLiteral("Die Verben-Datei ist leer oder konnte nicht geladen werden"));
    QCOMPARE(mBoxes.boxes[1].style, 48);
    QCOMPARE(mBoxes.boxes[1].title, QStringLiteral("VerbodromEN - Keine Verben geladen"));
    QCOMPARE(mWindow->currentVerb(), qint16(-1));
}

void tst_frmMain::round_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("typedInf");
    QTest::addColumn<QString>("shownInf");
    QTest::addColumn<QString>("verdictInf");
    QTest::addColumn<QString>("verdictPast");
    QTest::addColumn<QString>("verdictParticiple");

    QTest::newRow("german") << false << " Burn" << "to Burn" << "CORRECT!" << "CORRECT!"
                            << "WRONG! --> burnt/burned";
    QTest::newRow("english") << true << "" << "to burn" << "" << "CORRECT!" << "WRONG! --> burnt/burned";
}

// Draws "to burn" (r = 0.5 of three verbs), answers it, checks twice.
void tst_frmMain::round()
{
    QFETCH(bool, english);
    QFETCH(QString, typedInf);
    QFETCH(QString, shownInf);
    QFETCH(QString, verdictInf);
    QFETCH(QString, verdictPast);
    QFETCH(QString, verdictParticiple);

    open(&threeVerbs, 0.5f)->show();
    if (english)
        QTest::mouseClick(child<QRadioButton>("optEN"), Qt::LeftButton);
    click("btNewWord");
    QCOMPARE(mWindow->currentVerb(), qint16(2));
    QCOMPARE(box("txtGerInf")->text(), QStringLiteral("brennen"));
    QCOMPARE(box("txtEngInf")->text(), english ? QStringLiteral("to burn") : QString());
    QCOMPARE(box("txtEngInf")->isReadOnly(), english);
    QCOMPARE(mWindow->focusWidget(), box(english ? "txtEngPast" : "txtEngInf"));

    QTest::keyClicks(box("txtEngInf"), typedInf);
    QTest::keyClicks(box("txtEngPast"), QStringLiteral("  BURNT "));
    QTest::keyClicks(box("txtEngPastParticiple"), QStringLiteral("burnt/burned"));
    for (int pass = 0; pass < 2; ++pass) {
        click("btEnter");
        QCOMPARE(box("txtEngInf")->text(), shownInf);
        QCOMPARE(box("txtEngPast")->text(), QStringLiteral("BURNT"));
        QCOMPARE(caption("lblEngInf"), verdictInf);
        QCOMPARE(caption("lblEngPast"), verdictPast);
        QCOMPARE(caption("lblEngPastParticiple"), verdictParticiple);
        for (const char *name : {"txtEngInf", "txtEngPast", "txtEngPastParticiple"})
            QVERIFY(box(name)->isReadOnly());
    }
    QCOMPARE(child<QLabel>("lblEngPast")->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QCOMPARE(child<QLabel>("lblEngPastParticiple")->palette().color(QPalette::WindowText),
             QColor(255, 0, 0));
    QVERIFY(mBoxes.boxes.isEmpty());

    click("btNewWord"); // a new word opens the answers again and clears the verdicts
    QVERIFY(!box("txtEngPast")->isReadOnly());
    QCOMPARE(box("txtEngPast")->text(), QString());
    QCOMPARE(caption("lblEngPast"), QString());
}

void tst_frmMain::switchAfterGermanCheck()
{
    open(&threeVerbs, 0.0f)->show();
    const QColor base = box("txtEngInf")->palette().color(QPalette::Base);
    const QColor grey = box("txtGerInf")->palette().color(QPalette::Base);
    QVERIFY(base != grey);
    click("btNewWord");
    QTest::keyClicks(box("txtEngInf"), QStringLiteral("goes"));
    click("btEnter");

    QTest::mouseClick(child<QRadioButton>("optEN"), Qt::LeftButton);
    QCOMPARE(box("txtEngInf")->text(), QStringLiteral("to go"));
    QVERIFY(box("txtEngInf")->isReadOnly());
    QCOMPARE(box("txtEngInf")->palette().color(QPalette::Base), grey);
    QCOMPARE(caption("lblEngInf"), QStringLiteral("WRONG! --> to go")); // left as it was

    QTest::mouseClick(child<QRadioButton>("optDE"), Qt::LeftButton);
    QCOMPARE(box("txtEngInf")->text(), QString());
    QVERIFY(box("txtEngInf")->isReadOnly()); // the past tense is locked after a check
    QCOMPARE(box("txtEngInf")->palette().color(QPalette::Base), base);
}

void tst_frmMain::reloadForgetsDrawnVerb_data()
{
    QTest::addColumn<bool>("byTab");
    QTest::addColumn<bool>("deleteFile");
    QTest::newRow("menu") << false << false;
    QTest::newRow("tab-click") << true << false;
    QTest::newRow("menu-file-deleted") << false << true;
    QTest::newRow("tab-click-file-deleted") << true << true;
}

void tst_frmMain::reloadForgetsDrawnVerb()
{
    QFETCH(bool, byTab);
    QFETCH(bool, deleteFile);
    open(&threeVerbs, 0.0f)->show();
    click("btNewWord");
    QCOMPARE(mWindow->currentVerb(), qint16(1));
    if (deleteFile)
        QVERIFY(QFile::remove(mDir.filePath(QStringLiteral("IrregularVerbs.txt"))));

    if (byTab) {
        QTabBar *bar = child<QTabWidget>("SSTab1")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    } else {
        child<QAction>("mnuReload")->trigger();
    }
    QCOMPARE(mWindow->currentVerb(), qint16(-1));
    QCOMPARE(mWindow->lastVerb(), qint16(deleteFile ? -1 : 3));
    QCOMPARE(mWindow->verbList().size(), deleteFile ? 0 : 3);
    QCOMPARE(mBoxes.boxes.size(), deleteFile ? 1 : 0);
    QCOMPARE(box("txtGerInf")->text(), QStringLiteral("gehen")); // the boxes stay

    click("btEnter");
    QCOMPARE(mBoxes.boxes.last().title, QStringLiteral("VerbodromEN - Keine Verben geladen"));
    QCOMPARE(caption("lblEngInf"), QString());
}

void tst_frmMain::enterRunsCheck_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("checks");
    for (const char *name : {"txtGerInf", "txtEngInf", "txtEngPast", "txtEngPastParticiple",
                             "optDE", "btEnter"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    QTest::newRow("btNewWord-keeps-its-own") << QStringLiteral("btNewWord") << false;
}

void tst_frmMain::enterRunsCheck()
{
    QFETCH(QString, target);
    QFETCH(bool, checks);
    open(&threeVerbs, 0.0f)->show();
    click("btNewWord");
    QWidget *widget = mWindow->findChild<QWidget *>(target);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Return);
    QCOMPARE(caption("lblEngPast").startsWith(QLatin1String("WRONG!")), checks);
    QCOMPARE(box("txtEngPast")->isReadOnly(), checks);
}

void tst_frmMain::tabOrder()
{
    open(&threeVerbs)->show();
    mWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(mWindow));
    child<QPushButton>("btNewWord")->setFocus();
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"btNewWord", "txtGerInf", "txtEngInf", "txtEngPast",
                                 "txtEngPastParticiple", "btEnter", "optDE", "btNewWord"}));
}

void tst_frmMain::tooManyVerbs()
{
    QByteArray bytes;
    for (int i = 1; i <= 32761; ++i)
        bytes += "to v" + QByteArray::number(i) + "\tp\tpp\tg\r\n";
    open(&bytes, std::nextafter(1.0f, 0.0f));
    QCOMPARE(mWindow->lastVerb(), qint16(32760));
    QCOMPARE(mBoxes.boxes.size(), 1);
    QCOMPARE(mBoxes.boxes[0].title, QStringLiteral("VerbodromEN - zu viele Verben"));
    QVERIFY(mBoxes.boxes[0].prompt.contains(QLatin1String("32.760")));
    click("btNewWord");
    QCOMPARE(mWindow->currentVerb(), qint16(32760));
    QTest::keyClicks(box("txtEngInf"), QStringLiteral("v32760"));
    click("btEnter");
    QCOMPARE(caption("lblEngInf"), QStringLiteral("CORRECT!"));
}

void tst_frmMain::leftoverUpdaterDeleted_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("writable") << false;
    QTest::newRow("read-only") << true;
}

void tst_frmMain::leftoverUpdaterDeleted()
{
    QFETCH(bool, readOnly);
    const QString updater = mDir.filePath(QStringLiteral("Updater.exe"));
    QFile file(updater);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    if (readOnly)
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
    open(&threeVerbs);
    QVERIFY(!QFile::exists(updater));
    QVERIFY(mBoxes.boxes.isEmpty());
}

void tst_frmMain::aboutWindowOnce()
{
    open(&threeVerbs);
    QAction *about = child<QAction>("mnuAbout");
    about->trigger();
    about->trigger();
    QList<frmAbout *> windows;
    for (QWidget *form : Forms::all())
        if (auto *w = qobject_cast<frmAbout *>(form))
            windows << w;
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows[0]->isVisible());
    QVERIFY(!windows[0]->parentWidget());

    QPointer<frmAbout> first = windows[0];
    first->close(); // deletes itself
    QTRY_VERIFY(!first);
    about->trigger();
    QCOMPARE(Forms::count(), 2);
}

void tst_frmMain::closeUnloadsHostForm()
{
    QPointer<frmDummy> dummy = new frmDummy;
    open(&threeVerbs)->show();
    QVERIFY(!mWindow->windowIcon().isNull());
    QCOMPARE(mWindow->minimumSize(), mWindow->maximumSize());
    Globals::g_objFSO();
    mWindow->close();
    QTRY_VERIFY(!mWindow);
    QVERIFY(!dummy);
    QCOMPARE(Forms::count(), 0);
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
