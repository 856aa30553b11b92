#include "minisigntool.h"
#include "updatechain.h"

namespace {

using Replies = QHash<QByteArray, QByteArray>;

inline const QString refused
        = updateError("Das Update ist nicht gültig signiert und wurde verworfen.");

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
    void initTestCase() { QVERIFY(makeMinisignKeys(mKeys, mKey, mOtherKey)); }
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
        QTest::addColumn<int>("requests");
        const Replies good = goodRelease(false);
        const auto row
                = [&](const char *name, const Replies &replies, int requests,
                      const QStringList &boxes = {offer, refused}, const QString &key = "release") {
                      QTest::newRow(name) << key << replies << boxes << requests;
                  };
        const auto bad = [&](const char *name, const QByteArray &file, const QByteArray &reply,
                             int requests) { row(name, with(good, file, reply), requests); };

        row("prehashed signatures: started", good, 5, {offer, askStart});
        row("legacy signatures: started", goodRelease(true), 5, {offer, askStart});
        row("empty key: the chain as before", good, 3, {offer, askStart}, "none");
        bad("Updater.exe: one byte flipped", "Updater.exe", '=' + flipped(updaterBody, 5000), 3);
        bad("New.exe: one byte flipped", "New.exe", '~' + flipped(newBody, 0), 5);
        bad("New.exe signed by another key", "New.exe.minisig",
            '=' + sign(newBody, "version: 1.2.0", false, mOtherKey), 5);
        bad("Updater.exe: old comment edited without re-signing", "Updater.exe.minisig",
            '='
                    + withLine(sign(updaterBody, "version: 1.1.5"), trusted,
                               "trusted comment: version: 1.2.0"),
            3);
        row("rollback: release 1.2.0 served as 1.3.0", with(good, "Version.txt", "=1.3.0"), 3,
            {offerBox("1.3.0"), refused});
        bad("New.exe signed for another version", "New.exe.minisig",
            '=' + sign(newBody, "version: 1.1.9", true), 5);
        bad("Updater.exe.minisig missing (404)", "Updater.exe.minisig", "404", 3);
        row("New.exe.minisig reset: quiet like any failed transfer",
            with(good, "New.exe.minisig", "reset"), 5, {offer});
        row("empty Updater.exe: told as before", with(good, "Updater.exe", "="), 2,
            {offer, emptyUpdater});
        row("a key that does not parse refuses", good, 3, {offer, refused}, "RWQbroken");
    }
    void chain()
    {
        QFETCH(QString, key);
        QFETCH(Replies, replies);
        QFETCH(QStringList, boxes);
        QFETCH(int, requests);
        const bool started = boxes.endsWith(askStart);

        App::setUpdateKey(key == "release" ? QString::fromLatin1(mKey->publicLine)
                          : key == "none"  ? QString()
                                           : key);
        mServer->replies = replies;
        startWindow()->mnuUpdate_Click();
        QVERIFY(runChain());

        QCOMPARE(boxTexts(*mBoxes), boxes);
        const QByteArrayList all = {"Version.txt", "Updater.exe", "Updater.exe.minisig", "New.exe",
                                    "New.exe.minisig"};
        QCOMPARE(mServer->requested,
                 key == "none" ? QByteArrayList({all[0], all[1], all[3]}) : all.first(requests));
        QCOMPARE(mShell->starts.size(), int(started));
        QCOMPARE(mWindow->windowTitle(), started ? busy : rest);
        if (started) {
            QCOMPARE(contents("Updater.exe"), updaterBody);
            QCOMPARE(contents("New.exe"), newBody);
            QCOMPARE(mode(file("New.exe")), 0x755);
        } else {
            // Nothing of a refused release reaches the program folder.
            QCOMPARE(QDir(mFolder).entryList(QDir::Files | QDir::Hidden),
                     QStringList {"IrregularVerbs.txt"});
        }
        if (boxes.endsWith(refused) && key == "release") {
            // The chain is free again: a good release runs from the menu.
            mServer->replies = goodRelease(false);
            mWindow->mnuUpdate_Click();
            QVERIFY(runChain());
            QCOMPARE(mShell->starts.size(), 1);
        }
    }
};

QTEST_MAIN(tst_SignedUpdate)
#include "tst_signedupdate.moc"
