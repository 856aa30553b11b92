#pragma once

#include <QString>

// Starts `folder`/Updater.exe without waiting, in `folder` as its working
// directory and with window style 4, handing it two arguments: this
// process's id and the running executable's file name as it is on disk.
// `folder` may or may not end in "/". Throws RuntimeError when the updater
// cannot be started.
void startUpdater(const QString &folder);
