#include "files.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Service {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The rename itself only becomes durable once the directory entry is on disk.
void syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create %1").arg(info.absolutePath());
        return false;
    }
    const QString temporary = path + QStringLiteral(".tmp");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("%1: %2").arg(temporary, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        *error = QStringLiteral("%1: %2").arg(temporary, file.errorString());
        file.close();
        QFile::remove(temporary);
        return false;
    }
    file.close();
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) !=
        0) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
        QFile::remove(temporary);
        return false;
    }
    syncDirectory(info.absolutePath());
    return true;
}

bool copyTree(const QString &from, const QString &to, QString *error)
{
    QDir source(from);
    if (!source.exists()) {
        *error = QStringLiteral("%1 does not exist").arg(from);
        return false;
    }
    if (!QDir().mkpath(to)) {
        *error = QStringLiteral("cannot create %1").arg(to);
        return false;
    }
    const auto entries =
        source.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString target = QDir(to).filePath(entry.fileName());
        if (entry.isSymLink()) {
            continue; // a save never needs links, and following one could copy anything
        }
        if (entry.isDir()) {
            if (!copyTree(entry.absoluteFilePath(), target, error))
                return false;
        } else if (!QFile::copy(entry.absoluteFilePath(), target)) {
            *error = QStringLiteral("cannot copy %1").arg(entry.absoluteFilePath());
            return false;
        }
    }
    return true;
}

bool replaceTree(const QString &staged, const QString &target, QString *error)
{
    const QByteArray targetName = QFile::encodeName(target);
    QString aside;
    if (QFileInfo::exists(target)) {
        aside = QStringLiteral("%1.replaced-%2").arg(target).arg(microsecondsNow());
        if (::rename(targetName.constData(), QFile::encodeName(aside).constData()) != 0) {
            *error = QStringLiteral("%1: %2").arg(target, systemError());
            return false;
        }
    } else if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        *error = QStringLiteral("cannot create %1").arg(QFileInfo(target).absolutePath());
        return false;
    }
    if (::rename(QFile::encodeName(staged).constData(), targetName.constData()) != 0) {
        *error = QStringLiteral("%1: %2").arg(target, systemError());
        if (!aside.isEmpty())
            ::rename(QFile::encodeName(aside).constData(), targetName.constData());
        return false;
    }
    syncDirectory(QFileInfo(target).absolutePath());
    if (!aside.isEmpty())
        removeTree(aside);
    return true;
}

bool removeTree(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    const QString doomed =
        QDir(info.absolutePath()).filePath(QStringLiteral(".removing-%1").arg(microsecondsNow()));
    const QString victim =
        QDir().rename(path, doomed) ? doomed : path; // removing in place is still better than not
    return QDir(victim).removeRecursively();
}

bool hasFiles(const QString &dir)
{
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    return it.hasNext();
}

qint64 microsecondsNow()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace Service
