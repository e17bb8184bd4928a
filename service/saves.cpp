#include "saves.h"

#include "files.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace Service {

namespace {

// Where the game keeps its save, relative to a Wii file-system root (Dolphin's "Wii" folder).
const QString TitlePath = QStringLiteral("title/00010000/56513345/data");

const QString Refused = QStringLiteral(
    "Select the Dolphin Wii folder, the VQ3E88 title data folder, or a Dolphin data.bin save. The "
    "current save is backed up before replacement.");

// The .bin export: a magic line, the SHA-256 of the payload, then the payload (format version,
// game id, and the save's files as relative path and contents).
const QByteArray Magic = QByteArrayLiteral("TOBBLE-SAVE\n");
constexpr quint32 FormatVersion = 1;
constexpr qint64 MaximumBin = 64 * 1024 * 1024;
constexpr quint32 MaximumEntries = 10000;
constexpr int MaximumLabel = 64;

bool safeRelative(const QString &path)
{
    if (path.isEmpty() || path.contains(QLatin1Char('\\')) || QDir::isAbsolutePath(path))
        return false;
    if (QDir::cleanPath(path) != path)
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral("..")) && !parts.contains(QStringLiteral("."));
}

bool validName(const QString &name)
{
    if (name.isEmpty() || name.size() > 20)
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) { return c.isDigit(); });
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(path).absoluteFilePath() : resolved;
}

// True when `inner` is `outer` or lies below it.
bool within(const QString &inner, const QString &outer)
{
    const QString a = canonical(inner);
    const QString b = canonical(outer);
    return a == b || a.startsWith(b + QLatin1Char('/'));
}

// The save folder inside whatever the player picked, or an empty string.
QString saveInside(const QString &picked)
{
    const QDir dir(picked);
    const QStringList candidates = {dir.filePath(TitlePath),                  // Wii folder
                                    dir.filePath(TitlePath.section('/', 1)),  // title folder
                                    dir.filePath(TitlePath.section('/', 2))}; // 00010000
    for (const QString &candidate : candidates)
        if (QFileInfo(candidate).isDir())
            return candidate;
    // The title data folder itself.
    const QFileInfo info(picked);
    if (info.isDir() && info.fileName() == QLatin1String("data") &&
        QFileInfo(info.absolutePath()).fileName() == QLatin1String("56513345"))
        return info.absoluteFilePath();
    return {};
}

QByteArray packBin(const QString &folder)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    out << FormatVersion << QString::fromLatin1(Saves::GameId) << quint32(files.size());
    for (const QString &relative : files) {
        QFile file(QDir(folder).filePath(relative));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        out << relative << file.readAll();
    }
    return Magic + QCryptographicHash::hash(payload, QCryptographicHash::Sha256) + payload;
}

// Unpacks one of our own .bin exports into `target`. Anything else is refused.
bool unpackBin(const QString &path, const QString &target)
{
    QFile file(path);
    if (file.size() > MaximumBin || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const qsizetype header = Magic.size() + 32;
    if (bytes.size() < header || !bytes.startsWith(Magic))
        return false;
    const QByteArray payload = bytes.mid(header);
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256) !=
        bytes.mid(Magic.size(), 32))
        return false;

    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 version = 0, count = 0;
    QString game;
    in >> version >> game >> count;
    if (in.status() != QDataStream::Ok || version != FormatVersion ||
        game != QLatin1String(Saves::GameId) || count == 0 || count > MaximumEntries)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        QString relative;
        QByteArray contents;
        in >> relative >> contents;
        if (in.status() != QDataStream::Ok || !safeRelative(relative))
            return false;
        const QString destination = QDir(target).filePath(relative);
        QString error;
        if (!writeAtomically(destination, contents, &error))
            return false;
    }
    return in.atEnd();
}

QString badLabel(const QString &label)
{
    if (label.isEmpty())
        return QStringLiteral("Enter a backup name");
    const bool control = std::any_of(label.begin(), label.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph;
    });
    if (label.size() > MaximumLabel || control)
        return QStringLiteral("Backup name is too long or contains control characters");
    return {};
}

} // namespace

Saves::Saves(const QString &root)
    : user(QDir(root).filePath(QStringLiteral("local/user"))),
      saveFolder(QDir(user).filePath(QStringLiteral("nand/") + TitlePath)),
      backupFolder(QDir(user).filePath(QStringLiteral("backups")))
{
    recover();
}

// A service that was stopped in the middle of a replacement can leave the old save renamed
// aside, and half-made copies. The next start puts the save back and clears the halves away;
// a copy is only taken for abandoned once it is an hour old, since another service on the same
// installation may be making it right now.
void Saves::recover()
{
    const QFileInfo save(saveFolder);
    const QDir parent = save.dir();
    const QDir::Filters folders = QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot;
    const auto stamp = [](const QString &name) { return name.section('-', -1).toLongLong(); };
    QStringList aside =
        parent.entryList({save.fileName() + QStringLiteral(".replaced-*")}, folders);
    std::sort(aside.begin(), aside.end(),
              [&](const QString &a, const QString &b) { return stamp(a) < stamp(b); });
    if (!save.exists() && !aside.isEmpty())
        QDir().rename(parent.filePath(aside.takeLast()), saveFolder);
    // Every other one was backed up before its replacement began.
    for (const QString &name : aside)
        removeTree(parent.filePath(name));

    const qint64 abandoned = microsecondsNow() - qint64(3600) * 1000 * 1000;
    const auto sweep = [&](const QDir &dir, const QString &pattern, bool anyAge) {
        for (const QString &name : dir.entryList({pattern}, folders))
            if (anyAge || stamp(name) < abandoned)
                QDir(dir.filePath(name)).removeRecursively();
    };
    for (const QDir &dir : {QDir(user), QDir(backupFolder), parent})
        sweep(dir, QStringLiteral(".removing-*"), true);
    sweep(QDir(user), QStringLiteral(".staging-*"), false);
    sweep(QDir(backupFolder), QStringLiteral(".incomplete-*"), false);
}

bool Saves::found() const
{
    return QFileInfo(saveFolder).isDir() && hasFiles(saveFolder);
}

QJsonArray Saves::backups() const
{
    QList<QJsonObject> list;
    const QDir dir(backupFolder);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!validName(name))
            continue; // staging folders and anything the player put there
        QJsonObject entry{{"name", name}};
        QFile record(dir.filePath(name + QStringLiteral("/backup.json")));
        QJsonObject details;
        if (record.open(QIODevice::ReadOnly))
            details = QJsonDocument::fromJson(record.readAll()).object();
        const QString label = details.value("label").toString();
        if (!label.isEmpty())
            entry.insert("label", label);
        QString timestamp = details.value("timestamp").toString();
        if (timestamp.isEmpty()) // a record that went missing: the name still tells the time
            timestamp = QDateTime::fromMSecsSinceEpoch(name.toLongLong() / 1000)
                            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        entry.insert("timestamp", timestamp);
        list.append(entry);
    }
    std::sort(list.begin(), list.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value("name").toString().toLongLong() > b.value("name").toString().toLongLong();
    });
    QJsonArray result;
    for (const QJsonObject &entry : list)
        result.append(entry);
    return result;
}

QString Saves::stagingFolder() const
{
    return QDir(user).filePath(QStringLiteral(".staging-%1").arg(microsecondsNow()));
}

// Copies the current save into a new backup folder, under a fresh name; returns the name.
QString Saves::makeBackup(const QString &label, QString *error)
{
    qint64 stamp = microsecondsNow();
    while (QFileInfo::exists(QDir(backupFolder).filePath(QString::number(stamp))))
        ++stamp;
    const QString name = QString::number(stamp);
    const QString staging = QDir(backupFolder).filePath(QStringLiteral(".incomplete-") + name);
    removeTree(staging);
    QString why;
    if (!copyTree(saveFolder, QDir(staging).filePath(QStringLiteral("data")), &why)) {
        removeTree(staging);
        *error = QStringLiteral("Could not copy the save: ") + why;
        return {};
    }
    const QJsonObject details{{"label", label},
                              {"timestamp", QDateTime::fromMSecsSinceEpoch(stamp / 1000)
                                                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}};
    if (!writeAtomically(QDir(staging).filePath(QStringLiteral("backup.json")),
                         QJsonDocument(details).toJson(QJsonDocument::Compact), &why)) {
        removeTree(staging);
        *error = QStringLiteral("Cannot write the backup name");
        return {};
    }
    if (!QDir().rename(staging, QDir(backupFolder).filePath(name))) {
        removeTree(staging);
        *error = QStringLiteral("Could not create the backup in ") + backupFolder;
        return {};
    }
    return name;
}

// The automatic backup before a replacement; nothing to do when there is no save yet.
QString Saves::backupOfCurrent(QString *error)
{
    if (!found())
        return QStringLiteral("-");
    return makeBackup({}, error);
}

QString Saves::install(const QString &staged)
{
    QString why;
    if (!backupOfCurrent(&why).isEmpty() && replaceTree(staged, saveFolder, &why))
        return {};
    removeTree(staged);
    return QStringLiteral("The current save was kept: ") + why;
}

QString Saves::importSave(const QString &path)
{
    const QFileInfo picked(path);
    if (path.isEmpty() || !picked.exists())
        return Refused;
    const QString staging = stagingFolder();
    if (picked.isFile()) {
        if (!unpackBin(path, staging)) {
            removeTree(staging);
            return Refused;
        }
    } else {
        const QString source = saveInside(path);
        if (source.isEmpty() || !hasFiles(source))
            return Refused;
        if (within(source, saveFolder) || within(saveFolder, source))
            return QStringLiteral("That folder is the current save");
        QString why;
        if (!copyTree(source, staging, &why)) {
            removeTree(staging);
            return QStringLiteral("Could not copy the save: ") + why;
        }
    }
    if (QString error = install(staging); !error.isEmpty())
        return error;
    outcome = QStringLiteral("Save imported");
    return {};
}

QString Saves::exportSave(const QString &path, bool asFolder)
{
    if (!found())
        return QStringLiteral("There is no save to export yet");
    if (path.isEmpty())
        return QStringLiteral("Choose export file");
    if (within(path, saveFolder))
        return QStringLiteral("Choose a place outside the current save");
    QString why;
    if (!asFolder) {
        if (QFileInfo(path).isDir())
            return QStringLiteral("Choose export file");
        const QByteArray bin = packBin(saveFolder);
        if (bin.isEmpty() || !writeAtomically(path, bin, &why))
            return why.isEmpty() ? QStringLiteral("Could not export the save to ") + path
                                 : QStringLiteral("Could not export the save: ") + why;
        outcome = QStringLiteral("Save exported to .bin");
        return {};
    }

    // A folder export is laid out like a Dolphin Wii folder, so it can be imported again.
    const QString target = QDir(path).filePath(TitlePath);
    const QString staged = target + QStringLiteral(".incoming-%1").arg(microsecondsNow());
    if (!copyTree(saveFolder, staged, &why)) {
        removeTree(staged);
        return QStringLiteral("Could not export the save: ") + why;
    }
    if (QFileInfo::exists(target)) {
        // Whatever was there is kept beside it, never overwritten.
        const QString kept = target + QStringLiteral(".before-export-%1").arg(microsecondsNow());
        if (!QDir().rename(target, kept)) {
            removeTree(staged);
            return QStringLiteral("Could not move aside ") + target;
        }
    }
    if (!QDir().rename(staged, target)) {
        removeTree(staged);
        return QStringLiteral("Could not export the save to ") + target;
    }
    outcome = QStringLiteral("Save exported to folder");
    return {};
}

QString Saves::createBackup(const QString &label)
{
    const QString trimmed = label.trimmed();
    if (QString problem = badLabel(trimmed); !problem.isEmpty())
        return problem;
    if (!found())
        return QStringLiteral("There is no save to back up yet");
    QString why;
    if (makeBackup(trimmed, &why).isEmpty())
        return why;
    outcome = QStringLiteral("Backup created");
    return {};
}

QString Saves::restoreBackup(const QString &name)
{
    const QString data = QDir(backupFolder).filePath(name + QStringLiteral("/data"));
    if (!validName(name) || !QFileInfo(data).isDir() || !hasFiles(data))
        return QStringLiteral("That backup contains no save");
    const QString staging = stagingFolder();
    QString why;
    if (!copyTree(data, staging, &why)) {
        removeTree(staging);
        return QStringLiteral("Could not copy the backup: ") + why;
    }
    if (QString error = install(staging); !error.isEmpty())
        return error;
    outcome = QStringLiteral("Backup restored");
    return {};
}

QString Saves::deleteBackup(const QString &name)
{
    const QString folder = QDir(backupFolder).filePath(name);
    if (!validName(name) || !QFileInfo(folder).isDir())
        return QStringLiteral("That backup contains no save");
    if (!removeTree(folder))
        return QStringLiteral("Could not delete ") + folder;
    outcome = QStringLiteral("Backup deleted");
    return {};
}

} // namespace Service
