#include "trainer/frmAbout.h"

#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "platform/App.h"
#include "platform/DefaultBrowser.h"
#include "platform/MsgBox.h"
#include "platform/Shell.h"

#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QtMath>

namespace {

// Narrows the letter spacing of a one-line label just enough for its text to
// fit: the fallback monospace font is a little wider than the designed one.
void fitLetterSpacing(QLabel *label)
{
    QFont font = label->font();
    const int needed = QFontMetrics(font).horizontalAdvance(label->text());
    const int room = label->contentsRect().width();
    if (needed > room && needed > 0) {
        font.setLetterSpacing(QFont::PercentageSpacing, qFloor(100.0 * room / needed));
        label->setFont(font);
    }
}

} // namespace

frmAbout::frmAbout(const QString &browserExec, QWidget *parent)
    : Form(parent),
      mBrowserExec(browserExec)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog);
    setWindowTitle(QStringLiteral("Über Talvento"));
    setFixedSize(twips({0, 0, 6150, 2520}).size());

    btOK = Forms::addButton(this, "btOK", QStringLiteral("OK"), {1800, 1680, 1215, 375});
    btOK->setDefault(true);

    btHomepage = Forms::addButton(this, "btHomepage", App::Homepage(), {360, 1320, 1215, 255});
    btHomepage->setToolTip(QStringLiteral("Click to visit"));
    btHomepage->setVisible(false);

    Picture1 = Forms::addLabel(this, "Picture1", QString(), {4320, 60, 1695, 2350});
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setAlignment(Qt::AlignCenter);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/about/about-portrait.png")));
    Picture1->setToolTip(QStringLiteral("That's me!"));

    lblOwnBirthday
            = Forms::addLabel(this, "lblOwnBirthday", QStringLiteral("HAPPY BIRTHDAY TO ME :-D"),
                              {270, 2160, 4065, 255});
    lblOwnBirthday->setFont(birthdayFont());
    QPalette red = lblOwnBirthday->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    lblOwnBirthday->setPalette(red);
    fitLetterSpacing(lblOwnBirthday);
    lblOwnBirthday->setVisible(false);

    buildHomepageLink();

    lblAbout = Forms::addLabel(this, "lblAbout", QString(), {480, 240, 3615, 855});
    lblAbout->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    connect(btOK, &QPushButton::clicked, this, &frmAbout::btOK_Click);
    connect(btHomepage, &QPushButton::clicked, this, &frmAbout::btHomepage_Click);

    Form_Load(QDate::currentDate());
}

// The homepage label, made to look like a link, and its tracking of the mouse
// and the keyboard; the button of the same place swaps in under the mouse.
void frmAbout::buildHomepageLink()
{
    lblHomepage = Forms::addLabel(this, "lblHomepage", App::Homepage(), {360, 1320, 1215, 255});
    QPalette link = lblHomepage->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    lblHomepage->setPalette(link);
    QFont underlined = lblHomepage->font();
    underlined.setUnderline(true);
    lblHomepage->setFont(underlined);
    // The host name is a build setting and may need more room than designed:
    // label and button then grow to the right together, short of the picture.
    const int homepageWidth
            = qBound(lblHomepage->width(),
                     qMax(lblHomepage->sizeHint().width(), btHomepage->sizeHint().width()),
                     Picture1->x() - lblHomepage->x() - 8);
    lblHomepage->resize(homepageWidth, lblHomepage->height());
    btHomepage->resize(homepageWidth, btHomepage->height());

    // Only the bare background and the homepage label track the mouse; Qt
    // drops plain moves over the other controls instead of passing them on to
    // the window, so they leave the swap as it is.
    setMouseTracking(true);
    lblHomepage->setMouseTracking(true);
    lblHomepage->installEventFilter(this);
    // The keyboard reaches the homepage too: Tab onto the label swaps in the
    // button and hands it the focus, so Enter or Space starts the browser.
    lblHomepage->setFocusPolicy(Qt::TabFocus);
}

QString frmAbout::aboutText()
{
    return QStringLiteral("Verbodrom(EN)  Version %1.%2.%3\nGeschrieben von Talvento\n"
                          "Viel Spaß beim Üben!")
            .arg(App::Major())
            .arg(App::Minor())
            .arg(App::Revision());
}

QFont frmAbout::birthdayFont()
{
    const QString ocr = QStringLiteral("OCR A Extended");
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontDatabase::hasFamily(ocr))
        font = QFont(ocr);
    font.setPointSizeF(14.25);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

void frmAbout::Form_Load(const QDate &today)
{
    lblAbout->setText(aboutText());
    const QString dayMonth = Utils::padNumber(QString::number(today.day()), 2) + QLatin1Char('.')
                             + Utils::padNumber(QString::number(today.month()), 2)
                             + QLatin1Char('.');
    lblOwnBirthday->setVisible(dayMonth == QLatin1String("17.02."));
}

void frmAbout::Form_MouseMove()
{
    lblHomepage->setVisible(true);
    btHomepage->setVisible(false);
}

void frmAbout::lblHomepage_MouseMove()
{
    btHomepage->setVisible(true);
    lblHomepage->setVisible(false);
}

void frmAbout::btHomepage_Click()
{
    QStringList arguments = DefaultBrowser::browserStart(mBrowserExec, App::Homepage());
    if (arguments.isEmpty())
        return;
    const QString program = arguments.takeFirst();
    try {
        Shell(program, arguments, vbNormalFocus);
    } catch (const RuntimeError &) {
        // A stale registration: say so, and tell the address to open by hand.
        MsgBox(QStringLiteral("Der Browser konnte nicht gestartet werden:\n%1\n\n"
                              "Bitte öffnen Sie %2 von Hand.")
                       .arg(program, App::Homepage()),
               vbExclamation, App::Title() + QStringLiteral(" - Homepage"), this);
    }
}

void frmAbout::btOK_Click()
{
    close();
}

void frmAbout::mouseMoveEvent(QMouseEvent *event)
{
    Form_MouseMove();
    Form::mouseMoveEvent(event);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Enter that no focused button takes presses the default button; Esc
    // closes the window as OK does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
        || event->key() == Qt::Key_Escape) {
        btOK->click();
        return;
    }
    Form::keyPressEvent(event);
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblHomepage && event->type() == QEvent::MouseMove) {
        lblHomepage_MouseMove();
        return true;
    }
    if (watched == lblHomepage && event->type() == QEvent::FocusIn) {
        lblHomepage_MouseMove();
        btHomepage->setFocus(static_cast<QFocusEvent *>(event)->reason());
        return true;
    }
    return Form::eventFilter(watched, event);
}
