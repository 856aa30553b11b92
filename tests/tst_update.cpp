#include "base/RuntimeError.h"
#include "update/Version.h"

#include "updatechain.h"

#include <QAction>
#include <QApplication>
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
        const auto row = [](const char *name, const QByteArray &remote, const QString &expected,
                            Version local = {1, 1, 0}) {
            QTest::newRow(name) << remote << local << expected;
        };
        row("CR LF and blanks around", " \t1.1.0\r\n", "same");
        row("BOM",
            "\xEF\xBB\xBF"
            "1.2.0\r\n",
            "newer");
        row("1.1.00", "1.1.00", "same");
        row("1.10.0 against 1.9.0", "1.10.0", "newer", {1, 9, 0});
        row("nine digits", "999999999.0.0", "newer");
        row("ten digits", "1234567890.0.0", "none");
        row("HTML", "<html>1.2.0</html>", "none");
        row("empty", QByteArray(), "none");
        row("1.1", "1.1", "none");
        row("sign", "1.+1.0", "none");
        row("inner blank", "1. 1.0", "none");
        row("NUL after", QByteArray("1.1.0\0", 6), "none");
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

    // The offer at start-up keeps Cancel as its default: a learner's stray
    // Enter never accepts an update, not even after a Tab has put the focus
    // on OK. From the menu Enter means OK.
    void enterOnTheOffer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("result");
        const QList<int> tabEnter {Qt::Key_Tab, Qt::Key_Return};
        QTest::newRow("from the menu") << 65 << QList<int> {Qt::Key_Return} << int(vbOK);
        QTest::newRow("at start-up, Tab to OK") << 65 + 256 << tabEnter << int(vbCancel);
        QTest::newRow("at start-up, Tab to OK and Space")
                << 65 + 256 << QList<int> {Qt::Key_Tab, Qt::Key_Space} << int(vbOK);
    }
    void enterOnTheOffer()
    {
        QFETCH(int, style);
        QFETCH(QList<int>, keys);
        QFETCH(int, result);
        mBoxes.reset(); // the real box
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
    // answers to the questions, the boxes, how many files were asked for.
    void chain_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("updater");
        QTest::addColumn<QByteArray>("newExe");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("blocked"); // a file made a folder, or "start": start fails
        const QByteArray upd = '=' + updaterBody;
        const QByteArray neu = '~' + newBody;
        const auto row = [&](const QString &name, bool manual, const QByteArray &version,
                             const QList<int> &answers, const QStringList &boxes, int requests,
                             const QByteArray &updater = {}, const QByteArray &newExe = {},
                             const QString &blocked = {}) {
            QTest::newRow(qPrintable(name))
                    << manual << version << (updater.isNull() ? upd : updater)
                    << (newExe.isNull() ? neu : newExe) << answers << boxes << requests << blocked;
        };
        // After the user said OK, a file that cannot be written or an
        // updater that cannot start is told; "%F" is the program folder.
        const QString notWritten = " konnte nicht geschrieben werden.\r\n"
                                   "Das Update wurde nicht installiert.";
        const QList<int> okOk {vbOK, vbOK};

        row("equal at start-up: quiet", false, "=1.1.0", okOk, {}, 1);
        row("CR LF after an equal version, from the menu", true, "=1.1.0\r\n", okOk, {nothingNew},
            1);
        for (const char *page : {"=<html>1.2.0</html>", "=", "=1.2", "404", "reset", "silent"})
            row(QStringLiteral("version %1: quiet even from the menu").arg(page), true, page, okOk,
                {}, 1);
        row("newer at start-up, Cancel", false, "=1.2.0", {vbCancel}, {offerBox("1.2.0", 65 + 256)},
            1);
        row("BOM and line break trimmed, Cancel at start", true,
            "=\xEF\xBB\xBF"
            "1.2.0\r\n",
            {vbOK, vbCancel}, {offer, askStart}, 3);
        row("newer, both OK: updater started", true, "=1.2.0", okOk, {offer, askStart}, 3);
        row("empty updater", true, "=1.2.0", okOk, {offer, emptyUpdater}, 2, "=");
        row("empty new version", true, "=1.2.0", okOk, {offer, emptyNew}, 3, upd, "~");
        row("Updater.exe is a folder", true, "=1.2.0", okOk,
            {offer, updateError("Die Datei %F/Updater.exe") + notWritten}, 2, upd, neu,
            "Updater.exe");
        row("New.exe is a folder", true, "=1.2.0", okOk,
            {offer, updateError("Die Datei %F/New.exe") + notWritten}, 3, upd, neu, "New.exe");
        row("updater cannot start", true, "=1.2.0", okOk,
            {offer, askStart,
             updateError("Der Updater %F/Updater.exe konnte nicht gestartet werden.")},
            3, upd, neu, "start");
        for (const char *failure : {"404", "reset", "silent"}) {
            row(QStringLiteral("updater %1").arg(failure), true, "=1.2.0", okOk, {offer}, 2,
                failure);
            row(QStringLiteral("new version %1").arg(failure), true, "=1.2.0", okOk, {offer}, 3,
                upd, failure);
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
        QFETCH(int, requests);
        QFETCH(QString, blocked);
        const bool started = boxes.endsWith(askStart) && answers.value(1) == vbOK;

        if (blocked == "start") {
            setShellHandler(
                    [](const QString &, const QStringList &, int, const QString &) -> qint64 {
                        throw RuntimeError(RuntimeError::FileNotFound);
                    });
        } else if (!blocked.isEmpty()) {
            QVERIFY(QDir(mFolder).mkdir(blocked));
        }
        mServer->replies
                = {{"Version.txt", version}, {"Updater.exe", updater}, {"New.exe", newExe}};
        mBoxes->answers = answers;
        frmMain *w = startWindow();
        manual ? w->mnuUpdate_Click() : w->upgradeMe(1);
        QCOMPARE(w->windowTitle(), busy);
        QVERIFY(runChain());

        QCOMPARE(boxTexts(*mBoxes), boxes.replaceInStrings("%F", mFolder));
        QCOMPARE(mServer->requested,
                 QByteArrayList({"Version.txt", "Updater.exe", "New.exe"}).first(requests));
        // A file is written only when it arrived whole, and then exactly.
        const bool updaterKept = requests > 1 && updater.startsWith('=') && updater.size() > 1
                                 && blocked != "Updater.exe";
        const bool newKept = updaterKept && newExe.startsWith('~') && newExe.size() > 1
                             && blocked != "New.exe";
        QCOMPARE(contents("Updater.exe"), updaterKept ? updaterBody : QByteArray("(none)"));
        QCOMPARE(contents("New.exe"), newKept ? newBody : QByteArray("(none)"));
        if (newKept) {
            QCOMPARE(mode(file("Updater.exe")), 0x755);
            QCOMPARE(mode(file("New.exe")), 0x755);
        }
        QCOMPARE(QDir(mFolder).entryList(QDir::Files | QDir::Hidden).size(),
                 1 + int(updaterKept) + int(newKept)); // no temporary files left

        QCOMPARE(mShell->starts.size(), int(started));
        QCOMPARE(w->windowTitle(), started ? busy : rest);
        QCOMPARE(Globals::hasCopyHelper(), !started); // released only once the updater runs
        if (started) {
            const RecordedStart &s = mShell->starts.first();
            QCOMPARE(s.program, file("Updater.exe"));
            QCOMPARE(s.arguments, QStringList({QString::number(QCoreApplication::applicationPid()),
                                               QStringLiteral("tst_update")}));
            QCOMPARE(s.windowStyle, 4);
            QCOMPARE(s.workingDirectory, mFolder);
            QVERIFY(w->isVisible());
            QVERIFY(!hostFormLoaded());
        }
    }

    // A transfer that cannot start ends at rest. The menu, used while a
    // file downloads or while the offer is open, and a callback for another
    // task leave a running chain alone; the chain then runs to its end.
    void menuDuringChain()
    {
        mServer->replies = release();
        mServer->replies["Updater.exe"] = "hold=" + updaterBody;
        frmMain *w = startWindow();
        int boxes = 0;
        setMsgBoxHandler([&](const QString &, int, const QString &) {
            if (++boxes == 1) {
                w->mnuUpdate_Click(); // while the offer is open
                w->upgradeMe(1);
            }
            return int(vbOK);
        });
        App::setUpdateServer(QStringLiteral("127.0.0.1:99999999999")); // refused by Dispatch
        w->mnuUpdate_Click();
        QCOMPARE(w->windowTitle(), rest);
        App::setUpdateServer(mServer->address());

        w->upgradeMe(1);
        QTRY_VERIFY(mServer->held);
        CopyHelper &helper = Globals::g_objCopyHelper();
        w->mnuUpdate_Click();
        w->upgradeMe(0);
        QCOMPARE(QString("%1 %2 %3").arg(helper.Task()).arg(helper.Step()).arg(w->windowTitle()),
                 "1 2 " + busy);
        helper.Task(2);
        QByteArray bytes("1.2.0");
        qint16 code = 0;
        w->CHCallBack(bytes, code); // another task's: stored, nothing else
        QCOMPARE(g_arrContents, bytes);
        helper.Task(1);
        mServer->release();
        QVERIFY(runChain());
        setMsgBoxHandler({});
        QCOMPARE(boxes, 2);
        QCOMPARE(mServer->requested, QByteArrayList({"Version.txt", "Updater.exe", "New.exe"}));
        QCOMPARE(mShell->starts.size(), 1);
    }

    // In a folder given with a trailing "/", a longer New.exe is replaced
    // exactly and the updater starts there. After that a check from the
    // menu works with a fresh host form and downloader, and the verb list
    // still reloads.
    void checkAfterUpdaterStarted()
    {
        putFile("New.exe", QByteArray(400 * 1024, 'x'));
        App::setPath(mFolder + '/');
        mServer->replies = release();
        mServer->replies["New.exe"] = "=short";
        frmMain *w = startWindow();
        w->upgradeMe(1);
        QVERIFY(runChain());
        QCOMPARE(contents("New.exe"), QByteArray("short"));
        QCOMPARE(mShell->starts.first().program, file("Updater.exe"));
        QCOMPARE(mShell->starts.first().workingDirectory, mFolder + '/');
        QVERIFY(!Globals::hasCopyHelper());

        mServer->replies["Version.txt"] = "=1.1.0";
        mBoxes->boxes.clear();
        w->mnuUpdate_Click();
        QCOMPARE(w->windowTitle(), busy);
        QVERIFY(qobject_cast<frmDummy *>(Forms::first()));
        QTRY_COMPARE(w->windowTitle(), rest);
        QCOMPARE(boxTexts(*mBoxes), QStringList {nothingNew});

        QFile::remove(mFolder + QStringLiteral("/IrregularVerbs.txt"));
        w->findChild<QAction *>(QStringLiteral("mnuReload"))->trigger();
        QCOMPARE(w->lastVerb(), -1);
        QCOMPARE(mBoxes->boxes.size(), 2); // the missing-file message
    }
};

QTEST_MAIN(tst_Update)
#include "tst_update.moc"
