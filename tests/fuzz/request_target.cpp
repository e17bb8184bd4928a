#include "request_target.h"

#include "service.h"
#include "settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// One input is at most this many requests: enough for any flow the launcher has.
constexpr int MaximumLines = 64;

// The root sits this deep below the scratch folder, so a path that climbs out of it lands in a
// folder the check looks at, never in the machine's own /tmp.
const QString RootBelowScratch = QStringLiteral("a/b/c/d/root");

[[noreturn]] void broken(const char *rule, const QByteArray &detail)
{
    std::fprintf(stderr, "request fuzzer: %s\n  %s\n", rule, detail.left(2000).constData());
    std::fflush(stderr);
    std::abort();
}

void put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        broken("cannot build the template root", path.toUtf8());
}

// A DATA folder that verifies: the disc header names the game, the DOL has one section.
void putData(const QString &folder)
{
    put(folder + "/sys/boot.bin", QByteArray("VQ3E88") + '\0' + '\0' + QByteArray(0x40, '\0'));
    QByteArray dol(0x200, '\0');
    qToBigEndian<quint32>(0x100, dol.data());
    qToBigEndian<quint32>(0x100, dol.data() + 0x90);
    put(folder + "/sys/main.dol", dol);
}

void copyInto(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        if (info.isDir())
            QDir().mkpath(target);
        else if (!QFile::copy(path, target))
            broken("cannot copy the template root", target.toUtf8());
    }
}

// Every request path leads into the root's "world" folder: an export goes where the player
// points it, and the player here may only point inside the root.
QByteArray confine(const QByteArray &line, const QString &world)
{
    QJsonParseError parsed;
    QJsonDocument document = QJsonDocument::fromJson(line, &parsed);
    if (parsed.error != QJsonParseError::NoError || !document.isObject())
        return line;
    QJsonObject request = document.object();
    const QJsonValue path = request.value(QLatin1String("path"));
    if (!path.isString())
        return line;
    QString inside = QDir::cleanPath(world + QLatin1Char('/') + path.toString());
    if (inside != world && !inside.startsWith(world + QLatin1Char('/')))
        inside = world + QStringLiteral("/climbed");
    request.insert(QLatin1String("path"), inside);
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

void checkReply(const QByteArray &request, const QByteArray &reply)
{
    if (reply.contains('\n') || reply.contains('\r'))
        broken("a reply spans more than one line", reply);
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(reply, &parsed);
    if (parsed.error != QJsonParseError::NoError || !document.isObject())
        broken("a reply is not one JSON object", request + " -> " + reply);
    const QJsonObject object = document.object();
    const bool error = object.contains(QLatin1String("error"));
    const bool input = object.contains(QLatin1String("input"));
    if (!object.value(QLatin1String("cmd")).isString() || error == input)
        broken("a reply lacks \"cmd\" or has not exactly one of \"error\" and \"input\"",
               request + " -> " + reply);
    if (error && !object.value(QLatin1String("error")).isString())
        broken("an error that is not a text", reply);
    if (input && !object.value(QLatin1String("input")).isObject())
        broken("an input that is not an object", reply);
    if (object.contains(QLatin1String("state")) && !object.value(QLatin1String("state")).isObject())
        broken("a state that is not an object", reply);
}

} // namespace

QCoreApplication *startRequestApplication(int &argc, char **argv)
{
    // The demo controller and no real game: "play" and "refresh" never start a process.
    qputenv("TOBBLE_DEMO_CONTROLLER", "1");
    return new QCoreApplication(argc, argv);
}

RequestTarget::RequestTarget()
{
    // In memory where the machine has it: every save and backup is flushed to disk.
    const QString memory = QStringLiteral("/dev/shm");
    static QTemporaryDir directory((QFileInfo(memory).isWritable() ? memory : QDir::tempPath()) +
                                   QStringLiteral("/quilt-request-fuzz-XXXXXX"));
    scratch = directory.path();
    root = QDir(scratch).filePath(RootBelowScratch);
    pristine = QDir(scratch).filePath(QStringLiteral("template"));
    world = QDir(root).filePath(QStringLiteral("world"));

    // The installation a player has after a while: settings, a language, a verified DATA
    // folder, a save and two backups; and in the world a Dolphin Wii folder to import from.
    const QString user = QDir(root).filePath(QStringLiteral("local/user"));
    const QString save = user + QStringLiteral("/nand/title/00010000/56513345/data");
    put(user + "/settings.toml", "[game]\nvolume = 70\n\n[bindings.keyboard]\njump = \"Z\"\n");
    put(user + "/launcher-language.txt", "es\n");
    put(save + "/quilt.sav", "game=VQ3E88\nsessions=3\n");
    put(save + "/extra/map.dat", QByteArray(300, 'm'));
    for (const char *name : {"1700000000000000", "1700000000000001"}) {
        put(user + "/backups/" + name + "/data/quilt.sav", "game=VQ3E88\nsessions=1\n");
        put(user + "/backups/" + name + "/backup.json",
            R"({"label":"Before the boss","timestamp":"2023-11-14 22:13:20"})");
    }
    putData(world + "/DATA");
    put(user + "/game-data.txt", world.toUtf8() + "/DATA\n");
    put(world + "/wii/title/00010000/56513345/data/quilt.sav", "game=VQ3E88\nsessions=9\n");
    {
        // One of our own .bin exports, made by the service itself.
        Service::LauncherService service(root);
        service.handle(R"({"cmd":"exportSave","path":")" + world.toUtf8() +
                       R"(/save.bin","folder":false})");
    }
    copyInto(root, pristine);
    outsideBefore = outsideListing();
}

RequestTarget::~RequestTarget()
{
    QDir(root).removeRecursively();
}

// Everything under the scratch folder that is not the root: the template, the folders above
// the root, and whatever a request managed to put beside them.
QString RequestTarget::outsideListing() const
{
    QStringList entries;
    QDirIterator it(scratch, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path == root || path.startsWith(root + QLatin1Char('/')))
            continue;
        // A folder's own time changes whenever the root is laid anew beneath it.
        const QFileInfo info = it.fileInfo();
        entries << (info.isDir() ? path
                                 : QStringLiteral("%1 %2 %3")
                                       .arg(path)
                                       .arg(info.size())
                                       .arg(info.lastModified().toMSecsSinceEpoch()));
    }
    entries.sort();
    return entries.join(QLatin1Char('\n'));
}

void RequestTarget::freshRoot()
{
    QDir(root).removeRecursively();
    copyInto(pristine, root);
}

void RequestTarget::run(const QByteArray &bytes)
{
    freshRoot();
    {
        Service::LauncherService service(root);
        const QList<QByteArray> lines = bytes.split('\n');
        for (int i = 0; i < lines.size() && i < MaximumLines && !service.finished(); ++i) {
            const QByteArray request = confine(lines.at(i), world);
            checkReply(request, service.handle(request));
            QCoreApplication::processEvents();
        }
        // The end of input: unsaved settings are kept, as when the launcher goes away.
        service.shutdown(false);
    }

    const QString settings = QDir(root).filePath(QStringLiteral("local/user/settings.toml"));
    if (QFileInfo::exists(settings)) {
        const Service::Settings reread(root);
        if (!reread.error().isEmpty())
            broken("the settings file no longer loads", reread.error().toUtf8());
    }
    if (const QString outside = outsideListing(); outside != outsideBefore)
        broken("a file was written outside the root", outside.toUtf8());
}
