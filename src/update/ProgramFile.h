#pragma once

#include <QByteArray>
#include <QString>

// Writes `bytes` as the whole file at `path` with mode 0755: into a
// temporary file beside it, every write checked, then renamed into place.
// Returns false when any of that fails; the file at `path` is then the old
// one, or none. An existing longer file is replaced, never overwritten in
// place. Does not wait for anything but the disk.
bool writeProgramFile(const QString &path, const QByteArray &bytes);
