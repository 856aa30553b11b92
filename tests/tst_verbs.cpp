#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// n verb lines "to v1" ... "to vn" and their entries as load() joins them.
static QByteArray verbLines(int n, QStringList *entries)
{
    QByteArray bytes;
    for (int i = 1; i <= n; ++i) {
        bytes += "to v" + QByteArray::number(i) + "\tp\tpp\tg\r\n";
        *entries << QStringLiteral("to v%1|p|pp|g").arg(i);
    }
    return bytes;
}

// The text in an encoding with its byte order mark.
static QByteArray withBom(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

class tst_Verbs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();
    void lineKinds();
    void notRead_data();
    void notRead();
    void shippedList();

private:
    QTemporaryDir mDir;
};

// A null byte array stands for "no file at all".
void tst_Verbs::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxVerbs");
    QTest::addColumn<QStringList>("expected"); // EngInf|EngPast|EngPastParticiple|GerInf
    QTest::addColumn<bool>("truncated");

    const int all = int(MaxVerbs);
    QTest::newRow("missing") << QByteArray() << all << QStringList() << false;
    QTest::newRow("one-verb-fields-in-order") << QByteArray("to go\twent\tgone\tgehen\r\n") << all
                                              << QStringList {"to go|went|gone|gehen"} << false;
    QTest::newRow("comments-and-blanks-take-no-index")
            << QByteArray("# head\r\n\r\nto a\tb\tc\td\r\n#to x\tb\tc\td\r\n\r\nto e\tf\tg\th\r\n")
            << all << QStringList {"to a|b|c|d", "to e|f|g|h"} << false;
    QTest::newRow("blank-before-hash-is-a-verb")
            << QByteArray(" #to a\tb\tc\td\r\n") << all << QStringList {" #to a|b|c|d"} << false;
    QTest::newRow("three-fields-or-trailing-tab-ignored")
            << QByteArray("to a\tb\tc\r\nto a\tb\tc\td\t\r\n") << all << QStringList() << false;
    QTest::newRow("empty-fields-and-blanks-kept")
            << QByteArray("\t\t\t\r\n to a \t b\tc /d\td \r\n") << all
            << QStringList {"|||", " to a | b|c /d|d "} << false;
    // Every encoding gives the same verb; a mark before "#" keeps the comment.
    const QString bite = QStringLiteral("# Verben\r\nto bite\tbit\tbitten\tbeißen\r\n");
    const QStringList bitten {"to bite|bit|bitten|beißen"};
    QTest::newRow("utf8-bom") << withBom(QStringConverter::Utf8, bite) << all << bitten << false;
    QTest::newRow("utf8-no-bom") << bite.toUtf8() << all << bitten << false;
    QTest::newRow("utf16le-bom") << withBom(QStringConverter::Utf16LE, bite) << all << bitten
                                 << false;
    QTest::newRow("utf16be-bom") << withBom(QStringConverter::Utf16BE, bite) << all << bitten
                                 << false;
    QTest::newRow("windows-1252-umlauts")
            << QByteArray("to bite\tbit\tbitten\tbei\xdf"
                          "en\nto x\t\x80\t\xe4\t\xfc")
            << all << QStringList {"to bite|bit|bitten|beißen", "to x|€|ä|ü"} << false;
    // One byte that is not UTF-8 decides for Windows-1252, for the whole file.
    QTest::newRow("utf8-with-one-stray-byte-is-windows-1252")
            << QByteArray("to a\tb\tc\tgr\xc3\xbc\xdf"
                          "en\r\n")
            << all << QStringList {"to a|b|c|grÃ¼ßen"} << false;
    // A second mark is a character of the first field, as in any editor.
    QTest::newRow("utf8-second-bom-kept")
            << QByteArray("\xef\xbb\xbf\xef\xbb\xbfto a\tb\tc\td") << all
            << QStringList {QChar(0xfeff) + QStringLiteral("to a|b|c|d")} << false;
    QTest::newRow("utf16-odd-last-byte")
            << withBom(QStringConverter::Utf16LE, "to a\tb\tc\td\n") + 'x' << all
            << QStringList {"to a|b|c|d"} << false;
    // The longest verb line is kept whatever its line end; one more character
    // and it is no verb line.
    const QByteArray longest = "to a\tb\tc\t" + QByteArray(MaxVerbLineLength - 9, 'd');
    const QStringList longestVerb {"to a|b|c|" + QString(MaxVerbLineLength - 9, u'd')};
    QTest::newRow("longest-line-lf") << longest + "\nto e\tf\tg\th" << all
                                     << longestVerb + QStringList {"to e|f|g|h"} << false;
    QTest::newRow("longest-line-crlf") << longest + "\r\nto e\tf\tg\th" << all
                                       << longestVerb + QStringList {"to e|f|g|h"} << false;
    QTest::newRow("longest-line-last") << longest << all << longestVerb << false;
    QTest::newRow("line-one-over-lf")
            << longest + "d\nto e\tf\tg\th" << all << QStringList {"to e|f|g|h"} << false;
    QTest::newRow("line-one-over-crlf")
            << longest + "d\r\nto e\tf\tg\th" << all << QStringList {"to e|f|g|h"} << false;
    QStringList eleven, limit;
    const QByteArray elevenLines = verbLines(11, &eleven);
    QTest::newRow("eleven-in-order-exactly-at-limit") << elevenLines << 11 << eleven << false;
    QTest::newRow("one-over-limit") << elevenLines << 10 << eleven.mid(0, 10) << true;
    // The default limit keeps the window's 16-bit indices (and a few more) in range.
    QTest::newRow("default-limit-one-over")
            << verbLines(32761, &limit) << all << limit.mid(0, 32760) << true;
}

void tst_Verbs::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxVerbs);
    QFETCH(QStringList, expected);
    const QString path = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
    QFile file(path);
    file.remove();
    QVERIFY(bytes.isNull()
            || (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
    file.close();

    FileSystemObject fso;
    const VerbTable table
            = maxVerbs == MaxVerbs ? loadVerbFile(fso, path) : loadVerbFile(fso, path, maxVerbs);
    QCOMPARE(table.outcome, bytes.isNull() ? VerbFileOutcome::Missing : VerbFileOutcome::Loaded);
    // The table a checker gets from the bytes alone is the same.
    if (!bytes.isNull())
        QCOMPARE(parseVerbFile(decodeVerbFile(bytes), maxVerbs).entries, table.entries);
    QStringList entries;
    for (const VerbEntry &e : table.entries)
        entries << QStringList {e.EngInf(), e.EngPast(), e.EngPastParticiple(), e.GerInf()}.join(
                u'|');
    QCOMPARE(entries, expected);
    QTEST(table.truncated, "truncated");
}

// Every line as the loader sees it, numbered from 1, with the reason it is
// kept or skipped: the byte order mark and the CR of CR LF are no part of it.
void tst_Verbs::lineKinds()
{
    const QString longLine(MaxVerbLineLength + 1, u'x');
    const QString text = "# c\r\n\r\nto a\tb\tc\td\r\nto a\tb\tc\td\t\r\na\tb\r\n" + longLine;
    const QString path = mDir.filePath(QStringLiteral("kinds.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(withBom(QStringConverter::Utf8, text));
    file.close();

    QStringList seen;
    FileSystemObject fso;
    const auto outcome = forEachVerbFileLine(
            fso, path, [&seen](qsizetype number, VerbLineKind kind, const QString &line) {
                seen << QStringLiteral("%1:%2:%3").arg(number).arg(int(kind)).arg(line.size());
            });
    QCOMPARE(outcome, VerbFileOutcome::Loaded);
    const auto row = [](int number, VerbLineKind kind, qsizetype size) {
        return QStringLiteral("%1:%2:%3").arg(number).arg(int(kind)).arg(size);
    };
    QCOMPARE(seen,
             QStringList({row(1, VerbLineKind::Comment, 3), row(2, VerbLineKind::Empty, 0),
                          row(3, VerbLineKind::Verb, 10), row(4, VerbLineKind::TrailingTab, 11),
                          row(5, VerbLineKind::WrongFieldCount, 3),
                          row(6, VerbLineKind::TooLong, longLine.size())}));
}

// Files that give no verbs and say why; none of them may block or be read
// without bound.
void tst_Verbs::notRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<VerbFileOutcome>("outcome");
    QTest::newRow("pipe-no-one-writes") << "fifo" << VerbFileOutcome::Unreadable;
    QTest::newRow("endless-device") << "/dev/zero" << VerbFileOutcome::Unreadable;
    QTest::newRow("folder") << "folder" << VerbFileOutcome::Missing;
    QTest::newRow("one-byte-too-large") << "large" << VerbFileOutcome::TooLarge;
}

void tst_Verbs::notRead()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("IrregularVerbs.txt"));
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"folder") {
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

// The list the program ships: every line a comment or a verb, 200 verbs or
// more, and each German prompt leads to one English verb. A prompt that also
// stands bare, with a note in brackets behind it, leads to two.
void tst_Verbs::shippedList()
{
    const QString path = QStringLiteral(VERBODROM_SOURCE_DIR "/IrregularVerbs.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(verbFileEncoding(bytes), VerbFileEncoding::Windows1252);
    const QString text = decodeVerbFile(bytes);
    for (QStringView line : verbFileLines(text))
        QVERIFY2(line.startsWith(u'#') || parseVerbLine(line), qPrintable(line.toString()));

    FileSystemObject fso;
    const VerbTable table = loadVerbFile(fso, path);
    QVERIFY(table.entries.size() >= 200);
    QSet<QString> prompts, heads;
    for (const VerbEntry &verb : table.entries) {
        QVERIFY2(!prompts.contains(verb.GerInf()), qPrintable(verb.GerInf()));
        prompts << verb.GerInf();
        const QString head = verb.GerInf().section(QStringLiteral(" ("), 0, 0);
        if (head != verb.GerInf())
            heads << head;
        QVERIFY2(verb.EngInf().startsWith(u"to "), qPrintable(verb.EngInf()));
    }
    for (const QString &head : std::as_const(heads))
        QVERIFY2(!prompts.contains(head), qPrintable(head));
}

QTEST_GUILESS_MAIN(tst_Verbs)
#include "tst_verbs.moc"
