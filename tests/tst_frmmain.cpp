#include "platform/App.h"
#include "platform/Forms.h"
#include "trainer/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

#include <sys/stat.h>

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
    void init() { mBoxes.emplace(); }
    void cleanup()
    {
        delete mWindow;
        qDeleteAll(QList<QWidget *>(Forms::all())); // a copy: each deletion edits the list
        mBoxes.reset();
    }
    void flow_data();
    void flow();
    void layout();
    void shippedVerdictsShownWhole();
    void longVerdictStepsDown();
    void screenReaders();
    void messageBoxOverWindow();
    void aboutAndUnload();

private:
    // Starts the window over a leftover read-only Updater.exe; false unless
    // start-up removed it. The verb file holds the three verbs, or as kind
    // says: "missing", "many" (one verb over the limit), "unreadable" (a
    // pipe that no one writes to), "shipped" (the list the program ships),
    // "long" (one verb with forms too long for a verdict label).
    bool open(const QString &kind)
    {
        QFile file(mVerbFile), updater(mDir.filePath(QStringLiteral("Updater.exe")));
        file.remove();
        QByteArray content = threeVerbs;
        if (kind == u"many") {
            for (int i = 0; i < MaxVerbs; ++i)
                content += "to v\tp\tpp\tg\r\n";
        } else if (kind == u"long") {
            content = "to a\t" + QByteArray(20, 'b') + '\t' + QByteArray(3000, 'c') + "\td\r\n";
        } else if (kind == u"shipped") {
            QFile shipped(QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt"));
            if (!shipped.open(QIODevice::ReadOnly))
                return false;
            content = shipped.readAll();
        }
        if (kind == u"unreadable") {
            if (::mkfifo(QFile::encodeName(mVerbFile).constData(), 0600) != 0)
                return false;
        } else if (kind != u"missing"
                   && (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())) {
            return false;
        }
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
    std::optional<MsgBoxRecorder> mBoxes;
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
                                     "txtEngInf yes | colour txtEngInf locked");
    row("switch-before-check-and-new-word-reopens",
        "click btNewWord | click optEN | click optDE | locked txtEngInf no"
        " | click btEnter | click btNewWord | locked txtEngPast no | text txtEngPast | text "
        "lblEngPast");
    row("reload-by-menu-forgets-verb",
        "click btNewWord | menu mnuReload | current -1 | verbs 3 | boxes 0"
        " | click btEnter | box Bitte zuerst „Neues Wort“ wählen. | title VerbodromEN - Kein "
        "Wort gezogen | text lblEngInf");
    row("check-before-any-draw", "click btEnter | boxes 1 | title VerbodromEN - Kein Wort gezogen");
    QTest::newRow("unreadable-file-told")
            << "open unreadable | boxes 1 | box Die Verben-Datei (IrregularVerbs.txt) konnte "
               "nicht gelesen werden! | title VerbodromEN - keine Verben-Datei | verbs 0";
    // Enter, type, Enter drills on; a locked answer box looks locked.
    row("keyboard-drill",
        "colour txtEngPast window | click btNewWord | type txtEngInf burn | enter txtEngInf"
        " | focus btNewWord | colour txtEngPast locked | colour txtEngInf locked"
        " | text lblEngInf CORRECT! | enter btNewWord | focus txtEngInf | text lblEngInf"
        " | colour txtEngPast window | colour txtEngInf window");
    // The offscreen platform leaves no window active after a popup: "active"
    // again before the buttons' keys.
    row("menu-and-button-keys",
        "active | key F10 | popup mnuFile | key Alt+D | popup mnuFile | active | key Alt+N"
        " | text txtGerInf brennen | key Alt+P | text lblEngInf WRONG! --> to burn");
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
               : arg == u"locked"
                       ? QApplication::palette().color(QPalette::Active, QPalette::Window)
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
        } else if (op == u"active") {
            mWindow->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(mWindow));
        } else if (op == u"key") {
            const QKeyCombination key = QKeySequence(name)[0];
            QTest::keyClick(mWindow->focusWidget(), key.key(), key.keyboardModifiers());
        } else if (op == u"popup") {
            auto *menu = mWindow->findChild<QMenu *>(name);
            QTRY_VERIFY(menu->isVisible());
            // Esc closes the menu, a second one leaves the menu bar.
            QTest::keyClick(menu, Qt::Key_Escape);
            QTRY_VERIFY(!menu->isVisible());
            QTest::keyClick(mWindow->focusWidget(), Qt::Key_Escape);
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
            QCOMPARE(mBoxes->boxes.size(), name.toInt());
        } else if (op == u"box" || op == u"title") {
            QVERIFY(!mBoxes->boxes.isEmpty());
            QCOMPARE(op == u"box" ? mBoxes->boxes.last().prompt : mBoxes->boxes.last().title,
                     step.section(u' ', 1));
            QCOMPARE(mBoxes->boxes.last().style, int(vbExclamation));
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
            else if (op == u"text") // a mnemonic clicks its button a moment later
                QTRY_COMPARE(w->property("text").toString(), arg);
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

// The direction frame holds its options below its title, clear of its
// neighbours; the verdicts reach to the tab's right edge.
void tst_frmMain::layout()
{
    QVERIFY(open(QString()));
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    auto *frame = mWindow->findChild<QGroupBox *>(QStringLiteral("Frame1"));
    for (const char *name : {"optEN", "optDE"}) {
        auto *option = frame->findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(frame->contentsRect().contains(option->geometry()), name);
        QVERIFY(option->height() >= option->sizeHint().height());
    }
    for (const char *name : {"btNewWord", "Label1"})
        QVERIFY2(!frame->geometry().intersects(
                         mWindow->findChild<QWidget *>(QLatin1String(name))->geometry()),
                 name);
    for (const char *name : {"lblEngInf", "lblEngPast", "lblEngPastParticiple"}) {
        auto *label = mWindow->findChild<QLabel *>(QLatin1String(name));
        const int page = label->parentWidget()->width();
        QVERIFY2(label->geometry().right() < page && label->geometry().right() > page - 10, name);
    }
}

// Every verdict the shipped list can give is shown whole: each verb drawn in
// turn, all three forms answered wrong, so each label quotes a stored form.
void tst_frmMain::shippedVerdictsShownWhole()
{
    QVERIFY(open(QStringLiteral("shipped")));
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    const int n = mWindow->lastVerb();
    QVERIFY(n >= 200);
    int longest = 0;
    for (int k = 1; k <= n; ++k) {
        mWindow->setRandomSource([k, n] { return float(k - 1) / float(n - 1); });
        mWindow->findChild<QPushButton *>(QStringLiteral("btNewWord"))->click();
        QCOMPARE(mWindow->currentVerb(), qint16(k));
        mWindow->findChild<QPushButton *>(QStringLiteral("btEnter"))->click();
        for (const char *name : {"lblEngInf", "lblEngPast", "lblEngPastParticiple"}) {
            auto *label = mWindow->findChild<QLabel *>(QLatin1String(name));
            QVERIFY(label->text().startsWith(u"WRONG! --> "));
            const int width = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(width <= label->contentsRect().width(), qPrintable(label->text()));
            longest = qMax(longest, width);
        }
    }
    // The longest verdict did not fit the label as designed.
    QVERIFY(longest > twips({0, 0, 3915, 0}).width());
}

// A verdict wider than its label steps its font down until it fits; one that
// fits at no size keeps the smallest and offers its whole text as tool tip.
void tst_frmMain::longVerdictStepsDown()
{
    QVERIFY(open(QStringLiteral("long")));
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    mWindow->findChild<QPushButton *>(QStringLiteral("btNewWord"))->click();
    mWindow->findChild<QPushButton *>(QStringLiteral("btEnter"))->click();
    auto *past = mWindow->findChild<QLabel *>(QStringLiteral("lblEngPast"));
    QVERIFY(past->font().pointSizeF() < 13.5 && past->font().pointSizeF() > 6);
    QVERIFY(past->fontMetrics().horizontalAdvance(past->text()) <= past->contentsRect().width());
    QCOMPARE(past->toolTip(), QString());
    auto *participle = mWindow->findChild<QLabel *>(QStringLiteral("lblEngPastParticiple"));
    QCOMPARE(participle->font().pointSizeF(), 6.0);
    QCOMPARE(participle->toolTip(), participle->text());
    mWindow->findChild<QPushButton *>(QStringLiteral("btNewWord"))->click();
    QCOMPARE(participle->toolTip(), QString());
}

// Text boxes are named by their captions; the verdicts go with the focus to
// "Neues Wort", where a screen reader announces them.
void tst_frmMain::screenReaders()
{
    QVERIFY(open(QString()));
    mWindow->show();
    const QList<QPair<const char *, const char *>> captions {{"Label1", "txtGerInf"},
                                                             {"Label2", "txtEngInf"},
                                                             {"Label3", "txtEngPast"},
                                                             {"Label4", "txtEngPastParticiple"}};
    for (const auto &[caption, box] : captions) {
        auto *label = mWindow->findChild<QLabel *>(QLatin1String(caption));
        QCOMPARE(label->buddy()->objectName(), QLatin1String(box));
        QCOMPARE(label->buddy()->accessibleName() + u':', label->text());
    }

    auto *newWord = mWindow->findChild<QPushButton *>(QStringLiteral("btNewWord"));
    newWord->click();
    QTest::keyClicks(mWindow->findChild<QWidget *>(QStringLiteral("txtEngInf")), "burn");
    mWindow->findChild<QPushButton *>(QStringLiteral("btEnter"))->click();
    QCOMPARE(newWord->accessibleDescription(),
             "English infinitive: CORRECT!\nEnglish past tense: WRONG! --> burnt/burned\n"
             "English past participle: WRONG! --> burnt/burned");
    newWord->click();
    QCOMPARE(newWord->accessibleDescription(), QString());
}

// A real message box opens as a child of the window it comes from.
void tst_frmMain::messageBoxOverWindow()
{
    QVERIFY(open(QString()));
    mBoxes.reset(); // real boxes from here on
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    QPointer<QWidget> owner;
    QTimer closer;
    int tries = 0;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            owner = box->parentWidget();
            box->close();
        } else if (++tries > 200) {
            closer.stop();
        }
    });
    closer.start(10);
    mWindow->findChild<QPushButton *>(QStringLiteral("btEnter"))->click(); // no word drawn
    closer.stop();
    QCOMPARE(owner.data(), static_cast<QWidget *>(mWindow.data()));
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
