#include "platform/App.h"
#include "platform/Forms.h"
#include "program/Globals.h"
#include "trainer/BarChart.h"
#include "trainer/ProgressStats.h"
#include "trainer/Quiz.h"
#include "trainer/VerbCheck.h"
#include "trainer/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmLernstand.h"
#include "trainer/frmMain.h"
#include "trainer/frmMainLook.h"

#include "speechrecorder.h"
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
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <optional>

#include <sys/stat.h>

static const QByteArray threeVerbs("# list\r\nto go\twent\tgone\tgehen\r\n"
                                   "to burn\tburnt/burned\tburnt/burned\tbrennen\r\n"
                                   "to be\twas/were\tbeen\tsein\r\n");
static const char *const verdicts[] = {"lblEngInf", "lblEngPast", "lblEngPastParticiple"};

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
        mSpeech.emplace();
        QVERIFY(QDir(mStateHome).removeRecursively());
    }
    void cleanup()
    {
        delete mWindow;
        qDeleteAll(QList<QWidget *>(Forms::all())); // a copy: each deletion edits the list
        mBoxes.reset();
        mSpeech.reset();
    }
    void flow_data();
    void flow();
    void layoutAndScreenReaders();
    void verdictsShownWhole();
    void readableColours_data();
    void readableColours();
    void ownList();
    void messageBoxesAndReset();
    void aboutAndUnload();
    void repeatMistakes();
    void progressKeptBetweenRuns();
    void twoWindowsAndLernstand();
    void progressNotWritable();

private:
    // Starts the window over a leftover Updater.exe, a link to a read-only
    // file; false unless start-up removed the link and left its target as
    // it was. The verb file holds the three verbs, or as kind
    // says: "missing", "many" (one verb over the limit), "ten" (to v1..to v10),
    // "unreadable" (a pipe no one writes to), "semicolons" or "commas" (the
    // three verbs as a spreadsheet saves them), "shipped" (the list the program
    // ships, then a verb whose prompt fills the box, and one last with a
    // prompt and forms too long for their boxes).
    bool open(const QString &kind, bool show = false)
    {
        const QString updater = mDir.filePath(QStringLiteral("Updater.exe"));
        QFile::remove(mVerbFile);
        QByteArray content = threeVerbs;
        if (kind == u"many") {
            content += QByteArray("to v\tp\tpp\tg\r\n").repeated(MaxVerbs);
        } else if (kind == u"ten") {
            content.clear();
            for (int k = 1; k <= 10; ++k)
                content += QStringLiteral("to v%1\tp%1\tpp%1\tg%1\r\n").arg(k).toLatin1();
        } else if (kind == u"semicolons" || kind == u"commas") {
            content.replace('\t', kind == u"commas" ? ',' : ';');
        } else if (kind == u"shipped") {
            content = fileBytes(QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt"))
                      + "to b\tb\tb\t" + fullPrompt.toUtf8() + "\r\nto a\t" + QByteArray(20, 'b')
                      + '\t' + QByteArray(3000, 'c') + '\t' + QByteArray(200, 'd') + "\r\n";
        }
        if (kind == u"unreadable") {
            if (::mkfifo(QFile::encodeName(mVerbFile).constData(), 0600) != 0)
                return false;
        } else if (kind != u"missing" && !putFile(mVerbFile, content)) {
            return false;
        }
        const QString target = mDir.filePath(QStringLiteral("updater-target"));
        if (!QFile::exists(target)
            && !(putFile(target, {}) && QFile::setPermissions(target, QFileDevice::ReadOwner)))
            return false;
        if (!QFile::link(target, updater))
            return false;
        mWindow = new frmMain(Globals::services());
        mWindow->setRandomSource([] { return 0.5f; }); // the middle verb, "to burn"
        if (show) {
            mWindow->show();
            if (!QTest::qWaitForWindowExposed(mWindow))
                return false;
        }
        return !QFileInfo(updater).isSymLink()
               && (QFile::permissions(target) & 0x7077) == QFileDevice::ReadOwner;
    }

    template<class T = QWidget>
    T *child(const char *name, QWidget *in = nullptr)
    {
        return (in ? in : mWindow.data())->findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) { child<QAbstractButton>(button)->click(); }
    QAction *action(const char *name) { return child<QAction>(name); }
    QString score() { return child<QLabel>("lblScore")->text(); }
    // Answers the drawn verb: every form right, or the infinitive wrong.
    void answer(bool right)
    {
        const VerbEntry verb = mWindow->verbList().at(mWindow->currentVerb() - 1);
        child<QLineEdit>("txtEngInf")->setText(right ? verb.EngInf() : QStringLiteral("to err"));
        child<QLineEdit>("txtEngPast")->setText(verb.EngPast().section(u'/', 0, 0));
        child<QLineEdit>("txtEngPastParticiple")
                ->setText(verb.EngPastParticiple().section(u'/', 0, 0));
        click("btEnter");
    }
    // Draws and answers n verbs, right or wrong as `right` says for the
    // drawn verb's number.
    void drill(int n, const std::function<bool(qint16)> &right)
    {
        for (int i = 0; i < n; ++i) {
            click("btNewWord");
            answer(right(mWindow->currentVerb()));
        }
    }
    bool putFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    QByteArray progressFile() { return fileBytes(mProgressFile); }
    // Runs trigger with real message boxes: the box that comes up is read (owner,
    // title, "1" if as wide as its title needs, default button, every button).
    QStringList realBox(const std::function<void()> &trigger)
    {
        QStringList seen;
        mBoxes.reset();
        QTimer::singleShot(0, this, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            seen << box->parentWidget()->objectName() << box->windowTitle()
                 << QString::number(box->width() >= msgBoxTitleWidth(box->windowTitle()))
                 << box->defaultButton()->text();
            for (QAbstractButton *button : box->buttons())
                seen << button->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        trigger();
        return seen;
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The box the file keeps for a verb, 0 for none.
    int keptBox(const QString &key)
    {
        const std::optional<ProgressState> kept = parseProgress(progressFile());
        return kept ? kept->verbs.value(key, {0, {}, 0, {}, {}}).box : -1;
    }
    QTemporaryDir mDir;
    QString mStateHome = mDir.filePath(QStringLiteral("state"));
    QString mProgressFile = mStateHome + QStringLiteral("/verbodrom/progress.txt");
    QString mVerbFile = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
    // A German prompt as long as the checker lets pass.
    const QString fullPrompt
            = QStringLiteral("sich (etwas) ausdenken, erfinden (eine Geschichte, ein Lied)");
    QPointer<frmMain> mWindow;
    std::optional<MsgBoxRecorder> mBoxes;
    std::optional<SpeechRecorder> mSpeech;
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
    const QString box = QStringLiteral(" | boxes 1 | box Die Verben-Datei (IrregularVerbs.txt) ");
    const QString rightBurn
            = QStringLiteral("click btNewWord | type txtEngInf burn | type txtEngPast"
                             " burnt | type txtEngPastParticiple burned"
                             " | click btEnter");

    QTest::newRow("missing-file-told-before-show")
            << "open missing" + box
                       + "wurde nicht im Programmordner gefunden! | show"
                         " | click btNewWord | current -1 | title VerbodromEN - Keine Verben "
                         "geladen";
    QTest::newRow("unreadable-file-told")
            << "open unreadable" + box
                       + "konnte nicht gelesen werden!"
                         " | title VerbodromEN - keine Verben-Datei | verbs 0";
    // A spreadsheet's list says why it gave no verb where the empty list is told.
    for (const auto &[name, found] : {std::pair {"semicolons", "Semikolons"}, {"commas", "Kommas"}})
        QTest::newRow(qPrintable(QStringLiteral("%1-told").arg(name)))
                << QStringLiteral(
                           "open %1 | show | boxes 0 | click btNewWord | box Die Verben-Datei"
                           " hat keine gültige Zeile: die vier Felder müssen durch Tabulatoren"
                           " getrennt sein (gefunden: %2). | title VerbodromEN - Keine Verben"
                           " geladen")
                           .arg(name, found);
    QTest::newRow("too-many-verbs-told-first-kept")
            << "open many" + box
                       + "enthält mehr als 32.760 Verben. Nur die ersten 32.760 wurden"
                         " geladen. | title VerbodromEN - zu viele Verben | verbs 32760";
    // Answers are trimmed and case-blind; a second check counts no second time.
    row("german-round-checked-twice",
        "click btNewWord | text txtGerInf brennen | text txtEngInf | locked txtEngInf no"
        " | focus txtEngInf | type txtEngInf  Burn | type txtEngPast   BURNT "
        " | type txtEngPastParticiple burnt/burned | click btEnter | click btEnter"
        " | text txtEngInf to Burn | text txtEngPast BURNT | text lblEngInf CORRECT!"
        " | colour lblEngInf green | text lblEngPast CORRECT!"
        " | text lblEngPastParticiple WRONG! --> burnt/burned | colour lblEngPastParticiple"
        " red | locked txtEngInf yes | locked txtEngPastParticiple yes | boxes 0"
        " | text lblScore Seit dem Start: 0 von 1 richtig");
    row("english-round-counts-two-forms",
        "click optEN | colour txtEngInf grey | click btNewWord | text txtEngInf to burn"
        " | locked txtEngInf yes | focus txtEngPast | type txtEngPast burned | click btEnter"
        " | text lblEngInf | text lblEngPast CORRECT! | text lblEngPastParticiple WRONG! -->"
        " burnt/burned | click btNewWord | type txtEngPast burned | type txtEngPastParticiple"
        " BURNT | click btEnter | text lblScore Seit dem Start: 1 von 2 richtig");
    row("switch-after-german-check",
        "click btNewWord | type txtEngInf goes | click btEnter | click optEN | text txtEngInf"
        " to burn | locked txtEngInf yes | colour txtEngInf grey | text lblEngInf WRONG! -->"
        " to burn | click btEnter | text lblEngInf | click optDE | text txtEngInf"
        " | locked txtEngInf yes | colour txtEngInf locked");
    row("switch-before-check-and-new-word-reopens",
        "click btNewWord | click optEN | click optDE | locked txtEngInf no | click btEnter"
        " | click btNewWord | locked txtEngPast no | text txtEngPast | text lblEngPast");
    row("check-before-any-draw",
        "click btEnter | boxes 1 | title VerbodromEN - Kein Wort gezogen | text lblEngInf");
    // The score outlives a reload, which forgets the drawn verb.
    row("reload-by-menu-forgets-verb",
        "text lblScore Seit dem Start: 0 von 0 richtig | " + rightBurn
                + " | menu mnuReload | current -1 | verbs 3 | boxes 0 | click btEnter"
                  " | box Bitte zuerst „Neues Wort“ wählen. | title VerbodromEN - Kein Wort"
                  " gezogen | text lblScore Seit dem Start: 1 von 1 richtig"
                  " | click btNewWord | click btEnter | text lblScore Seit dem Start: 1 von 2 "
                  "richtig");
    row("reload-by-tab-after-file-deleted",
        "click btNewWord | delete | tab | verbs 0 | title VerbodromEN - keine Verben-Datei"
        " | click btNewWord | boxes 2");
    // Enter, type, Enter drills on; a locked answer box looks locked.
    row("keyboard-drill",
        "colour txtEngPast window | click btNewWord | type txtEngInf burn | enter txtEngInf"
        " | focus btNewWord | colour txtEngPast locked | colour txtEngInf locked"
        " | text lblEngInf CORRECT! | enter btNewWord | focus txtEngInf | text lblEngInf"
        " | colour txtEngPast window | colour txtEngInf window | enter txtEngPastParticiple"
        " | text lblEngPast WRONG! --> burnt/burned");
    // The offscreen platform leaves no window active after a popup: "active"
    // again before the buttons' keys.
    row("menu-and-button-keys",
        "active | key F10 | popup mnuFile | key Alt+D | popup mnuFile | active | key Alt+?"
        " | popup mnuOther | active | key Alt+N | text txtGerInf brennen | key Alt+P"
        " | text lblEngInf WRONG! --> to burn");
    // Tab stops at the selected option only; the tab bar takes no focus.
    row("focus-chain",
        "chain btNewWord txtGerInf txtEngInf txtEngPast txtEngPastParticiple btEnter optDE"
        " btNewWord | click optEN | chain btEnter optEN btNewWord");
    // "Anhören" reads the stored forms only after a check, in either round,
    // and starts over when pressed again; a new word or a reload silences it.
    // "Formen nach dem Prüfen vorlesen" is kept in a file of its own and reads
    // at every check; the focus stays on "Neues Wort".
    const QString check = QStringLiteral("click btNewWord | click btEnter");
    const QString burn = QStringLiteral("said to burn, burnt or burned, burnt or burned");
    row("listen-german-round",
        "enabled btListen no | click btNewWord | enabled btListen no | " + check
                + " | enabled btListen yes | heard 0 | chain btEnter btListen optDE"
                  " | click btListen | " + burn
                + " | voice speaking | click btListen | heard 2 | voice speaking | voice finish"
                  " | click btListen | click btNewWord | voice ready | enabled btListen no");
    row("listen-english-round-and-reload",
        "click optEN | " + check + " | active | key Alt+A | " + burn
                + " | menu mnuReload | voice ready | enabled btListen no | lookups 1");
    row("read-aloud-kept-apart-and-at-every-check",
        "checked mnuReadAloud no | menu mnuReadAloud | file read-aloud.txt on | file progress.txt"
        " | reopen | checked mnuReadAloud yes | "
                + check + " | " + burn + " | focus btNewWord | click btEnter | heard 2"
                + " | menu mnuReadAloud | file read-aloud.txt off | click btEnter | heard 2");
    // Without an engine both controls are disabled from the start and say what
    // to install; an engine without an English voice is found out at first use.
    const QString hint = QStringLiteral(
            "Keine englische Stimme gefunden – Paket qt6-speech-flite-plugin installieren.");
    QTest::newRow("no-engine")
            << "engine none | open | show | enabled mnuReadAloud no | tip mnuReadAloud " + hint
                       + " | " + check + " | enabled btListen no | tip btListen " + hint
                       + " | lookups 0";
    QTest::newRow("no-english-voice")
            << "engine other | open | show | menu mnuReadAloud | " + check
                       + " | enabled btListen no | enabled mnuReadAloud no | tip btListen "
                       + hint + " | lookups 1 | heard 0 | click btEnter | lookups 1";
    // With "Fehler wiederholen" on, r = 0.5 over three even boxes draws the
    // middle verb; after a reload the same r over the two others the last one.
    row("never-twice-over-reload",
        "menu mnuRepeatMistakes | click btNewWord | current 2 | menu mnuReload"
        " | click btNewWord | current 3");
}

void tst_frmMain::flow()
{
    QFETCH(QString, script);
    // A verdict by its hue, a box by the background of its role.
    const auto colour = [](QWidget *w, const QString &arg) {
        if (w->inherits("QLabel"))
            return w->palette().color(QPalette::WindowText).hue() == (arg == u"green" ? 120 : 0);
        return w->palette().color(QPalette::Base)
               == (arg == u"grey"     ? Look::grayText()
                   : arg == u"window" ? Look::window()
                                      : Look::locked());
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
        } else if (op == u"engine") {
            mSpeech.emplace(name == u"none" ? SpeechRecorder::NoEngine
                                            : SpeechRecorder::NoEnglishVoice);
        } else if (op == u"reopen") {
            delete mWindow;
            QVERIFY(open(QString(), true));
        } else if (op == u"said") {
            QTRY_VERIFY(!mSpeech->said.isEmpty());
            QCOMPARE(mSpeech->said.last(), step.section(u' ', 1));
        } else if (op == u"heard" || op == u"lookups") {
            QCOMPARE(op == u"heard" ? mSpeech->said.size() : mSpeech->lookups, name.toInt());
        } else if (op == u"voice" && name == u"finish") {
            mSpeech->voice->finish();
        } else if (op == u"voice") {
            QCOMPARE(mSpeech->voice->state(),
                     name == u"speaking" ? Voice::State::Speaking : Voice::State::Ready);
        } else if (op == u"file") {
            const QByteArray content = fileBytes(mStateHome + "/verbodrom/" + name);
            QCOMPARE(content, arg.isEmpty() ? QByteArray() : arg.toUtf8() + '\n');
        } else if (op == u"text" || op == u"tip" || op == u"enabled" || op == u"checked"
                   || op == u"locked") {
            // Widgets and menu items alike. A mnemonic clicks its button a
            // moment later; the engine is looked for after the window shows.
            QObject *o = mWindow->findChild<QObject *>(name);
            QVERIFY2(o, qPrintable(step));
            if (op == u"text" || op == u"tip")
                QTRY_COMPARE(o->property(op == u"tip" ? "toolTip" : "text").toString(), arg);
            else
                QTRY_COMPARE(o->property(op == u"locked" ? "readOnly" : qPrintable(op)).toBool(),
                             arg == u"yes");
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
            else if (op == u"focus")
                QCOMPARE(mWindow->focusWidget(), w);
            else if (op == u"colour")
                QVERIFY2(colour(w, arg), qPrintable(step));
            else
                QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
        }
    }
}

// The direction frame holds its options below its title, clear of its
// neighbours; the verdicts reach to the tab's right edge. Text boxes are named
// by their captions; the verdicts go with the focus to "Neues Wort", where a
// screen reader announces them.
void tst_frmMain::layoutAndScreenReaders()
{
    QVERIFY(open(QString(), true));
    auto *frame = child<QGroupBox>("Frame1");
    for (const char *name : {"optEN", "optDE"}) {
        auto *option = frame->findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(frame->contentsRect().contains(option->geometry()), name);
        QVERIFY(option->height() >= option->sizeHint().height());
    }
    for (const char *name : {"btNewWord", "Label1"})
        QVERIFY2(!frame->geometry().intersects(child(name)->geometry()), name);
    for (const char *name : verdicts) {
        auto *label = child<QLabel>(name);
        const int page = label->parentWidget()->width();
        QVERIFY2(label->geometry().right() < page && label->geometry().right() > page - 10, name);
    }
    const char *const boxes[] = {"txtGerInf", "txtEngInf", "txtEngPast", "txtEngPastParticiple"};
    for (int i = 0; i < 4; ++i) {
        auto *label = child<QLabel>(qPrintable(QStringLiteral("Label%1").arg(i + 1)));
        QCOMPARE(label->buddy()->objectName(), QLatin1String(boxes[i]));
        QCOMPARE(label->buddy()->accessibleName() + u':', label->text());
    }
    auto *newWord = child<QPushButton>("btNewWord");
    newWord->click();
    QTest::keyClicks(child("txtEngInf"), "burn");
    click("btEnter");
    QCOMPARE(newWord->accessibleDescription(),
             "English infinitive: CORRECT!\nEnglish past tense: WRONG! --> burnt/burned\n"
             "English past participle: WRONG! --> burnt/burned");
    newWord->click();
    QCOMPARE(newWord->accessibleDescription(), QString());
}

// Every verdict and prompt the shipped list can give is shown whole: each verb
// drawn in turn, all three forms answered wrong, so each label quotes a stored
// form. A prompt as long as the checker lets pass still fits its box. The long
// verb last: a verdict or a prompt wider than its place steps its font down
// until it fits; one that fits at no size keeps the smallest and offers its
// whole text as tool tip.
void tst_frmMain::verdictsShownWhole()
{
    QVERIFY(open(QStringLiteral("shipped"), true));
    const int n = mWindow->lastVerb();
    QVERIFY(n > 200);
    int longest = 0;
    auto *participle = child<QLabel>("lblEngPastParticiple");
    auto *prompt = child<QLineEdit>("txtGerInf");
    for (int k = 1; k <= n; ++k) {
        mWindow->setRandomSource([k, n] { return float(k - 1) / float(n - 1); });
        click("btNewWord");
        QCOMPARE(mWindow->currentVerb(), qint16(k));
        const int promptWidth = prompt->fontMetrics().horizontalAdvance(prompt->text());
        QVERIFY2(k == n || promptWidth < prompt->contentsRect().width(),
                 qPrintable(prompt->text()));
        QCOMPARE(prompt->toolTip(), k == n ? prompt->text() : QString());
        click("btEnter");
        for (const char *name : verdicts) {
            auto *label = child<QLabel>(name);
            QVERIFY(label->text().startsWith(u"WRONG! --> "));
            const int width = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(width <= label->contentsRect().width() || (k == n && label == participle),
                     qPrintable(label->text()));
            longest = qMax(longest, k < n ? width : 0);
        }
        if (k == n - 1) {
            QCOMPARE(prompt->text().size(), VerbCheck::PromptCharsShown);
            QVERIFY(prompt->font().pointSizeF() < Look::answerPointSize);
        }
    }
    QCOMPARE(prompt->font().pointSizeF(), Look::smallestFitPointSize);
    // The longest shipped verdict did not fit the label as designed.
    QVERIFY(longest > twips({0, 0, 3915, 0}).width());
    const qreal pastSize = child<QLabel>("lblEngPast")->font().pointSizeF();
    QVERIFY(pastSize < Look::answerPointSize && pastSize > Look::smallestFitPointSize);
    QCOMPARE(child<QLabel>("lblEngPast")->toolTip(), QString());
    QCOMPARE(participle->font().pointSizeF(), Look::smallestFitPointSize);
    QCOMPARE(participle->toolTip(), participle->text());
    click("btNewWord");
    QCOMPARE(participle->toolTip(), QString());
}

// Green, red, given and locked boxes are readable (4.5:1) on the background
// actually painted behind them, in a light and in a dark palette.
void tst_frmMain::readableColours_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QApplication::style()->standardPalette();
    QPalette dark(QColor(0x35, 0x35, 0x35)); // light text on dark
    // A mid grey, as many dark themes have: too light for light text.
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7f, 0x7f, 0x7f));
    QTest::newRow("dark") << dark;
}

void tst_frmMain::readableColours()
{
    QFETCH(QPalette, palette);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(palette);
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    QVERIFY(open(QString(), true));
    click("optEN");
    click("btNewWord");
    QTest::keyClicks(child("txtEngPast"), "burnt");
    click("btEnter");
    // Each text against the page as painted at its right end, where no text
    // reaches: two verdicts, a given and a locked box.
    const QImage page = child("lblEngPast")->parentWidget()->grab().toImage();
    for (const char *name : {"lblEngPast", "lblEngPastParticiple", "txtEngInf", "txtEngPast"}) {
        QWidget *w = child(name);
        const QPoint behind = w->geometry().topRight() + QPoint(-4, w->height() / 2);
        const QColor text = w->palette().color(w->foregroundRole());
        const qreal ratio = Look::contrast(text, page.pixelColor(behind * page.devicePixelRatio()));
        QVERIFY2(ratio >= Look::minimumContrast, qPrintable(name + QString::number(ratio)));
    }
}

// A list of her own, chosen in the dialog, is read by every reload and at the
// next start. One that has gone is named, and the shipped list comes instead
// until it is back; "Mitgelieferte Liste" returns for good.
void tst_frmMain::ownList()
{
    const QString own = mDir.filePath(QStringLiteral("Klasse 7/unit 3.txt"));
    const QString remembered = mStateHome + QStringLiteral("/verbodrom/verblist.txt");
    QVERIFY(putFile(own, "to swim\tswam\tswum\tschwimmen\r\n"));
    QVERIFY(open(QString()));
    QString chosen; // "" cancels the dialog
    mWindow->setListDialog([&chosen] { return chosen; });
    const auto verbsAfter = [this](const char *entry) {
        action(entry)->trigger();
        return mWindow->verbList().size();
    };
    QCOMPARE(verbsAfter("mnuOpenList"), 3);
    chosen = own;
    QCOMPARE(verbsAfter("mnuOpenList"), 1);
    QCOMPARE(fileBytes(remembered), own.toUtf8() + '\n');
    QCOMPARE(verbsAfter("mnuReload"), 1);

    delete mWindow;
    QVERIFY(open(QString()) && QFile::rename(own, own + u'~'));
    QCOMPARE(mWindow->verbList().first().GerInf(), QStringLiteral("schwimmen"));
    QCOMPARE(verbsAfter("mnuReload"), 3);
    QCOMPARE(mBoxes->boxes.size(), 1);
    QCOMPARE(mBoxes->boxes.last().prompt,
             "Die Verben-Datei (" + own
                     + ") wurde nicht gefunden! Stattdessen wird die mitgelieferte Liste geladen.");
    QCOMPARE(mBoxes->boxes.last().title, QStringLiteral("VerbodromEN - keine Verben-Datei"));
    QVERIFY(QFile::rename(own + u'~', own));
    QCOMPARE(verbsAfter("mnuReload"), 1);
    QCOMPARE(verbsAfter("mnuShippedList"), 3);
    QVERIFY(!QFile::exists(remembered));
}

// "Übung" follows "Datei". A real box opens over the window, as wide as its
// title needs in the title bar ("Kein Wort gezogen" was cut). A reset asks
// first, in German with Cancel the default; OK then empties every box but
// keeps the item and the day's count.
void tst_frmMain::messageBoxesAndReset()
{
    QVERIFY(open(QString(), true));
    QStringList menus;
    for (QAction *menu : mWindow->findChild<QMenuBar *>()->actions())
        menus << menu->text();
    QCOMPARE(menus, (QStringList {"&Datei", "&Übung", "&?"}));
    QCOMPARE(realBox([this] { click("btEnter"); }).mid(0, 3),
             (QStringList {"frmMain", "VerbodromEN - Kein Wort gezogen", "1"}));
    mBoxes.emplace();
    action("mnuRepeatMistakes")->trigger();
    click("btNewWord");
    answer(true);
    const QByteArray before = progressFile();
    const QStringList seen = realBox([this] { action("mnuResetProgress")->trigger(); });
    QCOMPARE(seen.mid(0, 4),
             (QStringList {"frmMain", "VerbodromEN - Lernstand zurücksetzen", "1", "Abbrechen"}));
    QCOMPARE(QSet<QString>(seen.begin() + 4, seen.end()), (QSet<QString> {"Abbrechen", "OK"}));
    QCOMPARE(progressFile(), before);
    mBoxes.emplace(vbOK);
    action("mnuResetProgress")->trigger();
    QCOMPARE(parseProgress(progressFile())->verbs.size(), 0);
    QCOMPARE(score(), QStringLiteral("Heute: 1 von 1 richtig"));
}

// One About and one Lernstand window, without owner; Esc closes either, a
// closed one is made anew. Ctrl+Q ends the program as the close button does:
// the About window lives on by itself, the Lernstand window goes with it.
void tst_frmMain::aboutAndUnload()
{
    QPointer<frmDummy> dummy = new frmDummy;
    QVERIFY(open(QString(), true));
    for (const char *entry : {"mnuAbout", "mnuLernstand"}) {
        action(entry)->trigger();
        QPointer<QWidget> first = Forms::all().last();
        const int forms = Forms::count();
        action(entry)->trigger(); // raises the open one
        QCOMPARE(Forms::count(), forms);
        QVERIFY(first->isVisible() && !first->parentWidget() && !first->isModal());
        QTest::keyClick(first, Qt::Key_Escape);
        QTRY_VERIFY(!first);
        action(entry)->trigger();
        QCOMPARE(Forms::count(), forms);
    }
    QCOMPARE(Forms::all().last()->windowTitle(), QStringLiteral("VerbodromEN - Lernstand"));
    mWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(mWindow));
    QTest::keyClick(mWindow, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!mWindow);
    QVERIFY(!dummy);
    QTRY_VERIFY(Forms::count() == 1 && qobject_cast<frmAbout *>(Forms::first()));
}

// Ten verbs, verb 5 always answered wrong, 200 draws with "Fehler wiederholen"
// on and 200 more with it off again. While on, verb 5 comes back within five
// draws of each miss (tst_practice checks the rules in full) and the others
// climb to the last box; while off, the draw is the plain one, value for value.
void tst_frmMain::repeatMistakes()
{
    QVERIFY(open(QStringLiteral("ten")));
    Quiz::Random random;
    random.seed(2026);
    mWindow->setRandomSource([&random] { return random.next(); });
    for (const bool on : {true, false}) {
        action("mnuRepeatMistakes")->trigger();
        Quiz::Random expected = random;
        int sinceMiss = -200, late = 0, notPlain = 0;
        drill(200, [&](qint16 k) {
            notPlain += k != Quiz::drawIndex(expected.next(), 1, 10);
            sinceMiss = k == 5 ? 0 : sinceMiss + 1;
            late += sinceMiss > int(Practice::MistakeReturnsWithin);
            return k != 5;
        });
        QCOMPARE(on ? late : notPlain, 0);
    }
    QCOMPARE(keptBox(QStringLiteral("to v5\tg5")), 1);
    QCOMPARE(keptBox(QStringLiteral("to v1\tg1")), 5);
}

// The item, the boxes and the day's count outlive the run; the verb list is
// never written, and practising another list keeps the verbs of the first.
// With the item off the line counts this run only. A corrupt file at the
// start is moved aside (as tst_progress checks) and told in the log only.
void tst_frmMain::progressKeptBetweenRuns()
{
    QVERIFY(putFile(mProgressFile, "verbodrom-progress 1\nrepeat-mistakes on\n9\tx\n"));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^Progress file .* ignored")));
    QVERIFY(open(QString()));
    QVERIFY(!action("mnuRepeatMistakes")->isChecked() && !QFile::exists(mProgressFile));
    action("mnuRepeatMistakes")->trigger();
    click("btNewWord"); // to burn
    answer(true);
    mWindow->setRandomSource([] { return 0.0f; });
    click("btNewWord");
    QCOMPARE(mWindow->currentVerb(), qint16(1));
    answer(false);
    click("btEnter"); // a second check counts no second time
    QCOMPARE(score(), QStringLiteral("Heute: 1 von 2 richtig"));

    delete mWindow;
    QVERIFY(open(QString()));
    QVERIFY(action("mnuRepeatMistakes")->isChecked());
    QCOMPARE(score(), QStringLiteral("Heute: 1 von 2 richtig"));
    QCOMPARE(fileBytes(mVerbFile), threeVerbs);
    QVERIFY(putFile(mVerbFile, "to walk\twalked\twalked\tgehen\r\n"));
    action("mnuReload")->trigger();
    click("btNewWord");
    answer(true);
    QCOMPARE(score(), QStringLiteral("Heute: 2 von 3 richtig"));
    for (const auto &[key, box] :
         {std::pair {"to burn\tbrennen", 2}, {"to go\tgehen", 1}, {"to walk\tgehen", 2}})
        QCOMPARE(keptBox(QLatin1String(key)), box);

    action("mnuRepeatMistakes")->trigger();
    QCOMPARE(score(), QStringLiteral("Seit dem Start: 1 von 1 richtig"));
    QVERIFY(progressFile().startsWith("verbodrom-progress 2\nrepeat-mistakes off\n"));
    QCOMPARE(keptBox(QStringLiteral("to go\tgehen")), 1);
}

// Two windows on one state folder (two copies running) never lose each
// other's checks, and "Heute" adds them up. The Lernstand window (Alt+L)
// offers the item while nothing is kept, then shows the kept boxes, the days
// (a day off is a gap) and the other window's mistake, which comes first two
// days on; a double click on its row draws it, and its check counts.
void tst_frmMain::twoWindowsAndLernstand()
{
    QVERIFY(open(QStringLiteral("ten"), true));
    QDateTime clock(QDate(2026, 12, 4), QTime(9, 0));
    const auto tick = [&clock] { return clock = clock.addMSecs(1); };
    mWindow->setClock(tick);
    QTest::keyClick(mWindow, Qt::Key_L, Qt::AltModifier);
    auto *lernstand = qobject_cast<frmLernstand *>(Forms::all().last());
    auto *boxes = child<BarChart>("picBoxes", lernstand);
    QVERIFY(child("lblNothingKept", lernstand)->isVisible() && !boxes->isVisible());
    QTest::mouseClick(child("btRepeatMistakes", lernstand), Qt::LeftButton);
    QVERIFY(action("mnuRepeatMistakes")->isChecked() && boxes->isVisible());
    QPointer<frmMain> other = new frmMain(Globals::services());
    other->setClock(tick);
    other->setRandomSource([] { return 0.1f; });
    drill(2, [](qint16) { return true; });
    std::swap(mWindow, other);
    QVERIFY(action("mnuRepeatMistakes")->isChecked());
    drill(1, [](qint16) { return false; });
    const QString missed = progressKey(mWindow->verbList().at(mWindow->currentVerb() - 1));
    std::swap(mWindow, other);
    drill(1, [](qint16) { return true; });
    QCOMPARE(score(), QStringLiteral("Heute: 3 von 4 richtig"));

    clock = clock.addDays(2);
    click("btNewWord");
    QCOMPARE(progressKey(mWindow->verbList().at(mWindow->currentVerb() - 1)), missed);
    QCOMPARE(score(), QStringLiteral("Heute: 0 von 0 richtig"));
    answer(false);
    using Bars = QList<std::optional<quint64>>;
    const auto kept = ProgressStats::boxCounts(
            listProgress(mWindow->verbList(), *parseProgress(progressFile())));
    QCOMPARE(boxes->sets().at(0).values, Bars(kept.begin(), kept.end()));
    const auto *days = child<BarChart>("picDays", lernstand);
    QCOMPARE(days->slotLabels().mid(frmLernstand::RecentDays - 8),
             (QStringList {"29.11.", "", "", "", "", "", "", "06.12."}));
    QCOMPARE(days->sets().at(0).values.mid(frmLernstand::RecentDays - 3), (Bars {4, {}, 1}));
    QCOMPARE(days->sets().at(1).values.mid(frmLernstand::RecentDays - 3), (Bars {3, {}, 0}));
    auto *list = child<QTreeWidget>("lstMostMissed", lernstand);
    QStringList row;
    for (int column = 0; column < list->columnCount(); ++column)
        row << list->topLevelItem(0)->text(column);
    QCOMPARE(row, (QStringList {missed.section(u'\t', 1), "2", "0", "0", "06.12.2026"}));

    action("mnuReload")->trigger(); // forgets the drawn verb, not the row
    const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first); // as a real double click
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(progressKey(mWindow->verbList().at(mWindow->currentVerb() - 1)), missed);
    QCOMPARE(mWindow->focusWidget(), child("txtEngInf"));
    answer(true);
    QCOMPARE(keptBox(missed), 2);
    QCOMPARE(score(), QStringLiteral("Heute: 1 von 2 richtig"));
    delete other;
}

// A state folder that cannot be written is told once in the log, never in a
// box, and never stops the drill.
void tst_frmMain::progressNotWritable()
{
    QVERIFY(putFile(mStateHome + "/verbodrom", {}));
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Progress not kept: ")));
    QVERIFY(open(QStringLiteral("ten")));
    action("mnuRepeatMistakes")->trigger();
    drill(5, [](qint16) { return false; });
    QCOMPARE(score(), QStringLiteral("Heute: 0 von 5 richtig"));
    QCOMPARE(mBoxes->boxes.size(), 0);
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
