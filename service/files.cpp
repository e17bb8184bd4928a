#include "files.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create %1").arg(info.absolutePath());
        return false;
    }
    // A temporary of our own, so that two services on one installation never write into each
    // other's: each rename puts one complete file in place, and the last one wins.
    QByteArray temporary = QFile::encodeName(path) + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
        return false;
    }
    const auto fail = [&](const QString &what) {
        *error = QStringLiteral("%1: %2").arg(what, systemError());
        ::close(fd);
        ::unlink(temporary.constData());
        return false;
    };
    // mkstemp makes the file private; the file it replaces keeps its permissions.
    struct stat old;
    const mode_t mode = ::stat(QFile::encodeName(path).constData(), &old) == 0
                            ? (old.st_mode & 07777)
                            : (0666 & ~currentUmask());
    if (::fchmod(fd, mode) != 0)
        return fail(path);
    const char *at = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(path);
        at += written;
        left -= written;
    }
    if (::fsync(fd) != 0)
        return fail(path);
    if (::close(fd) != 0) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
        ::unlink(temporary.constData());
        return false;
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
        ::unlink(temporary.constData());
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

void sweepTemporaries(const QString &dir)
{
    const QDateTime abandoned = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QDir folder(dir);
    for (const QFileInfo &entry :
         folder.entryInfoList({QStringLiteral("*.tmp-??????")}, QDir::Files | QDir::Hidden))
        if (entry.lastModified().toUTC() < abandoned)
            QFile::remove(entry.absoluteFilePath());
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
