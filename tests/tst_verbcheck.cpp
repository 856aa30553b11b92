#include "platform/FileSystem.h"
#include "trainer/VerbCheck.h"

#include "testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// How many verbs checkFile keeps here.
constexpr int Limit = 9;
QString fields(int count)
{
    return u"Zeile übersprungen: %1 Felder statt 4. Die vier Felder durch je einen Tabulator "
           u"trennen."_s.arg(count);
}
const QString noTab = u"Zeile übersprungen: kein Tabulator. Eine Verb-Zeile hat vier Felder, "
                      u"getrennt durch Tabulatoren."_s;
} // namespace

class tst_VerbCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = mDir.filePath(name);
        if (!writeBytes(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static void addColumns()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("findings"); // "line: message"
        QTest::addColumn<int>("verbs");
    }

private Q_SLOTS:
    // Findings per line (0: the file) and the verbs kept.
    void lines_data()
    {
        addColumns();
        const QString longPrompt(61, u'x');
        // Lines 3 and 8 are clean.
        QTest::newRow("entry-problems")
                << (u"# a\tb\tc\td\r\n\r\n"
                    u"To bite\tbit\tbitten/bit\tbeißen\r\n"
                    u"be\twas\tbeen\tsein\r\n"
                    u"to go\t\t \tgehen\r\n"
                    u"to  lie\tlay\tlain\tliegen\r\n"
                    u"to burn\tburnt /burned\tburnt/\tgehen  \r\n"
                    u"to bid\tbid/bade\tbid/bidden/bade\tbieten\r\n"
                    u"to bite\tbit\tbitten\tbeiÃŸen\r\n"
                    u"to\u00A0swim\tswam\u200B\tswum\tschwimmen\r\n"
                    u"to \uFB02ow\tflowed\tflowed\t"_s
                    + longPrompt + u"\r\n"_s)
                           .toUtf8()
                << QStringList {u"4: Der englische Infinitiv „be“ beginnt nicht mit „to “"_s,
                                u"5: Das Feld „Vergangenheit“ ist leer"_s,
                                u"5: Das Feld „Partizip Perfekt“ ist leer"_s,
                                u"6: Doppeltes Leerzeichen in „to  lie“ (englischer Infinitiv)"_s,
                                u"7: Leerzeichen neben „/“ in „burnt /burned“ (Vergangenheit)"_s,
                                u"7: Leere Alternative in „burnt/“ (Partizip Perfekt)"_s,
                                u"7: Leerzeichen am Rand von „gehen  “ (deutscher Infinitiv)"_s,
                                u"9: „beiÃŸen“ (deutscher Infinitiv) ist falsch umgewandelt, "
                                u"gemeint ist wohl „beißen“: so korrigieren."_s,
                                u"10: U+00A0 geschütztes Leerzeichen in „to\u00A0swim“, Zeichen 3 "
                                u"(englischer Infinitiv): durch ein normales Leerzeichen ersetzen."_s,
                                u"10: U+200B Leerzeichen ohne Breite in „swam\u200B“, Zeichen 5"_s,
                                u"11: U+FB02 Ligatur in „to \uFB02ow“, Zeichen 4"_s,
                                u"11: Der deutsche Infinitiv „"_s + longPrompt
                                        + u"“ hat 61 Zeichen"_s}
                << 9;
    }

    // Lines the trainer skips, and why.
    void skippedLines_data()
    {
        addColumns();
        const QByteArray skipped = QByteArray(MaxVerbLineLength + 1, 'x')
                                   + "\r\nno tab\r\nto a\tb\tc\r\nto a;b;c;d;;\r\nto a;b;c;d\r\n"
                                     "to a,b,c,\"d, e\"\r\nto a\tb\tc\td\r\n";
        QTest::newRow("skipped-lines-with-reasons")
                << skipped
                << QStringList {u"1: Zeile übersprungen: länger als %1 Zeichen."_s.arg(
                                        MaxVerbLineLength),
                                "2: " + noTab,
                                "3: " + fields(3),
                                u"4: Zeile übersprungen: die Felder sind durch Semikolons"_s,
                                u"5: Zeile übersprungen: die Felder sind durch Semikolons"_s,
                                u"6: Zeile übersprungen: die Felder sind durch Kommas"_s,
                                u"0: 2 Zeilen mit Semikolons statt Tabulatoren: in der "
                                u"Tabellenkalkulation „Speichern unter…“ wählen, Dateityp „Text "
                                u"CSV“, und als Feldtrenner „Tabulator“ einstellen."_s,
                                u"0: 1 Zeile mit Kommas statt Tabulatoren"_s}
                << 1;
        QTest::newRow("verbs-over-the-limit-once")
                << QByteArray("to a\tb\tc\td\n").repeated(Limit) + "be\tb\tc\td\nbe\tb\tc\td\n"
                << QStringList {u"10: Zeile übersprungen: der Trainer lädt nur die ersten 9 "
                                u"Verben, diese und alle folgenden fehlen. Die Liste auf mehrere "
                                u"Dateien aufteilen."_s}
                << Limit;
    }
    void skippedLines() { lines(); }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, findings);
        QFETCH(int, verbs);
        FileSystemObject fso;
        const VerbCheck::FileReport report = VerbCheck::checkFile(
                fso, writeFile(QTest::currentDataTag(), bytes), VerbCheck::Language::German, Limit);
        QCOMPARE(report.outcome, VerbFileOutcome::Loaded);
        // Each finding begins with its row's text: what, where, and what to do.
        QCOMPARE(report.findings.size(), findings.size());
        for (qsizetype i = 0; i < findings.size(); ++i) {
            const VerbCheck::Finding &finding = report.findings.at(i);
            const QString seen = QString::number(finding.line) + ": " + finding.message;
            QVERIFY2(seen.startsWith(findings.at(i)), qPrintable(seen));
        }
        QCOMPARE(report.verbs, verbs);
    }

    // The exit status over the arguments, and lines the output must hold.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("said");
        const QString usage = QStringLiteral("Aufruf: verbodrom-check [--english] DATEI...");
        QTest::newRow("clean") << QStringList {"clean"} << 0
                               << QStringList {"clean: 1 Verb, 0 Probleme"};
        QTest::newRow("problems-found")
                << QStringList {"clean", "bad", "empty"} << 1
                << QStringList {"bad, Zeile 1: " + fields(3), "bad: 1 Verb, 1 Problem",
                                u"empty: Keine einzige Verb-Zeile: der Trainer hat nichts zum "
                                u"Üben."_s};
        QTest::newRow("english")
                << QStringList {"bad", "--english", "gone"} << 2
                << QStringList {
                           "bad:1: skipped: 3 fields, a verb line has 4 separated by single tabs",
                           "bad: 1 verb, 1 problem", "gone: no such file"};
        QTest::newRow("unreadable-wins")
                << QStringList {"bad", "gone", ".", "clean"} << 2
                << QStringList {"gone: Datei nicht gefunden", ".: ist keine Datei"};
        // Lines are told one by one up to a bound, and the rest counted.
        QTest::newRow("bounded")
                << QStringList {"many"} << 1
                << QStringList {
                           "many, Zeile 1000: " + noTab,
                           u"many: … und 2 weitere Probleme in Zeilen, nicht einzeln genannt."_s,
                           "many: 0 Verben, 1003 Probleme"};
        QTest::newRow("no-arguments") << QStringList {} << 2 << QStringList {usage};
        QTest::newRow("help") << QStringList {"--help"} << 0 << QStringList {usage};
    }
    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, said);
        writeFile("clean", "to go\twent\tgone\tgehen\r\n");
        writeFile("bad", "to go\twent\tgone\r\nto go\twent\tgone\tgehen\r\n");
        writeFile("empty", "");
        writeFile("many", QByteArray("x\n").repeated(VerbCheck::MaxLineFindings + 2));
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
