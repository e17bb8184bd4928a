#include "game.h"

#include "files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstdio>

namespace Service {

namespace {

constexpr const char *GameId = "VQ3E88";
constexpr int GameRevision = 0;

// A DOL starts with a 0x100-byte header: 18 section file offsets (7 text, 11 data), their load
// addresses and their sizes, all big-endian 32-bit words.
constexpr qint64 DolHeaderSize = 0x100;
constexpr int DolSections = 18;
constexpr int DolOffsets = 0x00;
constexpr int DolSizes = 0x90;
constexpr qint64 MaximumDol = 64 * 1024 * 1024;

QString failed(const QString &reason)
{
    return QStringLiteral("Data verification failed: ") + reason;
}

bool completeDol(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < DolHeaderSize || file.size() > MaximumDol)
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return false;
    const auto word = [&](int at) {
        return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(bytes.constData() + at));
    };
    bool anySection = false;
    for (int i = 0; i < DolSections; ++i) {
        const quint64 offset = word(DolOffsets + 4 * i);
        const quint64 size = word(DolSizes + 4 * i);
        if (size == 0)
            continue;
        if (offset < quint64(DolHeaderSize) || offset + size > quint64(bytes.size()))
            return false;
        anySection = true;
    }
    return anySection;
}

// When the process `pid` started, in clock ticks since boot as the kernel gives it, or empty
// when there is no such live process. A pid alone is reused once its process is gone; the
// pair names one process for good.
QByteArray processStart(qint64 pid)
{
    if (pid <= 0)
        return {};
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces and parentheses of its own.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // Fields from the third on: state first, start time twentieth.
    constexpr int stateField = 0;
    constexpr int startField = 19;
    if (fields.size() <= startField)
        return {};
    // A zombie has ended; it only waits for its parent to notice.
    const QByteArray state = fields.at(stateField);
    if (state == "Z" || state == "X")
        return {};
    return fields.at(startField);
}

} // namespace

QString verifyData(const QString &folder, bool *verified)
{
    *verified = false;
    if (folder.isEmpty())
        return QStringLiteral("Select your extracted DATA folder");
    const QDir dir(folder);
    if (!dir.exists())
        return failed(QStringLiteral("Missing ") + folder);
    const QString bootPath = dir.filePath(QStringLiteral("sys/boot.bin"));
    QFile boot(bootPath);
    if (!boot.exists())
        return failed(QStringLiteral("Missing sys/boot.bin"));
    if (!boot.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("Cannot read sys/boot.bin"));
    // The disc header: the game id in bytes 0 to 5, the revision in byte 7.
    const QByteArray header = boot.read(8);
    if (header.size() < 8 || header.left(6) != GameId || quint8(header.at(7)) != GameRevision)
        return failed(QStringLiteral("Only VQ3E88 Rev 0 is supported"));
    const QString dolPath = dir.filePath(QStringLiteral("sys/main.dol"));
    if (!QFileInfo::exists(dolPath))
        return failed(QStringLiteral("Missing sys/main.dol"));
    if (!completeDol(dolPath))
        return failed(QStringLiteral("Cannot read complete game DOL"));
    *verified = true;
    return QStringLiteral("VQ3E88 Rev 0 (USA) verified");
}

Game::Game(const QString &root) : root(root)
{
    QFile stored(QDir(root).filePath(QStringLiteral("local/user/game-data.txt")));
    if (stored.open(QIODevice::ReadOnly)) {
        // Exactly the path that was chosen: a folder's name may begin or end in white space.
        QByteArray bytes = stored.readAll();
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        data = QString::fromUtf8(bytes);
    }
    verify();
    adoptRecordedGame();
}

Game::~Game()
{
    if (process && process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(1000))
            process->kill();
        forgetRecord();
    }
}

void Game::adoptRecordedGame()
{
    QFile record(QDir(root).filePath(QLatin1String(RecordPath)));
    if (!record.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> fields = record.readAll().simplified().split(' ');
    record.close();
    bool ok = false;
    const qint64 pid = fields.value(0).toLongLong(&ok);
    const QByteArray start = fields.value(1);
    // A record left by a crash, or whose pid now belongs to another process, is stale.
    if (!ok || fields.size() != 2 || start.isEmpty() || processStart(pid) != start) {
        forgetRecord();
        return;
    }
    adoptedPid = pid;
    adoptedStart = start;
    outcome = QStringLiteral("Game running");
}

bool Game::adoptedRunning() const
{
    if (adoptedPid == 0)
        return false;
    if (processStart(adoptedPid) == adoptedStart)
        return true;
    // Not our child, so its exit status is not ours to read.
    adoptedPid = 0;
    adoptedStart.clear();
    forgetRecord();
    outcome = QStringLiteral("Game closed");
    return false;
}

void Game::forgetRecord() const
{
    QFile::remove(QDir(root).filePath(QLatin1String(RecordPath)));
}

QString Game::chooseData(const QString &path)
{
    if (path.trimmed().isEmpty())
        return QStringLiteral("Select your extracted DATA folder");
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QString why;
    if (!writeAtomically(QDir(root).filePath(QStringLiteral("local/user/game-data.txt")),
                         absolute.toUtf8() + '\n', &why))
        return QStringLiteral("Could not remember the game data folder: ") + why;
    data = absolute;
    verify();
    return {};
}

void Game::verify()
{
    status = verifyData(data, &ok);
}

QString Game::executable() const
{
    return QDir(root).filePath(QLatin1String(ExecutablePath));
}

bool Game::installed() const
{
    const QFileInfo info(executable());
    return info.isFile() && info.isExecutable();
}

QString Game::installationError() const
{
    const QFileInfo info(executable());
    if (info.exists() && !info.isFile())
        return QStringLiteral("Repair the installed build before playing. ") +
               QStringLiteral("The native executable is not a file: ") + info.absoluteFilePath();
    if (info.isFile() && !info.isExecutable())
        return QStringLiteral("Repair the installed build before playing. ") +
               QStringLiteral("The native executable lacks permission to run: ") +
               info.absoluteFilePath();
    return {};
}

bool Game::setupAvailable() const
{
    const QFileInfo info(QDir(root).filePath(QLatin1String(SetupPath)));
    return info.isFile() && info.isExecutable();
}

QString Game::startSetup()
{
    if (running())
        return QStringLiteral("Close the game before updating the installation.");
    if (!setupAvailable())
        return QStringLiteral(
            "Open your Tobble Setup AppImage or Windows setup application to install the game.");
    if (!QProcess::startDetached(QDir(root).filePath(QLatin1String(SetupPath)), {}, root))
        return QStringLiteral("Could not start Tobble Setup");
    return {};
}

bool Game::running() const
{
    return (process && process->state() != QProcess::NotRunning) || adoptedRunning();
}

QString Game::play(const QStringList &arguments)
{
    if (running())
        return QStringLiteral("Game is running");
    process = std::make_unique<QProcess>();
    process->setWorkingDirectory(root);
    // The game's output is kept where "Open Logs" looks. The last run's log stays beside it, so
    // a player who tries again after a crash still has the crash's output.
    const QString logs = QDir(root).filePath(QStringLiteral("build-logs"));
    QDir().mkpath(logs);
    const QString log = QDir(logs).filePath(QLatin1String(LogName));
    if (QFileInfo(log).size() > 0)
        ::rename(
            QFile::encodeName(log).constData(),
            QFile::encodeName(QDir(logs).filePath(QLatin1String(PreviousLogName))).constData());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(log, QIODevice::Truncate);
    process->setStandardInputFile(QProcess::nullDevice());
    QProcess *child = process.get();
    connect(child, &QProcess::finished, this, [this](int code, QProcess::ExitStatus how) {
        forgetRecord();
        outcome = (how == QProcess::NormalExit && code == 0)
                      ? QStringLiteral("Game closed")
                      : QStringLiteral("Game stopped with an error. Open Logs for details.");
    });
    process->start(executable(), arguments);
    if (!process->waitForStarted(5000)) {
        const QString why = process->errorString();
        process.reset();
        outcome = QStringLiteral("Could not start the native executable: ") + why;
        return outcome;
    }
    // Without the record a service started while this game runs would start a second one.
    const qint64 pid = process->processId();
    QString why;
    if (!writeAtomically(QDir(root).filePath(QLatin1String(RecordPath)),
                         QByteArray::number(pid) + ' ' + processStart(pid) + '\n', &why))
        qWarning("tobble-launcher: could not record the running game: %s", qPrintable(why));
    outcome = QStringLiteral("Game running");
    return {};
}

void Game::detach()
{
    if (running())
        (void)process.release(); // deliberately leaked: destroying it would kill the game
}

} // namespace Service
