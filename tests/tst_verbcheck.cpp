#include "platform/FileSystem.h"
#include "trainer/VerbCheck.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_VerbCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryProblems_data();
    void entryProblems();
    void lines_data();
    void lines();
    void exitStatus_data();
    void exitStatus();

private:
    QTemporaryDir mDir;
    QString writeFile(const QString &name, const QByteArray &bytes);
};

QString tst_VerbCheck::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = mDir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A verb line (fields split by tabs) and the problems found in it.
void tst_VerbCheck::entryProblems_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("problems");
    // A capital "To", two alternatives and an umlaut are all fine.
    QTest::newRow("clean") << "To bite\tbit\tbitten/bit\tbeißen" << QStringList {};
    QTest::newRow("infinitive-without-to")
            << "be\twas\tbeen\tsein"
            << QStringList {R"(English infinitive "be" does not begin with "to ")"};
    QTest::newRow("empty-and-blank-only-fields")
            << "to go\t\t \tgehen" << QStringList {"empty past tense", "empty past participle"};
    QTest::newRow("doubled-blank")
            << "to  lie\tlay\tlain\tliegen"
            << QStringList {R"(doubled blank in the English infinitive "to  lie")"};
    QTest::newRow("stray-blanks-empty-alternative")
            << "to burn\tburnt /burned\tburnt/\t gehen"
            << QStringList {R"(blank around "/" in the past tense "burnt /burned")",
                            R"(empty alternative in the past participle "burnt/")",
                            R"(blank at the edge of the German infinitive " gehen")"};
    QTest::newRow("middle-of-three-never-accepted")
            << "to x\ta/b/c/d\tx\tx"
            << QStringList {R"(middle alternative "b" of the past tense is never accepted)",
                            R"(middle alternative "c" of the past tense is never accepted)"};
    QTest::newRow("utf8-read-as-windows-1252")
            << "to bite\tbit\tbitten\tbeiÃŸen"
            << QStringList {R"(the German infinitive "beiÃŸen" looks like UTF-8 read as )"
                            R"(Windows-1252 ("beißen"))"};
}

void tst_VerbCheck::entryProblems()
{
    QFETCH(QString, line);
    QFETCH(QStringList, problems);
    const std::optional<VerbEntry> entry = parseVerbLine(line);
    QVERIFY(entry);
    QCOMPARE(VerbCheck::entryProblems(*entry), problems);
}

// Whole files through checkFile: what is found on which line, and how many
// verbs the trainer keeps (maxVerbs 2 here).
void tst_VerbCheck::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("findings"); // "line: message"
    QTest::addColumn<int>("verbs");
    QTest::newRow("comments-and-empty-lines-counted")
            << QByteArray("# a\tb\tc\td\r\n\r\nbe\tb\tc\td\r\n")
            << QStringList {R"(3: English infinitive "be" does not begin with "to ")"} << 1;
    QTest::newRow("skipped-lines-with-reasons")
            << QByteArray("to a\tb\tc\td\t\r\nno tab\r\n \r\nto a\tb\tc\r\nto a\tb\tc\td\te\r\n")
            << QStringList {"1: skipped: a tab after the fourth field",
                            "2: skipped: 1 field(s), a verb line has 4 separated by single tabs",
                            "3: skipped: 1 field(s), a verb line has 4 separated by single tabs",
                            "4: skipped: 3 field(s), a verb line has 4 separated by single tabs",
                            "5: skipped: 5 field(s), a verb line has 4 separated by single tabs",
                            "0: no verb line: the trainer has nothing to drill"}
            << 0;
    QTest::newRow("comments-only-have-nothing-to-drill")
            << QByteArray("\xEF\xBB\xBF# to a\tb\tc\td\r\n\r\n")
            << QStringList {"0: no verb line: the trainer has nothing to drill"} << 0;
    QTest::newRow("too-long-line")
            << QByteArray(MaxVerbLineLength + 1, 'x') + "\nto a\tb\tc\td\n"
            << QStringList {QStringLiteral("1: skipped: longer than %1 characters")
                                    .arg(MaxVerbLineLength)}
            << 1;
    QTest::newRow("verbs-over-the-limit-once")
            << QByteArray("to a\tb\tc\td\nto a\tb\tc\td\nbe\tb\tc\td\nbe\tb\tc\td\n")
            << QStringList {"3: skipped: the trainer keeps only the first 2 verbs, this one and "
                            "all after it are lost"}
            << 2;
}

void tst_VerbCheck::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, findings);
    QFETCH(int, verbs);
    FileSystemObject fso;
    const VerbCheck::FileReport report
            = VerbCheck::checkFile(fso, writeFile(QTest::currentDataTag(), bytes), 2);
    QCOMPARE(report.outcome, VerbFileOutcome::Loaded);
    QStringList seen;
    for (const VerbCheck::Finding &finding : report.findings)
        seen << QString::number(finding.line) + ": " + finding.message;
    QCOMPARE(seen, findings);
    QCOMPARE(report.verbs, verbs);
}

// The program's exit status over its arguments: "clean", "bad" and "gone"
// stand for a clean file, one with a problem and a missing one.
void tst_VerbCheck::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // a line of the output
    QTest::newRow("clean") << QStringList {"clean"} << 0 << "clean: 1 verb, 0 problems";
    QTest::newRow("problem-found") << QStringList {"clean", "bad"} << 1
                                   << "bad:1: skipped: 3 field(s), a verb line has 4 separated "
                                      "by single tabs";
    QTest::newRow("missing-wins") << QStringList {"bad", "gone", "clean"} << 2
                                  << "gone: no such file";
    QTest::newRow("folder-is-not-a-file") << QStringList {"."} << 2 << ".: not a file";
    QTest::newRow("no-arguments") << QStringList {} << 2 << "Usage: verbodrom-check FILE...";
    QTest::newRow("help") << QStringList {"--help"} << 0 << "Usage: verbodrom-check FILE...";
    QTest::newRow("no-verbs-is-a-problem")
            << QStringList {"clean", "empty"} << 1
            << "empty: no verb line: the trainer has nothing to drill";
}

void tst_VerbCheck::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    writeFile("clean", "to go\twent\tgone\tgehen\r\n");
    writeFile("bad", "to go\twent\tgone\r\n");
    writeFile("empty", "");
    QProcess check;
    check.setWorkingDirectory(mDir.path());
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(QStringLiteral(VERBODROM_CHECK), arguments);
    QVERIFY(check.waitForFinished(10000));
    QCOMPARE(check.exitStatus(), QProcess::NormalExit);
    QCOMPARE(check.exitCode(), status);
    const QStringList lines = QString::fromUtf8(check.readAll()).split(u'\n');
    QVERIFY2(lines.contains(said), qPrintable(lines.join(u'\n')));
}

QTEST_GUILESS_MAIN(tst_VerbCheck)
#include "tst_verbcheck.moc"
