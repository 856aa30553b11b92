// The default-browser lookup over a small XDG tree per input (GIO caches and
// adds its own defaults, so the oracle holds the lookup to its promises).
// Built: the first list naming an installed id for http decides; each id's
// command is its Exec ("" when not installed). Raw: an answer is named by
// the list and has a command of at most 254 characters.

#include "platform/modRegistry.h"

#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr int kMaxApps = 4;
constexpr size_t kMaxExec = 300; // past the longest value that can be read
constexpr size_t kMaxRaw = 2048;

// mimeapps.list files from the most to the least important one.
const char *const kLists[]
        = {"confighome/test-mimeapps.list", "confighome/mimeapps.list", "configdirs/mimeapps.list",
           "datahome/applications/mimeapps.list", "datadirs/applications/mimeapps.list"};
const QByteArray kKeys[] = {"x-scheme-handler/http", "text/html"};

QDir &root()
{
    static QTemporaryDir folder;
    static QDir dir(folder.path());
    return dir;
}

void write(const QString &relative, const QByteArray &content)
{
    const QString path = root().filePath(relative);
    QFile file(path);
    FUZZ_CHECK(root().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
                       && file.write(content) == content.size(),
               "cannot write " + path.toUtf8());
}

QString query(const QString &key)
{
    return modRegistry::regQueryString(modRegistry::HKEY_CLASSES_ROOT, key, QString());
}

QString commandOf(const QString &id)
{
    return query(id + QStringLiteral("\\shell\\open\\command"));
}

// Writes desktop files, checks each command; their ids (a missing one last).
QStringList writeApps(FuzzedDataProvider &fdp, QStringList &installed)
{
    QStringList ids;
    for (int i = fdp.ConsumeIntegralInRange(1, kMaxApps); i > 0; --i) {
        const bool vendor = fdp.ConsumeBool(), hidden = fdp.ConsumeBool();
        const QString id = QStringLiteral("%1app%2.desktop").arg(vendor ? "vendor-" : "").arg(i);
        // Letters and marks, never blank at either end: read back as written.
        QByteArray exec;
        for (size_t n = fdp.ConsumeIntegralInRange<size_t>(0, kMaxExec); n > 0; --n)
            exec += "abcxyzAB09 %/._-="[fdp.ConsumeIntegralInRange(0, 16)];
        exec = exec.trimmed();
        QByteArray text = "[Desktop Action new]\nExec=not-this\n[Desktop Entry]\n";
        if (!exec.isEmpty())
            text += "Exec=" + exec + "\n";
        text += hidden ? "Hidden=true\n" : "Name=x\n";
        write((fdp.ConsumeBool() ? "datahome/applications/" : "datadirs/applications/")
                      + (vendor ? QStringLiteral("vendor/app%1.desktop").arg(i) : id),
              text);
        ids << id;
        if (!hidden && !exec.isEmpty())
            installed << id;
        const QString expected = hidden || exec.size() > modRegistry::MaxValueLength
                                         ? QString()
                                         : QString::fromUtf8(exec);
        FUZZ_CHECK(commandOf(id) == expected,
                   id.toUtf8() + " read " + shown(commandOf(id)) + ", expected " + shown(expected));
    }
    return ids << QStringLiteral("missing.desktop");
}

void checkBuilt(FuzzedDataProvider &fdp)
{
    QStringList installed;
    const QStringList ids = writeApps(fdp, installed);
    QStringList http, named; // http: the ids for http in the order of the lists
    for (const char *list : kLists) {
        if (!fdp.ConsumeBool())
            continue;
        QByteArray text = "[Added Associations]\nx-scheme-handler/http=app1.desktop;\n"
                          "[Default Applications]\n";
        for (const QByteArray &key : kKeys) {
            QStringList chosen;
            for (int k = fdp.ConsumeIntegralInRange(0, 3); k > 0; --k)
                chosen << ids.at(fdp.ConsumeIntegralInRange<qsizetype>(0, ids.size() - 1));
            text += key + '=' + chosen.join(u';').toUtf8() + ";\n";
            named += chosen;
            if (key == kKeys[0])
                http += chosen;
        }
        write(QString::fromLatin1(list), text);
    }

    const QString found = query(QStringLiteral(".html"));
    const auto isInstalled = [&installed](const QString &id) { return installed.contains(id); };
    const auto decides = std::find_if(http.cbegin(), http.cend(), isInstalled);
    FUZZ_CHECK(found.isEmpty() ? std::none_of(named.cbegin(), named.cend(), isInstalled)
                               : installed.contains(found) && named.contains(found),
               "found " + shown(found));
    FUZZ_CHECK(decides == http.cend() || found == *decides,
               "found " + shown(found) + ", the first list names " + shown(*decides));
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
    FUZZ_CHECK(found.isEmpty()
                       || ((found == u"raw.desktop" || found == u"vendor-raw.desktop")
                           && list.contains(found.toUtf8()) && !commandOf(found).isEmpty()),
               "found " + shown(found) + " in " + shown(list));
    for (const char *id : {"raw.desktop", "vendor-raw.desktop"})
        FUZZ_CHECK(commandOf(QString::fromLatin1(id)).size() <= modRegistry::MaxValueLength, id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        const QByteArray r = QFile::encodeName(root().path());
        qputenv("HOME", r + "/home");
        qputenv("XDG_CONFIG_HOME", r + "/confighome");
        qputenv("XDG_CONFIG_DIRS", r + "/configdirs");
        qputenv("XDG_DATA_HOME", r + "/datahome");
        qputenv("XDG_DATA_DIRS", r + "/datadirs");
        qputenv("XDG_CURRENT_DESKTOP", "Test");
        return true;
    }();
    Q_UNUSED(ready);
    for (const QString &entry : root().entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QDir(root().filePath(entry)).removeRecursively();
    FuzzedDataProvider fdp(data, size);
    (fdp.ConsumeBool() ? checkBuilt : checkRaw)(fdp);
    return 0;
}
