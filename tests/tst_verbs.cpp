#include "trainer/VerbList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// n verb lines "to v1" ... "to vn".
static QByteArray verbLines(int n)
{
    QByteArray bytes;
    for (int i = 1; i <= n; ++i)
        bytes += "to v" + QByteArray::number(i) + "\tp\tpp\tg\r\n";
    return bytes;
}

class tst_Verbs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();
    void limit_data();
    void limit();

private:
    QTemporaryDir mDir;
};

// A null byte array stands for "no file at all".
void tst_Verbs::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // EngInf|EngPast|EngPastParticiple|GerInf

    static const char junk[] = "\xff\xfe\0t\0o\0\r\n\0\0\x01\x7f\t\t\r\r\r\n\x81\x8d";
    QTest::newRow("missing") << QByteArray() << QStringList();
    QTest::newRow("empty-file") << QByteArray("") << QStringList();
    QTest::newRow("one-verb") << QByteArray("to go\twent\tgone\tgehen\r\n") << QStringList{"to go|went|gone|gehen"};
    QTest::newRow("comments-and-blanks-take-no-index")
        << QByteArray("# head\r\n\r\nto a\tb\tc\td\r\n# x\r\n\r\nto e\tf\tg\th\r\n")
        << QStringList{"to a|b|c|d", "to e|f|g|h"};
    QTest::newRow("comment-with-three-tabs") << QByteArray("#to a\tb\tc\td\r\n") << QStringList();
    QTest::newRow("blank-before-hash-is-a-verb") << QByteArray(" #to a\tb\tc\td\r\n") << QStringList{" #to a|b|c|d"};
    QTest::newRow("three-fields") << QByteArray("to a\tb\tc\r\n") << QStringList();
    QTest::newRow("trailing-tab") << QByteArray("to a\tb\tc\td\t\r\n") << QStringList();
    QTest::newRow("empty-fields") << QByteArray("\t\t\t\r\nto a\t\t\td\r\n") << QStringList{"|||", "to a|||d"};
    QTest::newRow("blanks-kept") << QByteArray(" to a \t b\tc /d\td \r\n") << QStringList{" to a | b|c /d|d "};
    QTest::newRow("lf-ends-no-final-end") << QByteArray("to a\tb\tc\td\nto e\tf\tg\th") << QStringList{"to a|b|c|d", "to e|f|g|h"};
    QTest::newRow("windows-1252") << QByteArray("to bite\tbit\tbitten\tbei\xdf" "en \x80\r\n")
                                  << QStringList{QStringLiteral("to bite|bit|bitten|beißen €")};
    QTest::newRow("binary-junk") << QByteArray(junk, sizeof junk - 1) << QStringList();
    QTest::newRow("overlong-line-skipped") << QByteArray(2 << 20, 'x') + "\ta\tb\tc\r\nto e\tf\tg\th\r\n"
                                           << QStringList{"to e|f|g|h"};
}

void tst_Verbs::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    const QString path = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
    QFile file(path);
    file.remove();
    QVERIFY(bytes.isNull() || (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
    file.close();

    const VerbTable table = loadVerbFile(path);
    QCOMPARE(table.outcome, bytes.isNull() ? VerbFileOutcome::Missing : VerbFileOutcome::Loaded);
    QStringList entries;
    for (const VerbEntry &e : table.entries)
        entries << QStringList{e.EngInf(), e.EngPast(), e.EngPastParticiple(), e.GerInf()}.join(u'|');
    QCOMPARE(entries, expected);
    QVERIFY(!table.truncated);
}

void tst_Verbs::limit_data()
{
    QTest::addColumn<int>("inFile");
    QTest::addColumn<int>("maxVerbs");
    QTest::addColumn<int>("loaded");
    QTest::newRow("eleven-in-order") << 11 << int(MaxVerbs) << 11;
    QTest::newRow("exactly-at") << 3 << 3 << 3;
    QTest::newRow("one-over") << 4 << 3 << 3;
    QTest::newRow("default-limit-one-over") << 32761 << int(MaxVerbs) << 32760;
}

void tst_Verbs::limit()
{
    QFETCH(int, inFile);
    QFETCH(int, maxVerbs);
    QFETCH(int, loaded);
    QFile file(mDir.filePath(QStringLiteral("limit.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(verbLines(inFile));
    file.close();
    const VerbTable table = loadVerbFile(file.fileName(), maxVerbs);
    QCOMPARE(table.entries.size(), loaded);
    for (int i : {0, loaded / 2, loaded - 1})
        QCOMPARE(table.entries.at(i).EngInf(), QStringLiteral("to v%1").arg(i + 1));
    QCOMPARE(table.truncated, inFile > loaded);
}

QTEST_GUILESS_MAIN(tst_Verbs)
#include "tst_verbs.moc"
