#pragma once

#include <QString>

// Where the program keeps what outlives a run for this user (the progress
// file, the updater's log): $XDG_STATE_HOME/verbodrom, or
// ~/.local/state/verbodrom when XDG_STATE_HOME is unset, empty or not an
// absolute path. Never fails; nothing is created.
QString stateFolder();

// Creates `folder` when it is missing: its parents as usual, the folder
// itself private to the user (0700), as state folders are. True when it
// exists afterwards.
bool makePrivateFolder(const QString &folder);
