#include "program/Globals.h"

#include "downloader/CopyHelper.h"
#include "platform/FileSystem.h"
#include "platform/Forms.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include <algorithm>
#include <memory>
#include <utility>

bool g_bManualUpdate = false;
QString g_strContents;
QByteArray g_arrContents;

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
} // namespace

namespace Globals {

void Main()
{
    // The host form must be the first loaded form: the downloader puts its
    // watchdog timer on the first form of the collection.
    new frmDummy;
    auto *main = new frmMain; // runs Form_Load before the window shows
    main->show();
    g_bManualUpdate = false;
    main->upgradeMe(1);
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

} // namespace Globals
