#pragma once

// Seams shared by the tests: boxes and program starts recorded; whole files.

#include "platform/MsgBox.h"
#include "platform/Shell.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

// A file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the whole file anew; false on any failure.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Fails the test on any warning but one that matches `pattern`.
inline void expectOnlyWarning(const char *pattern)
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QString::fromUtf8(pattern)));
}

// Verb lines "to v1" ... "to vn", each form numbered, prompts g1 ... gn.
inline QByteArray numberedVerbs(int n)
{
    QByteArray lines;
    for (int k = 1; k <= n; ++k)
        lines += QStringLiteral("to v%1\tp%1\tpp%1\tg%1\r\n").arg(k).toLatin1();
    return lines;
}

struct RecordedBox
{
    QString prompt;
    int style;
    QString title;
};

// Records each box while it lives; answers from `answers`, then OK.
class MsgBoxRecorder
{
public:
    MsgBoxRecorder()
    {
        setMsgBoxHandler([this](const QString &prompt, int style, const QString &title) {
            boxes.append({prompt, style, title});
            if (onBox)
                onBox(boxes.constLast());
            return answers.isEmpty() ? int(vbOK) : answers.takeFirst();
        });
    }
    ~MsgBoxRecorder() { setMsgBoxHandler({}); }
    MsgBoxRecorder(const MsgBoxRecorder &) = delete;
    MsgBoxRecorder &operator=(const MsgBoxRecorder &) = delete;

    QList<RecordedBox> boxes;
    QList<int> answers;
    std::function<void(const RecordedBox &)> onBox;
};

// The boxes recorded, each as "style|title|prompt".
inline QStringList boxTexts(const MsgBoxRecorder &recorder)
{
    QStringList texts;
    for (const RecordedBox &b : recorder.boxes)
        texts << QString::number(b.style) + u'|' + b.title + u'|' + b.prompt;
    return texts;
}

struct RecordedStart
{
    QString program;
    QStringList arguments;
    int windowStyle;
    QString workingDirectory;
};

// Records every program start instead of running it, while it lives.
class ShellRecorder
{
public:
    ShellRecorder()
    {
        setShellHandler([this](const QString &program, const QStringList &arguments, int style,
                               const QString &workingDirectory) {
            starts.append({program, arguments, style, workingDirectory});
            return qint64(4242);
        });
    }
    ~ShellRecorder() { setShellHandler({}); }
    ShellRecorder(const ShellRecorder &) = delete;
    ShellRecorder &operator=(const ShellRecorder &) = delete;

    QList<RecordedStart> starts;
};
