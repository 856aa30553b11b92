#pragma once

#include <QString>

#include <optional>

// The running program's own facts: its folder, file name, title and version.
namespace App {

// Folder of the running executable, without a trailing separator.
QString Path();
// Test seam: makes Path() answer the given folder; an empty text restores
// the executable's folder.
void setPath(const QString &folder);

// True when the user may create and rename files in the program folder, as
// replacing the program needs; false for a folder that the package manager
// or an administrator keeps (the .deb's, a read-only mount).
bool PathWritable();
// Test seam: makes PathWritable() answer `writable` (root may write
// anywhere); nullopt restores the check.
void setPathWritable(std::optional<bool> writable);

// File name of the running executable as it is on disk.
QString EXEFileName();

// "VerbodromEN": prefixes every message box title.
QString Title();

int Major();
int Minor();
int Revision();

// Update server (host[:port]) and homepage host fixed at build time.
QString UpdateServer();
QString Homepage();
// Test seam: makes UpdateServer() answer the given host[:port]; an empty
// text restores the build setting.
void setUpdateServer(const QString &server);

// The release key fixed at build time: the base64 line of a minisign.pub, or
// an empty text when updates are not signed.
QString UpdateKey();
// Test seam: makes UpdateKey() answer `key` (empty: no key); nullopt
// restores the build setting.
void setUpdateKey(std::optional<QString> key);

} // namespace App
