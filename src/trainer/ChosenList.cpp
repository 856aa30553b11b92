#include "trainer/ChosenList.h"

#include "base/Utils.h"
#include "platform/App.h"
#include "platform/FileSystem.h"
#include "platform/StateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace ChosenList {

namespace {

// Room for any path the system allows, and a little more.
constexpr qint64 MaxRememberedBytes = 64 * 1024;

} // namespace

QString shippedList()
{
    return Utils::addBackslash(App::Path()) + QStringLiteral("IrregularVerbs.txt");
}

QString rememberedFile()
{
    return stateFolder() + QStringLiteral("/verblist.txt");
}

QString remembered()
{
    const FileBytes file = readRegularFile(rememberedFile(), MaxRememberedBytes);
    if (file.outcome != FileReadOutcome::Read)
        return QString();
    QStringDecoder utf8(QStringDecoder::Utf8);
    // One line, the path; a file name may hold any other character.
    QString path = utf8.decode(file.bytes);
    if (path.endsWith(u'\n'))
        path.chop(1);
    if (utf8.hasError() || !QDir::isAbsolutePath(path))
        return QString();
    return path;
}

bool remember(const QString &path)
{
    const QString file = rememberedFile();
    if (path.isEmpty()
        || QFileInfo(path).absoluteFilePath() == QFileInfo(shippedList()).absoluteFilePath())
        return !QFileInfo::exists(file) || QFile::remove(file);
    return makePrivateFolder(stateFolder())
           && writeWholeFile(file, QFileInfo(path).absoluteFilePath().toUtf8() + '\n');
}

} // namespace ChosenList
