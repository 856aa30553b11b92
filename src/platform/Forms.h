#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

// The collection of loaded forms, in load order. A form is loaded from its
// construction until its destruction (unload), whether shown or not.
namespace Forms {

const QList<QWidget *> &all();
// The first loaded form, or nullptr when none is loaded.
QWidget *first();
// Moves a loaded form to the front of the collection: a host form loaded
// again later takes the place it had at start-up.
void makeFirst(QWidget *form);
int count();

} // namespace Forms

// A rectangle laid out in twips (1/1440 inch), in pixels: 15 twips a pixel.
QRect twips(int left, int top, int width, int height);

// Base of the program's forms: registers itself with Forms while it exists,
// and a top-level form comes up centred on its screen the first time it shows.
class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr);
    ~Form() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool mShown = false;
};
