#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

class tst_Verbs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();

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
    QStringList entries;
    for (const VerbEntry &e : table.entries)
        entries << QStringList {e.EngInf(), e.EngPast(), e.EngPastParticiple(), e.GerInf()}.join(
                u'|');
    QCOMPARE(entries, expected);
    QTEST(table.truncated, "truncated");
}

QTEST_GUILESS_MAIN(tst_Verbs)
#include "tst_verbs.moc"
