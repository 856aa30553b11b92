#include "progresstest.h"

#include <QDir>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace ProgressTest;

// The progress file on disk: its place, two copies, unusable files, the lock.
class tst_ProgressStore : public QObject
{
    Q_OBJECT

    QString path() const { return mDir.filePath(QStringLiteral("state/verbodrom/progress.txt")); }
    QString folder() const { return QFileInfo(path()).absolutePath(); }
    QTemporaryDir mDir;

    // Puts the row's kind at the file's place; gives a link's target.
    QString placeUnusable(const QString &kind)
    {
        QString target = mDir.filePath(QStringLiteral("elsewhere"));
        QFile::remove(target);
        if (kind == u"link-device"
            && ::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            target = QStringLiteral("/dev/null");
        const QString at = kind.startsWith(u"link") ? target : path();
        if (kind.endsWith(u"pipe"))
            ::mkfifo(QFile::encodeName(at).constData(), 0600);
        else if (kind != u"link-device") // a sparse file: no real 64 MiB written
            writeBytes(at, kind == u"corrupt" ? corruptV1 : fileV2)
                    && (kind != u"large" || QFile::resize(at, MaxProgressFileBytes + 1));
        if (kind.startsWith(u"link"))
            QFile::link(target, path());
        if (kind == u"locked")
            QFile::setPermissions(path(), QFileDevice::WriteOwner);
        return target;
    }
private Q_SLOTS:
    void initTestCase() { useBerlinTime(); }
    void init() { QVERIFY(QDir(mDir.filePath(QStringLiteral("state"))).removeRecursively()); }

    // The state folder is ~/.local/state unless XDG_STATE_HOME is an absolute path.
    void filePath()
    {
        const QByteArray home = qgetenv("HOME"), oldState = qgetenv("XDG_STATE_HOME");
        qputenv("HOME", "/home/learner");
        for (const char *stateHome : {"", "st"}) {
            qputenv("XDG_STATE_HOME", stateHome);
            QCOMPARE(progressFilePath(),
                     QStringLiteral("/home/learner/.local/state/verbodrom/progress.txt"));
        }
        qputenv("HOME", home);
        qputenv("XDG_STATE_HOME", oldState);
    }

    // Two copies write in turns, merging: nothing is lost. Folder and file are private.
    void twoCopies()
    {
        ProgressStore first(path()), second(path());
        first.load(today);
        second.load(today);
        const QStringList turns {"go 12-06 10:00 x--", "be 12-06 10:01 ---", "go 12-06 10:02 ---",
                                 "do 12-06 10:03 -x-", "go 12-06 10:04 ---"};
        for (int turn = 0; turn < turns.size(); ++turn)
            QVERIFY((turn % 2 ? second : first).change(changesOf(turns[turn]), today));
        const QString all = "be:2@12-06 do:1@12-06 m010 w12-06 go:3@12-06 m100 w12-06 | 12-06=5/3";
        QCOMPARE(summary(first.state()), all);
        ProgressStore third(path());
        third.load(today);
        QCOMPARE(summary(third.state()), all);
        QCOMPARE(QFile::permissions(path()) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QFile::permissions(folder()) & 0x0044, QFileDevice::Permissions());
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList {"progress.txt"}); // no temporary or lock left
    }

    // An unusable file is moved aside once, told once; a link's target is untouched.
    void unusableFileMovedAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString unusable = QStringLiteral("it is no regular file or cannot be read");
        QTest::newRow("corrupt-box-9") << "corrupt"
                                       << "it is not a progress file of this program";
        QTest::newRow("too-large") << "large"
                                   << "it is too large";
        QTest::newRow("no-read-permission") << "locked" << unusable;
        QTest::newRow("pipe") << "pipe" << unusable;
        QTest::newRow("link-to-pipe") << "link-pipe" << unusable;
        QTest::newRow("link-to-device") << "link-device" << unusable;
        QTest::newRow("link-to-file-elsewhere") << "link-file" << QString(); // read, then replaced
    }
    void unusableFileMovedAside()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QVERIFY(QDir().mkpath(folder()));
        const QString target = placeUnusable(kind);
        QVERIFY(QFileInfo(path()).exists() || QFileInfo(path()).isSymLink());
        if (kind == u"locked" && QFile(path()).open(QIODevice::ReadOnly))
            QSKIP("root reads files without read permission");
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        const QString aside = path() + QStringLiteral(".unreadable-2026-12-06");
        if (!reason.isEmpty())
            QTest::ignoreMessage(
                    QtWarningMsg,
                    qPrintable(QStringLiteral("Progress file %1 ignored: %2; moved to %3")
                                       .arg(path(), reason, aside)));
        ProgressStore store(path());
        store.load(today);
        QCOMPARE(store.state().verbs.size(), reason.isEmpty() ? 2 : 0);
        QVERIFY(store.change(changesOf("see 12-06 10:00 ---"), today));
        QVERIFY(QFileInfo(path()).isFile() && !QFileInfo(path()).isSymLink());
        QCOMPARE(parseProgress(fileBytes(path()))->verbs.size(), reason.isEmpty() ? 3 : 1);
        QCOMPARE(QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(), !reason.isEmpty());
        if (kind == u"corrupt" || kind == u"locked") {
            QFile::setPermissions(aside, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QCOMPARE(fileBytes(aside), kind == u"corrupt" ? corruptV1 : fileV2); // as it was
        }
        if (kind.startsWith(u"link")) {
            struct stat untouched
            {};
            QCOMPARE(::stat(QFile::encodeName(target).constData(), &untouched), 0);
            const auto type = untouched.st_mode & S_IFMT;
            QCOMPARE(type, kind == u"link-file"   ? S_IFREG
                           : kind == u"link-pipe" ? S_IFIFO
                                                  : S_IFCHR);
            if (kind == u"link-file")
                QCOMPARE(fileBytes(target), fileV2);
            if (kind == u"link-pipe")
                QCOMPARE(QFileInfo(aside).symLinkTarget(), target);
        }
    }

    // A held lock delays a write a bounded time; a stale one or a pipe never blocks.
    void lock()
    {
        QVERIFY(QDir().mkpath(folder()));
        const QString lockPath = path() + QStringLiteral(".lock");
        ProgressStore store(path(), 50);
        {
            QLockFile held(lockPath);
            QVERIFY(held.tryLock());
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                                       "^Progress not kept: .*holds its lock")));
            QVERIFY(!store.change(changesOf("go 12-06 10:00 ---"), today));
            QVERIFY(store.hasUnwritten() && !QFile::exists(path()));
            QVERIFY(!store.change(changesOf("be 12-06 10:01 ---"), today)); // told once
        }
        QVERIFY(::mkfifo(QFile::encodeName(lockPath).constData(), 0600) == 0);
        QVERIFY(store.change(changesOf("do 12-06 10:02 ---"), today));
        QCOMPARE(summary(store.state()),
                 QStringLiteral("be:2@12-06 do:2@12-06 go:2@12-06 | 12-06=3/3"));
        QFile stale(lockPath);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("999999999\nx\ny\n") > 0
                && stale.flush());
        QVERIFY(stale.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
        stale.close();
        QVERIFY(store.change(changesOf("see 12-06 10:03 ---"), today));
    }

    // An unusable file that cannot be moved aside is never overwritten.
    void unmovableFileNeverOverwritten()
    {
        QVERIFY(QDir().mkpath(folder()) && writeBytes(path(), corruptV1));
        const QString aside = path() + QStringLiteral(".unreadable-2026-12-06");
        for (int n = 1; n <= 100; ++n)
            QVERIFY(QFile(n == 1 ? aside : aside + u'-' + QString::number(n))
                            .open(QIODevice::WriteOnly));
        expectOnlyWarning("ignored: .* cannot be moved aside");
        ProgressStore store(path());
        store.load(today);
        QVERIFY(!store.change(changesOf("go 12-06 10:00 ---"), today));
        QVERIFY(store.hasUnwritten());
        QCOMPARE(fileBytes(path()), corruptV1);
        QVERIFY(QFile::remove(aside + QStringLiteral("-7")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("moved to .*-7$")));
        QVERIFY(store.change(changesOf("be 12-06 10:01 ---"), today));
        QCOMPARE(fileBytes(aside + QStringLiteral("-7")), corruptV1);
        QCOMPARE(summary(store.state()), QStringLiteral("be:2@12-06 go:2@12-06 | 12-06=2/2"));
    }
};

QTEST_GUILESS_MAIN(tst_ProgressStore)
#include "tst_progressstore.moc"
