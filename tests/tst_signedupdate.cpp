#include "platform/App.h"

#include "minisigntool.h"
#include "updatechain.h"

#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

using Replies = QHash<QByteArray, QByteArray>;

inline const QString refused
        = box(48, " - Update error", "Das Update ist nicht gültig signiert und wurde verworfen.");

// The trusted comment line of a .minisig replaced, the rest kept.
QByteArray withComment(const QByteArray &minisig, const QByteArray &comment)
{
    QList<QByteArray> lines = minisig.split('\n');
    lines[2] = "trusted comment: " + comment;
    return lines.join('\n');
}

const QByteArrayList versionOnly {"Version.txt"};
const QByteArrayList upToUpdaterSignature {"Version.txt", "Updater.exe", "Updater.exe.minisig"};
const QByteArrayList allSigned {"Version.txt", "Updater.exe", "Updater.exe.minisig", "New.exe",
                                "New.exe.minisig"};

} // namespace

Q_DECLARE_METATYPE(Replies)

// The update chain of a build with a release key, against a server that
// holds files signed by the real minisign tool and changed copies of them.
class tst_SignedUpdate : public UpdateChainTest
{
    Q_OBJECT

    QTemporaryDir mKeys;
    std::optional<MinisignKey> mKey;
    std::optional<MinisignKey> mOtherKey;

    QByteArray sign(const QByteArray &bytes, const char *comment, bool legacy = false,
                    const std::optional<MinisignKey> &key = {})
    {
        return minisignSign(key ? *key : *mKey, bytes, QString::fromUtf8(comment), legacy,
                            mKeys.path());
    }

    // What a good server holds for release 1.2.0, signed as `legacy` says.
    Replies goodRelease(bool legacy)
    {
        return {{"Version.txt", "=1.2.0"},
                {"Updater.exe", '=' + updaterBody},
                {"Updater.exe.minisig", '=' + sign(updaterBody, "version: 1.2.0", legacy)},
                {"New.exe", '~' + newBody},
                {"New.exe.minisig", '=' + sign(newBody, "version: 1.2.0", legacy)}};
    }

    static Replies with(Replies replies, const QByteArray &file, const QByteArray &reply)
    {
        replies[file] = reply;
        return replies;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(mKeys.isValid());
        if (minisignProgram().isEmpty())
            return; // the rows skip themselves
        mKey = makeMinisignKey(mKeys.path(), "release");
        mOtherKey = makeMinisignKey(mKeys.path(), "other");
        QVERIFY(mKey && mOtherKey);
    }
    void init() { initChain(); }
    void cleanup() { cleanupChain(); }

    // One whole chain per row: the key the build holds, what the server
    // answers, what the user sees and which files were asked for. A release
    // runs only when both files are signed for the offered version; then
    // both are written and the updater starts, otherwise nothing is written.
    void chain_data()
    {
        if (!mKey)
            QSKIP("minisign is not installed");
        QTest::addColumn<QString>("key"); // "release", "none" or a text taken as it stands
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArrayList>("requested");
        QTest::addColumn<bool>("started");

        const Replies good = goodRelease(false);
        const QStringList refusedAfterOffer {offer, refused};
        const QByteArray newSig = good["New.exe.minisig"].mid(1);
        const QByteArray updaterSig = good["Updater.exe.minisig"].mid(1);

        QTest::newRow("prehashed signatures: started")
                << "release" << good << QStringList {offer, askStart} << allSigned << true;
        QTest::newRow("legacy signatures: started")
                << "release" << goodRelease(true) << QStringList {offer, askStart} << allSigned
                << true;
        QTest::newRow("empty key: the chain as before, no signature asked for")
                << "none" << good << QStringList {offer, askStart}
                << QByteArrayList {"Version.txt", "Updater.exe", "New.exe"} << true;

        QTest::newRow("Updater.exe: one byte flipped")
                << "release" << with(good, "Updater.exe", '=' + flipped(updaterBody, 5000))
                << refusedAfterOffer << upToUpdaterSignature << false;
        QTest::newRow("New.exe: one byte flipped")
                << "release" << with(good, "New.exe", '~' + flipped(newBody, 0))
                << refusedAfterOffer << allSigned << false;
        QTest::newRow("New.exe.minisig: one byte flipped")
                << "release" << with(good, "New.exe.minisig", '=' + flipped(newSig, 100))
                << refusedAfterOffer << allSigned << false;
        QTest::newRow("Updater.exe.minisig: global signature byte flipped")
                << "release"
                << with(good, "Updater.exe.minisig",
                        '=' + flipped(updaterSig, updaterSig.size() - 20))
                << refusedAfterOffer << upToUpdaterSignature << false;
        QTest::newRow("New.exe signed by another key")
                << "release"
                << with(good, "New.exe.minisig",
                        '=' + sign(newBody, "version: 1.2.0", false, mOtherKey))
                << refusedAfterOffer << allSigned << false;
        QTest::newRow("Updater.exe: old comment edited without re-signing")
                << "release"
                << with(good, "Updater.exe.minisig",
                        '=' + withComment(sign(updaterBody, "version: 1.1.5"), "version: 1.2.0"))
                << refusedAfterOffer << upToUpdaterSignature << false;
        QTest::newRow("signatures swapped") << "release"
                                            << with(with(good, "Updater.exe.minisig", '=' + newSig),
                                                    "New.exe.minisig", '=' + updaterSig)
                                            << refusedAfterOffer << upToUpdaterSignature << false;

        const QString offer130 = box(65, " - Update verfügbar",
                                     "Eine neue Version (1.3.0) ist verfügbar.\r\n"
                                     "Bitte klicken Sie OK, um sie zu installieren!");
        QTest::newRow("rollback: release 1.2.0 served as 1.3.0")
                << "release" << with(good, "Version.txt", "=1.3.0")
                << QStringList {offer130, refused} << upToUpdaterSignature << false;
        QTest::newRow("New.exe signed for another version")
                << "release"
                << with(good, "New.exe.minisig", '=' + sign(newBody, "version: 1.1.9", true))
                << refusedAfterOffer << allSigned << false;
        QTest::newRow("New.exe signed with the tool's default comment")
                << "release"
                << with(good, "New.exe.minisig",
                        '=' + sign(newBody, "timestamp:1796573533\tfile:New.exe\thashed"))
                << refusedAfterOffer << allSigned << false;

        QTest::newRow("Updater.exe.minisig missing (404)")
                << "release" << with(good, "Updater.exe.minisig", "404") << refusedAfterOffer
                << upToUpdaterSignature << false;
        QTest::newRow("New.exe.minisig missing (404)")
                << "release" << with(good, "New.exe.minisig", "404") << refusedAfterOffer
                << allSigned << false;
        QTest::newRow("New.exe.minisig empty") << "release" << with(good, "New.exe.minisig", "=")
                                               << refusedAfterOffer << allSigned << false;
        QTest::newRow("New.exe.minisig reset: quiet like any failed transfer")
                << "release" << with(good, "New.exe.minisig", "reset") << QStringList {offer}
                << allSigned << false;
        QTest::newRow("empty Updater.exe: told as before")
                << "release" << with(good, "Updater.exe", "=") << QStringList {offer, emptyUpdater}
                << QByteArrayList {"Version.txt", "Updater.exe"} << false;
        QTest::newRow("a key that does not parse refuses")
                << "RWQbroken" << good << refusedAfterOffer << upToUpdaterSignature << false;
        QTest::newRow("equal version: no signature asked for")
                << "release" << with(good, "Version.txt", "=1.1.0") << QStringList {nothingNew}
                << versionOnly << false;
    }
    void chain()
    {
        QFETCH(QString, key);
        QFETCH(Replies, replies);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArrayList, requested);
        QFETCH(bool, started);

        App::setUpdateKey(key == "release" ? QString::fromLatin1(mKey->publicLine)
                          : key == "none"  ? QString()
                                           : key);
        mServer->replies = replies;
        MsgBoxRecorder recorder;
        ShellRecorder shell;
        startWindow()->mnuUpdate_Click();
        QVERIFY(runChain(shell));

        QCOMPARE(boxTexts(recorder), boxes);
        QCOMPARE(mServer->requested, requested);
        QCOMPARE(shell.starts.size(), int(started));
        QCOMPARE(mWindow->windowTitle(), started ? busy : rest);
        if (started) {
            QCOMPARE(contents("Updater.exe"), updaterBody);
            QCOMPARE(contents("New.exe"), newBody);
            QCOMPARE(mode(file("New.exe")), 0755);
        } else {
            // Nothing of a refused release reaches the program folder.
            QCOMPARE(QDir(mFolder).entryList(QDir::Files | QDir::Hidden),
                     QStringList {"IrregularVerbs.txt"});
        }
    }

    // A refused release leaves the chain free: the next check from the menu
    // runs, and with good signatures starts the updater.
    void checkAfterRefusal()
    {
        if (!mKey)
            QSKIP("minisign is not installed");
        App::setUpdateKey(QString::fromLatin1(mKey->publicLine));
        const Replies good = goodRelease(false);
        mServer->replies = with(good, "New.exe", '~' + newBody + 'x');
        MsgBoxRecorder recorder;
        ShellRecorder shell;
        startWindow()->mnuUpdate_Click();
        QVERIFY(runChain(shell));
        QCOMPARE(boxTexts(recorder).constLast(), refused);
        // Outside a chain the signature steps only set the rest caption.
        const qsizetype boxes = recorder.boxes.size();
        mWindow->setWindowTitle(busy);
        mWindow->upgradeMe(6);
        QCOMPARE(mWindow->windowTitle(), rest);
        QCOMPARE(recorder.boxes.size(), boxes);

        mServer->replies = good;
        mWindow->mnuUpdate_Click();
        QVERIFY(runChain(shell));
        QCOMPARE(shell.starts.size(), 1);
        QCOMPARE(contents("New.exe"), newBody);
    }
};

QTEST_MAIN(tst_SignedUpdate)
#include "tst_signedupdate.moc"
