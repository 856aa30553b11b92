// The Exec splitter and field-code expansion, in two modes.
//
// Built: an argument list made of plain text, reserved characters and field
// codes, quoted by the desktop-entry rules (reserved characters in double
// quotes, ", `, $ and \ escaped there) and joined with blanks. Splitting it
// must give the list back, and the arguments for a URL must be what a
// model of the expansion gives: the first %u/%U/%f/%F becomes the URL, %%
// a %, every other code nothing, an argument of codes only that leaves
// nothing is dropped, and the URL comes last when no code takes it.
//
// Raw: the fuzzer's bytes as an Exec value. Whatever splits keeps its
// promises: a non-empty list; the URL (which holds a character the value
// cannot) appears exactly once and comes last when no URL code is there.
//
// Input: one byte picks the mode; the rest drives it.

#include "platform/DesktopExec.h"

#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr int kMaxArguments = 6;
constexpr int kMaxPieces = 5;
constexpr size_t kMaxPlain = 8;
constexpr size_t kMaxRaw = 512;

// A URL with a character that neither mode's Exec value can hold, so that
// every copy of it in the arguments came from the expansion.
const QString kUrl = QStringLiteral("http://example.test/\u2603?a=1&b");

// Characters that the desktop-entry rules reserve: an argument holding one
// must be quoted.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// The ones that need a backslash inside quotes.
const QString kQuotedEscapes = QStringLiteral("\"`$\\");
const char kCodes[] = "uUfFdDnNickvm";

bool isUrlCode(QChar c)
{
    return c == QLatin1Char('u') || c == QLatin1Char('U') || c == QLatin1Char('f')
           || c == QLatin1Char('F');
}

QString quoted(const QString &argument, bool always)
{
    bool needed = always || argument.isEmpty();
    for (QChar c : argument)
        needed = needed || kReserved.contains(c);
    if (!needed)
        return argument;
    QString out = QStringLiteral("\"");
    for (QChar c : argument) {
        if (kQuotedEscapes.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

QByteArray shownList(const QStringList &list)
{
    QByteArray out;
    for (const QString &argument : list)
        out += '[' + shown(argument) + ']';
    return out;
}

QByteArray shownList(const std::optional<QStringList> &list)
{
    return list ? shownList(*list) : QByteArray("nothing");
}

void checkBuilt(FuzzedDataProvider &fdp)
{
    static const char plain[] = "ab/.:=-_+,09";
    QStringList arguments; // as the splitter must give them back
    QStringList expected;  // as the expansion must give them
    bool urlUsed = false;
    const int count = fdp.ConsumeIntegralInRange(1, kMaxArguments);
    for (int i = 0; i < count; ++i) {
        QString argument;
        QString expanded;
        bool hadCode = false;
        for (int n = fdp.ConsumeIntegralInRange(i == 0 ? 1 : 0, kMaxPieces); n > 0; --n) {
            switch (fdp.ConsumeIntegralInRange(0, 3)) {
            case 0: { // plain text
                QString text;
                for (size_t k = fdp.ConsumeIntegralInRange<size_t>(1, kMaxPlain); k > 0; --k)
                    text += QLatin1Char(
                            plain[fdp.ConsumeIntegralInRange<size_t>(0, sizeof plain - 2)]);
                argument += text;
                expanded += text;
                break;
            }
            case 1: { // a reserved character
                const QChar c
                        = kReserved.at(fdp.ConsumeIntegralInRange<int>(0, kReserved.size() - 1));
                argument += c;
                expanded += c;
                break;
            }
            case 2: // a literal percent sign
                argument += QStringLiteral("%%");
                expanded += QLatin1Char('%');
                break;
            default: { // a field code
                const QChar code = QLatin1Char(
                        kCodes[fdp.ConsumeIntegralInRange<size_t>(0, sizeof kCodes - 2)]);
                argument += QLatin1Char('%') + code;
                hadCode = true;
                if (isUrlCode(code) && !urlUsed) {
                    expanded += kUrl;
                    urlUsed = true;
                }
                break;
            }
            }
        }
        arguments.append(argument);
        if (!(hadCode && expanded.isEmpty()))
            expected.append(expanded);
    }
    if (!urlUsed)
        expected.append(kUrl);
    const bool program = expected.size() >= 2 && !expected.first().isEmpty();

    QString exec;
    for (const QString &argument : std::as_const(arguments)) {
        if (!exec.isEmpty() || fdp.ConsumeBool())
            exec += fdp.ConsumeBool() ? QStringLiteral(" ") : QStringLiteral("\t ");
        exec += quoted(argument, fdp.ConsumeBool());
    }
    if (fdp.ConsumeBool())
        exec += QLatin1Char(' ');

    const std::optional<QStringList> split = DesktopExec::splitDesktopExec(exec);
    FUZZ_CHECK(split == arguments, shown(exec) + "\nsplit into " + shownList(split) + "\nexpected "
                                           + shownList(arguments));
    const std::optional<QStringList> result = DesktopExec::argumentsForUrl(exec, kUrl);
    FUZZ_CHECK(result == (program ? std::optional(expected) : std::nullopt),
               shown(exec) + "\ngave " + shownList(result) + "\nexpected " + shownList(expected));
    if (result) {
        // Nothing left of a field code: every % came from a %%.
        const qsizetype percents = exec.count(QStringLiteral("%%"));
        FUZZ_CHECK(result->join(QString()).count(QLatin1Char('%')) <= percents,
                   shown(exec) + "\nleft a field code in " + shownList(*result));
    }
}

// The number of URL codes in split arguments, reading % pairs as the
// expansion does.
int urlCodes(const QStringList &arguments)
{
    int codes = 0;
    for (const QString &argument : arguments) {
        for (qsizetype i = 0; i + 1 < argument.size(); ++i) {
            if (argument.at(i) != QLatin1Char('%'))
                continue;
            codes += isUrlCode(argument.at(++i)) ? 1 : 0;
        }
    }
    return codes;
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
    FUZZ_CHECK(result->size() >= 2 && !result->first().isEmpty(),
               shown(exec) + "\ngave no program: " + shownList(*result));
    FUZZ_CHECK(result->join(QChar(0)).count(kUrl) == 1,
               shown(exec) + "\ngave " + shownList(*result));
    if (urlCodes(*split) == 0)
        FUZZ_CHECK(result->last() == kUrl, shown(exec) + "\nURL not last: " + shownList(*result));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    runMode(fdp, checkBuilt, checkRaw);
    return 0;
}
