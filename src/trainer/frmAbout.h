#pragma once

#include "platform/Forms.h"

#include <QDate>
#include <QFont>

class QLabel;
class QPushButton;

// The About window: program name and version, two credit lines, a portrait,
// the homepage, and a birthday line shown on 17 February only.
//
// Flow: the constructor builds the controls at their fixed places and runs
// Form_Load, which fills the version text and decides the birthday line once.
// The homepage label and the button in the same place swap under the mouse:
// moving over the label shows the button, moving over the bare window
// background shows the label again; no other control reacts. Tab onto the
// label makes the same swap and puts the focus on the button. The button starts
// the browser found at start-up as its desktop file says, with the homepage
// host in place of its URL field code. Enter (unless a focused button takes
// it) and Esc close the window as OK does.
class frmAbout : public Form
{
    Q_OBJECT
public:
    // browserExec is the default browser's registered command (its desktop
    // file's Exec value); when its program part is empty, the homepage button
    // does nothing.
    explicit frmAbout(const QString &browserExec, QWidget *parent = nullptr);

    // Fills lblAbout and shows lblOwnBirthday when today is 17 February.
    void Form_Load(const QDate &today);

    void Form_MouseMove();
    void lblHomepage_MouseMove();
    // Starts the browser without waiting; a browser that cannot be started is
    // reported in a message box. The window stays open.
    void btHomepage_Click();
    void btOK_Click();

    // The three lines of lblAbout.
    static QString aboutText();
    // "OCR A Extended" 14.25 pt where installed, else a monospace font of
    // that size.
    static QFont birthdayFont();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildHomepageLink();

    QString mBrowserExec;
    QPushButton *btOK;
    QPushButton *btHomepage;
    QLabel *Picture1;
    QLabel *lblOwnBirthday;
    QLabel *lblHomepage;
    QLabel *lblAbout;
};
