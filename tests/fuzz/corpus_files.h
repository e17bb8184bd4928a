#pragma once

// The files a corpus replay runs over: every file named, and every file below every folder
// named, sorted so that a replay is the same each time.
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

inline QStringList corpusFiles(int argc, char **argv)
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files += it.next();
        } else {
            files += path;
        }
    }
    files.sort();
    return files;
}
