#include "base/Utils.h"
#include "platform/DefaultBrowser.h"
#include "platform/modRegistry.h"

#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {
QString entry(const QString &exec)
{
    return "[Desktop Entry]\nExec=" + exec + "\n";
}
const QString Http = QStringLiteral("x-scheme-handler/http=");
const QString User = QStringLiteral("config/mimeapps.list");
const QString AppA = QStringLiteral("sysdata/applications/a.desktop");
// Contents that write() turns into a FIFO, or a link to the path after the arrow.
const QString Fifo = QStringLiteral("<fifo>");
const QString LinkTo = QStringLiteral("-> ");
const QString Home = QStringLiteral("www.verbodrom.example");
QStringList file(const QString &path, const QString &text)
{
    return {path, text};
}
QStringList http(const QString &list, const QString &ids)
{
    return {list, Http + ids};
}
} // namespace

class tst_Browser : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> mRoot;

    // A mimeapps.list's lines go after a group whose http line must not be read.
    void write(const QString &path, const QString &content)
    {
        QVERIFY(QDir(mRoot->path()).mkpath(path.section('/', 0, -2)));
        const QString full = mRoot->filePath(path);
        QFile::remove(full);
        if (content == Fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(full).constData(), 0600), 0);
        else if (content.startsWith(LinkTo))
            QVERIFY(QFile::link(content.mid(LinkTo.size()), full));
        else if (path.endsWith("mimeapps.list"))
            QVERIFY(writeBytes(full, ("[Added Associations]\n" + Http
                                      + "a.desktop\n[Default Applications]\n" + content)
                                             .toUtf8()));
        else
            QVERIFY(writeBytes(full, content.toUtf8()));
    }

private Q_SLOTS:
    // Fresh XDG folders: a.desktop and b.desktop installed, the user's list naming a.
    void init()
    {
        mRoot = std::make_unique<QTemporaryDir>();
        const QByteArray r = QFile::encodeName(mRoot->path());
        qputenv("HOME", r + "/home");
        qputenv("XDG_CONFIG_HOME", r + "/config");
        qputenv("XDG_CONFIG_DIRS", r + "/sysconfig");
        qputenv("XDG_DATA_HOME", r + "/data");
        qputenv("XDG_DATA_DIRS", r + "/sysdata:relative/ignored");
        qunsetenv("XDG_CURRENT_DESKTOP");
        write(AppA, entry("/usr/bin/a %u"));
        write("sysdata/applications/b.desktop", entry("b-browser --new %U"));
        write(User, Http + "a.desktop");
    }

    // files: pairs of a path and its content, or of an XDG_ variable and its value.
    void lookup_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("browser");
        const auto exec = [](const QString &line) { return file(AppA, entry(line)); };
        const QString longExec = "/" + QString(253, 'x');
        QTest::newRow("quoted") << exec("\"/opt/web\\sbrowser/run\" -x \"%1\"")
                                << "\"/opt/web browser/run\"";
        QTest::newRow("254-chars") << exec(longExec) << longExec;
        QTest::newRow("255-chars-too-long") << exec(longExec + "x") << "";
        QTest::newRow("three-chars") << exec("abc") << "abc";
        const QString sys = QStringLiteral("sysconfig/mimeapps.list");
        const QStringList lists = http("config/gnome-mimeapps.list", "a.desktop")
                                  + http(User, "b.desktop") + http(sys, "a.desktop");
        QTest::newRow("desktop-list-first")
                << QStringList {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"} + lists << "/usr/bin/a";
        QTest::newRow("user-list-first-other-desktop-unread")
                << QStringList {"XDG_CURRENT_DESKTOP", "KDE"} + lists << "b-browser";
        // Not installed (no file, hidden, Exec in another group): the next list counts.
        QTest::newRow("uninstalled-passed-over")
                << http(User, "gone.desktop; ;a.desktop;c.desktop") + http(sys, "b.desktop")
                           + file("data/applications/a.desktop",
                                  "[Desktop Entry]\nExec=/a\nHidden=true\n")
                           + file("sysdata/applications/c.desktop",
                                  "[Desktop Entry]\n[Desktop Action n]\nExec=/c\n")
                << "b-browser";
        QTest::newRow("html-when-http-not-installed")
                << http(User, "gone.desktop\ntext/html=b.desktop") << "b-browser";
        QTest::newRow("subfolder-id")
                << file(User, "") + http("data/applications/mimeapps.list", "kde4-web-x.desktop")
                           + file("sysdata/applications/kde4/web-x.desktop", entry("/k %u"))
                << "/k";
        QTest::newRow("nothing-registered") << file(User, "") << "";
        // An id is a name, never a path to another folder.
        QTest::newRow("id-with-path-unread") << http(User, "../applications/a.desktop") << "";
        // Hostile files that would hang the lookup.
        QTest::newRow("fifo-and-dev-zero-lists")
                << QStringList {"XDG_CURRENT_DESKTOP", "GNOME", "config/gnome-mimeapps.list",
                                LinkTo + "/dev/zero",  User,    Fifo}
                           + http(sys, "b.desktop")
                << "b-browser";
        // A line past the read cap is not read.
        QTest::newRow("line-past-64KiB-unread")
                << QStringList {User, QString(70000, '#') + "\n" + Http + "b.desktop\n"} << "";
        // Every split of the 30 parts names a folder: about 2^29 looks if tried.
        QStringList links
                = http(User, "x-" + QString("x-").repeated(29) + "gone.desktop;b.desktop");
        for (QString name = "x"; name.size() < 60; name += "-x")
            links << "sysdata/applications/" + name << LinkTo + ".";
        QTest::newRow("30-part-id-linear") << links << "b-browser";
    }
    void lookup()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, browser);
        for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
            if (files.at(i).startsWith("XDG_"))
                qputenv(files.at(i).toLatin1(), files.at(i + 1).toUtf8());
            else
                write(files.at(i), files.at(i + 1));
        }
        QCOMPARE(DefaultBrowser::getDefaultBrowser(), browser);
    }

    // What the homepage button starts: the Exec line split, the homepage put in.
    void browserStart_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("start");
        QTest::newRow("quotes-and-escapes")
                << "\"/opt/web browser/run\" \"\" \"q\\\"\\`\\$\\\\\\x\" b\\ c --p=\"d e\"f %U"
                << QStringList {"/opt/web browser/run", "", "q\"`$\\\\x", "b c", "--p=d ef", Home};
        QTest::newRow("flatpak")
                << "flatpak run --branch=stable org.mozilla.firefox @@u %u @@"
                << QStringList {"flatpak", "run", "--branch=stable", "org.mozilla.firefox", "@@u",
                                Home,      "@@"};
        QTest::newRow("no-field-code-blanks-and-tabs")
                << "/usr/bin/w \t-new  " << QStringList {"/usr/bin/w", "-new", Home};
        QTest::newRow("percent-escapes-url-once-other-codes-dropped")
                << "w --zoom=100%% %%u %i %c %k --file=%f %U -x%c"
                << QStringList {"w", "--zoom=100%", "%u", "--file=" + Home, "-x"};
        // A line that cannot be split starts its program part alone.
        QTest::newRow("unclosed-quote") << "\"/opt/web -x" << QStringList {"/opt/web -x", Home};
        QTest::newRow("two-chars-starts-nothing") << "ab" << QStringList {};
    }
    void browserStart()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, start);
        QCOMPARE(DefaultBrowser::browserStart(exec, Home), start);
    }
};

QTEST_GUILESS_MAIN(tst_Browser)
#include "tst_browser.moc"
