#pragma once

#include <QString>

class QTimer;
class QWidget;

namespace TimerControl {

// Adds a stopped timer named name to form, as a child that lives as long as
// the form. Raises RuntimeError::ControlNameTaken when a child of that name
// already exists on the form, and ObjectNotSet when there is no form.
QTimer *add(QWidget *form, const QString &name);

} // namespace TimerControl
