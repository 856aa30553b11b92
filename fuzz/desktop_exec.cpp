// The Exec splitter and field-code expansion; the first byte picks the mode.
// Built: quoted arguments split back into the list and expand as the model
// says (first %u/%U/%f/%F the URL, %% a %, other codes nothing, an argument
// left empty by codes dropped, the URL last when no code takes it).
// Raw: a split gives a non-empty list, the URL once.

#include "platform/DesktopExec.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr int kMaxArguments = 6;
constexpr int kMaxPieces = 8;
constexpr size_t kMaxRaw = 512;

// Holds a character no Exec value here can: every copy came from the expansion.
const QString kUrl = QStringLiteral("http://example.test/\u2603?a=1&b");

const QString kPlain = QStringLiteral("ab/.:=-_+,09");
// Reserved by the desktop-entry rules: an argument holding one is quoted.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// The ones that need a backslash inside quotes.
const QString kQuotedEscapes = QStringLiteral("\"`$\\");
const QString kCodes = QStringLiteral("uUfFdDnNickvm");

bool isUrlCode(QChar c)
{
    return QStringView(u"uUfF").contains(c);
}

QString quoted(const QString &argument, bool always)
{
    if (!always && !argument.isEmpty()
        && std::none_of(argument.begin(), argument.end(),
                        [](QChar c) { return kReserved.contains(c); }))
        return argument;
    QString out = QStringLiteral("\"");
    for (QChar c : argument)
        out += kQuotedEscapes.contains(c) ? QStringLiteral("\\") + c : QString(c);
    return out + u'"';
}

QByteArray shownList(const std::optional<QStringList> &list)
{
    return list ? shown(u'[' + list->join(QStringLiteral("][")) + u']') : QByteArray("nothing");
}

QChar pick(FuzzedDataProvider &fdp, const QString &from)
{
    return from.at(fdp.ConsumeIntegralInRange<qsizetype>(0, from.size() - 1));
}

void checkBuilt(FuzzedDataProvider &fdp)
{
    QStringList arguments; // as the splitter must give them back
    QStringList expected;  // as the expansion must give them
    bool urlUsed = false;
    for (int i = fdp.ConsumeIntegralInRange(1, kMaxArguments); i > 0; --i) {
        QString argument, expanded;
        bool hadCode = false;
        for (int n = fdp.ConsumeIntegralInRange(arguments.isEmpty() ? 1 : 0, kMaxPieces); n > 0;
             --n) {
            switch (fdp.ConsumeIntegralInRange(0, 3)) {
            case 0: // plain text or a reserved character, kept as it is
                expanded += pick(fdp, fdp.ConsumeBool() ? kPlain : kReserved);
                argument += expanded.back();
                break;
            case 1: // a literal percent sign
                argument += QStringLiteral("%%");
                expanded += u'%';
                break;
            default: { // a field code: the first URL code takes the URL, the others nothing
                const QChar code = pick(fdp, kCodes);
                argument += u'%' + code;
                hadCode = true;
                if (isUrlCode(code) && !std::exchange(urlUsed, true))
                    expanded += kUrl;
            }
            }
        }
        arguments << argument;
        if (!hadCode || !expanded.isEmpty()) // codes that leave nothing drop the argument
            expected << expanded;
    }
    if (!urlUsed)
        expected << kUrl;
    const bool program = expected.size() >= 2 && !expected.first().isEmpty();

    QString exec;
    for (const QString &argument : std::as_const(arguments)) {
        if (!exec.isEmpty() || fdp.ConsumeBool())
            exec += fdp.ConsumeBool() ? QStringLiteral(" ") : QStringLiteral("\t ");
        exec += quoted(argument, fdp.ConsumeBool());
    }
    if (fdp.ConsumeBool())
        exec += u' ';

    const std::optional<QStringList> split = DesktopExec::splitDesktopExec(exec);
    FUZZ_CHECK(split == arguments, shown(exec) + "\nsplit into " + shownList(split) + "\nexpected "
                                           + shownList(arguments));
    const std::optional<QStringList> result = DesktopExec::argumentsForUrl(exec, kUrl);
    FUZZ_CHECK(result == (program ? std::optional(expected) : std::nullopt),
               shown(exec) + "\ngave " + shownList(result) + "\nexpected " + shownList(expected));
}

void checkRaw(FuzzedDataProvider &fdp)
{
    // Latin-1 characters only, so that the URL's snowman cannot be in it.
    const QString exec = QString::fromLatin1(
            fdp.ConsumeBytesAsString(fdp.ConsumeIntegralInRange<size_t>(0, kMaxRaw)));
    const std::optional<QStringList> split = DesktopExec::splitDesktopExec(exec);
    const std::optional<QStringList> result = DesktopExec::argumentsForUrl(exec, kUrl);
    FUZZ_CHECK(!split || !split->isEmpty(), shown(exec) + "\nsplit into no arguments");
    FUZZ_CHECK(split || !result, shown(exec) + "\ndoes not split, yet gave arguments");
    if (!result)
        return;
    FUZZ_CHECK(result->size() >= 2 && !result->first().isEmpty()
                       && result->join(QChar(0)).count(kUrl) == 1,
               shown(exec) + "\ngave " + shownList(result));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    (fdp.ConsumeBool() ? checkBuilt : checkRaw)(fdp);
    return 0;
}
