#include "base/RuntimeError.h"
#include "update/UpdateCheck.h"

#include "minisigntool.h"
#include "updatechain.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

const QByteArray progress("verbodrom-progress 1\nrepeat-mistakes on\n");

// The signature grown to `size` bytes in its untrusted comment.
QByteArray paddedTo(const QByteArray &minisig, qsizetype size)
{
    return withLine(minisig, untrusted,
                    line(minisig, untrusted) + QByteArray(size - minisig.size(), 'x'));
}

} // namespace

class tst_Update : public UpdateChainTest
{
    Q_OBJECT

    MinisignKeys mKeys;

    // Release 1.2.0, both files signed for their names (fetched only with a key).
    Replies mRelease;

    void addChainColumns()
    {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("fault");
    }
    // A chain row (see chain_data): mRelease with the server's changes.
    void row(const char *name, bool manual, const Replies &changes, const QStringList &boxes,
             const char *requests, const char *written = "", const QString &fault = {},
             const QList<int> &answers = {vbOK, vbOK})
    {
        Replies replies = mRelease;
        replies.insert(changes);
        QTest::newRow(name) << manual << replies << answers << boxes << QByteArray(requests)
                            << QByteArray(written) << fault;
    }

    // The programs started, "program|arguments|style|folder", this test's id as "PID".
    QStringList startTexts() const
    {
        QStringList texts;
        const QString pid = QString::number(QCoreApplication::applicationPid());
        for (const RecordedStart &s : mShell->starts)
            texts << s.program + '|' + s.arguments.join(' ').replace(pid, "PID") + '|'
                             + QString::number(s.windowStyle) + '|' + s.workingDirectory;
        return texts;
    }

    QString outside() const { return mDir->filePath(QStringLiteral("outside")); }

    // "<file> dir", "start fails", "swap" (Updater.exe replaced), "links", "managed",
    // "longer New.exe" (there before); the key: "signed" (the release's, with
    // blanks and a line break around it), "key <text>".
    void plantFault(const QString &fault)
    {
        App::setUpdateKey(fault == "signed"
                                  ? " \t" + QString::fromLatin1(mKeys.key->publicLine) + "\r\n"
                          : fault.startsWith("key ") ? fault.mid(4)
                                                     : QString());
        if (fault.endsWith(" dir")) {
            QVERIFY(QDir(mFolder).mkdir(fault.chopped(4)));
        } else if (fault == "start fails") {
            setShellHandler(
                    [](const QString &, const QStringList &, int, const QString &) -> qint64 {
                        throw RuntimeError(RuntimeError::FileNotFound);
                    });
        } else if (fault == "swap") {
            mBoxes->onBox = [this](const RecordedBox &b) {
                if (b.title.endsWith(u'?') && QFile::copy(file("Updater.exe"), file("copy")))
                    std::rename(QFile::encodeName(file("copy")).constData(),
                                QFile::encodeName(file("Updater.exe")).constData());
            };
        } else if (fault == "links") {
            QVERIFY(writeBytes(outside(), {})
                    && QFile::setPermissions(outside(), QFileDevice::ReadOwner));
            QVERIFY(QFile::link(outside(), file("Updater.exe"))
                    && QFile::link(outside(), file("New.exe")));
        } else if (fault == "managed") {
            App::setPathWritable(false);
        } else if (fault == "longer New.exe") {
            putFile("New.exe", QByteArray(400 * 1024, 'x'));
        }
    }

    // Only whole files as sent, executable, no temporary; link targets untouched.
    void checkFolder(const QByteArray &written, const QString &fault)
    {
        QCOMPARE(contents("Updater.exe"), written.contains('U') ? updaterBody : "(none)");
        QCOMPARE(contents("New.exe"), written.contains('N') ? newBody : "(none)");
        QCOMPARE(QDir(mFolder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 1 + written.count('U') + written.count('N'));
        if (written.contains('N'))
            QCOMPARE(mode(file("New.exe")) | mode(file("Updater.exe")), 0x755);
        if (fault == "links") {
            QVERIFY(!QFileInfo(file("Updater.exe")).isSymLink()
                    && !QFileInfo(file("New.exe")).isSymLink());
            QCOMPARE(QFileInfo(outside()).size(), 0);
            QCOMPARE(QFile::permissions(outside()) & 0x7077, QFileDevice::ReadOwner);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(mKeys.make());
        mRelease = {{"Version.txt", "=1.2.0"},
                    {"Updater.exe", '=' + updaterBody},
                    {"Updater.exe.minisig",
                     '=' + mKeys.sign(updaterBody, "version: 1.2.0 file: Updater.exe")},
                    {"New.exe", '~' + newBody},
                    {"New.exe.minisig", '=' + mKeys.sign(newBody, "version: 1.2.0 file: New.exe")}};
    }
    void init() { initChain(); }
    void cleanup() { cleanupChain(); }

    // "Update starten?" (Cancel the default) never takes Enter; Space presses the focus.
    void enterOnTheBox_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << QList<int> {Qt::Key_Return} << int(vbCancel);
        QTest::newRow("Tab to OK and Space")
                << QList<int> {Qt::Key_Tab, Qt::Key_Space} << int(vbOK);
    }
    void enterOnTheBox()
    {
        QFETCH(QList<int>, keys);
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
        QTEST(MsgBox(QStringLiteral("?"), 49 + 256, QStringLiteral("t")), "result");
    }

    // Release 1.2.0 with the server's changes: boxes, files asked for, files
    // written ("+": the updater started).
    void chain_data()
    {
        addChainColumns();
        row("equal at start-up: quiet", false, {{"Version.txt", "=1.1.0"}}, {}, "V");
        row("equal and CR LF, menu", true, {{"Version.txt", "=1.1.0\r\n"}}, {nothingNew}, "V");
        row("404, menu", true, {{"Version.txt", "404"}}, {noVersion}, "V");
        row("reset, menu", true, {{"Version.txt", "reset"}}, {noAnswer}, "V");
        row("65 bytes, menu: no version", true, {{"Version.txt", "=1.2.0" + QByteArray(60, ' ')}},
            {noVersion}, "V");
        row("64 bytes, menu: offered", true, {{"Version.txt", "=1.2.0" + QByteArray(59, ' ')}},
            {offer}, "V", "", {}, {vbCancel});
        row("reset at start-up: quiet", false, {{"Version.txt", "reset"}}, {}, "V");
        row("newer at start-up, Cancel", false, {}, {offerAtStart}, "V", "", {}, {vbCancel});
        row("BOM and CR LF, Cancel at the start", true, {{"Version.txt", "=\357\273\2771.2.0\r\n"}},
            {offer, askStart}, "VUN", "UN", {}, {vbOK, vbCancel});
        row("OK twice over a longer New.exe: started", true, {}, {offer, askStart}, "VUN", "UN+",
            "longer New.exe");
        row("empty updater", true, {{"Updater.exe", "="}}, {offer, emptyUpdater}, "VU");
        row("empty new version", true, {{"New.exe", "~"}}, {offer, emptyNew}, "VUN");
        row("Updater.exe 404 after OK", true, {{"Updater.exe", "404"}},
            {offer, failed("Der Server hat keine gültige, vollständige Antwort gesendet. "
                           "Der Server meldet einen Fehler statt der Datei.")},
            "VU");
        row("New.exe reset after OK: nothing written", true, {{"New.exe", "reset"}},
            {offer, failed("Der Server hat die Verbindung zurückgesetzt.")}, "VUN");
        row("New.exe silent after OK", true, {{"New.exe", "silent"}},
            {offer, failed("Der Server hat zu lange nichts gesendet.")}, "VUN");
        row("New.exe is a folder", true, {}, {offer, notWritten("New.exe")}, "VUN", "U",
            "New.exe dir");
        row("updater cannot start", true, {}, {offer, askStart, notStarted}, "VUN", "UN",
            "start fails");
        row("Updater.exe replaced before the start", true, {}, {offer, askStart, notStarted}, "VUN",
            "UN", "swap");
        row("links planted at both names", true, {}, {offer, askStart}, "VUN", "UN+", "links");
        row("managed install at start-up: no request", false, {}, {}, "", "", "managed");
        row("managed install, menu", true, {}, {managed}, "", "", "managed");
    }

    // A release signed by make-release's rules, and each way to break it.
    void signedChain_data()
    {
        addChainColumns();
        const QByteArray sigU = mRelease["Updater.exe.minisig"].mid(1);
        const QByteArray sigN = mRelease["New.exe.minisig"].mid(1);
        const auto bad = [this](const char *name, const Replies &changes, const char *requests,
                                const QString &fault = "signed") {
            row(name, true, changes, {offer, refused}, requests, "", fault);
        };
        row("signed: 4 KiB signature (a long untrusted comment)", true,
            {{"Updater.exe.minisig", '=' + paddedTo(sigU, 4096)}}, {offer, askStart}, "VUuNn",
            "UN+", "signed");
        bad("signed: 4 KiB and one byte", {{"Updater.exe.minisig", '=' + paddedTo(sigU, 4097)}},
            "VUu");
        bad("signed: New.exe flipped", {{"New.exe", '~' + flipped(newBody, 0)}}, "VUuNn");
        bad("signed: the files swapped with their signatures",
            {{"Updater.exe", '=' + newBody},
             {"Updater.exe.minisig", '=' + sigN},
             {"New.exe", '=' + updaterBody},
             {"New.exe.minisig", '=' + sigU}},
            "VUu");
        bad("signed: Updater.exe.minisig 404", {{"Updater.exe.minisig", "404"}}, "VUu");
        row("signed: rollback, 1.2.0 served as 1.3.0", true, {{"Version.txt", "=1.3.0"}},
            {offerBox("1.3.0"), refused}, "VUu", "", "signed");
        row("signed: New.exe.minisig reset", true, {{"New.exe.minisig", "reset"}},
            {offer, failed("Der Server hat die Verbindung zurückgesetzt.")}, "VUuNn", "", "signed");
        bad("a key that does not parse refuses", {}, "VUu", "key RWQbroken");
        if (mKeys.key) {
            bad("the whole .pub file as key", {}, "VUu",
                "key " + fileBytes(mKeys.folder.filePath("release.pub")));
            bad("the key one character short", {}, "VUu",
                "key " + mKeys.key->publicLine.chopped(1));
        }
    }
    void signedChain() { chain(); }

    void chain()
    {
        QFETCH(bool, manual);
        QFETCH(QByteArray, written);
        QFETCH(QString, fault);
        if (fault == "signed" && !mKeys.key)
            QSKIP("minisign is not installed");
        plantFault(fault);
        QFETCH(Replies, replies);
        QFETCH(QList<int>, answers);
        mServer->replies = replies;
        mBoxes->answers = answers;
        frmMain *w = startWindow();
        manual ? w->mnuUpdate_Click() : w->upgradeMe(1);
        QVERIFY(runChain());
        QFETCH(QStringList, boxes);
        QCOMPARE(boxTexts(*mBoxes), boxes.replaceInStrings("%F", mFolder));
        QTEST(mServer->letters(), "requests");
        checkFolder(written, fault);
        const bool started = written.endsWith('+');
        QCOMPARE(w->windowTitle(), started ? busy : rest);
        QCOMPARE(Globals::hasCopyHelper(), !started && fault != "managed");
        // Started: the window stays open, the host form and downloader are gone.
        QCOMPARE(startTexts(),
                 started ? QStringList {file("Updater.exe") + "|PID tst_update|4|" + mFolder}
                         : QStringList());
        QVERIFY(!started || (w->isVisible() && Forms::count() == 1));
        if (Globals::hasCopyHelper()) { // it keeps no copy of what the chain took to hand on later
            mServer->replies["/gone"] = "reset";
            Client client(&Globals::g_objCopyHelper());
            QVERIFY(client.helper->Dispatch("http://" + mServer->address() + "/gone"));
            QTRY_COMPARE(client.calls.size(), 1);
            QCOMPARE(client.calls[0].contents, QByteArray());
        }
    }

    // A transfer that cannot start is told; a running chain ignores new starts;
    // once the updater started, the menu checks again. The folder ends with "/".
    void menuDuringChain()
    {
        App::setPath(mFolder + '/');
        mServer->replies = mRelease;
        mServer->replies["Updater.exe"] = "hold=" + updaterBody;
        frmMain *w = startWindow(QStringLiteral("127.0.0.1:99999999999")); // refused by Dispatch
        w->mnuUpdate_Click();
        QCOMPARE(boxTexts(*mBoxes), QStringList {noAnswer});
        QCOMPARE(w->windowTitle(), rest);
        App::setUpdateServer(mServer->address());
        mBoxes->boxes.clear();
        mBoxes->onBox = [w](const RecordedBox &) {
            w->mnuUpdate_Click();
            w->upgradeMe(1);
        };
        w->upgradeMe(1);
        QTRY_VERIFY(mServer->held);
        w->mnuUpdate_Click();
        w->upgradeMe(0);
        QCOMPARE(w->windowTitle(), busy);
        CopyHelper &helper = Globals::g_objCopyHelper();
        helper.Task(UpdateCheck::task + 1);
        QByteArray bytes("1.2.0");
        qint16 code = 0;
        w->CHCallBack(bytes, code); // another task's: left alone
        QCOMPARE(bytes, QByteArray("1.2.0"));
        helper.Task(UpdateCheck::task);
        mServer->release();
        QVERIFY(runChain());
        QCOMPARE(boxTexts(*mBoxes), QStringList({offerAtStart, askStart}));
        QCOMPARE(mServer->letters(), QByteArray("VUN"));
        QCOMPARE(startTexts(),
                 QStringList {file("Updater.exe") + "|PID tst_update|4|" + mFolder + '/'});
        w->upgradeMe(3);
        QCOMPARE(w->windowTitle(), rest);
        mServer->replies["Version.txt"] = "=1.1.0";
        mBoxes->boxes.clear();
        w->mnuUpdate_Click();
        QVERIFY(qobject_cast<frmDummy *>(Forms::first()));
        QTRY_COMPARE(w->windowTitle(), rest);
        QCOMPARE(boxTexts(*mBoxes), QStringList {nothingNew});
    }

    // SIGTERM, SIGINT and SIGHUP end the program as closing does, boxes open or not.
    void endsOnSignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("moment");
        QTest::newRow("SIGTERM, window at rest") << SIGTERM << "rest";
        QTest::newRow("SIGINT, the offer open") << SIGINT << "offer";
        QTest::newRow("SIGHUP, a start-up box open") << SIGHUP << "start-up box";
    }
    void endsOnSignal()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, moment);
        mBoxes.reset(); // real boxes
        if (moment == "start-up box")
            QVERIFY(QFile::remove(file("IrregularVerbs.txt")));
        const QString progressFile = stateFile("progress.txt");
        QVERIFY(QDir().mkpath(QFileInfo(progressFile).path()));
        QVERIFY(writeBytes(progressFile, progress));
        mServer->replies = {{"Version.txt", moment == "offer" ? "=1.2.0" : "=1.1.0"}};
        App::setUpdateServer(mServer->address());
        bool raised = false;
        QTimer probe;
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
            const bool atRest = Forms::count() == 2 && Forms::all().last()->windowTitle() == rest
                                && !mServer->requested.isEmpty();
            if (!raised
                && (moment == "rest" ? atRest : QApplication::activeModalWidget() != nullptr)) {
                raised = true;
                std::raise(signalNumber);
            }
        });
        probe.start();
        QCOMPARE(Globals::run(), 0);
        QVERIFY(raised);
        QCOMPARE(Forms::count(), 0);
        QVERIFY(!Globals::hasCopyHelper());
        QCOMPARE(fileBytes(progressFile), progress);
    }
};

QTEST_MAIN(tst_Update)
#include "tst_update.moc"
