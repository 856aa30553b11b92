#include "platform/MsgBox.h"

#include "platform/App.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace {
MsgBoxHandler &handler()
{
    static MsgBoxHandler h;
    return h;
}

// A box is sized to its prompt and buttons, and the window manager cuts a
// longer title: a strut across the box's layout keeps it as wide as the
// title needs.
void fitTitle(QMessageBox &box, const QString &title)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(msgBoxTitleWidth(title), 0), grid->rowCount(), 0, 1,
                  grid->columnCount());
}
} // namespace

int msgBoxTitleWidth(const QString &title)
{
    // Title bars mostly set their text in bold; the room for the window
    // icon and the buttons is a square of the bar's height each, on both
    // sides, as a centred title needs.
    constexpr int squaresBesideTitle = 4;
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int square = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QFontMetrics(font).horizontalAdvance(title) + squaresBesideTitle * square;
}

void setMsgBoxHandler(MsgBoxHandler h)
{
    handler() = std::move(h);
}

int MsgBox(const QString &prompt, int style, const QString &title, QWidget *owner)
{
    const QString caption = title.isEmpty() ? App::Title() : title;
    if (handler())
        return handler()(prompt, style, caption);

    // A hidden owner (a form still loading) has no place to open over yet.
    QMessageBox box(owner && owner->isVisible() ? owner->window() : nullptr);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    switch (style & 0x70) {
    case vbCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case vbInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((style & 0x7) == vbOKCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        // The program speaks German whether or not Qt's own translations are
        // installed.
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Abbrechen"));
        box.setEscapeButton(QMessageBox::Cancel);
        if (style & vbDefaultButton2) {
            // Cancel stays the default wherever the focus goes: a button that
            // takes the focus by Tab would otherwise take Enter with it.
            // Space still presses the button that has the focus.
            for (QPushButton *button : box.findChildren<QPushButton *>())
                button->setAutoDefault(false);
            box.setDefaultButton(QMessageBox::Cancel);
        } else {
            box.setDefaultButton(QMessageBox::Ok);
        }
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    // Last: the icon and the buttons lay the box out anew.
    fitTitle(box, caption);
    return box.exec() == QMessageBox::Ok ? vbOK : vbCancel;
}
