#pragma once

class CopyHelper;
class FileSystemObject;
class ProgramServices;
class frmMain;

// The program-wide services and where the program is put together.
namespace Globals {

// The program from start to end: Main(), then the event loop until the last
// form has closed or the system asked the program to end (SIGTERM, SIGINT,
// SIGHUP, also while a message box is open); then every form left is closed
// as by its close button. Returns the exit status: 0 both ways.
int run();

// Loads the hidden host form, shows the main window and starts the automatic
// update check. Returns at once; the program lives on in the event loop.
void Main();

// The main window with its update chain, loaded (Form_Load has run) but not
// shown yet.
frmMain *loadMainWindow();

// The shared file-system object, created on first use.
FileSystemObject &g_objFSO();
void releaseFSO();

// The shared downloader, created on first use (a failed creation ends the
// program), and its release, which runs its teardown.
CopyHelper &g_objCopyHelper();
bool hasCopyHelper();
void releaseCopyHelper();

// The services above as the main window takes them.
ProgramServices &services();

} // namespace Globals
