#include "platform/TimerControl.h"

#include "base/RuntimeError.h"

#include <QTimer>
#include <QWidget>

namespace TimerControl {

QTimer *add(QWidget *form, const QString &name)
{
    if (!form)
        throw RuntimeError(RuntimeError::ObjectNotSet, "object variable not set");
    if (form->findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
        throw RuntimeError(RuntimeError::ControlNameTaken, "control name already taken");
    auto *timer = new QTimer(form);
    timer->setObjectName(name);
    return timer;
}

} // namespace TimerControl
