#include "platform/Forms.h"

#include <QScreen>
#include <QtMath>

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

void makeFirst(QWidget *form)
{
    if (loaded().removeOne(form))
        loaded().prepend(form);
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

void Form::showEvent(QShowEvent *event)
{
    if (!mShown && isWindow()) {
        mShown = true;
        if (QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0),
                 qRound(height / 15.0));
}
