// Loads a verb file of 32,760 verbs with the program's loader against, in
// the same run, a plain loop reading the same file line by line. Prints both
// times (the best of several rounds, taken in turns) and their ratio.

#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("IrregularVerbs.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("# generated verb list\r\n");
        for (int i = 1; i <= int(MaxVerbs); ++i) {
            const QByteArray n = QByteArray::number(i);
            file.write("to verb" + n + "\tpast" + n + "/pasts" + n + "\tparticiple" + n
                       + "\tdeutsch\xe4\xf6\xfc\xdf" + n + "\r\n");
        }
    }

    constexpr int rounds = 9;
    qint64 bestLoader = std::numeric_limits<qint64>::max();
    qint64 bestPlain = bestLoader;
    qsizetype verbs = 0;
    qsizetype lines = 0;
    QElapsedTimer timer;
    FileSystemObject fso;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        const VerbTable table = loadVerbFile(fso, path);
        bestLoader = std::min(bestLoader, timer.nsecsElapsed());
        verbs = table.entries.size();

        timer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        qsizetype count = 0;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            count += line.isEmpty() ? 0 : 1;
        }
        bestPlain = std::min(bestPlain, timer.nsecsElapsed());
        lines = count;
    }

    std::printf("verbs_loaded: %lld\n", static_cast<long long>(verbs));
    std::printf("lines_read: %lld\n", static_cast<long long>(lines));
    std::printf("loader_ms: %.2f\n", bestLoader / 1e6);
    std::printf("plain_loop_ms: %.2f\n", bestPlain / 1e6);
    std::printf("ratio: %.2f\n", double(bestLoader) / double(bestPlain));
    std::printf("result: %lld verbs loaded in %.2f ms, %.2f times a plain read loop over the same "
                "file (%.2f ms)\n",
                static_cast<long long>(verbs), bestLoader / 1e6,
                double(bestLoader) / double(bestPlain), bestPlain / 1e6);
    return verbs == MaxVerbs ? 0 : 1;
}
