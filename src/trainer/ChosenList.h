#pragma once

#include <QString>

// Which verb list the trainer reads: the program folder's IrregularVerbs.txt,
// or a list the learner chose, remembered by its path in verblist.txt in the
// state folder, beside the progress file. Nothing else is kept there.
namespace ChosenList {

// The program folder's IrregularVerbs.txt: the list when none is chosen.
QString shippedList();

// The file that remembers the chosen list.
QString rememberedFile();

// The chosen list's absolute path, or "" for the shipped list (nothing
// remembered, or a remembered file that is empty, unreadable or not text).
QString remembered();

// Remembers path as the chosen list; "" or the shipped list's own path
// forgets the choice. False when the file could not be written or removed.
bool remember(const QString &path);

} // namespace ChosenList
