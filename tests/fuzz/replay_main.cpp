// Replays the seed corpus (or any files and directories given) through the fuzz target,
// every file on every starting condition. Used where libFuzzer is not available.
#include "corpus_files.h"
#include "fuzz_target.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    int applicationArgc = 1;
    startFuzzApplication(applicationArgc, argv);

    const QStringList files = corpusFiles(argc, argv);
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
        return 2;
    }

    // Every file on every page and controls sub-tab; the window size and the language
    // rotate with the file, so that the corpus as a whole meets every combination.
    FuzzTarget target;
    constexpr int pageAndTab = 16;
    constexpr int sizeAndLanguage = FuzzTarget::variants / pageAndTab;
    for (qsizetype index = 0; index < files.size(); ++index) {
        const QString &path = files.at(index);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        for (int start = 0; start < pageAndTab; ++start)
            target.run(bytes, start + pageAndTab * int((index + start) % sizeAndLanguage));
        std::printf("ok %s\n", qPrintable(QDir::current().relativeFilePath(path)));
    }
    std::printf("replayed %lld files on %d starting conditions each\n", qlonglong(files.size()),
                pageAndTab);
    return 0;
}
