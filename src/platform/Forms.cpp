#include "platform/Forms.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
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

void closeAll()
{
    // A form's close may unload others (the main window unloads the host
    // form): go by guarded copies.
    QList<QPointer<QWidget>> forms;
    for (QWidget *form : loaded())
        forms.append(form);
    for (const QPointer<QWidget> &form : forms) {
        if (form)
            form->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qDeleteAll(QList<QWidget *>(loaded())); // the hidden ones that closing left loaded
}

QPushButton *addButton(QWidget *parent, const char *name, const QString &caption,
                       const Twips &place)
{
    auto *button = addControl<QPushButton>(parent, name, place);
    button->setText(caption);
    button->setAutoDefault(true);
    return button;
}

QLabel *addLabel(QWidget *parent, const char *name, const QString &text, const Twips &place)
{
    auto *label = addControl<QLabel>(parent, name, place);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
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

QRect twips(const Twips &place)
{
    constexpr double twipsPerPixel = 15.0;
    return QRect(qRound(place.left / twipsPerPixel), qRound(place.top / twipsPerPixel),
                 qRound(place.width / twipsPerPixel), qRound(place.height / twipsPerPixel));
}
