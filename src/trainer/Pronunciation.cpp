#include "trainer/Pronunciation.h"

#include "platform/FileSystem.h"
#include "platform/StateFolder.h"
#include "trainer/Quiz.h"
#include "trainer/VerbList.h"

#include <QStringList>

namespace Pronunciation {

namespace {

const QByteArray on("on");
const QByteArray off("off");
// The word and a line end, with room for a CR or blanks around it.
constexpr qint64 MaxFileBytes = 16;

} // namespace

QString spokenForm(const QString &stored)
{
    QStringList alternatives;
    for (const QString &alternative : stored.split(u'/')) {
        const QString seen = Quiz::asSeen(alternative);
        if (!seen.isEmpty())
            alternatives << seen;
    }
    return alternatives.join(QStringLiteral(" or "));
}

QString spokenForms(const VerbEntry &verb)
{
    QStringList forms;
    for (const Quiz::Form form : Quiz::AllForms) {
        const QString spoken = spokenForm(Quiz::storedForm(verb, form));
        if (!spoken.isEmpty())
            forms << spoken;
    }
    return forms.join(QStringView(FormPause));
}

QString readAloudFile()
{
    return stateFolder() + QStringLiteral("/read-aloud.txt");
}

bool readAloudRemembered()
{
    const FileBytes file = readRegularFile(readAloudFile(), MaxFileBytes);
    return file.outcome == FileReadOutcome::Read && file.bytes.trimmed() == on;
}

bool rememberReadAloud(bool remembered)
{
    return makePrivateFolder(stateFolder())
           && writeWholeFile(readAloudFile(), (remembered ? on : off) + '\n');
}

} // namespace Pronunciation
