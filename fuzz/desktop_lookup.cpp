// The default-browser lookup over a small XDG tree written anew for each
// input, in two modes.
//
// Built: desktop files with known Exec values (some hidden, some in a
// vendor subfolder, some shadowed by a user copy) and one or two
// mimeapps.list files naming installed and missing ids. The answers must
// match a model of the lookup: the first list by precedence that names an
// installed id decides; an id is installed where the first applications
// folder holding it has it visible with an Exec.
//
// Raw: the fuzzer's bytes as a mimeapps.list and as two desktop files. The
// answers must keep their promises: at most 254 characters, an id that the
// list names, and an id whose command reads non-empty.

#include "platform/modRegistry.h"

#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

using modRegistry::HKEY_CLASSES_ROOT;

constexpr int kMaxApps = 4;
constexpr size_t kMaxExec = 300; // past the longest value that can be read
constexpr size_t kMaxRaw = 2048;

// Applications folders from the first to the last searched.
const char *const kAppFolders[] = {"datahome/applications", "datadirs/applications"};
// mimeapps.list files from the most to the least important one.
const char *const kLists[]
        = {"confighome/test-mimeapps.list", "confighome/mimeapps.list", "configdirs/mimeapps.list",
           "datahome/applications/mimeapps.list", "datadirs/applications/mimeapps.list"};
const char kSchemeKey[] = "x-scheme-handler/http";
const char kHtmlKey[] = "text/html";

struct App
{
    QString id;
    QString exec; // "" when the visible copy has none
    bool hidden = false;
};

QDir &root()
{
    static QTemporaryDir folder;
    static QDir dir(folder.path());
    return dir;
}

void setUpEnvironment()
{
    const QByteArray r = QFile::encodeName(root().path());
    qputenv("HOME", r + "/home");
    qputenv("XDG_CONFIG_HOME", r + "/confighome");
    qputenv("XDG_CONFIG_DIRS", r + "/configdirs");
    qputenv("XDG_DATA_HOME", r + "/datahome");
    qputenv("XDG_DATA_DIRS", r + "/datadirs");
    qputenv("XDG_CURRENT_DESKTOP", "Test");
}

void write(const QString &relative, const QByteArray &content)
{
    const QString path = root().filePath(relative);
    FUZZ_CHECK(root().mkpath(QFileInfo(path).path()), "cannot make " + path.toUtf8());
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(content) == content.size(),
               "cannot write " + path.toUtf8());
}

void clearTree()
{
    for (const QString &entry : root().entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QDir(root().filePath(entry)).removeRecursively();
}

QString query(const QString &key)
{
    return modRegistry::regQueryString(HKEY_CLASSES_ROOT, key, QString());
}

QString commandOf(const QString &id)
{
    return query(id + QStringLiteral("\\shell\\open\\command"));
}

// Letters, digits and a few marks, never blank at either end: read back
// exactly as written.
QByteArray plainValue(FuzzedDataProvider &fdp, size_t maxLength)
{
    static const char marks[] = "abcxyzABC0189 %/._-=";
    QByteArray value;
    for (size_t n = fdp.ConsumeIntegralInRange<size_t>(0, maxLength); n > 0; --n)
        value += marks[fdp.ConsumeIntegralInRange<size_t>(0, sizeof marks - 2)];
    return value.trimmed();
}

QByteArray desktopFile(FuzzedDataProvider &fdp, const App &app)
{
    QByteArray text;
    if (fdp.ConsumeBool())
        text += "[Desktop Action new]\nExec=not-this\n\n";
    text += "# comment\n[Desktop Entry]\nType=Application\nName=" + app.id.toUtf8() + "\n";
    if (!app.exec.isEmpty())
        text += "Exec=" + app.exec.toUtf8() + "\n";
    if (app.hidden)
        text += fdp.ConsumeBool() ? "Hidden=true\n" : "Hidden = true\n";
    if (fdp.ConsumeBool())
        text += "[Other Group]\nExec=not-this-either\n";
    return text;
}

// Writes the apps and lists; answers the expected browser id and each app's
// expected command.
QString buildTree(FuzzedDataProvider &fdp, QList<App> &visible)
{
    const int count = fdp.ConsumeIntegralInRange(1, kMaxApps);
    for (int i = 0; i < count; ++i) {
        App app;
        const bool vendor = fdp.ConsumeBool();
        app.id = QStringLiteral("%1app%2.desktop").arg(vendor ? "vendor-" : "").arg(i);
        app.exec = QString::fromUtf8(plainValue(fdp, kMaxExec));
        app.hidden = fdp.ConsumeBool();
        const bool shadowed = fdp.ConsumeBool(); // a different copy in the user's folder
        const int folder = shadowed ? 0 : fdp.ConsumeIntegralInRange(0, 1);
        const QString file = vendor ? QStringLiteral("vendor/app%1.desktop").arg(i) : app.id;
        write(QString::fromLatin1(kAppFolders[folder]) + '/' + file, desktopFile(fdp, app));
        if (shadowed) {
            const App system {app.id, QStringLiteral("system-copy"), false};
            write(QString::fromLatin1(kAppFolders[1]) + '/' + file, desktopFile(fdp, system));
        }
        visible.append(app);
    }

    // Up to two lists, each naming some ids (known ones and a missing one)
    // for the scheme, for text/html, or for both.
    QList<QPair<int, QMap<QByteArray, QStringList>>> lists;
    for (int n = fdp.ConsumeIntegralInRange(1, 2); n > 0; --n) {
        const int at = fdp.ConsumeIntegralInRange<int>(0, std::size(kLists) - 1);
        QMap<QByteArray, QStringList> defaults;
        QByteArray text = "[Added Associations]\nx-scheme-handler/http=app0.desktop;\n"
                          "[Default Applications]\n";
        for (const char *key : {kSchemeKey, kHtmlKey}) {
            if (!fdp.ConsumeBool())
                continue;
            QStringList ids;
            for (int k = fdp.ConsumeIntegralInRange(1, 3); k > 0; --k) {
                const int pickApp = fdp.ConsumeIntegralInRange(0, count);
                ids.append(pickApp == count ? QStringLiteral("missing.desktop")
                                            : visible.at(pickApp).id);
            }
            defaults.insert(key, ids);
            text += key + QByteArray("=") + ids.join(QLatin1Char(';')).toUtf8() + ";\n";
        }
        write(QString::fromLatin1(kLists[at]), text);
        lists.removeIf([at](const auto &list) { return list.first == at; }); // rewritten
        lists.append({at, defaults});
    }
    std::sort(lists.begin(), lists.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });

    const auto installed = [&](const QString &id) {
        for (const App &app : std::as_const(visible)) {
            if (app.id == id)
                return !app.hidden && !app.exec.isEmpty();
        }
        return false;
    };
    for (const char *key : {kSchemeKey, kHtmlKey}) {
        for (const auto &list : std::as_const(lists)) {
            for (const QString &id : list.second.value(key)) {
                if (installed(id))
                    return id;
            }
        }
    }
    return QString();
}

void checkBuilt(FuzzedDataProvider &fdp)
{
    QList<App> apps;
    const QString browser = buildTree(fdp, apps);
    const QString found = query(QStringLiteral(".html"));
    FUZZ_CHECK(found == browser, "found " + shown(found) + ", expected " + shown(browser));
    for (const App &app : std::as_const(apps)) {
        const QString expected = app.hidden || app.exec.size() > modRegistry::MaxValueLength
                                         ? QString()
                                         : app.exec;
        FUZZ_CHECK(commandOf(app.id) == expected, app.id.toUtf8() + " read "
                                                          + shown(commandOf(app.id)) + ", expected "
                                                          + shown(expected));
    }
}

void checkRaw(FuzzedDataProvider &fdp)
{
    const QByteArray list = QByteArray::fromStdString(fdp.ConsumeRandomLengthString(kMaxRaw));
    write(QString::fromLatin1(kLists[1]), list);
    write(QStringLiteral("datadirs/applications/raw.desktop"),
          QByteArray::fromStdString(fdp.ConsumeRandomLengthString(kMaxRaw)));
    write(QStringLiteral("datadirs/applications/vendor/raw.desktop"),
          QByteArray::fromStdString(fdp.ConsumeRemainingBytesAsString()));

    const QString found = query(QStringLiteral(".html"));
    FUZZ_CHECK(found.size() <= modRegistry::MaxValueLength, shown(found));
    if (!found.isEmpty()) {
        FUZZ_CHECK(found == QLatin1String("raw.desktop")
                           || found == QLatin1String("vendor-raw.desktop"),
                   "found " + shown(found));
        FUZZ_CHECK(list.contains(found.toUtf8()), "found " + shown(found) + " in " + shown(list));
        FUZZ_CHECK(!commandOf(found).isEmpty(), "found " + shown(found) + " without a command");
    }
    for (const char *id : {"raw.desktop", "vendor-raw.desktop"})
        FUZZ_CHECK(commandOf(QString::fromLatin1(id)).size() <= modRegistry::MaxValueLength, id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = (setUpEnvironment(), true);
    Q_UNUSED(ready);
    clearTree();
    FuzzedDataProvider fdp(data, size);
    runMode(fdp, checkBuilt, checkRaw);
    return 0;
}
