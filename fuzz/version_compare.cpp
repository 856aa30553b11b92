// The version reader and its order, in two modes.
//
// Text: three fuzzer texts. Each must read as a plain reference reads it:
// blanks (space, tab, CR, LF) around, once a UTF-8 byte order mark among
// them, then exactly three dot-separated runs of 1 to 9 decimal digits.
// Adding more blanks (and a mark where there is none) around must not change
// what it reads as, and a version that reads prints back as "a.b.c" and as
// zero-padded digits to the same value.
//
// Numbers: three versions from the fuzzer's integers, written out with
// leading zeros and padding, must read back as themselves.
//
// In both modes the versions that read are ordered as their numbers are,
// major before minor before revision, and the order is a strict weak order.

#include "update/Version.h"

#include "FuzzCheck.h"

#include <QList>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr int kTexts = 3;
constexpr size_t kMaxText = 64;
constexpr int kMaxDigits = 9;
constexpr quint32 kMaxNumber = 999'999'999;
constexpr int kMaxPad = 4;
const QByteArray kBom("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArray withoutBlanks(QByteArray text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The reference reader, written the plain way: split at dots.
std::optional<Version> referenceParse(const QByteArray &raw)
{
    QByteArray text = withoutBlanks(raw);
    if (text.startsWith(kBom))
        text = withoutBlanks(text.mid(kBom.size()));
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 3)
        return std::nullopt;
    quint32 numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QByteArray &part = parts.at(i);
        if (part.isEmpty() || part.size() > kMaxDigits)
            return std::nullopt;
        for (char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
            numbers[i] = numbers[i] * 10 + quint32(c - '0');
        }
    }
    return Version {numbers[0], numbers[1], numbers[2]};
}

QByteArray show(const std::optional<Version> &v)
{
    if (!v)
        return "nothing";
    return QByteArray::number(v->major) + '.' + QByteArray::number(v->minor) + '.'
           + QByteArray::number(v->revision);
}

QByteArray blanks(FuzzedDataProvider &fdp)
{
    static const char kinds[] = " \t\r\n";
    QByteArray pad;
    for (int n = fdp.ConsumeIntegralInRange(0, kMaxPad); n > 0; --n)
        pad += kinds[fdp.ConsumeIntegralInRange(0, 3)];
    return pad;
}

QByteArray zeroPadded(quint32 number, int width)
{
    return QByteArray::number(number).rightJustified(width, '0');
}

int digitsOf(quint32 number)
{
    return int(QByteArray::number(number).size());
}

// Writes v with leading zeros (up to nine digits) and padding around.
QByteArray written(FuzzedDataProvider &fdp, const Version &v)
{
    QByteArray text;
    for (quint32 number : {v.major, v.minor, v.revision}) {
        if (!text.isEmpty())
            text += '.';
        text += zeroPadded(number, fdp.ConsumeIntegralInRange(digitsOf(number), kMaxDigits));
    }
    QByteArray front = blanks(fdp);
    if (fdp.ConsumeBool())
        front += kBom + blanks(fdp);
    return front + text + blanks(fdp);
}

std::optional<Version> checkText(FuzzedDataProvider &fdp, const QByteArray &text)
{
    const std::optional<Version> v = parseVersion(text);
    FUZZ_CHECK(v == referenceParse(text),
               shown(text) + "\nread " + show(v) + ", expected " + show(referenceParse(text)));

    // trimVersionText only takes blanks and one mark off the ends.
    const QByteArrayView core = trimVersionText(text);
    if (core.isEmpty()) {
        FUZZ_CHECK(withoutBlanks(text).isEmpty() || withoutBlanks(text) == kBom,
                   shown(text) + "\ntrimmed to nothing");
    } else {
        const qsizetype front = core.data() - text.constData();
        FUZZ_CHECK(front >= 0 && front + core.size() <= text.size(), "trimmed outside the text");
        FUZZ_CHECK(!isBlank(core.front()) && !isBlank(core.back()),
                   shown(text) + "\ntrimmed to " + shown(core.toByteArray()));
        const QByteArray cut = withoutBlanks(text.first(front));
        FUZZ_CHECK(cut.isEmpty() || cut == kBom, shown(text) + "\ncut off " + shown(cut));
        FUZZ_CHECK(withoutBlanks(text.sliced(front + core.size())).isEmpty(),
                   shown(text) + "\ncut off its end");
    }

    QByteArray padded = blanks(fdp) + text + blanks(fdp);
    if (!withoutBlanks(text).startsWith(kBom) && fdp.ConsumeBool())
        padded = blanks(fdp) + kBom + padded;
    FUZZ_CHECK(parseVersion(padded) == v,
               shown(text) + " read " + show(v) + "\npadded: " + show(parseVersion(padded)));

    if (v) {
        FUZZ_CHECK(parseVersion(show(v)) == v, show(v) + " does not read back");
        const QByteArray full = zeroPadded(v->major, kMaxDigits) + '.'
                                + zeroPadded(v->minor, kMaxDigits) + '.'
                                + zeroPadded(v->revision, kMaxDigits);
        FUZZ_CHECK(parseVersion(full) == v, full + " reads as " + show(parseVersion(full)));
    }
    return v;
}

// The order the numbers give, major first, as -1, 0 or 1.
int referenceOrder(const Version &a, const Version &b)
{
    const quint32 left[] = {a.major, a.minor, a.revision};
    const quint32 right[] = {b.major, b.minor, b.revision};
    for (int i = 0; i < 3; ++i) {
        if (left[i] != right[i])
            return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

void checkOrder(const QList<Version> &versions)
{
    for (const Version &a : versions) {
        FUZZ_CHECK(a == a && !(a < a), show(a) + " is not equal to itself");
        for (const Version &b : versions) {
            const QByteArray pair = show(a) + " and " + show(b);
            const int expected = referenceOrder(a, b);
            FUZZ_CHECK((a < b) == (expected < 0) && (a > b) == (expected > 0)
                               && (a == b) == (expected == 0),
                       pair + " compare wrongly");
            FUZZ_CHECK(!(a < b && b < a), pair + " are each below the other");
            FUZZ_CHECK((a < b) == (b > a) && (a <= b) == !(b < a), pair + " compare unevenly");
            for (const Version &c : versions) {
                if (a < b && b < c)
                    FUZZ_CHECK(a < c, pair + " and " + show(c) + " are not transitive");
                if (!(a < b) && !(b < a) && !(b < c) && !(c < b))
                    FUZZ_CHECK(!(a < c) && !(c < a), pair + " and " + show(c) + ": uneven ties");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    QList<Version> versions;
    if (fdp.ConsumeBool()) {
        for (int i = 0; i < kTexts; ++i) {
            const QByteArray text
                    = QByteArray::fromStdString(fdp.ConsumeRandomLengthString(kMaxText));
            if (const std::optional<Version> v = checkText(fdp, text))
                versions.append(*v);
        }
    } else {
        for (int i = 0; i < kTexts; ++i) {
            // Small numbers often, so that ties and near misses occur.
            const auto number = [&fdp] {
                return fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<quint32>(0, 3)
                                         : fdp.ConsumeIntegralInRange<quint32>(0, kMaxNumber);
            };
            const Version v {number(), number(), number()};
            const QByteArray text = written(fdp, v);
            FUZZ_CHECK(parseVersion(text) == v, shown(text) + " read as " + show(parseVersion(text))
                                                        + ", expected " + show(v));
            versions.append(v);
        }
    }
    checkOrder(versions);
    return 0;
}
