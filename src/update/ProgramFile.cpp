#include "update/ProgramFile.h"

#include <QSaveFile>

bool writeProgramFile(const QString &path, const QByteArray &bytes)
{
    constexpr QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                    | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                    | QFileDevice::ExeOther;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size() || !file.setPermissions(executable)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
