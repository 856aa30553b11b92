// The version reader against a regular expression, its order against
// QVersionNumber's; numbers written with zeros, blanks and a BOM read back.

#include "update/Version.h"

#include "FuzzCheck.h"

#include <QList>
#include <QRegularExpression>
#include <QVersionNumber>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr size_t kMaxText = 64;
constexpr quint32 kMaxNumber = 999'999'999;

// Blanks and once a UTF-8 BOM (as Latin-1) around three runs of 1 to 9 digits.
const QRegularExpression kForm(QRegularExpression::anchoredPattern(
        u"[ \\t\\r\\n]*(?:\u00EF\u00BB\u00BF[ "
        u"\\t\\r\\n]*)?(([0-9]{1,9})\\.([0-9]{1,9})\\.([0-9]{1,9}))"
        u"[ \\t\\r\\n]*"));

QByteArray show(const std::optional<Version> &v)
{
    return v ? QByteArray::number(v->major) + '.' + QByteArray::number(v->minor) + '.'
                           + QByteArray::number(v->revision)
             : QByteArray("nothing");
}

std::optional<Version> checkText(const QByteArray &text)
{
    const QRegularExpressionMatch match = kForm.match(QString::fromLatin1(text));
    const std::optional<Version> v = parseVersion(text);
    const std::optional<Version> expected
            = match.hasMatch() ? std::optional(Version {match.captured(2).toUInt(),
                                                        match.captured(3).toUInt(),
                                                        match.captured(4).toUInt()})
                               : std::nullopt;
    FUZZ_CHECK(v == expected, shown(text) + "\nread " + show(v) + ", expected " + show(expected));
    if (v) // the offer shows the version as written, without what is around it
        FUZZ_CHECK(trimVersionText(text) == match.captured(1).toLatin1(),
                   shown(text) + "\ntrimmed to " + shown(trimVersionText(text).toByteArray()));
    return v;
}

QByteArray written(FuzzedDataProvider &fdp, const Version &v)
{
    const auto blanks
            = [&fdp] { return QByteArray(" \t\r\n").left(fdp.ConsumeIntegralInRange(0, 4)); };
    QByteArray text = blanks();
    if (fdp.ConsumeBool())
        text += "\xEF\xBB\xBF" + blanks();
    for (quint32 number : {v.major, v.minor, v.revision})
        text += QByteArray::number(number).rightJustified(fdp.ConsumeIntegralInRange(1, 9), '0')
                + '.';
    text.chop(1);
    return text + blanks();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    QList<Version> versions;
    const bool texts = fdp.ConsumeBool();
    for (int i = 0; i < 3; ++i) {
        if (texts) {
            if (const auto v
                = checkText(QByteArray::fromStdString(fdp.ConsumeRandomLengthString(kMaxText))))
                versions.append(*v);
            continue;
        }
        // Small numbers often, so that ties and near misses occur.
        const auto number = [&fdp] {
            return fdp.ConsumeIntegralInRange<quint32>(0, fdp.ConsumeBool() ? 3 : kMaxNumber);
        };
        const Version v {number(), number(), number()};
        const QByteArray text = written(fdp, v);
        FUZZ_CHECK(parseVersion(text) == v, shown(text) + " read as " + show(parseVersion(text)));
        versions.append(v);
    }
    for (const Version &a : std::as_const(versions)) {
        for (const Version &b : std::as_const(versions)) {
            const int expected = QVersionNumber::compare(
                    QVersionNumber(int(a.major), int(a.minor), int(a.revision)),
                    QVersionNumber(int(b.major), int(b.minor), int(b.revision)));
            FUZZ_CHECK((a <=> b) == (expected <=> 0),
                       show(a) + " and " + show(b) + " compare wrongly");
        }
    }
    return 0;
}
