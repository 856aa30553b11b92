#pragma once

#include <QByteArray>
#include <QString>

// Writes and renames that act on a name, never through a symbolic link that
// stands there: a link to a device, a pipe or a file elsewhere is replaced or
// left alone as a name, and its target is never opened or changed.

// Writes bytes as the file named path: into a new private file (0600) beside
// it, flushed to the disk, then renamed onto the name. Whatever held the name
// (a file, a link, a pipe) is replaced; a folder there makes it fail. Does not
// wait on anything but the disk. False on any failure; the name then holds
// what it held, and no temporary file is left.
bool replaceFileName(const QString &path, const QByteArray &bytes);

// Renames the name from to the name to, unless to names something already
// (a dangling link included). Links at either name are moved or seen as
// names, never followed. False when nothing was renamed.
bool renameNoReplace(const QString &from, const QString &to);
