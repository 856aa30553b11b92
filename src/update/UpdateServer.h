#pragma once

#include <QString>

// Where the upgrade chain fetches its files: plain HTTP on the update server
// fixed at build time, below the program's fixed folder.
namespace UpdateServer {

// Names of the files on the server; the two programs keep these names in
// the program folder.
inline const QString versionFile = QStringLiteral("Version.txt");
inline const QString updaterFile = QStringLiteral("Updater.exe");
inline const QString newProgramFile = QStringLiteral("New.exe");

// The name of a file's minisign signature beside it on the server.
inline QString signatureFile(const QString &fileName)
{
    return fileName + QStringLiteral(".minisig");
}

// "http://" + server + "/Updates/Verbodrom(EN)/" + fileName, the
// parentheses sent as they stand.
QString url(const QString &fileName);

} // namespace UpdateServer
