#include "platform/modRegistry.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

// A small reader of our own rather than GIO: GIO's application lookup keeps
// what it has read for the whole process, while this one has to follow the
// XDG_* variables from one call to the next. QSettings is no help either: it
// misreads desktop files (keys such as Name[de], ';' lists, '\s' escapes).

namespace modRegistry {

namespace {

using IniGroup = QHash<QString, QString>;

const QString CommandSuffix = QStringLiteral("\\shell\\open\\command");

// Real association and desktop files are a few KiB; reading stops here.
constexpr qint64 MaxIniBytes = 64 * 1024;

// The first MaxIniBytes of a regular file, cut after its last complete line
// when there is more; empty for anything else.
QByteArray readIniFile(const QString &path)
{
    FileBytes file = readRegularFile(path, MaxIniBytes);
    if (file.outcome == FileReadOutcome::TooLarge)
        file.bytes.truncate(file.bytes.lastIndexOf('\n') + 1);
    else if (file.outcome != FileReadOutcome::Read)
        return {};
    return file.bytes;
}

// The keys of one [group] of an ini-style file; the first occurrence of a key
// wins. Empty when the file or the group is missing.
IniGroup readIniGroup(const QString &path, QStringView group)
{
    IniGroup keys;
    const QString text = QString::fromUtf8(readIniFile(path));
    bool inGroup = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inGroup = line.sliced(1, line.size() - 2) == group;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inGroup || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toString();
        if (!keys.contains(key))
            keys.insert(key, line.sliced(eq + 1).trimmed().toString());
    }
    return keys;
}

// Undoes the escapes of a desktop-file string value: \s \n \t \r \\.
QString unescapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        switch (value.at(++i).unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            out += c;
            out += value.at(i);
            break;
        }
    }
    return out;
}

// An XDG base folder: the variable when it holds an absolute path, else the
// fallback below the home folder.
QString baseFolder(const char *variable, const QString &fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackBelowHome;
}

// An XDG folder list; relative entries are ignored, an unset or empty
// variable gives the fallback.
QStringList folderList(const char *variable, const QStringList &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (value.isEmpty())
        return fallback;
    QStringList folders;
    for (const QString &folder : value.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders.append(folder);
    }
    return folders;
}

QStringList dataFolders()
{
    return QStringList {baseFolder("XDG_DATA_HOME", QStringLiteral(".local/share"))}
           + folderList("XDG_DATA_DIRS",
                        {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
}

QStringList applicationFolders()
{
    QStringList folders;
    for (const QString &folder : dataFolders())
        folders.append(folder + QStringLiteral("/applications"));
    return folders;
}

// The mimeapps.list files from the most to the least important one; in each
// folder the lists of the current desktops come before the plain one.
QStringList mimeappsLists()
{
    QStringList desktops;
    for (const QString &name :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops.append(name.toLower());

    const QStringList folders
            = QStringList {baseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))}
              + folderList("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")}) + applicationFolders();

    QStringList lists;
    for (const QString &folder : folders) {
        for (const QString &desktop : desktops)
            lists.append(folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list"));
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    }
    return lists;
}

// The subfolders of the folders one lookup descends into, each folder
// listed once however many ids are tried in it.
class FolderIndex
{
public:
    const QStringList &subfolders(const QString &folder)
    {
        auto it = mListed.find(folder);
        if (it == mListed.end())
            it = mListed.insert(folder, QDir(folder).entryList(QDir::Dirs | QDir::Hidden
                                                               | QDir::NoDotAndDotDot));
        return *it;
    }

private:
    QHash<QString, QStringList> mListed;
};

// The file for a desktop-file id inside one applications folder. Each '-' of
// the id may stand for a subfolder: "kde4-foo.desktop" is also kde4/foo.desktop.
// The search descends into the subfolder that names the id's shortest
// leading part and never comes back up. It compares the id with the
// folder's listing instead of asking the file system about every '-', so an
// id of thousands of dashes costs no more than its length.
QString findInFolder(const QString &folder, QStringView id, FolderIndex &index)
{
    QString at = folder;
    for (;;) {
        const QString direct = at + QLatin1Char('/') + id.toString();
        if (QFileInfo(direct).isFile())
            return direct;
        qsizetype part = -1;
        for (const QString &name : index.subfolders(at)) {
            if (name.size() < id.size() && id.at(name.size()) == QLatin1Char('-')
                && id.startsWith(name) && (part < 0 || name.size() < part))
                part = name.size();
        }
        if (part < 0)
            return QString();
        at += QLatin1Char('/');
        at += id.first(part);
        id = id.sliced(part + 1);
    }
}

// The Exec value of the desktop file for id, or "" when that id is not
// installed: no such file, Hidden=true, or no Exec. The first folder holding
// the id decides, so a hidden copy in the user's folder masks the system's.
QString installedExec(const QString &id, FolderIndex &index)
{
    // No path of a file the system can open is longer; the cap keeps the
    // search's path building small.
    constexpr qsizetype MaxIdLength = 4096;
    if (id.size() > MaxIdLength || !id.endsWith(QStringLiteral(".desktop"))
        || id.contains(QLatin1Char('/')) || id.contains(QLatin1Char('\\')))
        return QString();
    for (const QString &folder : applicationFolders()) {
        const QString path = findInFolder(folder, id, index);
        if (path.isEmpty())
            continue;
        const IniGroup entry = readIniGroup(path, u"Desktop Entry");
        const QString hidden = entry.value(QStringLiteral("Hidden"));
        if (hidden == QLatin1String("true") || hidden == QLatin1String("1"))
            return QString();
        return unescapeValue(entry.value(QStringLiteral("Exec")));
    }
    return QString();
}

// The first installed id that the mimeapps.list files name as default for
// mimeType, or "".
QString defaultApplication(const QString &mimeType, FolderIndex &index)
{
    for (const QString &list : mimeappsLists()) {
        const IniGroup defaults = readIniGroup(list, u"Default Applications");
        const QString ids = defaults.value(mimeType);
        for (const QString &id : ids.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!installedExec(id.trimmed(), index).isEmpty())
                return id.trimmed();
        }
    }
    return QString();
}

} // namespace

QString regQueryString(quint32 hKey, const QString &strSubKey, const QString &strValueName)
{
    if (hKey != HKEY_CLASSES_ROOT || !strValueName.isEmpty())
        return QString();

    QString value;
    FolderIndex index;
    if (strSubKey.compare(QLatin1String(".html"), Qt::CaseInsensitive) == 0) {
        value = defaultApplication(QStringLiteral("x-scheme-handler/http"), index);
        if (value.isEmpty())
            value = defaultApplication(QStringLiteral("text/html"), index);
    } else if (strSubKey.endsWith(CommandSuffix, Qt::CaseInsensitive)) {
        value = installedExec(strSubKey.chopped(CommandSuffix.size()), index);
    }
    return value.size() > MaxValueLength ? QString() : value;
}

} // namespace modRegistry
