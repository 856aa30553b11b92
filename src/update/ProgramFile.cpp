#include "update/ProgramFile.h"

bool writeProgramFile(const QString &path, const QByteArray &bytes, FileIdentity *written)
{
    constexpr QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                    | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                    | QFileDevice::ExeOther;
    return writeWholeFile(path, bytes, executable, written);
}
