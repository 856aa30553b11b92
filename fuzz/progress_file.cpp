// The progress reader against its writer: bytes either do not parse, or give
// a bounded state that writes and reads back as itself; a check keeps it bounded.

#include "trainer/Progress.h"

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    std::optional<ProgressState> state = parseProgress(input);
    if (!state)
        return 0;
    FUZZ_CHECK(state->verbs.size() <= MaxKeptVerbs && state->days.size() <= MaxHistoryDays,
               "too much kept from " + shown(input.toByteArray()));
    const QByteArray written = formatProgress(*state);
    const std::optional<ProgressState> again = parseProgress(written);
    FUZZ_CHECK(again && *again == *state,
               "read " + shown(input.toByteArray()) + "\nwritten " + shown(written));
    FUZZ_CHECK(formatProgress(*again) == written, "written twice differently: " + shown(written));

    const QString key = state->verbs.isEmpty() ? QStringLiteral("to go\tgehen")
                                               : state->verbs.constBegin().key();
    // Later than any time a file can hold, so the check moves the box.
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(1e15), Qt::UTC);
    ProgressChanges changes;
    changes.checks.append({key, at, {true, false, true}});
    applyChanges(*state, changes, at.date());
    const VerbProgress &verb = state->verbs[key];
    FUZZ_CHECK(verb.box == Leitner::FirstBox && verb.lastWrong == at.date()
                       && state->days.size() <= MaxHistoryDays,
               "a wrong check left box " + QByteArray::number(verb.box));
    return 0;
}
