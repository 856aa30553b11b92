#pragma once

#include "platform/FileSystem.h"

#include <QString>

// Starts `folder`/Updater.exe without waiting, in `folder` as its working
// directory and with window style 4, handing it two arguments: this
// process's id and the running executable's file name as it is on disk.
// Starts it only while the name still leads to the file `written` names
// (ShellFile), so what runs is the file the chain wrote. `folder` may or may
// not end in "/". False when it was not started.
bool startUpdater(const QString &folder, const FileIdentity &written);
