// A release by make-release.sh, served by nginx, fetched by the chain and
// installed by the real updater over a stand-in program.

#include "minisigntool.h"
#include "updatechain.h"

#include <csignal>
#include <unistd.h>

#include <sys/prctl.h>

namespace {

const QString updaterBinary = QStringLiteral(VERBODROM_UPDATER);
const QString standinBinary = QStringLiteral(VERBODROM_STANDIN);
constexpr int waitMs = 10000;

bool putBytes(const QString &path, const QByteArray &bytes, QFileDevice::Permissions mode)
{
    return writeBytes(path, bytes) && QFile::setPermissions(path, mode);
}

const QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                            | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                            | QFileDevice::ExeOther;

// Starts nginx on a free port serving `root`; the port, 0 when it does not come up.
quint16 startNginx(QProcess &nginx, const QString &folder, const QString &root)
{
    const QString binary = QStandardPaths::findExecutable(
            QStringLiteral("nginx"),
            {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    nginx.setProgram(binary);
    nginx.setArguments({"-p", folder, "-c", folder + "/nginx.conf", "-e", folder + "/error.log"});
    nginx.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // A port found free may be taken before nginx binds it: try again.
    for (int attempt = 0; !binary.isEmpty() && attempt < 3; ++attempt) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        // Run by root, nginx would work as "nobody", who cannot read the folder.
        const QString config = QStringLiteral(R"(%1daemon off; master_process off;
pid "%2/nginx.pid";
events { worker_connections 16; }
http {
    access_log off; default_type application/octet-stream;
    client_body_temp_path "%2/body"; proxy_temp_path "%2/proxy"; fastcgi_temp_path "%2/fastcgi";
    uwsgi_temp_path "%2/uwsgi"; scgi_temp_path "%2/scgi";
    server { listen 127.0.0.1:%3; root "%4"; }
}
)")
                                       .arg(::geteuid() == 0 ? "user root root;\n" : "", folder,
                                            QString::number(port), root);
        if (!writeBytes(folder + "/nginx.conf", config.toUtf8()))
            return 0;
        nginx.start();
        for (QDeadlineTimer up(waitMs);
             !up.hasExpired() && nginx.state() != QProcess::NotRunning;) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(100))
                return port;
            QTest::qWait(20);
        }
        nginx.kill();
        nginx.waitForFinished(waitMs);
    }
    return 0;
}

// The pids and program sizes that the stand-ins noted, one pair a line.
QList<QPair<qint64, qint64>> starts(const QString &log)
{
    QList<QPair<qint64, qint64>> noted;
    for (const QByteArray &line : fileBytes(log).split('\n')) {
        if (const QList<QByteArray> fields = line.split(' '); fields.size() == 2)
            noted.append({fields[0].toLongLong(), fields[1].toLongLong()});
    }
    return noted;
}

} // namespace

class tst_Release : public UpdateChainTest
{
    Q_OBJECT

    QTemporaryDir mRoot;
    MinisignKeys mKeys;
    QProcess mNginx;
    quint16 mPort = 0;
    QString mStartLog;
    qsizetype mStartsBefore = 0;
    QByteArray mOld;
    QByteArray mNew;

    QString path(const QString &name) const { return mRoot.filePath(name); }

    // Starts the stand-in as `program` in its folder; null when it did not come up.
    std::unique_ptr<QProcess> startStandin(const QString &program, bool ignoreTerm)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (ignoreTerm)
            env.insert(QStringLiteral("STANDIN_IGNORE_TERM"), QStringLiteral("1"));
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(QFileInfo(program).path());
        const qsizetype before = starts(mStartLog).size();
        process->start(program, {});
        if (!process->waitForStarted(waitMs)
            || !QTest::qWaitFor([&] { return starts(mStartLog).size() > before; }, waitMs))
            return nullptr;
        return process;
    }

    // A fresh program folder: the old program, and New.exe as the row says.
    bool makeProgramFolder(const QString &folder, const QString &newExe)
    {
        const QString newFile = folder + "/New.exe";
        if (!QDir(folder).removeRecursively() || !QDir().mkpath(folder)
            || !putBytes(folder + "/VerbodromEN", mOld, executable))
            return false;
        if (newExe == "link")
            return putBytes(path("elsewhere"), mNew, executable)
                   && QFile::link(path("elsewhere"), newFile);
        return newExe == "missing"
               || putBytes(newFile, newExe == "empty" ? QByteArray() : mNew,
                           newExe == "noexec" ? QFileDevice::ReadOwner : executable);
    }

    // Runs the updater on pid in folder (a read-only one: as "nobody" when root).
    bool runUpdater(QProcess &updater, const QString &folder, qint64 pid, bool readOnly)
    {
        QStringList command {path("build/bin/verbodrom-updater"), QString::number(pid),
                             QStringLiteral("VerbodromEN")};
        if (readOnly) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
            if (::geteuid() == 0)
                command = QStringList {"setpriv", "--reuid=65534", "--regid=65534",
                                       "--clear-groups", "--"}
                          + command;
        }
        updater.setWorkingDirectory(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VERBODROM_UPDATER_WAIT_MS"), QStringLiteral("300"));
        updater.setProcessEnvironment(env);
        updater.start(command.takeFirst(), command);
        const bool ended = updater.waitForFinished(waitMs);
        QFile::setPermissions(folder, executable);
        return ended;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Root runs one row as "nobody", who must reach into these folders.
        QVERIFY(QFile::setPermissions(mRoot.path(),
                                      executable | QFileDevice::ReadGroup | QFileDevice::ExeGroup));
        QVERIFY(mKeys.make());
        if (!mKeys.key)
            QSKIP("minisign is not installed");
        // A build folder as make-release.sh reads it, the stand-in as program.
        QVERIFY(QDir().mkpath(path("build/bin")) && QDir().mkpath(path("logs")));
        mOld = fileBytes(standinBinary) + "old";
        mNew = fileBytes(standinBinary) + "new bytes";
        QVERIFY(putBytes(path("build/bin/VerbodromEN"), mNew, executable));
        QVERIFY(QFile::copy(updaterBinary, path("build/bin/verbodrom-updater")));
        QVERIFY(writeBytes(path("build/CMakeCache.txt"), "CMAKE_PROJECT_VERSION:STATIC=1.2.0\n"));
        QProcess make;
        make.start(QStringLiteral(VERBODROM_MAKE_RELEASE),
                   {"--key", mKeys.key->secretKeyFile, path("build"), path("www")});
        QVERIFY(make.waitForFinished(waitMs));
        QVERIFY2(make.exitCode() == 0, make.readAllStandardError());
        QVERIFY(QDir().mkpath(path("nginx")));
        mPort = startNginx(mNginx, path("nginx"), path("www"));
        if (!mPort)
            QSKIP("nginx is not installed or does not start");
        mStartLog = path("logs/started.txt");
        QVERIFY(putBytes(mStartLog, {}, QFileDevice::Permissions(0x6666)));
        QVERIFY(QFile::setPermissions(path("logs"), QFileDevice::Permissions(0x7777)));
        qputenv("STANDIN_LOG", QFile::encodeName(mStartLog));
    }
    void cleanupTestCase()
    {
        mNginx.terminate();
        mNginx.waitForFinished(waitMs);
    }
    void init()
    {
        initChain();
        mStartsBefore = starts(mStartLog).size();
    }
    void cleanup()
    {
        // Stand-ins started meanwhile from this test's folders, by their pids.
        const auto noted = starts(mStartLog);
        for (qsizetype i = mStartsBefore; i < noted.size(); ++i) {
            const QString exe = QStringLiteral("/proc/%1/exe").arg(noted[i].first);
            if (QFileInfo(exe).symLinkTarget().startsWith(mRoot.path()))
                ::kill(pid_t(noted[i].first), SIGKILL);
        }
        cleanupChain();
    }

    // What only nginx and the real updater show (tst_update has the chain's rows):
    // make-release's signed files fetched and accepted, the updater started; it
    // takes this test for a foreign process, never signalled, and starts New.exe.
    void chainThroughNginx()
    {
        const QString folder = path("Programm Ördner");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(file("IrregularVerbs.txt"), folder + "/IrregularVerbs.txt"));
        App::setPath(folder);
        App::setUpdateKey(QString::fromLatin1(mKeys.key->publicLine));
        mShell.reset(); // the real start
        frmMain *w = startWindow(QStringLiteral("127.0.0.1:%1").arg(mPort));
        w->mnuUpdate_Click();
        QVERIFY(runChain());
        QCOMPARE(boxTexts(*mBoxes), QStringList({offer, askStart}));
        QTRY_COMPARE_WITH_TIMEOUT(starts(mStartLog).size(), mStartsBefore + 1, waitMs);
        QCOMPARE(starts(mStartLog).last().second, qint64(mNew.size()));
        QCOMPARE(fileBytes(folder + "/tst_release"), mNew);
        const QByteArray log = fileBytes(stateFile("updater.log"));
        QVERIFY2(log.count('\n') == 1
                         && log.contains(
                                 "taken as ended; New.exe put in place; tst_release started"),
                 log);
    }

    // The updater over a stand-in: what runs, what New.exe is, the exit status,
    // which program starts. VERBODROM_UPDATER_WAIT_MS cuts the wait.
    void updater_data()
    {
        QTest::addColumn<QString>("folderName");
        QTest::addColumn<QString>(
                "running"); // "program", "stubborn", "foreign", "ended" (+ a read-only folder)
        QTest::addColumn<QString>("newExe"); // "new", "missing", "empty", "noexec", "link"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("started");
        const auto row = [](const char *name, const char *running, const char *newExe, int status,
                            const char *started, const char *folder = "Programm") {
            QTest::newRow(name) << QString::fromUtf8(folder) << running << newExe << status
                                << started;
        };
        row("the program ends on SIGTERM", "program", "new", 0, "new");
        row("the program has ended already", "ended", "new", 0, "new");
        row("a program of that name in another folder: never signalled", "foreign", "new", 0,
            "new");
        row("the program ignores SIGTERM: nothing changes", "stubborn", "new", 1, "");
        row("no New.exe: the old program again", "program", "missing", 3, "old");
        row("empty New.exe", "program", "empty", 3, "old");
        row("New.exe not executable", "program", "noexec", 3, "old");
        row("New.exe a link to a program elsewhere", "program", "link", 3, "old");
        row("read-only folder", "ended, read-only", "new", 3, "old");
        row("blanks and non-ASCII letters", "program", "new", 0, "new", "Pro gramm Öß");
    }
    void updater()
    {
        QFETCH(QString, running);
        QFETCH(QString, newExe);
        QFETCH(QString, started);
        QFETCH(QString, folderName);
        const QString folder = path(folderName);
        const QString program = folder + "/VerbodromEN";
        QVERIFY(makeProgramFolder(folder, newExe));
        if (running == "foreign")
            QVERIFY(QDir().mkpath(path("foreign"))
                    && putBytes(path("foreign/VerbodromEN"), mOld, executable));
        const std::unique_ptr<QProcess> process
                = startStandin(running == "foreign" ? path("foreign/VerbodromEN") : program,
                               running == "stubborn");
        QVERIFY(process);
        const qint64 pid = process->processId();
        if (running.startsWith("ended")) { // the id of a process that has ended
            process->kill();
            QVERIFY(process->waitForFinished(waitMs));
        }
        const qsizetype before = starts(mStartLog).size();
        QProcess updater;
        const bool readOnly = running.endsWith("read-only");
        QVERIFY(runUpdater(updater, folder, pid, readOnly));
        QTEST(updater.exitCode(), "status");
        const bool replaced = updater.exitCode() == 0;
        QCOMPARE(fileBytes(program), replaced ? mNew : mOld);
        QCOMPARE(QFileInfo(folder + "/New.exe").exists()
                         || QFileInfo(folder + "/New.exe").isSymLink(),
                 !replaced && newExe != "missing");
        QTRY_COMPARE_WITH_TIMEOUT(starts(mStartLog).size(), before + int(!started.isEmpty()),
                                  waitMs);
        if (!started.isEmpty())
            QCOMPARE(starts(mStartLog).last().second, started == "new" ? mNew.size() : mOld.size());
        // Only the program itself was asked to end.
        if (running == "stubborn" || running == "foreign")
            QVERIFY(!process->waitForFinished(300)); // still running a while later
        else
            QTRY_COMPARE(process->state(), QProcess::NotRunning);
        process->kill();
        process->waitForFinished(waitMs);
        // One line for the run, on stderr when the log cannot be written ("nobody").
        const QByteArray log = readOnly && ::geteuid() == 0 ? updater.readAllStandardError()
                                                            : fileBytes(stateFile("updater.log"));
        QVERIFY2(log.count('\n') == 1 && log.contains(folder.toUtf8()), log);
    }

    // Anything but a process id and a plain file name: nothing done, one line why.
    void updaterArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("three") << QStringList {"1", "VerbodromEN", "x"};
        QTest::newRow("a slash") << QStringList {"1", "../VerbodromEN"};
        QTest::newRow("dot dot") << QStringList {"1", "Verbodrom..EN"};
        QTest::newRow("no process id") << QStringList {"x", "VerbodromEN"};
    }
    void updaterArguments()
    {
        QFETCH(QStringList, arguments);
        QProcess updater;
        updater.setWorkingDirectory(mFolder);
        updater.start(updaterBinary, arguments);
        QVERIFY(updater.waitForFinished(waitMs));
        QCOMPARE(updater.exitCode(), 2);
        QCOMPARE(updater.readAllStandardError().count('\n'), 1);
        QCOMPARE(QDir(mFolder).entryList(QDir::Files).size(), 1);
        QVERIFY(!QFile::exists(qEnvironmentVariable("XDG_STATE_HOME")));
    }
};

QTEST_MAIN(tst_Release)
#include "tst_release.moc"
