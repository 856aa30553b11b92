#include "trainer/Progress.h"

#include "base/Utils.h"
#include "platform/FileSystem.h"
#include "platform/StateFolder.h"
#include "trainer/VerbList.h"

#include <QFileInfo>

#include <algorithm>

namespace {

constexpr QChar keySeparator = u'\t';

void applyCheck(ProgressState &state, const ProgressCheck &check)
{
    const QDate day = check.at.date();
    const qint64 at = check.at.toMSecsSinceEpoch();
    const bool right = check.allRight();
    VerbProgress &verb = state.verbs[check.key];
    // The same instant counts as later: one copy's checks apply in turn.
    if (!verb.practised() || at >= verb.checkedAt) {
        verb.box = Leitner::nextBox(verb.box, right);
        verb.seen = day;
        verb.checkedAt = at;
    }
    for (size_t form = 0; form < check.wrong.size(); ++form)
        verb.misses[form] += check.wrong[form] ? 1 : 0;
    if (!right && day > verb.lastWrong)
        verb.lastWrong = day;
    DayCount &count = state.days[day];
    ++count.checked;
    count.right += right ? 1 : 0;
}

// Days older than the history keeps, and the oldest beyond its length (a
// clock that once ran ahead), go into the sum.
void sumOldDays(ProgressState &state, QDate today)
{
    const QDate oldestKept = today.addDays(1 - MaxHistoryDays);
    auto day = state.days.begin();
    while (day != state.days.end()
           && (day.key() < oldestKept || state.days.size() > MaxHistoryDays)) {
        state.earlier.checked += day->checked;
        state.earlier.right += day->right;
        day = state.days.erase(day);
    }
}

void dropOldestVerbs(ProgressState &state)
{
    const qsizetype surplus = state.verbs.size() - MaxKeptVerbs;
    if (surplus <= 0)
        return;
    QList<std::pair<qint64, QString>> byAge;
    byAge.reserve(state.verbs.size());
    for (auto verb = state.verbs.cbegin(); verb != state.verbs.cend(); ++verb)
        byAge.append({verb->checkedAt, verb.key()});
    std::nth_element(byAge.begin(), byAge.begin() + surplus, byAge.end());
    for (qsizetype i = 0; i < surplus; ++i)
        state.verbs.remove(byAge.at(i).second);
}

} // namespace

void applyChanges(ProgressState &state, const ProgressChanges &changes, QDate today)
{
    if (changes.repeatMistakes)
        state.repeatMistakes = *changes.repeatMistakes;
    if (changes.reset)
        state.verbs.clear();
    for (const ProgressCheck &check : changes.checks)
        applyCheck(state, check);
    sumOldDays(state, today);
    dropOldestVerbs(state);
}

QString progressKey(const VerbEntry &verb)
{
    return Utils::trimBlanks(verb.EngInf()) + keySeparator + Utils::trimBlanks(verb.GerInf());
}

ListProgress listProgress(const QList<VerbEntry> &verbs, const ProgressState &state)
{
    ListProgress list;
    list.keys.reserve(verbs.size());
    list.index.reserve(verbs.size());
    for (const VerbEntry &verb : verbs) {
        list.keys.append(progressKey(verb));
        if (!list.index.contains(list.keys.last()))
            list.index.insert(list.keys.last(), list.keys.size() - 1);
    }
    refreshListProgress(list, state);
    return list;
}

void refreshListProgress(ListProgress &list, const ProgressState &state)
{
    list.kept.resize(list.keys.size());
    for (qsizetype i = 0; i < list.keys.size(); ++i)
        list.kept[i] = state.verbs.value(list.keys.at(i));
}

QString progressFilePath()
{
    return stateFolder() + QStringLiteral("/progress.txt");
}

ProgressFileOutcome readProgressFile(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return ProgressFileOutcome::Missing;
    // Only a regular file is opened: a pipe or a device (or a link to one)
    // could block, never end or act on being opened. The read itself opens
    // without blocking and checks the opened file again.
    if (!info.isFile())
        return ProgressFileOutcome::Unreadable;
    FileBytes file = readRegularFile(path, MaxProgressFileBytes);
    switch (file.outcome) {
    case FileReadOutcome::Read:
        bytes = std::move(file.bytes);
        return ProgressFileOutcome::Read;
    case FileReadOutcome::TooLarge:
        return ProgressFileOutcome::TooLarge;
    default:
        return ProgressFileOutcome::Unreadable;
    }
}
