#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include "testsupport.h"

#include <QDir>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// The text in an encoding with its byte order mark.
static QByteArray withBom(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

class tst_Verbs : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

private Q_SLOTS:
    // A null byte array stands for "no file at all".
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected"); // EngInf|EngPast|EngPastParticiple|GerInf
        QTest::addColumn<bool>("truncated");
        const auto row = [](const char *name, const QByteArray &bytes, const QStringList &expected,
                            bool truncated = false) {
            QTest::newRow(name) << bytes << expected << truncated;
        };
        row("missing", QByteArray(), {});
        row("comments-and-blanks-take-no-index",
            "# head\r\n\r\nto a\tb\tc\td\r\n#to x\tb\tc\td\r\n\r\nto e\tf\tg\th\r\n",
            {"to a|b|c|d", "to e|f|g|h"});
        row("blank-before-hash-is-a-verb", " #to a\tb\tc\td\r\n", {" #to a|b|c|d"});
        // A spreadsheet writes its empty columns as tabs at the end.
        row("empty-columns-after-the-fourth-kept",
            "to a\tb\tc\td\t\r\nto e\tf\tg\th\t\t\t\nto i\tj\t\t\t",
            {"to a|b|c|d", "to e|f|g|h", "to i|j||"});
        row("empty-fields-and-blanks-kept", "\t\t\t\r\n to a \t b\tc /d\td \r\n",
            {"|||", " to a | b|c /d|d "});
        // Every encoding gives the same verb; a mark before "#" keeps the comment.
        const QString bite = QStringLiteral("# Verben\r\nto bite\tbit\tbitten\tbeißen\r\n");
        const QStringList bitten {"to bite|bit|bitten|beißen"};
        row("utf8-bom", withBom(QStringConverter::Utf8, bite), bitten);
        row("utf8-no-bom", bite.toUtf8(), bitten);
        row("utf16le-bom", withBom(QStringConverter::Utf16LE, bite), bitten);
        row("windows-1252-umlauts", "to bite\tbit\tbitten\tbei\337en\nto x\t\x80\t\xe4\t\xfc",
            {"to bite|bit|bitten|beißen", "to x|€|ä|ü"});
        // One byte that is not UTF-8 decides for Windows-1252, for the whole file.
        row("utf8-with-one-stray-byte-is-windows-1252", "to a\tb\tc\tgr\xc3\xbc\337en\r\n",
            {"to a|b|c|grÃ¼ßen"});
        // A second mark is a character of the first field, as in any editor.
        row("utf8-second-bom-kept", "\xef\xbb\xbf\xef\xbb\xbfto a\tb\tc\td",
            {QChar(0xfeff) + QStringLiteral("to a|b|c|d")});
        row("utf16-odd-last-byte", withBom(QStringConverter::Utf16LE, "to a\tb\tc\td\n") + 'x',
            {"to a|b|c|d"});
        // The longest verb line is kept, whatever its line end; one more is not.
        const QByteArray longest = "to a\tb\tc\t" + QByteArray(MaxVerbLineLength - 9, 'd');
        const QString longestVerb = "to a|b|c|" + QString(MaxVerbLineLength - 9, u'd');
        row("longest-line-any-end", longest + "\r\n" + longest + "\n" + longest,
            {longestVerb, longestVerb, longestVerb});
        row("line-one-over-any-end", longest + "d\r\n" + longest + "d\nto e\tf\tg\th",
            {"to e|f|g|h"});
        // The limit keeps the window's 16-bit indices (and a few more) in range;
        // the verb_lines fuzz target checks the bound with small limits.
        const QByteArray overLimit = numberedVerbs(int(MaxVerbs) + 1);
        QStringList limit;
        for (int k = 1; k <= MaxVerbs; ++k)
            limit << QStringLiteral("to v%1|p%1|pp%1|g%1").arg(k);
        row("one-over-limit", overLimit, limit, true);
    }
    void load()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        const QString path = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
        QFile::remove(path);
        QVERIFY(bytes.isNull() || writeBytes(path, bytes));
        FileSystemObject fso;
        const VerbTable table = loadVerbFile(fso, path);
        QCOMPARE(table.outcome,
                 bytes.isNull() ? VerbFileOutcome::Missing : VerbFileOutcome::Loaded);
        // The table a checker gets from the bytes alone is the same.
        if (!bytes.isNull())
            QCOMPARE(parseVerbFile(decodeVerbFile(bytes), MaxVerbs).entries, table.entries);
        QStringList entries;
        for (const VerbEntry &e : table.entries)
            entries << QStringList {e.EngInf(), e.EngPast(), e.EngPastParticiple(), e.GerInf()}
                               .join(u'|');
        QCOMPARE(entries, expected);
        QTEST(table.truncated, "truncated");
    }

    // A line's kind; separators count only on a line without a tab.
    void kinds_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<VerbLineKind>("kind");
        const auto row = [](const char *name, const QString &line, VerbLineKind kind) {
            QTest::newRow(name) << line << kind;
        };
        row("verb-empty-columns-after", "to go\twent\tgone\tgehen\t\t", VerbLineKind::Verb);
        row("comment", "#to go;went;gone;gehen", VerbLineKind::Comment);
        row("empty", "", VerbLineKind::Empty);
        row("three-fields", "to go\twent\tgone", VerbLineKind::WrongFieldCount);
        row("fifth-field-a-blank", "to go\twent\tgone\tgehen\t ", VerbLineKind::WrongFieldCount);
        row("semicolons-empty-columns", "to go;went;gone;gehen;;", VerbLineKind::SemicolonFields);
        row("semicolons-comma-inside", "to think;thought;thought;denken, meinen",
            VerbLineKind::SemicolonFields);
        row("commas-quoted", "to think,thought,thought,\"denken, meinen\"",
            VerbLineKind::CommaFields);
        row("two-semicolons", "to go;went;gone", VerbLineKind::WrongFieldCount);
        row("tab-wins", "to go\twent;gone;gehen", VerbLineKind::WrongFieldCount);
    }
    void kinds()
    {
        QFETCH(QString, line);
        QFETCH(VerbLineKind, kind);
        QCOMPARE(classifyVerbLine(line), kind);
        const VerbTable table = parseVerbFile(line + u'\n' + line);
        const bool skipped = kind != VerbLineKind::Verb && kind != VerbLineKind::Comment
                             && kind != VerbLineKind::Empty;
        QCOMPARE(table.entries.size(), kind == VerbLineKind::Verb ? 2 : 0);
        QCOMPARE(table.skippedLines, skipped ? 2 : 0);
        QCOMPARE(table.semicolonLines, kind == VerbLineKind::SemicolonFields ? 2 : 0);
        QCOMPARE(table.commaLines, kind == VerbLineKind::CommaFields ? 2 : 0);
    }

    // Files that give no verbs, never blocking or read without bound.
    void notRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<VerbFileOutcome>("outcome");
        QTest::newRow("endless-device") << "/dev/zero" << VerbFileOutcome::Unreadable;
        QTest::newRow("folder") << "folder" << VerbFileOutcome::Missing;
        QTest::newRow("one-byte-too-large") << "large" << VerbFileOutcome::TooLarge;
    }
    void notRead()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("IrregularVerbs.txt"));
        if (kind == u"folder") {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("IrregularVerbs.txt")));
        } else if (kind == u"large") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MaxVerbFileBytes + 1));
        } else {
            QVERIFY(QFile::link(kind, path));
        }
        FileSystemObject fso;
        const VerbTable table = loadVerbFile(fso, path);
        QTEST(table.outcome, "outcome");
        QVERIFY(table.entries.isEmpty());
    }

    // The shipped list: Windows-1252, 200 verbs or more, each prompt once.
    void shippedList()
    {
        const QString path = QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt");
        FileSystemObject fso;
        QCOMPARE(verbFileEncoding(fso.ReadAll(path, MaxVerbFileBytes)),
                 VerbFileEncoding::Windows1252);
        const VerbTable table = loadVerbFile(fso, path);
        QVERIFY(table.entries.size() >= 200);
        QSet<QString> prompts, heads;
        for (const VerbEntry &verb : table.entries) {
            QVERIFY2(!prompts.contains(verb.GerInf()), qPrintable(verb.GerInf()));
            prompts << verb.GerInf();
            const QString head = verb.GerInf().section(QStringLiteral(" ("), 0, 0);
            if (head != verb.GerInf())
                heads << head;
        }
        for (const QString &head : std::as_const(heads))
            QVERIFY2(!prompts.contains(head), qPrintable(head));
    }
};

QTEST_GUILESS_MAIN(tst_Verbs)
#include "tst_verbs.moc"
