#pragma once

#include <QString>

#include <functional>

class QWidget;

// Modal message boxes. Styles are the classic numeric flags: 0 OK only,
// 48 OK with exclamation icon, 49 OK and Cancel with exclamation icon,
// 65 OK and Cancel with information icon; adding 256 makes the second
// button (Cancel) the default, and Enter then gives Cancel even when the
// focus was moved to OK. The prompt is always shown as plain text.
// Returns 1 for OK and 2 for Cancel. A box with an owner opens over the
// owner's window while that is shown (and in the middle of the screen
// otherwise, as one without an owner does). A box is as wide as its title
// needs.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
};
enum MsgBoxResult {
    vbOK = 1,
    vbCancel = 2,
};

int MsgBox(const QString &prompt, int style = vbOKOnly, const QString &title = QString(),
           QWidget *owner = nullptr);

// The width a box needs to show its whole title in the title bar: the title
// in the style's title-bar font, and room for the bar's icon and buttons.
// A box is never narrower.
int msgBoxTitleWidth(const QString &title);

// Test seam: while a handler is set, MsgBox calls it instead of showing a box
// and returns its answer. An empty handler restores the real boxes.
using MsgBoxHandler = std::function<int(const QString &prompt, int style, const QString &title)>;
void setMsgBoxHandler(MsgBoxHandler handler);
