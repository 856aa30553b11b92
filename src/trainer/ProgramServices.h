#pragma once

class FileSystemObject;

// What the program lends the main window of its program-wide services
// (program/Globals): the window is handed them and never reaches up.
class ProgramServices
{
public:
    // The shared file-system object, created on first use.
    virtual FileSystemObject &fileSystem() = 0;
    // Releases the shared downloader, then the file-system object, as the
    // main window's unload does; either comes back on its next use.
    virtual void releaseServices() = 0;

protected:
    ~ProgramServices() = default;
};
