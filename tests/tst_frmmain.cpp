#include "platform/App.h"
#include "platform/Forms.h"
#include "trainer/Quiz.h"
#include "trainer/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
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
        qputenv("XDG_STATE_HOME", QFile::encodeName(mStateHome));
        App::setPath(mDir.path());
    }
    void init()
    {
        mBoxes.emplace();
        QVERIFY(QDir(mStateHome).removeRecursively());
    }
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
    void plainDrawWhileRepeatOff();
    void repeatMistakesDrawsWrongMore();
    void neverTwiceOverReload();
    void progressKeptBetweenRuns();
    void corruptProgressIgnored();
    void progressNotWritable();
    void resetAsksFirst();

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
        } else if (kind == u"ten") {
            content.clear();
            for (int k = 1; k <= 10; ++k)
                content += QStringLiteral("to v%1\tp%1\tpp%1\tg%1\r\n").arg(k).toLatin1();
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

    // Answers the drawn verb: every form right, or the infinitive wrong.
    void answer(bool right)
    {
        const VerbEntry verb = mWindow->verbList().at(mWindow->currentVerb() - 1);
        const auto type = [this](const char *name, const QString &text) {
            mWindow->findChild<QLineEdit *>(QLatin1String(name))->setText(text);
        };
        type("txtEngInf", right ? verb.EngInf() : QStringLiteral("to err"));
        type("txtEngPast", verb.EngPast().section(u'/', 0, 0));
        type("txtEngPastParticiple", verb.EngPastParticiple().section(u'/', 0, 0));
        click("btEnter");
    }
    void click(const char *button)
    {
        mWindow->findChild<QPushButton *>(QLatin1String(button))->click();
    }
    QAction *action(const char *name) { return mWindow->findChild<QAction *>(QLatin1String(name)); }
    // A progress file left by an earlier run.
    bool putProgressFile(const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(mProgressFile).absolutePath());
        QFile file(mProgressFile);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    QByteArray progressFile()
    {
        QFile file(mProgressFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A progress line as the window writes it on the day of the check.
    static QByteArray kept(int box, const char *verb)
    {
        return QByteArray::number(box) + '\t'
               + QDate::currentDate().toString(Qt::ISODate).toLatin1() + '\t' + verb + '\n';
    }
    // How often each of the ten verbs is drawn in 200 draws from one fixed
    // seed, verb 5 always answered wrong and every other one right.
    QList<int> drillTen(bool repeatMistakes);

    QTemporaryDir mDir;
    QString mStateHome = mDir.filePath(QStringLiteral("state"));
    QString mProgressFile = mStateHome + QStringLiteral("/verbodrom/progress.txt");
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
    const QString rightBurn = QStringLiteral("click btNewWord | type txtEngInf burn | type "
                                             "txtEngPast burnt | type txtEngPastParticiple burned"
                                             " | click btEnter");
    row("score-right-verb", "text lblScore Heute: 0 von 0 richtig | " + rightBurn
                                    + " | text lblScore Heute: 1 von 1 "
                                      "richtig");
    row("score-wrong-checked-twice-then-right",
        "click btNewWord | type txtEngInf burn | click btEnter | click btEnter"
        " | text lblScore Heute: 0 von 1 richtig | "
                + rightBurn + " | click btEnter | text lblScore Heute: 1 von 2 richtig");
    row("score-english-round-two-forms",
        "click optEN | click btNewWord | type txtEngPast burned | type txtEngPastParticiple BURNT"
        " | click btEnter | text lblScore Heute: 1 von 1 richtig");
    row("score-kept-over-reload",
        rightBurn
                + " | menu mnuReload | click btEnter | title VerbodromEN - Kein Wort gezogen"
                  " | text lblScore Heute: 1 von 1 richtig | click btNewWord | click btEnter"
                  " | text lblScore Heute: 1 von 2 richtig");
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

// While "Fehler wiederholen" is off the draw is the plain one, value for value:
// with boxes kept from an earlier run, and again after the item was on.
void tst_frmMain::plainDrawWhileRepeatOff()
{
    QVERIFY(putProgressFile(
            "verbodrom-progress 1\nrepeat-mistakes off\n5\t2026-01-01\tto v1\tg1\n"));
    QVERIFY(open(QStringLiteral("ten")));
    QVERIFY(!action("mnuRepeatMistakes")->isChecked());
    Quiz::Random random, expected;
    random.seed(7);
    expected.seed(7);
    mWindow->setRandomSource([&random] { return random.next(); });
    const auto drawPlain = [&](int draws) {
        for (int i = 0; i < draws; ++i) {
            click("btNewWord");
            QCOMPARE(mWindow->currentVerb(), Quiz::drawIndex(expected.next(), 1, 10));
            answer(i % 3 != 0);
        }
    };
    drawPlain(60);
    action("mnuRepeatMistakes")->trigger();
    for (int i = 0; i < 20; ++i) {
        click("btNewWord");
        answer(false);
        expected.next();
    }
    action("mnuRepeatMistakes")->trigger();
    QVERIFY(!action("mnuRepeatMistakes")->isChecked());
    drawPlain(60);
}

QList<int> tst_frmMain::drillTen(bool repeatMistakes)
{
    delete mWindow;
    QList<int> counts(10);
    if (!open(QStringLiteral("ten")))
        return {};
    if (repeatMistakes)
        action("mnuRepeatMistakes")->trigger();
    Quiz::Random random;
    random.seed(2026);
    mWindow->setRandomSource([&random] { return random.next(); });
    qint16 previous = -1;
    for (int i = 0; i < 200; ++i) {
        click("btNewWord");
        const qint16 k = mWindow->currentVerb();
        if (repeatMistakes && k == previous)
            return {}; // never the same verb twice in a row
        ++counts[k - 1];
        answer(k != 5);
        previous = k;
    }
    return counts;
}

// A verb answered wrong again and again comes up far more often than the
// others, and far more often than without the item; the others climb to the
// last box.
void tst_frmMain::repeatMistakesDrawsWrongMore()
{
    const QList<int> plain = drillTen(false), repeat = drillTen(true);
    QCOMPARE(plain.size(), 10);
    QCOMPARE(repeat.size(), 10);
    QVERIFY2(repeat[4] > 3 * plain[4],
             qPrintable(QStringLiteral("%1 against %2").arg(repeat[4]).arg(plain[4])));
    for (int k = 0; k < 10; ++k) {
        if (k != 4)
            QVERIFY2(repeat[4] > 3 * repeat[k], qPrintable(QString::number(k + 1)));
    }
    const QByteArray file = progressFile();
    QVERIFY(file.startsWith("verbodrom-progress 1\nrepeat-mistakes on\n"));
    QVERIFY(file.contains(kept(1, "to v5\tg5")));
    QVERIFY(file.contains(kept(5, "to v1\tg1")));
    QCOMPARE(file.count('\n'), 12);
}

// Clicking the tab between two draws does not bring the same verb again.
void tst_frmMain::neverTwiceOverReload()
{
    QVERIFY(open(QString()));
    action("mnuRepeatMistakes")->trigger();
    click("btNewWord"); // r = 0.5 in three even boxes: the middle verb
    QCOMPARE(mWindow->currentVerb(), qint16(2));
    action("mnuReload")->trigger();
    click("btNewWord"); // the same r over the two others: the last one
    QCOMPARE(mWindow->currentVerb(), qint16(3));
}

// The item and the boxes outlive the run; the verb list is never written, and
// a verb that left the list leaves the file with the next write.
void tst_frmMain::progressKeptBetweenRuns()
{
    QVERIFY(open(QString()));
    QVERIFY(!QFile::exists(mProgressFile)); // nothing written until something is kept
    action("mnuRepeatMistakes")->trigger();
    const QByteArray head("verbodrom-progress 1\nrepeat-mistakes on\n");
    QCOMPARE(progressFile(), head);
    click("btNewWord"); // to burn
    answer(true);
    mWindow->setRandomSource([] { return 0.0f; });
    click("btNewWord");
    QCOMPARE(mWindow->currentVerb(), qint16(1));
    answer(false);
    click("btEnter"); // a second check moves no box
    QCOMPARE(progressFile(), head + kept(2, "to burn\tbrennen") + kept(1, "to go\tgehen"));

    delete mWindow;
    QVERIFY(open(QString()));
    QVERIFY(action("mnuRepeatMistakes")->isChecked());
    QFile verbs(mVerbFile);
    QVERIFY(verbs.open(QIODevice::ReadWrite));
    QCOMPARE(verbs.readAll(), threeVerbs);
    verbs.resize(0);
    verbs.write(QByteArray(threeVerbs).replace("to go\t", "to walk\t"));
    verbs.close();
    action("mnuReload")->trigger();
    click("btNewWord");
    answer(true);
    QCOMPARE(progressFile(), head + kept(3, "to burn\tbrennen"));

    action("mnuRepeatMistakes")->trigger();
    QCOMPARE(progressFile(),
             "verbodrom-progress 1\nrepeat-mistakes off\n" + kept(3, "to burn\tbrennen"));
}

// A corrupt file is told once in the log and never stops the drill; the
// next write replaces it.
void tst_frmMain::corruptProgressIgnored()
{
    QVERIFY(putProgressFile("verbodrom-progress 1\nrepeat-mistakes on\n9\tx\n"));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^Progress file .* ignored")));
    QVERIFY(open(QString()));
    QVERIFY(!action("mnuRepeatMistakes")->isChecked());
    click("btNewWord");
    answer(true);
    QCOMPARE(mBoxes->boxes.size(), 0);
    action("mnuRepeatMistakes")->trigger();
    QCOMPARE(progressFile(), "verbodrom-progress 1\nrepeat-mistakes on\n");
}

// A state folder that cannot be written is told once in the log; the drill
// and the boxes go on.
void tst_frmMain::progressNotWritable()
{
    QVERIFY(QDir().mkpath(mStateHome));
    QFile blocker(mStateHome + QStringLiteral("/verbodrom")); // a file where the folder goes
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(open(QStringLiteral("ten")));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Progress not kept: ")));
    action("mnuRepeatMistakes")->trigger();
    for (int i = 0; i < 5; ++i) {
        click("btNewWord");
        answer(false);
    }
    QCOMPARE(mWindow->findChild<QLabel *>(QStringLiteral("lblScore"))->text(),
             QStringLiteral("Heute: 0 von 5 richtig"));
    QCOMPARE(mBoxes->boxes.size(), 0);
}

// "Übung" follows "Datei"; resetting asks first, Cancel the default, and then
// empties every box but keeps the item.
void tst_frmMain::resetAsksFirst()
{
    QVERIFY(open(QString()));
    QStringList menus;
    for (QAction *menu : mWindow->findChild<QMenuBar *>()->actions())
        menus << menu->text();
    QCOMPARE(menus, (QStringList {"&Datei", "&Übung", "?"}));
    QVERIFY(action("mnuRepeatMistakes")->isCheckable());

    action("mnuRepeatMistakes")->trigger();
    click("btNewWord");
    answer(true);
    const QByteArray before = progressFile();
    mBoxes->answers << vbCancel << vbOK;
    action("mnuResetProgress")->trigger();
    QCOMPARE(mBoxes->boxes.size(), 1);
    QCOMPARE(mBoxes->boxes.last().style, vbOKCancel + vbExclamation + vbDefaultButton2);
    QCOMPARE(mBoxes->boxes.last().title, QStringLiteral("VerbodromEN - Lernstand zurücksetzen"));
    QCOMPARE(progressFile(), before);
    action("mnuResetProgress")->trigger();
    QCOMPARE(progressFile(), "verbodrom-progress 1\nrepeat-mistakes on\n");
    QCOMPARE(mWindow->findChild<QLabel *>(QStringLiteral("lblScore"))->text(),
             QStringLiteral("Heute: 1 von 1 richtig"));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
