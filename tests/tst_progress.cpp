#include "trainer/ProgressStats.h"
#include "trainer/ProgressStore.h"
#include "trainer/VerbList.h"

#include "testsupport.h"

#include <QDir>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// Berlin time: a local day differs from the UTC day, and the clocks change.
const QDate today(2026, 12, 6);

QString keyOf(const QString &word)
{
    return QStringLiteral("to ") + word + u'\t' + word;
}

// "06-05", or "2025-12-06" outside 2026.
QDate dateOf(const QString &text)
{
    return QDate::fromString(text.size() == 5 ? QStringLiteral("2026-") + text : text, Qt::ISODate);
}
QString dateText(QDate date)
{
    return date.toString(date.year() == 2026 ? QStringLiteral("MM-dd")
                                             : QStringLiteral("yyyy-MM-dd"));
}

// "WORD DATE TIME FORMS;...": FORMS "-" right or "x" wrong each; "reset" forgets.
ProgressChanges changesOf(const QString &script)
{
    ProgressChanges changes;
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        const QStringList part = step.split(u' ', Qt::SkipEmptyParts);
        if (part.at(0) == u"reset") {
            changes.reset = true;
            continue;
        }
        ProgressCheck check {
                keyOf(part.at(0)),
                QDateTime(dateOf(part.at(1)), QTime::fromString(part.at(2), Qt::ISODateWithMs)),
                {}};
        for (int form = 0; form < 3; ++form)
            check.wrong[form] = part.at(3).at(form) == u'x';
        changes.checks.append(check);
    }
    return changes;
}

QString counts(const DayCount &count)
{
    return QStringLiteral("%1/%2").arg(count.checked).arg(count.right);
}
QString missText(const std::array<quint32, 3> &m)
{
    return QStringLiteral("%1%2%3").arg(m[0]).arg(m[1]).arg(m[2]);
}

// "burn:2@12-06 go:1@12-06 m100 w12-06 | 12-06=2/1 | before=1/1"
QString summary(const ProgressState &state)
{
    QStringList keys = state.verbs.keys(), verbs, days;
    std::sort(keys.begin(), keys.end());
    for (const QString &key : keys) {
        const VerbProgress &v = state.verbs[key];
        QString line
                = key.section(u'\t', 1) + u':' + QString::number(v.box) + u'@' + dateText(v.seen);
        if (v.misses != std::array<quint32, 3> {})
            line += " m" + missText(v.misses);
        if (v.lastWrong.isValid())
            line += QStringLiteral(" w") + dateText(v.lastWrong);
        verbs << line;
    }
    for (auto day = state.days.cbegin(); day != state.days.cend(); ++day)
        days << dateText(day.key()) + u'=' + counts(*day);
    QString text = verbs.join(u' ') + QStringLiteral(" | ") + days.join(u' ');
    if (state.earlier != DayCount())
        text += QStringLiteral(" | before=") + counts(state.earlier);
    return text;
}

const QByteArray headV1("verbodrom-progress 1\nrepeat-mistakes on\n");
const QByteArray headV2("verbodrom-progress 2\nrepeat-mistakes on\n");
const QByteArray fileV1 = headV1 + "1\t2026-10-27\tto burn\tbrennen\n3\t2026-12-06\tto go\tgehen\n";
// Noon of 2026-10-27 and 2026-12-06 in Berlin.
const QByteArray fileV2
        = headV2
          + "before\t7\t5\nday\t2026-12-05\t3\t2\n"
            "verb\t1\t2026-10-27\t1793098800000\t0\t0\t0\t\tto burn\tbrennen\n"
            "verb\t3\t2026-12-06\t1796554800000\t2\t0\t11\t2026-12-01\tto go\tgehen\n";
const QByteArray corruptV1 = headV1 + "9\t2026-12-06\tto go\tgehen\n";

} // namespace

class tst_Progress : public QObject
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
        if (kind == u"folder")
            QDir().mkdir(path());
        else if (kind.endsWith(u"pipe"))
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
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
    }
    void init() { QVERIFY(QDir(mDir.filePath(QStringLiteral("state"))).removeRecursively()); }

    // Box b is due 2^(b-1) calendar days after its check.
    void leitner()
    {
        const QDate spring(2026, 3, 28); // the night after has 23 hours
        for (quint8 box = 1; box <= 5; ++box) {
            const qint64 days = qint64(1) << (box - 1);
            QVERIFY(!Leitner::isDue(box, spring, spring.addDays(days - 1)));
            QVERIFY(Leitner::isDue(box, spring, spring.addDays(days)));
        }
    }

    // Each row: a file's bytes and the version 2 file they read as.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("written");
        const QByteArray v1AsV2
                = headV2
                  + "verb\t1\t2026-10-27\t1793098800000\t0\t0\t0\t\tto burn\tbrennen\n"
                    "verb\t3\t2026-12-06\t1796554800000\t0\t0\t0\t\tto go\tgehen\n";
        QTest::newRow("v1-read-without-loss") << fileV1 << v1AsV2;
        QTest::newRow("v2-as-written") << fileV2 << fileV2;
        QTest::newRow("cr-lf-no-final-line-end")
                << QByteArray(fileV2).replace("\n", "\r\n").chopped(2) << fileV2;
        QTest::newRow("empty-lines") << QByteArray(fileV1).replace("on\n", "on\n\n\n") << v1AsV2;
        QTest::newRow("header-only-off")
                << QByteArray("verbodrom-progress 1\nrepeat-mistakes off")
                << QByteArray("verbodrom-progress 2\nrepeat-mistakes off\n");
        QTest::newRow("v1-day-before-1970-time-0")
                << headV1 + "2\t0226-10-27\tto go\tgehen\n"
                << headV2 + "verb\t2\t0226-10-27\t0\t0\t0\t0\t\tto go\tgehen\n";
        QTest::newRow("named-twice-last-wins") << fileV1 + "1\t2026-12-06\tto go\tgehen\n"
                                               << QByteArray(v1AsV2).replace("verb\t3", "verb\t1");
        const QByteArray escapes
                = headV2
                  + "verb\t2\t2026-01-31\t1\t0\t0\t0\t\ta\\\\b\\r\tc\\td\\n bei\xc3\x9f"
                    "en\n";
        QTest::newRow("escapes-and-utf8") << escapes << escapes;
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        const std::optional<ProgressState> state = parseProgress(bytes);
        QVERIFY(state);
        QTEST(formatProgress(*state), "written");
    }

    void parseRejects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray verbV1("1\t2026-12-06\tto go\tgehen\n");
        const QByteArray verbV2("verb\t1\t2026-12-06\t0\t0\t0\t0\t\tto go\tgehen\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no-toggle-line") << QByteArray("verbodrom-progress 1\n");
        QTest::newRow("newer-version") << QByteArray(fileV2).replace("progress 2", "progress 3");
        QTest::newRow("toggle-unknown") << QByteArray(fileV1).replace("mistakes on", "mistakes ja");
        QTest::newRow("v1-box-9") << headV1 + QByteArray(verbV1).replace("1\t", "9\t");
        QTest::newRow("v1-box-other-script-digit") << headV1 + "\xd9\xa3" + verbV1.mid(1);
        QTest::newRow("v1-date-no-day") << headV1 + QByteArray(verbV1).replace("12-06", "02-30");
        QTest::newRow("v1-three-fields") << headV1 + "1\t2026-12-06\tto go\n";
        QTest::newRow("v1-line-in-v2") << headV2 + verbV1;
        QTest::newRow("v2-box-6") << headV2 + QByteArray(verbV2).replace("verb\t1", "verb\t6");
        QTest::newRow("v2-time-signed")
                << headV2 + QByteArray(verbV2).replace("06\t0\t", "06\t-1\t");
        QTest::newRow("v2-misses-ten-digits")
                << headV2 + QByteArray(verbV2).replace("\t0\t\t", "\t1234567890\t\t");
        QTest::newRow("v2-last-wrong-no-date")
                << headV2 + QByteArray(verbV2).replace("\t\t", "\tx\t");
        QTest::newRow("v2-eleven-fields") << headV2 + QByteArray(verbV2).replace("\n", "\tx\n");
        QTest::newRow("day-right-above-checked") << headV2 + "day\t2026-12-06\t2\t3\n";
        QTest::newRow("day-unknown-tag") << headV2 + "days\t2026-12-06\t2\t1\n";
        QTest::newRow("unknown-escape") << headV1 + "1\t2026-12-06\tto\\x go\tgehen\n";
        QTest::newRow("lone-backslash-at-end") << headV1 + "1\t2026-12-06\tto go\tgehen\\\n";
        QTest::newRow("not-utf8") << headV1 + "1\t2026-12-06\tto bite\tbei\337en\n";
        QTest::newRow("line-over-bound")
                << headV1 + "1\t2026-12-06\tto go\t" + QByteArray(MaxProgressLineBytes, 'g') + '\n';
        QTest::newRow("verbs-over-cap") << headV1 + verbV1.repeated(MaxKeptVerbs + 1);
        QByteArray days = headV2;
        for (int d = 0; d <= MaxHistoryDays; ++d)
            days += "day\t" + today.addDays(-d).toString(Qt::ISODate).toLatin1() + "\t1\t1\n";
        QTest::newRow("days-over-history") << days;
    }
    void parseRejects()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!parseProgress(bytes));
    }

    // Each row: changes applied in turn, and the state that results on today.
    void changes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("state");
        QTest::newRow("right-up-wrong-back-misses-per-form")
                << "go 12-06 10:00 ---; go 12-06 10:01 ---; go 12-06 10:02 -x-; go 12-06 10:03 x-x"
                << "go:1@12-06 m111 w12-06 | 12-06=4/2";
        QTest::newRow("earlier-check-counts-later-box-wins")
                << "go 12-06 12:00 ---; go 12-05 11:00 x-x"
                << "go:2@12-06 m101 w12-05 | 12-05=1/0 12-06=1/1";
        QTest::newRow("other-lists-verbs-kept")
                << "go 12-01 10:00 ---; be 12-02 10:00 x--; burn 12-06 10:00 ---"
                << "be:1@12-02 m100 w12-02 burn:2@12-06 go:2@12-01 | 12-01=1/1 12-02=1/0 12-06=1/1";
        QTest::newRow("reset-forgets-verbs-not-days")
                << "go 12-06 10:00 x--; reset; be 12-06 11:00 ---"
                << "be:2@12-06 | 12-06=2/1";
        QTest::newRow("days-over-365-summed")
                << "go 2025-12-06 10:00 ---; go 2025-12-07 10:00 x--; go 12-06 10:00 ---"
                << "go:2@12-06 m100 w2025-12-07 | 2025-12-07=1/0 12-06=1/1 | before=1/1";
        QTest::newRow("midnight-splits-days")
                << "go 12-04 23:59:59.999 ---; be 12-05 00:00 x--"
                << "be:1@12-05 m100 w12-05 go:2@12-04 | 12-04=1/1 12-05=1/0";
        // 00:30 in Berlin is the day before in UTC; 03-29 has 23 hours, 10-25 has 25.
        QTest::newRow("short-day-in-spring-local-not-utc")
                << "go 03-29 00:30 ---; be 03-29 03:00 ---; do 03-29 23:59 ---"
                << "be:2@03-29 do:2@03-29 go:2@03-29 | 03-29=3/3";
        QTest::newRow("long-day-in-autumn")
                << "go 10-25 00:30 ---; be 10-25 02:30 x--; do 10-25 23:30 ---"
                << "be:1@10-25 m100 w10-25 do:2@10-25 go:2@10-25 | 10-25=3/2";
    }
    void changes()
    {
        QFETCH(QString, script);
        ProgressState state;
        for (const QString &step : script.split(u';'))
            applyChanges(state, changesOf(step), today);
        QTEST(summary(state), "state");
        QVERIFY(parseProgress(formatProgress(state)) == state);
    }

    // One verb over MaxKeptVerbs drops the one checked longest ago, of any list.
    void keptVerbsBounded()
    {
        ProgressChanges changes;
        const QDateTime start(today, QTime(8, 0), Qt::UTC);
        for (int i = MaxKeptVerbs; i >= 0; --i)
            changes.checks.append({QString::number(i), start.addSecs(i), {}});
        ProgressState state;
        applyChanges(state, changes, today);
        QCOMPARE(state.verbs.size(), MaxKeptVerbs);
        QVERIFY(!state.verbs.contains(QStringLiteral("0"))
                && state.verbs.contains(QStringLiteral("1")));
    }

    // A list's boxes, the days with gaps, the most missed, today's outlook.
    void stats()
    {
        QList<VerbEntry> verbs;
        for (const char *word : {"go", "be", "do", "go", "see", "new", "cut"})
            verbs << *parseVerbLine(QStringLiteral("to %1\tp\tpp\t%1").arg(QLatin1String(word)));
        ProgressState state;
        applyChanges(state,
                     changesOf("go 12-06 09:00 x--; go 12-06 09:05 -x-; be 12-03 10:00 xxx; "
                               "do 12-03 10:00 ---; see 12-05 10:00 ---; see 12-05 11:00 ---; "
                               "cut 12-02 10:00 x--; cut 12-04 10:00 ---; gone 12-06 10:00 xxx"),
                     today);
        const ListProgress list = listProgress(verbs, state);
        // never practised: "new"; box 1: go (twice in the list), be; box 2: do, cut; box 3: see
        QCOMPARE(ProgressStats::boxCounts(list), (std::array<qsizetype, 6> {1, 3, 2, 1, 0, 0}));
        // due: go, go, be (mistakes), do (box 2 since 12-03), cut (since 12-04); see waits
        QCOMPARE(ProgressStats::outlookCaption(ProgressStats::outlook(list, today)),
                 QStringLiteral("5 Verben fällig heute, 1 neu"));
        QCOMPARE(ProgressStats::outlookCaption({1, 0}),
                 QStringLiteral("1 Verb fällig heute, 0 neu"));
        QStringList days;
        for (const ProgressStats::Day &day : ProgressStats::recentDays(state, today, 6))
            days << dateText(day.date) + (day.count ? u'=' + counts(*day.count) : QString());
        QCOMPARE(days.join(u' '),
                 QStringLiteral("12-01 12-02=1/0 12-03=2/1 12-04=1/1 12-05=2/2 12-06=3/0"));
        QStringList missed;
        for (const ProgressStats::MissedVerb &verb : ProgressStats::mostMissed(list, 3))
            missed << QString::number(verb.verb) + u':' + missText(verb.misses) + u'@'
                              + dateText(verb.lastWrong);
        // be has most; go and cut one each, go wrong last; "gone" is not listed
        QCOMPARE(missed.join(u' '), QStringLiteral("1:111@12-03 0:110@12-06 6:100@12-02"));
    }

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
        QTest::newRow("folder") << "folder" << unusable;
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
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                                   "ignored: .* cannot be moved aside")));
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

QTEST_GUILESS_MAIN(tst_Progress)
#include "tst_progress.moc"
