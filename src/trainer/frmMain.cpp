#include "trainer/frmMain.h"

#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "platform/App.h"
#include "platform/DefaultBrowser.h"
#include "platform/FileSystem.h"
#include "platform/MsgBox.h"
#include "trainer/ChosenList.h"
#include "trainer/ProgramServices.h"
#include "trainer/frmAbout.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMainLook.h"
#include "trainer/frmMainSpeech.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Room left between the verdicts and the tab's right edge, as on the left.
constexpr int pageMarginTwips = 60;

// Form_Load goes on after a failing step: a run-time error ends that step
// only, and the log says which step was skipped.
template<typename Step>
void skipOnError(const char *what, Step step)
{
    try {
        step();
    } catch (const RuntimeError &error) {
        qWarning("Start-up step skipped (%s): run-time error %d, %s", what, error.number(),
                 error.what());
    }
}

// The accessible name of a text box: its caption without the colon.
void nameAfter(QLineEdit *box, QLabel *caption)
{
    caption->setBuddy(box);
    box->setAccessibleName(caption->text().chopped(caption->text().endsWith(u':') ? 1 : 0));
}

} // namespace

frmMain::frmMain(ProgramServices &services, QWidget *parent)
    : Form(parent),
      mServices(services)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Verbodrom(EN)"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::buildControls()
{
    // Fixed size with a minimize button and no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/trainer/verbodrom.png")));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    buildMenu(layout);

    // The client area below the menu bar: 640 x 480 pixels.
    auto *client = new QWidget(this);
    client->setFixedSize(640, 480);
    client->setFont(Look::sansSerif(Look::controlPointSize));
    layout->addWidget(client);

    SSTab1 = Forms::addControl<QTabWidget>(client, "SSTab1", {0, 0, 9555, 7155});
    // With its single tab the tab bar offers nothing to the keyboard; keeping
    // it out of the focus chain leaves the order of the quiz controls.
    SSTab1->setFocusPolicy(Qt::NoFocus);
    SSTab1->tabBar()->setFocusPolicy(Qt::NoFocus);
    mPage = new QWidget;
    SSTab1->addTab(mPage, QStringLiteral("irregular verbs"));
    // The page gets its size from the tab control once that is laid out; the
    // verdicts then stretch to its right edge.
    mPage->installEventFilter(this);
    buildQuizPage(mPage);
    connectHandlers();
}

void frmMain::buildMenu(QVBoxLayout *layout)
{
    mMenuBar = new QMenuBar(this);
    layout->setMenuBar(mMenuBar);
    const auto addMenu = [this](const char *name, const QString &caption) {
        QMenu *menu = mMenuBar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    const auto addEntry = [](QMenu *menu, const char *name, const QString &caption) {
        QAction *entry = menu->addAction(caption);
        entry->setObjectName(QLatin1String(name));
        return entry;
    };
    mnuFile = addMenu("mnuFile", QStringLiteral("&Datei"));
    mnuReload = addEntry(mnuFile, "mnuReload", QStringLiteral("&Neu einlesen"));
    mnuOpenList = addEntry(mnuFile, "mnuOpenList", QStringLiteral("Verbliste ö&ffnen…"));
    mnuShippedList = addEntry(mnuFile, "mnuShippedList", QStringLiteral("&Mitgelieferte Liste"));
    mnuUpdate = addEntry(mnuFile, "mnuUpdate", QStringLiteral("&Internet Update"));
    mnuFile->addSeparator();
    mnuExit = addEntry(mnuFile, "mnuExit", QStringLiteral("&Beenden"));
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuPractice = addMenu("mnuPractice", QStringLiteral("&Übung"));
    mnuRepeatMistakes
            = addEntry(mnuPractice, "mnuRepeatMistakes", QStringLiteral("&Fehler wiederholen"));
    mnuRepeatMistakes->setCheckable(true);
    mnuLernstand = addEntry(mnuPractice, "mnuLernstand", QStringLiteral("&Lernstand anzeigen…"));
    mnuLernstand->setShortcut(QKeySequence(Qt::ALT | Qt::Key_L));
    mnuResetProgress
            = addEntry(mnuPractice, "mnuResetProgress", QStringLiteral("Lernstand &zurücksetzen"));
    mnuOther = addMenu("mnuOther", QStringLiteral("&?"));
    mnuAbout = addEntry(mnuOther, "mnuAbout", QStringLiteral("Ü&ber"));

    // F10 opens the first menu, as on every classic desktop.
    auto *menuKey = new QAction(this);
    menuKey->setShortcut(Qt::Key_F10);
    addAction(menuKey);
    connect(menuKey, &QAction::triggered, this,
            [this] { mMenuBar->setActiveAction(mnuFile->menuAction()); });
}

void frmMain::buildQuizPage(QWidget *page)
{
    const auto caption = [page](const char *name, const QString &text, const Twips &place) {
        QLabel *label = Forms::addLabel(page, name, text, place);
        label->adjustSize(); // sized to its text
        return label;
    };
    const auto answerBox = [page](const char *name, const Twips &place) {
        auto *box = Forms::addControl<QLineEdit>(page, name, place);
        box->setFont(Look::answerFont());
        return box;
    };
    const auto verdict = [page](const char *name, const Twips &place) {
        // The caption quotes the verb file: the label never reads it as markup.
        QLabel *label = Forms::addLabel(page, name, QString(), place);
        label->setFont(Look::answerFont());
        return label;
    };

    btNewWord = Forms::addButton(page, "btNewWord", QStringLiteral("&Neues Wort"),
                                 {3270, 420, 2745, 435});
    buildDirectionFrame(page);

    Label1 = caption("Label1", QStringLiteral("Deutscher Infinitiv:"), {330, 960, 1320, 195});
    txtGerInf = answerBox("txtGerInf", {330, 1170, 5025, 435});
    txtGerInf->setReadOnly(true);
    Label2 = caption("Label2", QStringLiteral("English infinitive:"), {330, 1800, 1170, 195});
    txtEngInf = answerBox("txtEngInf", {330, 2010, 5025, 435});
    lblEngInf = verdict("lblEngInf", {5400, 2010, 3915, 435});
    Label3 = caption("Label3", QStringLiteral("English past tense:"), {330, 2640, 1335, 195});
    txtEngPast = answerBox("txtEngPast", {330, 2850, 5025, 435});
    lblEngPast = verdict("lblEngPast", {5400, 2850, 3915, 435});
    Label4 = caption("Label4", QStringLiteral("English past participle:"), {330, 3510, 1575, 195});
    txtEngPastParticiple = answerBox("txtEngPastParticiple", {330, 3720, 5025, 435});
    lblEngPastParticiple = verdict("lblEngPastParticiple", {5400, 3720, 3915, 435});
    btEnter = Forms::addButton(page, "btEnter", QStringLiteral("&Prüfen"), {1500, 4290, 2745, 435});
    btEnter->setDefault(true);
    mSpeech = new SpeechControls(this, page, mnuPractice);
    buildScoreLine(page);

    nameAfter(txtGerInf, Label1);
    nameAfter(txtEngInf, Label2);
    nameAfter(txtEngPast, Label3);
    nameAfter(txtEngPastParticiple, Label4);

    QWidget::setTabOrder(btNewWord, txtGerInf);
    QWidget::setTabOrder(txtGerInf, txtEngInf);
    QWidget::setTabOrder(txtEngInf, txtEngPast);
    QWidget::setTabOrder(txtEngPast, txtEngPastParticiple);
    QWidget::setTabOrder(txtEngPastParticiple, btEnter);
    QWidget::setTabOrder(btEnter, mSpeech->button());
    QWidget::setTabOrder(mSpeech->button(), optEN);
    QWidget::setTabOrder(optEN, optDE);
    // Tab stops at the selected option only, as in any option group on the
    // classic desktop; the arrow keys still move within the group.
    optEN->setFocusPolicy(Qt::ClickFocus);
}

void frmMain::buildDirectionFrame(QWidget *page)
{
    Frame1 = Forms::addControl<QGroupBox>(page, "Frame1", {60, 360, 3105, 525});
    Frame1->setTitle(QStringLiteral("Wort vorgeben auf..."));
    optEN = Forms::addControl<QRadioButton>(Frame1, "optEN", {60, 210, 1005, 285});
    optEN->setText(QStringLiteral("Englisch"));
    optDE = Forms::addControl<QRadioButton>(Frame1, "optDE", {1740, 210, 1005, 285});
    optDE->setText(QStringLiteral("Deutsch"));
    optDE->setChecked(true);

    // The designed frame is too low for its title and options in most fonts:
    // a layout fits the options below the title, and the frame grows upwards
    // from its designed bottom edge so that nothing below it moves.
    auto *options = new QHBoxLayout(Frame1);
    options->addWidget(optEN);
    options->addWidget(optDE);
    const QRect designed = Frame1->geometry();
    const int height = qMax(designed.height(), Frame1->sizeHint().height());
    Frame1->setGeometry(designed.x(), qMax(0, designed.bottom() + 1 - height), designed.width(),
                        height);
}

void frmMain::connectHandlers()
{
    connect(btNewWord, &QPushButton::clicked, this, [this] { btNewWord_Click(); });
    connect(btEnter, &QPushButton::clicked, this, [this] { btEnter_Click(); });
    connect(optDE, &QRadioButton::toggled, this, [this](bool on) {
        optDE->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
        if (on)
            optDE_Click();
    });
    connect(optEN, &QRadioButton::toggled, this, [this](bool on) {
        optEN->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
        if (on)
            optEN_Click();
    });
    connect(mnuReload, &QAction::triggered, this, [this] { mnuReload_Click(); });
    connect(mnuOpenList, &QAction::triggered, this, [this] { mnuOpenList_Click(); });
    connect(mnuShippedList, &QAction::triggered, this, [this] { mnuShippedList_Click(); });
    // As the window's close button.
    connect(mnuExit, &QAction::triggered, this, [this] { close(); });
    connect(mnuUpdate, &QAction::triggered, this, [this] { mnuUpdate_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    connect(mnuRepeatMistakes, &QAction::triggered, this, [this] { mnuRepeatMistakes_Click(); });
    connect(mnuResetProgress, &QAction::triggered, this, [this] { mnuResetProgress_Click(); });
    connect(mnuLernstand, &QAction::triggered, this, [this] { mnuLernstand_Click(); });
    // Every click on a tab counts, the current one included.
    connect(SSTab1->tabBar(), &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0)
            SSTab1_Click(SSTab1->currentIndex());
    });
}

void frmMain::Form_Load()
{
    skipOnError("background", [this] { Look::setBackground(txtGerInf, Look::grayText()); });
    skipOnError("default browser", [this] {
        mBrowserExec = DefaultBrowser::defaultBrowserExec();
    });
    skipOnError("verb list", [this] {
        mChosenList = ChosenList::remembered();
        LoadVerbs();
    });
    skipOnError("progress", [this] { loadProgress(); });
    skipOnError("random seed", [this] { mRandom.seed(Quiz::systemSeed()); });
    // A leftover updater from the previous upgrade, a link to one too (the
    // link goes, its target stays as it is); usually there is none, and
    // that is no failure worth a log line.
    skipOnError("leftover updater", [this] {
        try {
            mServices.fileSystem().DeleteFile(
                    Utils::addBackslash(App::Path()) + QStringLiteral("Updater.exe"), true);
        } catch (const RuntimeError &error) {
            if (error.number() != RuntimeError::FileNotFound)
                throw;
        }
    });
}

void frmMain::upgradeMe(quint8 ixStep)
{
    Q_EMIT upgradeRequested(ixStep);
}

void frmMain::updateMe(quint8 ixStep)
{
    Q_UNUSED(ixStep);
}

void frmMain::CHCallBack(QByteArray &arrContents, qint16 &chError)
{
    Q_EMIT transferEnded(arrContents, chError);
}

void frmMain::mnuUpdate_Click()
{
    Q_EMIT updateAsked();
}

void frmMain::Form_Unload(int &Cancel)
{
    Q_UNUSED(Cancel);
    // The downloader goes before its host form.
    mServices.releaseServices();
    const QList<QWidget *> forms = Forms::all();
    for (QWidget *form : forms) {
        if (qobject_cast<frmDummy *>(form))
            delete form;
    }
}

void frmMain::closeEvent(QCloseEvent *event)
{
    int Cancel = 0;
    Form_Unload(Cancel);
    event->accept();
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // The text boxes and option buttons pass Enter on to the window; the
    // buttons keep it for themselves.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        btEnter_Click();
        return;
    }
    Form::keyPressEvent(event);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mPage && event->type() == QEvent::Resize) {
        const int right = mPage->width() - twips({0, 0, pageMarginTwips, 0}).width();
        for (QLabel *label : {lblEngInf, lblEngPast, lblEngPastParticiple}) {
            label->resize(qMax(1, right - label->x()), label->height());
            Look::fitVerdict(label);
        }
    }
    return Form::eventFilter(watched, event);
}

void frmMain::mnuReload_Click()
{
    LoadVerbs();
}

void frmMain::mnuAbout_Click()
{
    if (!mAbout)
        mAbout = new frmAbout(mBrowserExec);
    mAbout->show();
    mAbout->raise();
    mAbout->activateWindow();
}

void frmMain::SSTab1_Click(int PreviousTab)
{
    Q_UNUSED(PreviousTab);
    if (SSTab1->currentIndex() == 0)
        LoadVerbs();
}
