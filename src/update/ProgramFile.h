#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>

// Writes `bytes` as the whole file at `path` with mode 0755 (writeWholeFile:
// a temporary file beside it, renamed over the name, never written through
// a link). Returns false when any of that fails; the name then holds what it
// held before. `written`, when given, receives the new file's identity. Does
// not wait for anything but the disk.
bool writeProgramFile(const QString &path, const QByteArray &bytes,
                      FileIdentity *written = nullptr);
