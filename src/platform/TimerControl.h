#pragma once

#include <QString>

class QTimer;
class QWidget;

namespace TimerControl {

// Adds a stopped timer named name to form, as a child that lives as long as
// the form. Raises run-time error 727 when a child of that name already
// exists on the form, and 91 when there is no form.
QTimer *add(QWidget *form, const QString &name);

} // namespace TimerControl
