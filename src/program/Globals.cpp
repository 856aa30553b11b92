#include "program/Globals.h"

#include "downloader/CopyHelper.h"
#include "platform/EndSignals.h"
#include "platform/FileSystem.h"
#include "platform/Forms.h"
#include "trainer/ProgramServices.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"
#include "update/UpdateCheck.h"

#include <QApplication>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

std::unique_ptr<FileSystemObject> &fso()
{
    static std::unique_ptr<FileSystemObject> object;
    return object;
}

CopyHelper *&copyHelper()
{
    static CopyHelper *object = nullptr;
    return object;
}

bool hostFormLoaded()
{
    const QList<QWidget *> &forms = Forms::all();
    return std::any_of(forms.begin(), forms.end(),
                       [](QWidget *form) { return qobject_cast<frmDummy *>(form) != nullptr; });
}

class Services final : public ProgramServices
{
public:
    FileSystemObject &fileSystem() override { return Globals::g_objFSO(); }
    void releaseServices() override
    {
        Globals::releaseCopyHelper();
        Globals::releaseFSO();
    }
};

} // namespace

namespace Globals {

int run()
{
    EndSignals ending;
    QObject::connect(&ending, &EndSignals::received, &ending, [] { QCoreApplication::exit(0); });
    Main();
    // A request that came while a box of the start-up was open found no
    // event loop to end yet: it ends the first one at once.
    if (ending.wasReceived())
        QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    const int status = QApplication::exec();
    Forms::closeAll();
    return status;
}

void Main()
{
    // The host form must be the first loaded form: the downloader puts its
    // watchdog timer on the first form of the collection.
    new frmDummy;
    frmMain *main = loadMainWindow();
    main->show();
    main->upgradeMe(1);
}

frmMain *loadMainWindow()
{
    auto *main = new frmMain(services()); // runs Form_Load
    new UpdateCheck(*main,
                    []() -> CopyHelper & { return g_objCopyHelper(); }); // the window's child
    return main;
}

FileSystemObject &g_objFSO()
{
    if (!fso())
        fso() = std::make_unique<FileSystemObject>();
    return *fso();
}

void releaseFSO()
{
    fso().reset();
}

CopyHelper &g_objCopyHelper()
{
    if (!copyHelper()) {
        // The downloader's watchdog lives on the host form; after an upgrade
        // released both, the host form comes back first, as at start-up.
        if (!hostFormLoaded())
            Forms::makeFirst(new frmDummy);
        copyHelper() = new CopyHelper;
    }
    return *copyHelper();
}

bool hasCopyHelper()
{
    return copyHelper() != nullptr;
}

void releaseCopyHelper()
{
    CopyHelper *helper = std::exchange(copyHelper(), nullptr);
    if (!helper)
        return;
    // Released from inside its own callback, the object is still running
    // the handler that called back: tear it down now, delete it once that
    // handler has returned to the event loop.
    if (helper->isInCallback()) {
        helper->teardown();
        helper->deleteLater();
    } else {
        delete helper;
    }
}

ProgramServices &services()
{
    static Services instance;
    return instance;
}

} // namespace Globals
