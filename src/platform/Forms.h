#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

class QLabel;
class QPushButton;

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
// Closes every loaded form as its close button does, in load order, then
// unloads the forms that are still loaded. For the end of the program,
// outside any event handler.
void closeAll();

} // namespace Forms

// A control's place on its form in twips (1/1440 inch).
struct Twips
{
    int left;
    int top;
    int width;
    int height;
};

// A rectangle laid out in twips, in pixels: 15 twips a pixel.
QRect twips(const Twips &place);

namespace Forms {

// Creates a control on parent, names it (objectName) and places it at a
// rectangle given in twips.
template<typename Control>
Control *addControl(QWidget *parent, const char *name, const Twips &place)
{
    auto *control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(twips(place));
    return control;
}

// A command button: a focused one takes Enter, as on the classic desktop.
QPushButton *addButton(QWidget *parent, const char *name, const QString &caption,
                       const Twips &place);
// A label whose text is always plain, never read as markup.
QLabel *addLabel(QWidget *parent, const char *name, const QString &text, const Twips &place);

} // namespace Forms

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
