#include "base/RuntimeError.h"
#include "update/Version.h"

#include "updatechain.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

Q_DECLARE_METATYPE(Version)

class tst_Update : public UpdateChainTest
{
    Q_OBJECT

private Q_SLOTS:
    // Remote text against a local version: "newer", "same", "older", or
    // "none" when the remote text is no version.
    void versions_data()
    {
        QTest::addColumn<QByteArray>("remote");
        QTest::addColumn<Version>("local");
        QTest::addColumn<QString>("expected");

        const Version v110 {1, 1, 0};
        QTest::newRow("equal") << QByteArray("1.1.0") << v110 << "same";
        QTest::newRow("CR LF after it") << QByteArray("1.1.0\r\n") << v110 << "same";
        QTest::newRow("blanks and tabs around") << QByteArray(" \t1.1.0 \n") << v110 << "same";
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF"
                                           "1.2.0\r\n")
                             << v110 << "newer";
        QTest::newRow("1.1.00") << QByteArray("1.1.00") << v110 << "same";
        QTest::newRow("1.10.0 against 1.9.0")
                << QByteArray("1.10.0") << Version {1, 9, 0} << "newer";
        QTest::newRow("1.9.0 against 1.10.0")
                << QByteArray("1.9.0") << Version {1, 10, 0} << "older";
        QTest::newRow("revision") << QByteArray("1.1.1") << v110 << "newer";
        QTest::newRow("major before minor") << QByteArray("1.9.9") << Version {2, 0, 0} << "older";
        QTest::newRow("nine digits") << QByteArray("999999999.0.0") << v110 << "newer";
        QTest::newRow("ten digits") << QByteArray("1234567890.0.0") << v110 << "none";
        QTest::newRow("HTML") << QByteArray("<html>1.2.0</html>") << v110 << "none";
        QTest::newRow("empty") << QByteArray() << v110 << "none";
        QTest::newRow("blanks only") << QByteArray(" \r\n") << v110 << "none";
        QTest::newRow("1.1") << QByteArray("1.1") << v110 << "none";
        QTest::newRow("four numbers") << QByteArray("1.1.0.1") << v110 << "none";
        QTest::newRow("empty number") << QByteArray("1..0") << v110 << "none";
        QTest::newRow("sign") << QByteArray("1.+1.0") << v110 << "none";
        QTest::newRow("inner blank") << QByteArray("1. 1.0") << v110 << "none";
        QTest::newRow("BOM inside") << QByteArray("1.1\xEF\xBB\xBF.0") << v110 << "none";
        QTest::newRow("NUL after") << QByteArray("1.1.0\0", 6) << v110 << "none";
    }
    void versions()
    {
        QFETCH(QByteArray, remote);
        QFETCH(Version, local);
        QFETCH(QString, expected);
        const std::optional<Version> v = parseVersion(remote);
        const QString result = !v ? "none" : *v > local ? "newer" : *v < local ? "older" : "same";
        QCOMPARE(result, expected);
    }

    // The offer at start-up takes Cancel as its default button: a learner's
    // stray Enter never accepts an update, not even after a Tab (the key that
    // moves between the answer fields) has put the focus on OK. From the menu
    // Enter means OK, or the button the user moved to.
    void enterOnTheOffer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("result");
        const QList<int> enter {Qt::Key_Return};
        const QList<int> tabEnter {Qt::Key_Tab, Qt::Key_Return};
        const QList<int> backtabEnter {Qt::Key_Backtab, Qt::Key_Return};
        QTest::newRow("from the menu") << 65 << enter << int(vbOK);
        QTest::newRow("from the menu, Tab to Cancel") << 65 << tabEnter << int(vbCancel);
        QTest::newRow("at start-up") << 65 + 256 << enter << int(vbCancel);
        QTest::newRow("at start-up, Tab to OK") << 65 + 256 << tabEnter << int(vbCancel);
        QTest::newRow("at start-up, Backtab to OK") << 65 + 256 << backtabEnter << int(vbCancel);
        QTest::newRow("at start-up, Tab to OK and Space")
                << 65 + 256 << QList<int> {Qt::Key_Tab, Qt::Key_Space} << int(vbOK);
    }
    void enterOnTheOffer()
    {
        QFETCH(int, style);
        QFETCH(QList<int>, keys);
        QFETCH(int, result);
        QTimer type;
        type.setInterval(10);
        QObject::connect(&type, &QTimer::timeout, &type, [&keys] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box || keys.isEmpty())
                return;
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus && box->isAncestorOf(focus) ? focus : box,
                            Qt::Key(keys.takeFirst()));
        });
        type.start();
        QCOMPARE(MsgBox(QStringLiteral("?"), style, QStringLiteral("t")), result);
    }

    void init() { initChain(); }
    void cleanup() { cleanupChain(); }

    // One whole chain per row: what the server answers for each file, the
    // answers to the questions, and what the user sees and finds afterwards.
    void chain_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("updater");
        QTest::addColumn<QByteArray>("newExe");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArrayList>("requested");
        QTest::addColumn<bool>("started");

        const QByteArray upd = '=' + updaterBody;
        const QByteArray neu = '~' + newBody;
        const QByteArrayList onlyVersion {"Version.txt"};
        const QByteArrayList versionAndUpdater {"Version.txt", "Updater.exe"};
        const QByteArrayList all {"Version.txt", "Updater.exe", "New.exe"};
        const QList<int> ok {vbOK, vbOK};

        QTest::newRow("equal at start-up: quiet") << false << QByteArray("=1.1.0") << upd << neu
                                                  << ok << QStringList() << onlyVersion << false;
        QTest::newRow("equal from the menu") << true << QByteArray("=1.1.0") << upd << neu << ok
                                             << QStringList {nothingNew} << onlyVersion << false;
        QTest::newRow("CR LF after an equal version")
                << true << QByteArray("=1.1.0\r\n") << upd << neu << ok << QStringList {nothingNew}
                << onlyVersion << false;
        QTest::newRow("older from the menu") << true << QByteArray("=1.0.9") << upd << neu << ok
                                             << QStringList {nothingNew} << onlyVersion << false;
        for (const char *page :
             {"=<html><body>Server error</body></html>", "=", "=1.2", "404", "reset", "silent"}) {
            QTest::addRow("version %s: quiet even from the menu", page)
                    << true << QByteArray(page) << upd << neu << ok << QStringList() << onlyVersion
                    << false;
        }
        QTest::newRow("newer at start-up, Cancel")
                << false << QByteArray("=1.2.0") << upd << neu << QList<int> {vbCancel}
                << QStringList {offerAtStart} << onlyVersion << false;
        QTest::newRow("newer from the menu, Cancel")
                << true << QByteArray("=1.2.0") << upd << neu << QList<int> {vbCancel}
                << QStringList {offer} << onlyVersion << false;
        QTest::newRow("newer, BOM and line break trimmed, Cancel at start")
                << true
                << QByteArray("=\xEF\xBB\xBF"
                              "1.2.0\r\n")
                << upd << neu << QList<int> {vbOK, vbCancel} << QStringList {offer, askStart} << all
                << false;
        QTest::newRow("newer, both OK: updater started")
                << false << QByteArray("=1.2.0") << upd << neu << ok
                << QStringList {offerAtStart, askStart} << all << true;
        QTest::newRow("empty updater")
                << true << QByteArray("=1.2.0") << QByteArray("=") << neu << ok
                << QStringList {offer, emptyUpdater} << versionAndUpdater << false;
        QTest::newRow("empty new version") << true << QByteArray("=1.2.0") << upd << QByteArray("~")
                                           << ok << QStringList {offer, emptyNew} << all << false;
        for (const char *failure : {"404", "reset", "silent"}) {
            QTest::addRow("updater %s", failure)
                    << true << QByteArray("=1.2.0") << QByteArray(failure) << neu << ok
                    << QStringList {offer} << versionAndUpdater << false;
            QTest::addRow("new version %s", failure)
                    << true << QByteArray("=1.2.0") << upd << QByteArray(failure) << ok
                    << QStringList {offer} << all << false;
        }
    }
    void chain()
    {
        QFETCH(bool, manual);
        QFETCH(QByteArray, version);
        QFETCH(QByteArray, updater);
        QFETCH(QByteArray, newExe);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArrayList, requested);
        QFETCH(bool, started);

        mServer->replies
                = {{"Version.txt", version}, {"Updater.exe", updater}, {"New.exe", newExe}};
        MsgBoxRecorder recorder;
        recorder.answers = answers;
        ShellRecorder shell;
        frmMain *w = startWindow();
        if (manual) {
            w->mnuUpdate_Click();
        } else {
            w->upgradeMe(1);
        }
        QCOMPARE(w->windowTitle(), busy);
        QVERIFY(runChain(shell));

        QCOMPARE(boxTexts(recorder), boxes);
        QCOMPARE(mServer->requested, requested);
        // A file is written only when it arrived whole, and then exactly.
        const bool updaterKept = requested.contains("Updater.exe") && updater.startsWith('=')
                                 && updater.size() > 1;
        const bool newKept = updaterKept && newExe.startsWith('~') && newExe.size() > 1;
        QCOMPARE(contents("Updater.exe"), updaterKept ? updaterBody : QByteArray("(none)"));
        QCOMPARE(contents("New.exe"), newKept ? newBody : QByteArray("(none)"));
        if (newKept) {
            QCOMPARE(mode(file("Updater.exe")), 0755);
            QCOMPARE(mode(file("New.exe")), 0755);
        }
        QCOMPARE(QDir(mFolder).entryList(QDir::Files | QDir::Hidden).size(),
                 1 + int(updaterKept) + int(newKept)); // no temporary files left

        QCOMPARE(shell.starts.size(), int(started));
        if (started) {
            const RecordedStart &s = shell.starts.first();
            QCOMPARE(s.program, file("Updater.exe"));
            QCOMPARE(s.arguments, QStringList({QString::number(QCoreApplication::applicationPid()),
                                               QStringLiteral("tst_update")}));
            QCOMPARE(s.windowStyle, 4);
            QCOMPARE(s.workingDirectory, mFolder);
            QCOMPARE(w->windowTitle(), busy);
            QVERIFY(w->isVisible());
            QVERIFY(!Globals::hasCopyHelper());
            QVERIFY(!hostFormLoaded());
        } else {
            QCOMPARE(w->windowTitle(), rest);
        }
    }

    // The updater's path and working folder for folders with a blank and
    // with a trailing "/"; an existing longer New.exe is replaced exactly.
    void updaterStart_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("plain") << QString();
        QTest::newRow("trailing slash") << QStringLiteral("/");
    }
    void updaterStart()
    {
        QFETCH(QString, suffix);
        QFile stale(file("New.exe"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(400 * 1024, 'x'));
        stale.close();
        App::setPath(mFolder + suffix);
        mServer->replies = {{"Version.txt", "=1.2.0"},
                            {"Updater.exe", '=' + updaterBody},
                            {"New.exe", "=short"}};
        MsgBoxRecorder recorder;
        ShellRecorder shell;
        startWindow()->mnuUpdate_Click();
        QVERIFY(runChain(shell));
        QCOMPARE(contents("New.exe"), QByteArray("short"));
        QCOMPARE(shell.starts.size(), 1);
        QCOMPARE(shell.starts.first().program, mFolder + QStringLiteral("/Updater.exe"));
        QCOMPARE(shell.starts.first().workingDirectory, mFolder + suffix);
    }

    // A file that cannot be written, or an updater that cannot start, after
    // the user said OK: told in a box, the chain ends at rest, no start.
    void afterOkFailures_data()
    {
        QTest::addColumn<QString>("blocked"); // made a folder
        QTest::addColumn<bool>("startFails");
        QTest::addColumn<QString>("lastBox");
        QTest::addColumn<int>("requests");

        QTest::newRow("Updater.exe is a folder")
                << "Updater.exe" << false << " konnte nicht geschrieben werden." << 2;
        QTest::newRow("New.exe is a folder")
                << "New.exe" << false << " konnte nicht geschrieben werden." << 3;
        QTest::newRow("updater cannot start")
                << QString() << true << " konnte nicht gestartet werden." << 3;
    }
    void afterOkFailures()
    {
        QFETCH(QString, blocked);
        QFETCH(bool, startFails);
        QFETCH(QString, lastBox);
        QFETCH(int, requests);

        if (!blocked.isEmpty())
            QVERIFY(QDir(mFolder).mkdir(blocked));
        mServer->replies = {{"Version.txt", "=1.2.0"},
                            {"Updater.exe", '=' + updaterBody},
                            {"New.exe", '=' + newBody}};
        MsgBoxRecorder recorder;
        ShellRecorder shell;
        int startAttempts = 0;
        if (startFails) {
            setShellHandler(
                    [&](const QString &, const QStringList &, int, const QString &) -> qint64 {
                        ++startAttempts;
                        throw RuntimeError(RuntimeError::FileNotFound);
                    });
        }
        frmMain *w = startWindow();
        w->upgradeMe(1);
        QVERIFY(runChain(shell));
        QCOMPARE(mServer->requested.size(), requests);
        QCOMPARE(w->windowTitle(), rest);
        QVERIFY(shell.starts.isEmpty());
        QCOMPARE(startAttempts, int(startFails));
        const RecordedBox last = recorder.boxes.constLast();
        QCOMPARE(last.style, 48);
        QCOMPARE(last.title, App::Title() + " - Update error");
        QVERIFY2(last.prompt.contains(mFolder + '/') && last.prompt.contains(lastBox),
                 qPrintable(last.prompt));
        if (!blocked.isEmpty())
            QVERIFY(QFileInfo(file(blocked.toUtf8().constData())).isDir());
        // Not released: the program goes on as before.
        QVERIFY(Globals::hasCopyHelper());
    }

    // The menu, used while a file downloads or while the offer is open,
    // leaves the running chain alone; afterwards it works again.
    void menuDuringChain()
    {
        mServer->replies = {{"Version.txt", "=1.2.0"},
                            {"Updater.exe", "hold=" + updaterBody},
                            {"New.exe", '=' + newBody}};
        ShellRecorder shell;
        frmMain *w = startWindow();
        int boxes = 0;
        setMsgBoxHandler([&](const QString &, int, const QString &) {
            if (++boxes == 1) {
                w->mnuUpdate_Click(); // while the offer is open
                w->upgradeMe(1);
            }
            return int(vbOK);
        });
        w->upgradeMe(1);
        QTRY_VERIFY(mServer->held);
        CopyHelper &helper = Globals::g_objCopyHelper();
        w->mnuUpdate_Click();
        w->upgradeMe(0);
        QCOMPARE(helper.Task(), 1);
        QCOMPARE(helper.Step(), 2);
        QVERIFY(!helper.isReady());
        QCOMPARE(w->windowTitle(), busy);
        mServer->release();
        QVERIFY(runChain(shell));
        setMsgBoxHandler({});
        QCOMPARE(boxes, 2);
        QCOMPARE(mServer->requested, QByteArrayList({"Version.txt", "Updater.exe", "New.exe"}));
        QCOMPARE(contents("Updater.exe"), updaterBody);
        QCOMPARE(contents("New.exe"), newBody);
        QCOMPARE(shell.starts.size(), 1);
    }

    // After the updater was started, a check from the menu works with a
    // fresh host form and downloader, and the verb list still reloads.
    void checkAfterUpdaterStarted()
    {
        mServer->replies = {{"Version.txt", "=1.2.0"},
                            {"Updater.exe", '=' + updaterBody},
                            {"New.exe", '=' + newBody}};
        MsgBoxRecorder recorder;
        ShellRecorder shell;
        frmMain *w = startWindow();
        w->upgradeMe(1);
        QVERIFY(runChain(shell));
        QVERIFY(!Globals::hasCopyHelper());

        mServer->replies["Version.txt"] = "=1.1.0";
        recorder.boxes.clear();
        w->mnuUpdate_Click();
        QCOMPARE(w->windowTitle(), busy);
        QVERIFY(qobject_cast<frmDummy *>(Forms::first()));
        QTRY_COMPARE(w->windowTitle(), rest);
        QCOMPARE(boxTexts(recorder), QStringList {nothingNew});

        QFile::remove(mFolder + QStringLiteral("/IrregularVerbs.txt"));
        w->findChild<QAction *>(QStringLiteral("mnuReload"))->trigger();
        QCOMPARE(w->lastVerb(), -1);
        QCOMPARE(recorder.boxes.size(), 2); // the missing-file message
    }

    // A transfer that cannot start, a step other than 1 to 4 and a
    // callback for another task.
    void outsideTheChain()
    {
        MsgBoxRecorder recorder;
        ShellRecorder shell;
        frmMain *w = startWindow();
        App::setUpdateServer(QStringLiteral("127.0.0.1:99999999999")); // refused by Dispatch
        w->mnuUpdate_Click();
        QCOMPARE(w->windowTitle(), rest);
        QVERIFY(recorder.boxes.isEmpty());

        App::setUpdateServer(mServer->address());
        mServer->replies["Version.txt"] = "hold=1.1.0";
        w->upgradeMe(1);
        QTRY_VERIFY(mServer->held);
        CopyHelper &helper = Globals::g_objCopyHelper();
        helper.Task(2);
        QByteArray bytes("1.2.0");
        qint16 code = 0;
        w->CHCallBack(bytes, code); // not the chain's: stored, nothing else
        QCOMPARE(g_arrContents, bytes);
        QCOMPARE(w->windowTitle(), busy);
        QVERIFY(recorder.boxes.isEmpty());
        helper.Task(1);
        mServer->release();
        QTRY_COMPARE(w->windowTitle(), rest);
        QCOMPARE(boxTexts(recorder), QStringList {nothingNew});

        w->setWindowTitle(busy);
        w->upgradeMe(7);
        QCOMPARE(w->windowTitle(), rest);
        QCOMPARE(mServer->requested.size(), 1);
    }
};

QTEST_MAIN(tst_Update)
#include "tst_update.moc"
