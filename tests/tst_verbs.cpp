#include "trainer/VerbList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Entries as "EngInf|EngPast|EngPastParticiple|GerInf", to keep rows short.
static QStringList flatten(const QList<VerbEntry> &entries)
{
    QStringList out;
    for (const VerbEntry &e : entries)
        out << QStringList{e.EngInf(), e.EngPast(), e.EngPastParticiple(), e.GerInf()}.join(u'|');
    return out;
}

static QByteArray verbLines(int count)
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "to v" + QByteArray::number(i) + "\tp\tpp\tg\r\n";
    return bytes;
}

static QStringList verbEntries(int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QStringLiteral("to v%1|p|pp|g").arg(i);
    return out;
}

class tst_Verbs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();
    void limit_data();
    void limit();
    void missingFile();
    void readErrorLeavesNoVerbs();

private:
    QString writeFile(const QByteArray &bytes)
    {
        const QString path = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the verb file");
        return path;
    }

    QTemporaryDir mDir;
};

void tst_Verbs::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty-file") << QByteArray() << QStringList();
    QTest::newRow("one-verb") << QByteArray("to go\twent\tgone\tgehen\r\n")
                              << QStringList{"to go|went|gone|gehen"};
    QTest::newRow("eleven-verbs-in-order") << verbLines(11) << verbEntries(11);
    QTest::newRow("comments-and-blank-lines-take-no-index")
        << QByteArray("# head\r\n\r\nto a\tb\tc\td\r\n# x\r\n\r\n\r\nto e\tf\tg\th\r\n")
        << QStringList{"to a|b|c|d", "to e|f|g|h"};
    QTest::newRow("comment-with-three-tabs") << QByteArray("#to a\tb\tc\td\r\n") << QStringList();
    QTest::newRow("blank-before-hash-is-a-verb")
        << QByteArray(" #to a\tb\tc\td\r\n") << QStringList{" #to a|b|c|d"};
    QTest::newRow("three-fields") << QByteArray("to a\tb\tc\r\n") << QStringList();
    QTest::newRow("five-fields") << QByteArray("to a\tb\tc\td\te\r\n") << QStringList();
    QTest::newRow("trailing-tab") << QByteArray("to a\tb\tc\td\t\r\n") << QStringList();
    QTest::newRow("no-tabs") << QByteArray("to a b c d\r\n") << QStringList();
    QTest::newRow("empty-fields-allowed") << QByteArray("\t\t\t\r\nto a\t\t\td\r\n")
                                          << QStringList{"|||", "to a|||d"};
    QTest::newRow("blanks-kept") << QByteArray(" to a \t b\tc /d\td \r\n")
                                 << QStringList{" to a | b|c /d|d "};
    QTest::newRow("lf-ends-and-no-final-end") << QByteArray("to a\tb\tc\td\nto e\tf\tg\th")
                                              << QStringList{"to a|b|c|d", "to e|f|g|h"};
    QTest::newRow("windows-1252") << QByteArray("to bite\tbit\tbitten\tbei\xdf" "en \x80\r\n")
                                  << QStringList{QStringLiteral("to bite|bit|bitten|beißen €")};
    QTest::newRow("byte-order-mark-is-text") << QByteArray("\xef\xbb\xbfto a\tb\tc\td\r\n")
                                             << QStringList{QStringLiteral("ï»¿to a|b|c|d")};
    static const char junk[] = "\xff\xfe\0t\0o\0\r\n\0\0\0\x01\x7f\t\t\r\r\r\n\x81\x8d";
    QTest::newRow("binary-junk") << QByteArray(junk, sizeof junk - 1) << QStringList();
    QTest::newRow("overlong-line-skipped")
        << QByteArray(2 << 20, 'x') + "\ta\tb\tc\r\nto e\tf\tg\th\r\n" << QStringList{"to e|f|g|h"};
}

void tst_Verbs::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    const VerbTable table = loadVerbFile(writeFile(bytes));
    QCOMPARE(table.outcome, VerbFileOutcome::Loaded);
    QCOMPARE(flatten(table.entries), expected);
    QVERIFY(!table.truncated);
}

void tst_Verbs::limit_data()
{
    QTest::addColumn<int>("verbsInFile");
    QTest::addColumn<int>("maxVerbs");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<bool>("truncated");
    QTest::newRow("below") << 2 << 3 << 2 << false;
    QTest::newRow("exactly-at") << 3 << 3 << 3 << false;
    QTest::newRow("one-over") << 4 << 3 << 3 << true;
    QTest::newRow("default-limit-one-over") << 32761 << int(MaxVerbs) << 32760 << true;
}

void tst_Verbs::limit()
{
    QFETCH(int, verbsInFile);
    QFETCH(int, maxVerbs);
    QFETCH(int, loaded);
    QFETCH(bool, truncated);
    const VerbTable table = loadVerbFile(writeFile(verbLines(verbsInFile)), maxVerbs);
    QCOMPARE(table.outcome, VerbFileOutcome::Loaded);
    QCOMPARE(table.entries.size(), loaded);
    QCOMPARE(table.entries.last().EngInf(), QStringLiteral("to v%1").arg(loaded));
    QCOMPARE(table.truncated, truncated);
}

void tst_Verbs::missingFile()
{
    const VerbTable table = loadVerbFile(mDir.filePath(QStringLiteral("none.txt")));
    QCOMPARE(table.outcome, VerbFileOutcome::Missing);
    QVERIFY(table.entries.isEmpty());
}

void tst_Verbs::readErrorLeavesNoVerbs()
{
    // Opening a directory's "file" works on no system; a file the process may
    // not read is the portable case, but root reads everything.
    const QString path = writeFile(verbLines(3));
    QFile::setPermissions(path, QFileDevice::Permissions());
    QFile probe(path);
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("running with the right to read any file");
    const VerbTable table = loadVerbFile(path);
    QCOMPARE(table.outcome, VerbFileOutcome::Unreadable);
    QVERIFY(table.entries.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Verbs)
#include "tst_verbs.moc"
