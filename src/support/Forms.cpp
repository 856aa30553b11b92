#include "support/Forms.h"

namespace {
QList<QWidget *> &loaded()
{
    static QList<QWidget *> forms;
    return forms;
}
} // namespace

namespace Forms {

const QList<QWidget *> &all()
{
    return loaded();
}

QWidget *first()
{
    return loaded().isEmpty() ? nullptr : loaded().constFirst();
}

int count()
{
    return int(loaded().size());
}

} // namespace Forms

Form::Form(QWidget *parent)
    : QWidget(parent)
{
    loaded().append(this);
}

Form::~Form()
{
    loaded().removeOne(this);
}
