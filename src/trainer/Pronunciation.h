#pragma once

#include <QString>

class VerbEntry;

// What "Anhören" reads aloud: a verb's three English forms as the learner
// sees them, and whether every check reads them by itself.
namespace Pronunciation {

// Between two forms: a pause in every engine. flite stops reading at "…" and
// runs "..." into the next word; a comma gives each form its own breath.
inline constexpr char16_t FormPause[] = u", ";

// One stored form as read aloud: its "/"-separated alternatives as the
// learner sees them (Quiz::asSeen: no outer blanks, nothing invisible, "ﬂ"
// as "fl"), empty ones left out, joined by " or ": "burnt or burned".
QString spokenForm(const QString &stored);

// The verb's infinitive, past tense and past participle, each spokenForm(),
// the empty ones left out, joined by FormPause: "to go, went, gone". "" when
// every form is empty.
QString spokenForms(const VerbEntry &verb);

// The file in the state folder that remembers "Formen nach dem Prüfen
// vorlesen": "on" or "off".
QString readAloudFile();

// True when the file says "on"; a missing, unreadable or other file is off.
bool readAloudRemembered();

// Writes the choice, creating the state folder when needed. False when the
// file could not be written; the old one then stays.
bool rememberReadAloud(bool on);

} // namespace Pronunciation
