#pragma once

#include <QByteArray>
#include <QString>

class CopyHelper;
class FileSystemObject;

// Program-wide values and objects, and the program's entry point.
namespace Globals {

// Loads the hidden host form, shows the main window and starts the automatic
// update check. Returns at once; the program lives on in the event loop.
void Main();

// The shared file-system object, created on first use.
FileSystemObject &g_objFSO();
void releaseFSO();

// The shared downloader, created on first use (a failed creation ends the
// program), and its release, which runs its teardown.
CopyHelper &g_objCopyHelper();
bool hasCopyHelper();
void releaseCopyHelper();

} // namespace Globals

// True while the update check runs because the user asked for it.
extern bool g_bManualUpdate;
// Content of the last finished transfer, as text and as bytes.
extern QString g_strContents;
extern QByteArray g_arrContents;
