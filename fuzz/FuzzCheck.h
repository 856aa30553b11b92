#pragma once

// Shared by the fuzz targets: a check that aborts, so libFuzzer keeps the input.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzFailure(const char *file, int line, const char *condition,
                                     const QByteArray &detail)
{
    std::fprintf(stderr, "%s:%d: broken: %s\n%s\n", file, line, condition, detail.constData());
    std::abort();
}

// Checks a promise; detail is only built when it is broken.
#define FUZZ_CHECK(condition, detail) \
    do { \
        if (!(condition)) \
            fuzzFailure(__FILE__, __LINE__, #condition, (detail)); \
    } while (false)

// A short printable form of bytes for a failure report.
inline QByteArray shown(const QByteArray &bytes)
{
    constexpr qsizetype kShown = 200;
    QByteArray text = bytes.left(kShown).toPercentEncoding(" /:;=.,-_");
    if (bytes.size() > kShown)
        text += "... (" + QByteArray::number(bytes.size()) + " bytes)";
    return text;
}

inline QByteArray shown(const QString &text)
{
    return shown(text.toUtf8());
}
