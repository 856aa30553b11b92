#include "update/Version.h"

#include "base/Utils.h"

namespace {

constexpr QByteArrayView utf8Bom("\xEF\xBB\xBF");
// Nine digits always fit in 32 bits.
constexpr qsizetype maxDigits = 9;

QByteArrayView trimBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && Utils::isLineBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && Utils::isLineBlank(text.back()))
        text.chop(1);
    return text;
}

// Reads one number from the front of `text` and drops it; nullopt unless
// it holds 1 to maxDigits decimal digits.
std::optional<quint32> takeNumber(QByteArrayView &text)
{
    quint32 value = 0;
    qsizetype digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (digits == maxDigits)
            return std::nullopt;
        value = value * 10 + quint32(text[digits] - '0');
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    text = text.sliced(digits);
    return value;
}

bool takeDot(QByteArrayView &text)
{
    if (text.isEmpty() || text.front() != '.')
        return false;
    text = text.sliced(1);
    return true;
}

} // namespace

QByteArrayView trimVersionText(QByteArrayView text)
{
    text = trimBlanks(text);
    if (text.startsWith(utf8Bom))
        text = trimBlanks(text.sliced(utf8Bom.size()));
    return text;
}

std::optional<Version> parseVersion(QByteArrayView text)
{
    text = trimVersionText(text);
    const auto major = takeNumber(text);
    if (!major || !takeDot(text))
        return std::nullopt;
    const auto minor = takeNumber(text);
    if (!minor || !takeDot(text))
        return std::nullopt;
    const auto revision = takeNumber(text);
    if (!revision || !text.isEmpty())
        return std::nullopt;
    return Version {*major, *minor, *revision};
}
