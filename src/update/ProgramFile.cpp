#include "update/ProgramFile.h"

#include "platform/FileSystem.h"

bool writeProgramFile(const QString &path, const QByteArray &bytes)
{
    constexpr QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                    | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                    | QFileDevice::ExeOther;
    return writeWholeFile(path, bytes, executable);
}
