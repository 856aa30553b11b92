#pragma once

// Seams shared by the tests: message boxes and program starts are recorded
// instead of shown or run.

#include "platform/MsgBox.h"
#include "platform/Shell.h"

#include <QList>
#include <QString>
#include <QStringList>

struct RecordedBox
{
    QString prompt;
    int style;
    QString title;
};

// Answers every message box with `answer` and records it, while it lives.
class MsgBoxRecorder
{
public:
    explicit MsgBoxRecorder(int answer = vbOK)
        : mAnswer(answer)
    {
        setMsgBoxHandler([this](const QString &prompt, int style, const QString &title) {
            boxes.append({prompt, style, title});
            return mAnswer;
        });
    }
    ~MsgBoxRecorder() { setMsgBoxHandler({}); }
    MsgBoxRecorder(const MsgBoxRecorder &) = delete;
    MsgBoxRecorder &operator=(const MsgBoxRecorder &) = delete;

    void setAnswer(int answer) { mAnswer = answer; }

    QList<RecordedBox> boxes;

private:
    int mAnswer;
};

struct RecordedStart
{
    QString program;
    QStringList arguments;
    int windowStyle;
};

// Records every program start instead of running it, while it lives.
class ShellRecorder
{
public:
    ShellRecorder()
    {
        setShellHandler([this](const QString &program, const QStringList &arguments, int style) {
            starts.append({program, arguments, style});
            return qint64(4242);
        });
    }
    ~ShellRecorder() { setShellHandler({}); }
    ShellRecorder(const ShellRecorder &) = delete;
    ShellRecorder &operator=(const ShellRecorder &) = delete;

    QList<RecordedStart> starts;
};
