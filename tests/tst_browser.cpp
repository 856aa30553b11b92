#include "support/DefaultBrowser.h"
#include "support/Utils.h"
#include "support/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using modRegistry::HKEY_CLASSES_ROOT;

namespace {
QString entry(const QString &exec, const QString &more = QString())
{
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Web\nName[de]=Netz\n") + more
           + (exec.isNull() ? QString() : QStringLiteral("Exec=") + exec + QLatin1Char('\n'));
}
QString defaults(const QString &lines)
{
    return QStringLiteral("[Added Associations]\nx-scheme-handler/http=added.desktop;\n"
                          "[Default Applications]\n")
           + lines + QLatin1Char('\n');
}
} // namespace

class tst_Browser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void programPart_data();
    void programPart();
    void lookup_data();
    void lookup();
    void otherKeysReadEmpty();

private:
    std::unique_ptr<QTemporaryDir> mRoot;
    void write(const QString &path, const QString &content);
};

// Every test gets fresh XDG folders, so nothing is read from the real home.
void tst_Browser::init()
{
    mRoot = std::make_unique<QTemporaryDir>();
    QVERIFY(mRoot->isValid());
    const QString r = mRoot->path();
    qputenv("HOME", QFile::encodeName(r + "/home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(r + "/config"));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(r + "/sysconfig"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(r + "/data"));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(r + "/sysdata:relative/ignored"));
    qunsetenv("XDG_CURRENT_DESKTOP");
}

void tst_Browser::write(const QString &path, const QString &content)
{
    const QString full = mRoot->filePath(path);
    QVERIFY(QDir().mkpath(full.section(QLatin1Char('/'), 0, -2)));
    QFile file(full);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content.toUtf8());
}

void tst_Browser::programPart_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quoted-with-switches")
        << R"("C:\Program Files\Web\browser.exe" -nohome -url "%1")"
        << R"("C:\Program Files\Web\browser.exe")";
    QTest::newRow("quoted-field-code") << R"("/opt/web browser/run" %U)" << R"("/opt/web browser/run")";
    QTest::newRow("quote-never-closed") << R"("/opt/web -x)" << R"("/opt/web -x")";
    QTest::newRow("unquoted-with-blank") << R"(C:\PROGRA~1\WEB\BROWSER.EXE -url "%1")"
                                         << R"(C:\PROGRA~1\WEB\BROWSER.EXE)";
    QTest::newRow("unquoted-field-code") << "firefox-esr %u" << "firefox-esr";
    QTest::newRow("no-blank") << "/usr/bin/browser" << "/usr/bin/browser";
    QTest::newRow("leading-blank") << " browser -x" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("two-chars") << "ab" << "";
    QTest::newRow("three-chars") << "abc" << "abc";
}

void tst_Browser::programPart()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(Utils::browserProgramPart(command), expected);
}

// files: alternating path below the temporary root and content.
void tst_Browser::lookup_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("browser");

    const QString sysApps = QStringLiteral("sysdata/applications/");
    const QString userList = QStringLiteral("config/mimeapps.list");
    const QString sysList = QStringLiteral("sysconfig/mimeapps.list");
    const QString a = sysApps + "a.desktop", b = sysApps + "b.desktop";
    const QString aEntry = entry("/usr/bin/a %u"), bEntry = entry("b-browser --new %U");
    const QString longExec = "/" + QString(253, 'x');

    QTest::newRow("user-list-over-system")
        << QStringList{userList, defaults("x-scheme-handler/http=b.desktop"), sysList,
                       defaults("x-scheme-handler/http=a.desktop"), a, aEntry, b, bEntry}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("desktop-list-first")
        << QStringList{"config/gnome-mimeapps.list", defaults("x-scheme-handler/http=a.desktop"),
                       userList, defaults("x-scheme-handler/http=b.desktop"), a, aEntry, b, bEntry}
        << "ubuntu:GNOME" << "a.desktop" << "/usr/bin/a";
    QTest::newRow("other-desktop-list-unread")
        << QStringList{"config/gnome-mimeapps.list", defaults("x-scheme-handler/http=a.desktop"),
                       userList, defaults("x-scheme-handler/http=b.desktop"), a, aEntry, b, bEntry}
        << "KDE" << "b.desktop" << "b-browser";
    QTest::newRow("missing-file-next-in-list")
        << QStringList{userList, defaults("x-scheme-handler/http=gone.desktop; ;b.desktop;"), b, bEntry}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("missing-file-next-list")
        << QStringList{userList, defaults("x-scheme-handler/http=gone.desktop"), sysList,
                       defaults("x-scheme-handler/http=a.desktop"), a, aEntry}
        << "" << "a.desktop" << "/usr/bin/a";
    QTest::newRow("hidden-skipped")
        << QStringList{userList, defaults("x-scheme-handler/http=a.desktop;b.desktop"), a,
                       entry("/usr/bin/a", "Hidden=true\n"), b, bEntry}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("user-hidden-masks-system")
        << QStringList{userList, defaults("x-scheme-handler/http=a.desktop;b.desktop"),
                       "data/applications/a.desktop", entry("/usr/bin/a", "Hidden=true\n"), a,
                       aEntry, b, bEntry}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("exec-only-in-action-skipped")
        << QStringList{userList, defaults("x-scheme-handler/http=a.desktop;b.desktop"), a,
                       entry(QString()) + "[Desktop Action new]\nExec=/usr/bin/a\n", b, bEntry}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("html-when-no-http")
        << QStringList{userList, defaults("text/html=a.desktop"), a, aEntry}
        << "" << "a.desktop" << "/usr/bin/a";
    QTest::newRow("html-when-http-not-installed")
        << QStringList{userList, defaults("x-scheme-handler/http=gone.desktop\ntext/html=b.desktop"),
                       b, bEntry}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("subfolder-id")
        << QStringList{"data/applications/mimeapps.list",
                       defaults("x-scheme-handler/http=kde4-web-x.desktop"),
                       sysApps + "kde4/web-x.desktop", aEntry}
        << "" << "kde4-web-x.desktop" << "/usr/bin/a";
    QTest::newRow("quoted-escaped-exec")
        << QStringList{userList, defaults("x-scheme-handler/http=a.desktop"), a,
                       entry(R"("/opt/web\sbrowser/run" %U)")}
        << "" << "a.desktop" << R"("/opt/web browser/run")";
    QTest::newRow("exec-254-chars")
        << QStringList{userList, defaults("x-scheme-handler/http=a.desktop"), a, entry(longExec)}
        << "" << "a.desktop" << longExec;
    QTest::newRow("exec-255-chars")
        << QStringList{userList, defaults("x-scheme-handler/http=a.desktop"), a,
                       entry(longExec + "x")}
        << "" << "a.desktop" << "";
    QTest::newRow("nothing-registered") << QStringList{a, aEntry} << "" << "" << "";
}

void tst_Browser::lookup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, desktop);
    QFETCH(QString, id);
    QFETCH(QString, browser);
    for (qsizetype i = 0; i + 1 < files.size(); i += 2)
        write(files.at(i), files.at(i + 1));
    if (!desktop.isEmpty())
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());

    QCOMPARE(modRegistry::regQueryString(HKEY_CLASSES_ROOT, ".html", ""), id);
    QCOMPARE(Utils::getDefaultBrowser(), browser);
}

void tst_Browser::otherKeysReadEmpty()
{
    write("config/mimeapps.list", defaults("x-scheme-handler/http=a.desktop"));
    write("sysdata/applications/a.desktop", entry("/usr/bin/a"));
    using modRegistry::regQueryString;
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "a.desktop\\shell\\open\\command", ""), "/usr/bin/a");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "a.desktop\\shell\\open\\command", "x"), "");
    QCOMPARE(regQueryString(0x80000001u, ".html", ""), "");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "\\shell\\open\\command", ""), "");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "../applications/a.desktop\\shell\\open\\command", ""),
             "");
}

QTEST_GUILESS_MAIN(tst_Browser)
#include "tst_browser.moc"
