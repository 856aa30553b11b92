// The drill in the main window: lists, rounds, keyboard, look, forms read aloud.

#include "frmmaintest.h"

#include <QMenu>
#include <QScopeGuard>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

class tst_frmMain : public MainWindowTest
{
    Q_OBJECT

private Q_SLOTS:
    // A list without verbs is told at start-up and at "Neues Wort", a spreadsheet's
    // with the reason; of a list over the limit the first verbs are kept.
    void listMessages_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("told"); // at start-up: title|prompt
        QTest::addColumn<QString>("why");  // at "Neues Wort", when no verb came
        const QString file("keine Verben-Datei|Die Verben-Datei (IrregularVerbs.txt) ");
        const QString empty("Die Verben-Datei ist leer oder konnte nicht geladen werden");
        const QString tabs("Die Verben-Datei hat keine gültige Zeile: die vier Felder müssen "
                           "durch Tabulatoren getrennt sein (gefunden: %1).");
        QTest::newRow("missing") << QByteArray("missing")
                                 << file + "wurde nicht im Programmordner gefunden!" << empty;
        QTest::newRow("unreadable")
                << QByteArray("unreadable") << file + "konnte nicht gelesen werden!" << empty;
        QTest::newRow("semicolons")
                << QByteArray(threeVerbs).replace('\t', ';') << QString() << tabs.arg("Semikolons");
        QTest::newRow("commas") << QByteArray(threeVerbs).replace('\t', ',') << QString()
                                << tabs.arg("Kommas");
        QTest::newRow("too-many") << threeVerbs
                                             + QByteArray("to v\tp\tpp\tg\r\n").repeated(MaxVerbs)
                                  << "zu viele Verben|Die Verben-Datei (IrregularVerbs.txt) "
                                     "enthält mehr als 32.760 Verben. Nur die ersten 32.760 "
                                     "wurden geladen."
                                  << QString();
    }
    void listMessages()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, told);
        QFETCH(QString, why);
        QStringList boxes;
        if (!told.isEmpty())
            boxes << "48|VerbodromEN - " + told;
        QVERIFY(open(content));
        QCOMPARE(boxTexts(*mBoxes), boxes);
        mWindow->show();
        click("btNewWord");
        if (!why.isEmpty())
            boxes << "48|VerbodromEN - Keine Verben geladen|" + why;
        QCOMPARE(boxTexts(*mBoxes), boxes);
        QCOMPARE(mWindow->lastVerb(), qint16(why.isEmpty() ? MaxVerbs : -1));
    }

    // "to burn" from the keyboard: locks, verdicts, focus; English gives the infinitive.
    void round_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("verdicts");
        QTest::addColumn<QString>("announced"); // to a screen reader, on "Neues Wort"
        QTest::newRow("german") << false << QStringList {" Burn", "  BURNT ", "burnt/burned"}
                                << "to Burn#|BURNT#|burnt/burned#"
                                << "CORRECT!|CORRECT!|WRONG! --> burnt/burned"
                                << "English infinitive: CORRECT!\nEnglish past tense: CORRECT!\n"
                                   "English past participle: WRONG! --> burnt/burned";
        QTest::newRow("english") << true << QStringList {"", "burned", "BURNT"}
                                 << "to burn=|burned#|BURNT#"
                                 << "|CORRECT!|CORRECT!"
                                 << "English past tense: CORRECT!\nEnglish past participle: "
                                    "CORRECT!";
    }
    void round()
    {
        QFETCH(bool, english);
        QFETCH(QStringList, typed);
        const QString firstAsked = english ? "txtEngPast" : "txtEngInf";
        QVERIFY(open(threeVerbs, true));
        if (english)
            click("optEN");
        QCOMPARE(answers(), english ? "=||" : "||");
        click("btNewWord");
        QCOMPARE(text("txtGerInf") + ' ' + answers(),
                 english ? "brennen to burn=||" : "brennen ||");
        QCOMPARE(focus(), firstAsked);
        for (int i = 0; i < 3; ++i)
            QTest::keyClicks(child(answerBoxes[i]), typed[i]);
        QTest::keyClick(child("txtEngPastParticiple"), Qt::Key_Return);
        click("btEnter");
        QTEST(answers(), "shown");
        QTEST(verdictTexts(), "verdicts");
        QCOMPARE(mBoxes->boxes.size(), 0);
        QCOMPARE(focus(), "btNewWord");
        QTEST(child("btNewWord")->accessibleDescription(), "announced");
        QTest::keyClick(child("btNewWord"), Qt::Key_Return);
        QCOMPARE(focus(), firstAsked);
        QCOMPARE(answers() + verdictTexts() + child("btNewWord")->accessibleDescription(),
                 english ? "to burn=||||" : "||||");
    }

    // English shows the infinitive and keeps its verdict till the next check;
    // back in German the box stays locked; before a check it stays open. A
    // reload by the tab forgets the drawn verb, not the score.
    void switchDirection()
    {
        QVERIFY(open(threeVerbs, true));
        click("btNewWord");
        QTest::keyClicks(child("txtEngInf"), "goes");
        click("btEnter");
        click("optEN");
        QCOMPARE(answers() + ' ' + text("lblEngInf"), "to burn=|#|# WRONG! --> to burn");
        click("btEnter");
        QCOMPARE(text("lblEngInf"), "");
        click("optDE");
        QCOMPARE(answers(), "#|#|#");
        click("btNewWord");
        click("optEN");
        click("optDE");
        QCOMPARE(answers(), "||");
        click("btEnter");
        click("btNewWord");
        QCOMPARE(answers() + text("lblEngPast") + score(), "||Seit dem Start: 0 von 2 richtig");
        QTabBar *bar = child<QTabWidget>("SSTab1")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        click("btEnter");
        QCOMPARE(boxTexts(*mBoxes), QStringList {"48|VerbodromEN - Kein Wort gezogen|Bitte zuerst "
                                                 "„Neues Wort“ wählen."});
        QCOMPARE(score(), "Seit dem Start: 0 von 2 richtig");
    }

    // Tab order, menus by F10, Alt+D and Alt+?, buttons by Alt+N and Alt+P,
    // each box named by its caption.
    void keyboard()
    {
        QVERIFY(open(threeVerbs, true));
        tabChain({"btNewWord", "txtGerInf", "txtEngInf", "txtEngPast", "txtEngPastParticiple",
                  "btEnter", "optDE", "btNewWord"});
        click("optEN");
        tabChain({"btEnter", "optEN", "btNewWord"});
        click("optDE");
        click("btNewWord");
        click("btEnter");
        tabChain({"btEnter", "btListen", "optDE"});
        // The offscreen platform leaves no window active after a popup.
        for (const auto &[keys, name] :
             {std::pair {"F10", "mnuFile"}, {"Alt+D", "mnuFile"}, {"Alt+?", "mnuOther"}}) {
            activate();
            key(keys);
            auto *menu = child<QMenu>(name);
            QTRY_VERIFY2(menu->isVisible(), keys);
            // Esc closes the menu, a second one leaves the menu bar.
            QTest::keyClick(menu, Qt::Key_Escape);
            QTRY_VERIFY(!menu->isVisible());
            QTest::keyClick(mWindow->focusWidget(), Qt::Key_Escape);
        }
        activate();
        key("Alt+N"); // a mnemonic clicks its button a moment later
        QTRY_COMPARE(text("lblEngPast"), "");
        key("Alt+P");
        QTRY_COMPARE(text("lblEngInf"), "WRONG! --> to burn");
        const char *const boxes[]
                = {"txtGerInf", "txtEngInf", "txtEngPast", "txtEngPastParticiple"};
        for (int i = 0; i < 4; ++i) {
            auto *label = child<QLabel>(qPrintable(QStringLiteral("Label%1").arg(i + 1)));
            QCOMPARE(label->buddy()->objectName(), QLatin1String(boxes[i]));
            QCOMPARE(label->buddy()->accessibleName() + u':', label->text());
        }
    }

    // Every verdict and prompt of the shipped list shows whole. Too long ones
    // step their font down; one that fits at no size gets a tool tip.
    void verdictsShownWhole()
    {
        const QByteArray longPrompt("sich (etwas) ausdenken, erfinden (eine Geschichte, ein Lied)");
        QVERIFY(open(fileBytes(QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt"))
                             + "to b\tb\tb\t" + longPrompt + "\r\nto a\t" + QByteArray(20, 'b')
                             + '\t' + QByteArray(3000, 'c') + '\t' + QByteArray(200, 'd') + "\r\n",
                     true));
        const int n = mWindow->lastVerb();
        auto *participle = child<QLabel>("lblEngPastParticiple");
        auto *prompt = child<QLineEdit>("txtGerInf");
        for (int k = 1; k <= n; ++k) {
            mWindow->setRandomSource([k, n] { return float(k - 1) / float(n - 1); });
            click("btNewWord");
            const int promptWidth = prompt->fontMetrics().horizontalAdvance(prompt->text());
            QVERIFY2(k == n || promptWidth < prompt->contentsRect().width(),
                     qPrintable(prompt->text()));
            QCOMPARE(prompt->toolTip(), k == n ? prompt->text() : QString());
            QVERIFY(k != n - 1
                    || (prompt->text() == QLatin1String(longPrompt)
                        && prompt->font().pointSizeF() < Look::answerPointSize));
            click("btEnter");
            for (const char *name : ::verdicts) {
                auto *label = child<QLabel>(name);
                const int width = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(width <= label->contentsRect().width() || (k == n && label == participle),
                         qPrintable(label->text()));
            }
        }
        QCOMPARE(prompt->font().pointSizeF(), Look::smallestFitPointSize);
        QCOMPARE(child<QLabel>("lblEngPast")->toolTip(), QString());
        QCOMPARE(participle->font().pointSizeF(), Look::smallestFitPointSize);
        QCOMPARE(participle->toolTip(), participle->text());
        click("btNewWord");
        QCOMPARE(participle->toolTip(), QString());
    }

    // Verdicts green and red, and with the boxes readable (4.5:1) on their
    // painted background, light and dark.
    void readableColours_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QPalette dark(QColor(0x35, 0x35, 0x35)); // light text on dark
        // A mid grey, as many dark themes have: too light for light text.
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7f, 0x7f, 0x7f));
        QTest::newRow("dark") << dark;
    }
    void readableColours()
    {
        QFETCH(QPalette, palette);
        const QPalette before = QApplication::palette();
        QApplication::setPalette(palette);
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QVERIFY(open(threeVerbs, true));
        click("optEN");
        click("btNewWord");
        QTest::keyClicks(child("txtEngPast"), "burnt");
        click("btEnter");
        // Each text against the page at its right end, where no text reaches.
        const QImage page = child("lblEngPast")->parentWidget()->grab().toImage();
        for (const char *name : {"lblEngPast", "lblEngPastParticiple", "txtEngInf", "txtEngPast"}) {
            QWidget *w = child(name);
            const QPoint behind = w->geometry().topRight() + QPoint(-4, w->height() / 2);
            const QColor text = w->palette().color(w->foregroundRole());
            QVERIFY(name[0] == 't' || text.hue() == (this->text(name) == u"CORRECT!" ? 120 : 0));
            const qreal ratio
                    = Look::contrast(text, page.pixelColor(behind * page.devicePixelRatio()));
            QVERIFY2(ratio >= Look::minimumContrast, qPrintable(name + QString::number(ratio)));
        }
    }

    // "Anhören" only after a check, starting over when pressed again; a new word
    // or a reload silences it; the engine is looked for once. "Formen nach dem
    // Prüfen vorlesen" is kept in its own file and reads each check aloud.
    void listen()
    {
        const QString burn("to burn, burnt or burned, burnt or burned");
        const QString kept = mStateHome + "/verbodrom/read-aloud.txt";
        QVERIFY(open(threeVerbs, true));
        auto *button = child<QPushButton>("btListen");
        click("btNewWord");
        QVERIFY(!button->isEnabled());
        click("btEnter");
        QTRY_VERIFY(button->isEnabled());
        for (int press = 1; press <= 2; ++press) {
            click("btListen");
            QCOMPARE(mSpeech->said, QStringList(press, burn));
        }
        click("btNewWord");
        QVERIFY(mSpeech->voice->state() == Voice::State::Ready && !button->isEnabled());
        click("btEnter");
        click("btListen");
        action("mnuReload")->trigger();
        QVERIFY(mSpeech->voice->state() == Voice::State::Ready && !button->isEnabled());
        QCOMPARE(mSpeech->lookups, 1);
        action("mnuReadAloud")->trigger();
        QCOMPARE(fileBytes(kept), QByteArray("on\n"));
        QVERIFY(!QFile::exists(mProgressFile));
        delete mWindow;
        QVERIFY(open(threeVerbs, true));
        QVERIFY(action("mnuReadAloud")->isChecked());
        click("btNewWord");
        click("btEnter");
        QTRY_COMPARE(mSpeech->said.size(), 4);
        QCOMPARE(focus(), QStringLiteral("btNewWord"));
        action("mnuReadAloud")->trigger();
        QCOMPARE(fileBytes(kept), QByteArray("off\n"));
        click("btEnter");
        QCOMPARE(mSpeech->said.size(), 4);
    }

    // Without an English voice both controls are off and say what to install;
    // the engine is not asked again.
    void noVoice()
    {
        const QString hint = QStringLiteral(
                "Keine englische Stimme gefunden – Paket qt6-speech-flite-plugin installieren.");
        mSpeech.emplace(false); // no English voice
        QVERIFY(open(threeVerbs, true));
        action("mnuReadAloud")->trigger();
        for (int check = 0; check < 2; ++check) {
            click("btNewWord");
            click("btEnter");
        }
        for (const char *control : {"btListen", "mnuReadAloud"}) {
            QVERIFY(!property(control, "enabled").toBool());
            QCOMPARE(property(control, "toolTip").toString(), hint);
        }
        QCOMPARE(mSpeech->lookups, 1);
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
