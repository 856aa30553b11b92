#include "trainer/Leitner.h"
#include "trainer/Progress.h"
#include "trainer/Score.h"
#include "trainer/VerbList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numeric>

#include <sys/stat.h>

namespace {

QList<quint8> boxList(const QString &text)
{
    QList<quint8> boxes;
    for (const QString &box : text.split(u' ', Qt::SkipEmptyParts))
        boxes << quint8(box.toInt());
    return boxes;
}

VerbEntry verb(const QString &line)
{
    return parseVerbLine(line).value();
}

const QDate day(2026, 12, 6);

ProgressState sampleState()
{
    ProgressState state;
    state.repeatMistakes = true;
    state.verbs.insert(QStringLiteral("to go\tgehen"), {3, day});
    state.verbs.insert(QStringLiteral("to burn\tbrennen"), {1, day.addDays(-40)});
    return state;
}

const QByteArray sampleFile("verbodrom-progress 1\nrepeat-mistakes on\n"
                            "1\t2026-10-27\tto burn\tbrennen\n3\t2026-12-06\tto go\tgehen\n");

} // namespace

class tst_Progress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void draw_data();
    void draw();
    void drawEnds_data();
    void drawEnds();
    void nextBox_data();
    void nextBox();
    void score_data();
    void score();
    void parse_data();
    void parse();
    void parseRejects_data();
    void parseRejects();
    void keysAndBoxes();
    void filePath_data();
    void filePath();
    void readFile_data();
    void readFile();
    void writeFile();

private:
    QTemporaryDir mDir;
};

// Each row: the verbs' boxes, the previous draw, and the share each verb gets
// of an even sweep of r over [0, 1), in units of 1/sum.
void tst_Progress::draw_data()
{
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<int>("previous");
    QTest::addColumn<QString>("shares");

    QTest::newRow("halving-per-box") << "1 2 3 4 5" << -1 << "16 8 4 2 1";
    QTest::newRow("never-twice-weighted") << "1 3 5" << 1 << "0 4 1";
    QTest::newRow("one-verb-drawn-again") << "3" << 1 << "1";
    QTest::newRow("all-in-box-5-even") << "5 5 5 5" << -1 << "1 1 1 1";
    QTest::newRow("previous-outside-list-ignored") << "2 2" << 7 << "1 1";
    QTest::newRow("box-outside-range-nearest") << "0 9" << -1 << "16 1";
}

void tst_Progress::draw()
{
    QFETCH(QString, boxes);
    QFETCH(int, previous);
    QFETCH(QString, shares);
    const QList<quint8> list = boxList(boxes), expected = boxList(shares);
    const int sum = std::accumulate(expected.begin(), expected.end(), 0);
    // Points in the middle of equal steps: each verb gets exactly its share.
    constexpr int stepsPerUnit = 8;
    const int steps = sum * stepsPerUnit;
    QList<int> counts(list.size());
    for (int i = 0; i < steps; ++i) {
        const qint16 k = Leitner::draw((float(i) + 0.5f) / float(steps), list, qint16(previous));
        QVERIFY(k >= 1 && k <= list.size());
        ++counts[k - 1];
    }
    for (qsizetype k = 0; k < list.size(); ++k)
        QCOMPARE(counts[k], expected[k] * stepsPerUnit);
}

void tst_Progress::drawEnds_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("index");

    const float belowOne = std::nextafter(1.0f, 0.0f);
    QTest::newRow("empty-list") << 0.5f << "" << -1 << -1;
    QTest::newRow("zero-first-eligible") << 0.0f << "1 1 1" << 1 << 2;
    QTest::newRow("below-one-last-eligible") << belowOne << "1 1 1" << 3 << 2;
    QTest::newRow("one-clamped-last-eligible") << 1.0f << "1 1 1" << 3 << 2;
    QTest::newRow("negative-clamped-first") << -2.0f << "5 1" << -1 << 1;
    QTest::newRow("largest-table-top")
            << belowOne << QString(QStringLiteral("1 ")).repeated(32760) << -1 << 32760;
}

void tst_Progress::drawEnds()
{
    QFETCH(float, r);
    QFETCH(QString, boxes);
    QFETCH(int, previous);
    QTEST(int(Leitner::draw(r, boxList(boxes), qint16(previous))), "index");
}

void tst_Progress::nextBox_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("next");

    QTest::newRow("up-one") << 3 << true << 4;
    QTest::newRow("last-stays") << 5 << true << 5;
    QTest::newRow("wrong-back-to-first") << 4 << false << 1;
}

void tst_Progress::nextBox()
{
    QFETCH(int, box);
    QFETCH(bool, right);
    QTEST(int(Leitner::nextBox(quint8(box), right)), "next");
}

// Each row is a run of events: d (a verb drawn), r or w (a check, all right
// or not), f (the list read again); then the verbs right and checked. The
// window flows cover a second check and a reload.
void tst_Progress::score_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("checked");

    QTest::newRow("check-before-draw") << "rdr" << 1 << 1;
    QTest::newRow("drawn-twice-checked-once") << "ddr" << 1 << 1;
    QTest::newRow("session-with-reload") << "drdwdrrdfrdr" << 3 << 4;
}

void tst_Progress::score()
{
    QFETCH(QString, events);
    SessionScore score;
    for (const QChar event : events) {
        if (event == u'd')
            score.verbDrawn();
        else if (event == u'f')
            score.verbForgotten();
        else
            score.verbChecked(event == u'r');
    }
    QTEST(score.right(), "right");
    QTEST(score.checked(), "checked");
}

void tst_Progress::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("count");

    QTest::newRow("as-written") << sampleFile << "to go\tgehen" << 3 << 2;
    QTest::newRow("cr-lf-no-final-line-end")
            << QByteArray(sampleFile).replace("\n", "\r\n").chopped(2) << "to go\tgehen" << 3 << 2;
    QTest::newRow("empty-lines") << QByteArray(sampleFile).replace("on\n", "on\n\n\n")
                                 << "to burn\tbrennen" << 1 << 2;
    QTest::newRow("header-only") << QByteArray("verbodrom-progress 1\nrepeat-mistakes off\n") << ""
                                 << 1 << 0;
    QTest::newRow("named-twice-last-wins") << sampleFile + "5\t2026-12-06\tto go\tgehen\n"
                                           << "to go\tgehen" << 5 << 2;
    QTest::newRow("escapes") << QByteArray("verbodrom-progress 1\nrepeat-mistakes off\n"
                                           "2\t2026-01-31\ta\\\\b\\r\tc\\td\\n\n")
                             << "a\\b\r\tc\td\n"
                             << 2 << 1;
    QTest::newRow("umlauts-utf8") << QByteArray("verbodrom-progress 1\nrepeat-mistakes off\n"
                                                "4\t2026-02-28\tto bite\tbei\xc3\x9f"
                                                "en\n")
                                  << "to bite\tbeißen" << 4 << 1;
}

void tst_Progress::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, key);
    const std::optional<ProgressState> state = parseProgress(bytes);
    QVERIFY(state);
    QTEST(int(state->verbs.size()), "count");
    QCOMPARE(state->repeatMistakes, bytes.contains("repeat-mistakes on"));
    if (!key.isEmpty()) {
        QVERIFY(state->verbs.contains(key));
        QTEST(int(state->verbs[key].box), "box");
    }
}

void tst_Progress::parseRejects_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray head("verbodrom-progress 1\nrepeat-mistakes on\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no-toggle-line") << QByteArray("verbodrom-progress 1\n");
    QTest::newRow("other-version") << QByteArray(sampleFile).replace("progress 1", "progress 2");
    QTest::newRow("toggle-unknown") << QByteArray(sampleFile).replace("mistakes on", "mistakes ja");
    QTest::newRow("box-0") << head + "0\t2026-12-06\tto go\tgehen\n";
    QTest::newRow("box-6") << head + "6\t2026-12-06\tto go\tgehen\n";
    QTest::newRow("box-two-digits") << head + "12\t2026-12-06\tto go\tgehen\n";
    QTest::newRow("box-other-script-digit") << head + "\xd9\xa3\t2026-12-06\tto go\tgehen\n";
    QTest::newRow("date-no-day") << head + "1\t2026-02-30\tto go\tgehen\n";
    QTest::newRow("date-short") << head + "1\t2026-2-3\tto go\tgehen\n";
    QTest::newRow("date-with-time") << head + "1\t2026-12-06T10:00\tto go\tgehen\n";
    QTest::newRow("three-fields") << head + "1\t2026-12-06\tto go\n";
    QTest::newRow("five-fields") << head + "1\t2026-12-06\tto go\tgehen\tx\n";
    QTest::newRow("unknown-escape") << head + "1\t2026-12-06\tto\\x go\tgehen\n";
    QTest::newRow("lone-backslash-at-end") << head + "1\t2026-12-06\tto go\tgehen\\\n";
    QTest::newRow("not-utf8") << head
                                         + "1\t2026-12-06\tto bite\tbei\xdf"
                                           "en\n";
}

void tst_Progress::parseRejects()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!parseProgress(bytes));
}

// Verbs are known by their infinitive and German field without outer blanks;
// a verb renamed in the list is a new verb, starting in box 1.
void tst_Progress::keysAndBoxes()
{
    const ProgressState state = sampleState();
    const QList<VerbEntry> verbs {verb(QStringLiteral(" to go \twent\tgone\tgehen ")),
                                  verb(QStringLiteral("to goo\twent\tgone\tgehen")),
                                  verb(QStringLiteral("to burn\tburnt\tburnt\tbrennen"))};
    QCOMPARE(progressKey(verbs.at(0)), QStringLiteral("to go\tgehen"));
    QCOMPARE(progressBoxes(state, verbs), (QList<quint8> {3, 1, 1}));
}

// The state folder falls back to ~/.local/state unless XDG_STATE_HOME is an
// absolute path (the window tests use one).
void tst_Progress::filePath_data()
{
    QTest::addColumn<QByteArray>("stateHome");
    QTest::addColumn<QString>("path");

    const QString fallback = QStringLiteral("/home/learner/.local/state/verbodrom/progress.txt");
    QTest::newRow("unset") << QByteArray() << fallback;
    QTest::newRow("empty") << QByteArray("") << fallback;
    QTest::newRow("relative-ignored") << QByteArray("st") << fallback;
}

void tst_Progress::filePath()
{
    QFETCH(QByteArray, stateHome);
    const QByteArray home = qgetenv("HOME"), oldState = qgetenv("XDG_STATE_HOME");
    qputenv("HOME", "/home/learner");
    if (stateHome.isNull())
        qunsetenv("XDG_STATE_HOME");
    else
        qputenv("XDG_STATE_HOME", stateHome);
    const QString path = progressFilePath();
    qputenv("HOME", home);
    qputenv("XDG_STATE_HOME", oldState);
    QTEST(path, "path");
}

// A file that cannot be used gives the empty state and one warning; a missing
// one gives it quietly.
void tst_Progress::readFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("outcome");

    QTest::newRow("missing") << "missing" << int(ProgressFileOutcome::Missing);
    QTest::newRow("corrupt") << "corrupt" << int(ProgressFileOutcome::Corrupt);
    QTest::newRow("folder") << "folder" << int(ProgressFileOutcome::Unreadable);
    QTest::newRow("pipe") << "pipe" << int(ProgressFileOutcome::Unreadable);
    QTest::newRow("no-read-permission") << "locked" << int(ProgressFileOutcome::Unreadable);
    QTest::newRow("too-large") << "large" << int(ProgressFileOutcome::TooLarge);
}

void tst_Progress::readFile()
{
    QFETCH(QString, kind);
    QFETCH(int, outcome);
    const QString path = mDir.filePath(kind);
    QFile file(path);
    if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"pipe") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind != u"missing") {
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray bytes = kind == u"corrupt" ? sampleFile.chopped(20) : sampleFile;
        QCOMPARE(file.write(bytes), bytes.size());
        if (kind == u"large") // sparse: no real 64 MiB written
            QVERIFY(file.resize(MaxProgressFileBytes + 1));
        file.close();
        if (kind == u"locked")
            QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
    }
    if (kind == u"locked" && QFile(path).open(QIODevice::ReadOnly))
        QSKIP("root reads files without read permission");

    // Exactly one warning for a file that is there but of no use.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    if (outcome != int(ProgressFileOutcome::Missing))
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^Progress file .* ignored: ")));
    const ProgressFile read = readProgressFile(path);
    QCOMPARE(int(read.outcome), outcome);
    QCOMPARE(read.state, ProgressState());
}

// Written whole, as parse reads it, into a private folder made for it; what is
// written reads back the same, whatever the fields hold. The old file stays
// when the folder cannot be made.
void tst_Progress::writeFile()
{
    const QString path = mDir.filePath(QStringLiteral("state/verbodrom/progress.txt"));
    QVERIFY(writeProgressFile(path, sampleState()));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), sampleFile);
    QCOMPARE(QFileInfo(QFileInfo(path).absolutePath()).permissions()
                     & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
             QFileDevice::Permissions());
    ProgressState changed;
    changed.verbs.insert(QStringLiteral("to a\\b\r\tc\nd\te"), {5, day});
    changed.verbs.insert(QStringLiteral("\t"), {2, day});
    QVERIFY(writeProgressFile(path, changed));
    QCOMPARE(readProgressFile(path).state, changed);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
             QStringList {QStringLiteral("progress.txt")}); // no temporary left behind

    const QString blocked = mDir.filePath(QStringLiteral("plain-file"));
    QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
    QVERIFY(!writeProgressFile(blocked + QStringLiteral("/verbodrom/progress.txt"), changed));
}

QTEST_GUILESS_MAIN(tst_Progress)
#include "tst_progress.moc"
