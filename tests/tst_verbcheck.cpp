#include "platform/FileSystem.h"
#include "trainer/VerbCheck.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// How many verbs checkFile keeps here.
constexpr int Limit = 9;
QString fields(int count)
{
    return QStringLiteral("skipped: %1 field(s), a verb line has 4 separated by single tabs")
            .arg(count);
}
} // namespace

class tst_VerbCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = mDir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    // Whole files through checkFile: what is found on which line, and how many
    // verbs the trainer keeps.
    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("findings"); // "line: message"
        QTest::addColumn<int>("verbs");
        // Line 3 is clean: a capital "To", two alternatives and an umlaut.
        QTest::newRow("entry-problems")
                << QStringLiteral("# a\tb\tc\td\r\n\r\n"
                                  "To bite\tbit\tbitten/bit\tbeißen\r\n"
                                  "be\twas\tbeen\tsein\r\n"
                                  "to go\t\t \tgehen\r\n"
                                  "to  lie\tlay\tlain\tliegen\r\n"
                                  "to burn\tburnt /burned\tburnt/\t gehen\r\n"
                                  "to x\ta/b/c/d\tx\tx\r\n"
                                  "to bite\tbit\tbitten\tbeiÃŸen\r\n")
                           .toUtf8()
                << QStringList {"4: English infinitive \"be\" does not begin with \"to \"",
                                "5: empty past tense",
                                "5: empty past participle",
                                "6: doubled blank in the English infinitive \"to  lie\"",
                                "7: blank around \"/\" in the past tense \"burnt /burned\"",
                                "7: empty alternative in the past participle \"burnt/\"",
                                "7: blank at the edge of the German infinitive \" gehen\"",
                                "8: middle alternative \"b\" of the past tense is never accepted",
                                "8: middle alternative \"c\" of the past tense is never accepted",
                                "9: the German infinitive \"beiÃŸen\" looks like UTF-8 read as "
                                "Windows-1252 (\"beißen\")"}
                << 7;
        QTest::newRow("skipped-lines-with-reasons")
                << QByteArray(MaxVerbLineLength + 1, 'x')
                           + "\r\nto a\tb\tc\td\t\r\nno tab\r\n \r\n"
                             "to a\tb\tc\r\nto a\tb\tc\td\te\r\nto a\tb\tc\td\r\n"
                << QStringList {QStringLiteral("1: skipped: longer than %1 characters")
                                        .arg(MaxVerbLineLength),
                                "2: skipped: a tab after the fourth field",
                                "3: " + fields(1),
                                "4: " + fields(1),
                                "5: " + fields(3),
                                "6: " + fields(5)}
                << 1;
        QTest::newRow("verbs-over-the-limit-once")
                << QByteArray("to a\tb\tc\td\n").repeated(Limit) + "be\tb\tc\td\nbe\tb\tc\td\n"
                << QStringList {"10: skipped: the trainer keeps only the first 9 verbs, this one "
                                "and all after it are lost"}
                << Limit;
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, findings);
        QFETCH(int, verbs);
        FileSystemObject fso;
        const VerbCheck::FileReport report
                = VerbCheck::checkFile(fso, writeFile(QTest::currentDataTag(), bytes), Limit);
        QCOMPARE(report.outcome, VerbFileOutcome::Loaded);
        QStringList seen;
        for (const VerbCheck::Finding &finding : report.findings)
            seen << QString::number(finding.line) + ": " + finding.message;
        QCOMPARE(seen, findings);
        QCOMPARE(report.verbs, verbs);
    }

    // The program's exit status over its arguments: "clean", "bad", "empty" and
    // "gone" stand for a clean file, one with a skipped line, an empty one and a
    // missing one. said: lines the output must hold.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("said");
        const QString usage = QStringLiteral("Usage: verbodrom-check FILE...");
        QTest::newRow("clean") << QStringList {"clean"} << 0
                               << QStringList {"clean: 1 verb, 0 problems"};
        QTest::newRow("problems-found")
                << QStringList {"clean", "bad", "empty"} << 1
                << QStringList {"bad:1: " + fields(3),
                                "empty: no verb line: the trainer has nothing to drill"};
        QTest::newRow("unreadable-wins") << QStringList {"bad", "gone", ".", "clean"} << 2
                                         << QStringList {"gone: no such file", ".: not a file"};
        QTest::newRow("no-arguments") << QStringList {} << 2 << QStringList {usage};
        QTest::newRow("help") << QStringList {"--help"} << 0 << QStringList {usage};
    }
    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, said);
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
        for (const QString &line : said)
            QVERIFY2(lines.contains(line), qPrintable(lines.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(tst_VerbCheck)
#include "tst_verbcheck.moc"
