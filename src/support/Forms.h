#pragma once

#include <QList>
#include <QWidget>

// The collection of loaded forms, in load order. A form is loaded from its
// construction until its destruction (unload), whether shown or not.
namespace Forms {

const QList<QWidget *> &all();
// The first loaded form, or nullptr when none is loaded.
QWidget *first();
int count();

} // namespace Forms

// Base of the program's forms: registers itself with Forms while it exists.
class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr);
    ~Form() override;
};
