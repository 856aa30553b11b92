// Practice in the main window: lists, kept progress, "Übung", Lernstand, About, the end.

#include "trainer/BarChart.h"
#include "trainer/ProgressStats.h"
#include "trainer/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmLernstand.h"

#include "frmmaintest.h"

#include <QSet>
#include <QTreeWidget>

class tst_frmMainPractice : public MainWindowTest
{
    Q_OBJECT

    QString drawnKey() { return progressKey(mWindow->verbList().at(mWindow->currentVerb() - 1)); }

private Q_SLOTS:
    // An own list is read by every reload and at the next start; a gone one is
    // named and the shipped list used; "Mitgelieferte Liste" returns for good.
    void ownList()
    {
        const QString own = mDir.filePath(QStringLiteral("Klasse 7/unit 3.txt"));
        const QString remembered = mStateHome + QStringLiteral("/verbodrom/verblist.txt");
        QVERIFY(putFile(own, "to swim\tswam\tswum\tschwimmen\r\n"));
        QVERIFY(open());
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
        QVERIFY(open() && QFile::rename(own, own + u'~'));
        QCOMPARE(mWindow->verbList().first().GerInf(), QStringLiteral("schwimmen"));
        QCOMPARE(verbsAfter("mnuReload"), 3);
        QCOMPARE(boxTexts(*mBoxes),
                 QStringList {"48|VerbodromEN - keine Verben-Datei|Die Verben-Datei (" + own
                              + ") wurde nicht gefunden! Stattdessen wird die mitgelieferte "
                                "Liste geladen."});
        QVERIFY(QFile::rename(own + u'~', own));
        QCOMPARE(verbsAfter("mnuReload"), 1);
        QCOMPARE(verbsAfter("mnuShippedList"), 3);
        QVERIFY(!QFile::exists(remembered));
    }

    // Real boxes as wide as their title; a reset asks (Cancel default), then
    // keeps the item and the day.
    void messageBoxesAndReset()
    {
        QVERIFY(open(threeVerbs, true));
        QCOMPARE(realBox([this] { click("btEnter"); }).mid(0, 3),
                 (QStringList {"frmMain", "VerbodromEN - Kein Wort gezogen", "1"}));
        mBoxes.emplace();
        action("mnuRepeatMistakes")->trigger();
        drill(1, true);
        const QByteArray before = progressFile();
        const QStringList seen = realBox([this] { action("mnuResetProgress")->trigger(); });
        QCOMPARE(seen.mid(0, 4), (QStringList {"frmMain", "VerbodromEN - Lernstand zurücksetzen",
                                               "1", "Abbrechen"}));
        QCOMPARE(QSet<QString>(seen.begin() + 4, seen.end()), (QSet<QString> {"Abbrechen", "OK"}));
        QCOMPARE(progressFile(), before);
        mBoxes.emplace();
        action("mnuResetProgress")->trigger();
        QCOMPARE(parseProgress(progressFile())->verbs.size(), 0);
        QVERIFY(action("mnuRepeatMistakes")->isChecked());
        QCOMPARE(score(), QStringLiteral("Heute: 1 von 1 richtig"));
    }

    // One About and one Lernstand window, Esc closes either; Ctrl+Q ends the
    // program, the About window lives on, the Lernstand window goes.
    void aboutAndUnload()
    {
        QPointer<frmDummy> dummy = new frmDummy;
        QVERIFY(open(threeVerbs, true));
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
        activate();
        key("Ctrl+Q");
        QTRY_VERIFY(!mWindow);
        QVERIFY(!dummy);
        QTRY_VERIFY(Forms::count() == 1 && qobject_cast<frmAbout *>(Forms::first()));
    }

    // Item, boxes and the day's count outlive the run; other lists' verbs are
    // kept; a corrupt file is moved aside, told in the log only.
    void progressKeptBetweenRuns()
    {
        QVERIFY(putFile(mProgressFile, "verbodrom-progress 1\nrepeat-mistakes on\n9\tx\n"));
        expectOnlyWarning("^Progress file .* ignored");
        QVERIFY(open());
        QVERIFY(!action("mnuRepeatMistakes")->isChecked() && !QFile::exists(mProgressFile));
        action("mnuRepeatMistakes")->trigger();
        drill(1, true); // to burn
        mWindow->setRandomSource([] { return 0.0f; });
        drill(1, false); // to go
        delete mWindow;
        QVERIFY(open());
        QVERIFY(action("mnuRepeatMistakes")->isChecked());
        QCOMPARE(score(), QStringLiteral("Heute: 1 von 2 richtig"));
        QVERIFY(putFile(mVerbFile, "to walk\twalked\twalked\tgehen\r\n"));
        action("mnuReload")->trigger();
        drill(1, true);
        for (const auto &[key, box] :
             {std::pair {"to burn\tbrennen", 2}, {"to go\tgehen", 1}, {"to walk\tgehen", 2}})
            QCOMPARE(keptBox(QLatin1String(key)), box);
        action("mnuRepeatMistakes")->trigger();
        QCOMPARE(score(), QStringLiteral("Seit dem Start: 1 von 1 richtig"));
        QVERIFY(progressFile().startsWith("verbodrom-progress 2\nrepeat-mistakes off\n"));
        QCOMPARE(keptBox(QStringLiteral("to go\tgehen")), 1);
    }

    // Two windows never lose each other's checks. The Lernstand window shows
    // boxes, the day's checks and the other's mistake; a double click draws it.
    void twoWindowsAndLernstand()
    {
        QVERIFY(open(numberedVerbs(10), true));
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
        drill(2, true);
        std::swap(mWindow, other);
        QVERIFY(action("mnuRepeatMistakes")->isChecked());
        drill(1, false);
        const QString missed = drawnKey();
        std::swap(mWindow, other);
        drill(1, true);
        QCOMPARE(score(), QStringLiteral("Heute: 3 von 4 richtig"));
        clock = clock.addDays(2);
        click("btNewWord");
        QCOMPARE(drawnKey(), missed);
        answer(false);
        using Bars = QList<std::optional<quint64>>;
        const auto kept = ProgressStats::boxCounts(
                listProgress(mWindow->verbList(), *parseProgress(progressFile())));
        QCOMPARE(boxes->sets().at(0).values, Bars(kept.begin(), kept.end()));
        const auto *days = child<BarChart>("picDays", lernstand);
        QCOMPARE(days->sets().at(1).values.mid(frmLernstand::RecentDays - 3), (Bars {3, {}, 0}));
        auto *list = child<QTreeWidget>("lstMostMissed", lernstand);
        QCOMPARE(list->topLevelItem(0)->text(0) + list->topLevelItem(0)->text(4),
                 missed.section(u'\t', 1) + "06.12.2026");
        action("mnuReload")->trigger(); // forgets the drawn verb, not the row
        const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first); // as a real double click
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(drawnKey(), missed);
        QCOMPARE(focus(), QStringLiteral("txtEngInf"));
        answer(true);
        QCOMPARE(keptBox(missed), 2);
        delete other;
    }

    // A state folder that cannot be written is told once in the log, never in a box.
    void progressNotWritable()
    {
        QVERIFY(putFile(mStateHome + "/verbodrom", {}));
        expectOnlyWarning("^Progress not kept: ");
        QVERIFY(open(numberedVerbs(10)));
        action("mnuRepeatMistakes")->trigger();
        drill(5, false);
        QCOMPARE(score(), QStringLiteral("Heute: 0 von 5 richtig"));
        QCOMPARE(mBoxes->boxes.size(), 0);
    }
};

QTEST_MAIN(tst_frmMainPractice)
#include "tst_frmmain_practice.moc"
