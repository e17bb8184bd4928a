// The stand-in launcher service, driven as the launcher drives it: the real executable in a
// temporary installation root, one JSON request per line on its standard input.

#include "support.h"
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

const QString SavePath = QStringLiteral("local/user/nand/title/00010000/56513345/data");

// One running service with helpers to send a request and read its single reply line.
class Peer
{
public:
    explicit Peer(const QString &root, const QStringList &arguments = {"--ui-service"},
                  bool unprivileged = false)
    {
        // Root writes through any permission; a read-only folder needs a user it binds.
        if (unprivileged && ::geteuid() == 0)
            process.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(126);
            });
        process.setWorkingDirectory(root);
        process.start(QStringLiteral(QUILT_SERVICE_PATH), arguments);
        process.waitForStarted(5000);
    }
    ~Peer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    void send(const QString &cmd, QJsonObject extra = {})
    {
        extra.insert("cmd", cmd);
        extra.insert("focused", true);
        extra.insert("controls", false);
        process.write(QJsonDocument(extra).toJson(QJsonDocument::Compact) + '\n');
    }

    // The next reply line, or an empty object after five seconds without one.
    QJsonObject reply()
    {
        const QDeadlineTimer deadline(5000);
        while (!process.canReadLine() && !deadline.hasExpired() &&
               process.state() == QProcess::Running)
            process.waitForReadyRead(50);
        if (!process.canReadLine())
            return {};
        const QByteArray line = process.readLine();
        lines.append(line);
        return QJsonDocument::fromJson(line).object();
    }

    QJsonObject ask(const QString &cmd, const QJsonObject &extra = {})
    {
        send(cmd, extra);
        return reply();
    }

    QJsonObject state() { return ask("hello").value("state").toObject(); }
    QJsonObject input() { return ask("poll").value("input").toObject(); }

    // A full disk for this service alone: a file-size limit of zero makes every write that
    // grows a file fail (the service ignores SIGXFSZ), until it is lifted again.
    bool diskFull(bool full)
    {
        const pid_t pid = pid_t(process.processId());
        rlimit limit;
        if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0)
            return false;
        limit.rlim_cur = full ? 0 : limit.rlim_max;
        return ::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
    }

    // Sends a request and kills the service with SIGKILL `delay` after the line went out.
    void killDuring(const QString &cmd, const QJsonObject &extra, std::chrono::microseconds delay)
    {
        send(cmd, extra);
        process.waitForBytesWritten(1000);
        std::this_thread::sleep_for(delay); // the moment of the crash, not a wait for anything
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(3000);
    }

    // Sends "quit" and waits for the exit; true when it came within three seconds.
    bool quit(bool discard)
    {
        send("quit", {{"discard", discard}});
        reply();
        return process.waitForFinished(3000);
    }

    QProcess process;
    QList<QByteArray> lines;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A DATA folder as the player's disc would give it: the disc header names the game and its
// revision, and the DOL's one text section lies inside the file.
void makeData(const QString &folder, char revision = 0, qsizetype dolSize = 0x200)
{
    writeFile(folder + "/sys/boot.bin",
              QByteArray("VQ3E88") + '\0' + char(revision) + QByteArray(0x40, '\0'));
    QByteArray dol(dolSize, '\0');
    qToBigEndian<quint32>(0x100, dol.data());        // text section 0 file offset
    qToBigEndian<quint32>(0x100, dol.data() + 0x90); // text section 0 size
    writeFile(folder + "/sys/main.dol", dol);
}

// A script standing in for the native game: it answers --build-info and otherwise waits until
// the test drops a "stop" file, then exits with the given status.
void installGame(const QString &root, int status, const QByteArray &record)
{
    const QString path = root + "/game/tobble-game";
    writeFile(path, "#!/bin/sh\n"
                    "if [ \"$1\" = --build-info ]; then echo '" +
                        record +
                        "'; exit 0; fi\n"
                        "echo 'run " +
                        QByteArray::number(status) +
                        "'\n"
                        "while [ ! -e stop ]; do sleep 0.02; done\n"
                        "rm -f stop\n"
                        "exit " +
                        QByteArray::number(status) + "\n");
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Temporaries that a settings or language write left beside its file.
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({"*.tmp*"}, QDir::AllEntries | QDir::Hidden);
}

// What a save folder holds: every file's path and contents.
using Tree = QMap<QString, QByteArray>;

Tree readTree(const QString &folder)
{
    Tree tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree.insert(QDir(folder).relativeFilePath(path), readAll(path));
    }
    return tree;
}

// A save of many files, so that copying it takes long enough for kills to land inside.
Tree makeSave(const QString &folder, const QByteArray &tag)
{
    QDir(folder).removeRecursively();
    for (int i = 0; i < 60; ++i)
        writeFile(folder + QStringLiteral("/slot%1/part%2.dat").arg(i % 4).arg(i),
                  tag + QByteArray(2048, char('a' + i % 26)));
    return readTree(folder);
}

QStringList backupNames(const QJsonObject &state)
{
    QStringList names;
    for (const QJsonValue &entry : state.value("backups").toArray())
        names << entry.toObject().value("name").toString();
    return names;
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init()
    {
        QuiltTest::resetShared();
        root.reset(new QTemporaryDir);
        QVERIFY(root->isValid());
    }

    void refusesToStartWithoutTheServiceFlag()
    {
        for (const QStringList &arguments :
             {QStringList{}, QStringList{"--ui"}, QStringList{"--ui-service", "extra"}}) {
            Peer peer(root->path(), arguments);
            QVERIFY(peer.process.waitForFinished(5000));
            QCOMPARE(peer.process.exitCode(), 2);
            QVERIFY(peer.process.readAllStandardError().contains("usage: tobble-launcher"));
        }
    }

    void answersEveryRequestWithOneLineInOrder()
    {
        Peer peer(root->path());
        const QList<QPair<QString, QJsonObject>> requests = {
            {"hello", {}},
            {"poll", {}},
            {"change", {{"key", "vsync"}, {"value", false}}},
            {"save", {}},
            {"reload", {}},
            {"lang", {{"value", 2}}},
            {"data", {{"path", root->filePath("nowhere")}}},
            {"verify", {}},
            {"setup", {}},
            {"play", {}},
            {"bind", {{"action", 4}, {"keyboard", true}}},
            {"key", {{"key", "Q"}, {"down", true}}},
            {"key", {{"key", "Q"}, {"down", false}}},
            {"escape", {}},
            {"swap", {}},
            {"cancel", {}},
            {"clear", {{"action", 4}, {"keyboard", false}}},
            {"resetControls", {}},
            {"pad", {{"id", 1}}},
            {"recenter", {}},
            {"calibrate", {}},
            {"resetMotion", {}},
            {"importSave", {{"path", root->filePath("nothing.bin")}}},
            {"exportSave", {{"path", root->filePath("out.bin")}, {"folder", false}}},
            {"createBackup", {{"label", "x"}}},
            {"restoreBackup", {{"name", "1"}}},
            {"deleteBackup", {{"name", "1"}}},
            {"refresh", {}},
            {"fly", {}},
        };
        // All at once, as a launcher that writes faster than the service answers would.
        for (const auto &[cmd, extra] : requests)
            peer.send(cmd, extra);
        for (const auto &[cmd, extra] : requests) {
            const QJsonObject reply = peer.reply();
            QCOMPARE(reply.value("cmd").toString(), cmd);
            QVERIFY2(reply.contains("error") != reply.contains("input"), qPrintable(cmd));
            if (cmd == "hello")
                QVERIFY(reply.value("state").toObject().contains("config"));
        }
        QVERIFY(peer.quit(true));
        QVERIFY(peer.process.readAllStandardOutput().isEmpty()); // quit's reply was the last
        QCOMPARE(peer.lines.size(), requests.size() + 1);
        for (const QByteArray &line : peer.lines)
            QVERIFY2(line.endsWith('\n') && line.count('\n') == 1 && !line.contains("\": "),
                     line.constData());
    }

    void badRequestsAreErrorsThatChangeNothing()
    {
        Peer peer(root->path());
        const QJsonObject before = peer.state();
        QCOMPARE(before.value("config").toObject().size(), 21);

        // Malformed lines, answered without a command name.
        for (const QByteArray &line :
             {QByteArray("not json"), QByteArray("[1,2]"), QByteArray("{\"cmd\":3}"),
              QByteArray("{\"cmd\":\"change\""), QByteArray()}) {
            peer.process.write(line + '\n');
            const QJsonObject reply = peer.reply();
            QVERIFY2(reply.contains("error"), line.constData());
            QVERIFY(!reply.contains("state"));
        }
        // Unknown commands and settings, values of the wrong type or outside a choice list.
        QCOMPARE(peer.ask("fly").value("error").toString(), "Unknown command: fly");
        QVERIFY(peer.ask("change", {{"key", "colour"}, {"value", 1}}).contains("error"));
        QVERIFY(peer.ask("change", {{"key", "volume"}, {"value", "loud"}}).contains("error"));
        QVERIFY(peer.ask("change", {{"key", "vsync"}, {"value", 1}}).contains("error"));
        QVERIFY(peer.ask("change", {{"key", "scale"}, {"value", 7}}).contains("error"));
        QVERIFY(peer.ask("change", {{"key", "gameLanguage"}, {"value", 2}}).contains("error"));
        QVERIFY(peer.ask("change", {{"key", "volume"}}).contains("error"));
        QCOMPARE(peer.ask("bind", {{"action", 9}, {"keyboard", true}}).value("error").toString(),
                 "Unknown action");
        QVERIFY(peer.ask("bind", {{"action", 1}}).contains("error"));
        QVERIFY(peer.ask("lang", {{"value", 3}}).contains("error"));
        QVERIFY(peer.ask("createBackup", {{"label", 5}}).contains("error"));

        QJsonObject after = peer.state();
        QCOMPARE(after, before);
        QCOMPARE(peer.input().value("phase").toInt(), 0);
        QVERIFY(!QFile::exists(root->filePath("local/user/settings.toml")));
        QVERIFY(!QFile::exists(root->filePath("local/user/launcher-language.txt")));
    }

    void changesStayDirtyUntilSavedAndComeBackAfterARestart()
    {
        const QString settings = root->filePath("local/user/settings.toml");
        {
            Peer peer(root->path());
            QCOMPARE(peer.state().value("dirty").toBool(), false);
            // Numbers are rounded or clamped into their range.
            QJsonObject reply = peer.ask("change", {{"key", "volume"}, {"value", 49.5}});
            QJsonObject state = reply.value("state").toObject();
            QCOMPARE(state.value("config").toObject().value("volume").toInt(), 50);
            QCOMPARE(state.value("dirty").toBool(), true);
            peer.ask("change", {{"key", "stick"}, {"value", 2.0}});
            peer.ask("change", {{"key", "scale"}, {"value", 8}});
            peer.ask("change", {{"key", "fullscreen"}, {"value", true}});
            QVERIFY(!QFile::exists(settings));

            reply = peer.ask("save");
            QVERIFY(!reply.contains("error"));
            QCOMPARE(reply.value("state").toObject().value("dirty").toBool(), false);
            QVERIFY(QFile::exists(settings));
            QVERIFY(!QFile::exists(settings + ".tmp"));

            QVERIFY(!peer.ask("lang", {{"value", 2}}).contains("error"));
            QCOMPARE(readAll(root->filePath("local/user/launcher-language.txt")), "es\n");
            QVERIFY(peer.quit(false));
        }
        Peer peer(root->path());
        const QJsonObject state = peer.state();
        const QJsonObject config = state.value("config").toObject();
        QCOMPARE(config.value("volume").toInt(), 50);
        QCOMPARE(config.value("stick").toDouble(), 0.95);
        QCOMPARE(config.value("scale").toInt(), 8);
        QCOMPARE(config.value("fullscreen").toBool(), true);
        QCOMPARE(state.value("lang").toInt(), 2);
        QCOMPARE(state.value("dirty").toBool(), false);
        QCOMPARE(state.value("settings").toString(), settings);
    }

    void quittingKeepsOrDropsUnsavedChanges()
    {
        const auto volumeAfterQuit = [&](bool discard) {
            {
                Peer peer(root->path());
                peer.ask("change", {{"key", "volume"}, {"value", discard ? 10 : 20}});
                if (!peer.quit(discard))
                    return -1;
            }
            Peer peer(root->path());
            return peer.state().value("config").toObject().value("volume").toInt();
        };
        QCOMPARE(volumeAfterQuit(true), 80);
        QCOMPARE(volumeAfterQuit(false), 20);
        QCOMPARE(volumeAfterQuit(true), 20);

        // The end of input alone ends the service promptly.
        Peer peer(root->path());
        QVERIFY(peer.state().contains("config"));
        peer.process.closeWriteChannel();
        QVERIFY(peer.process.waitForFinished(3000));
        QCOMPARE(peer.process.exitCode(), 0);
    }

    void failedWritesLeaveTheOldFilesAlone()
    {
        const QString user = root->filePath("local/user");
        const QString settings = user + "/settings.toml";
        const QString language = user + "/launcher-language.txt";
        writeFile(language, "en\n");
        Peer peer(root->path());
        peer.ask("change", {{"key", "aa"}, {"value", 2}});
        QVERIFY(!peer.ask("save").contains("error"));
        const QByteArray saved = readAll(settings);

        // A full disk: the save and the language fail, the old files stay whole and nothing
        // is left beside them.
        QVERIFY(peer.diskFull(true));
        peer.ask("change", {{"key", "aa"}, {"value", 3}});
        QCOMPARE(peer.ask("save").value("error").toString(), "Could not save settings");
        QCOMPARE(readAll(settings), saved);
        QCOMPARE(peer.state().value("dirty").toBool(), true);
        QCOMPARE(peer.ask("lang", {{"value", 0}}).value("error").toString(),
                 "Could not save the language preference.");
        QCOMPARE(readAll(language), "en\n");
        QCOMPARE(peer.state().value("lang").toInt(), 1);
        QCOMPARE(leftovers(user), QStringList());

        // A folder where the file belongs: the rename fails, the folder stays as it was.
        QVERIFY(peer.diskFull(false));
        QVERIFY(QFile::rename(settings, settings + ".kept"));
        QVERIFY(QDir().mkpath(settings + "/in the way"));
        QCOMPARE(peer.ask("save").value("error").toString(), "Could not save settings");
        QVERIFY(QFileInfo::exists(settings + "/in the way"));
        QCOMPARE(leftovers(user), QStringList());

        // Once the way is clear again the save goes through.
        QVERIFY(QDir(settings).removeRecursively());
        QVERIFY(QFile::rename(settings + ".kept", settings));
        QVERIFY(!peer.ask("save").contains("error"));
        QVERIFY(readAll(settings).contains("aa = 3"));
        QCOMPARE(QFile(settings).permissions(), QFile(language).permissions());
        QVERIFY(peer.quit(false));
    }

    void concurrentServicesNeverFailEachOthersSaves()
    {
        // Two launcher windows on one installation, saving at the same moments.
        const QString user = root->filePath("local/user");
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < 4; ++i)
            peers.push_back(std::make_unique<Peer>(root->path()));
        QList<int> volumes;
        for (int round = 0; round < 5; ++round) {
            for (size_t i = 0; i < peers.size(); ++i) {
                const int volume = int(10 * i + round);
                volumes << volume;
                QVERIFY(!peers[i]
                             ->ask("change", {{"key", "volume"}, {"value", volume}})
                             .contains("error"));
            }
            for (const auto &peer : peers)
                peer->send("save");
            for (const auto &peer : peers) {
                const QJsonObject reply = peer->reply();
                QCOMPARE(reply.value("cmd").toString(), "save");
                QVERIFY2(!reply.contains("error"), qPrintable(reply.value("error").toString()));
            }
            // The file is one complete save: it loads, with one of the values just saved.
            Peer reader(root->path());
            const QJsonObject state = reader.state();
            QCOMPARE(state.value("settingsError").toString(), QString());
            QVERIFY(volumes.contains(state.value("config").toObject().value("volume").toInt()));
            QVERIFY(reader.quit(true));
        }
        QCOMPARE(leftovers(user), QStringList());
    }

    void aCorruptSettingsFileIsPreservedAndReported()
    {
        const QString settings = root->filePath("local/user/settings.toml");
        const QByteArray corrupt = "[game]\nvolume = 70\nfullscreen = [\n";
        writeFile(settings, corrupt);
        Peer peer(root->path());
        QJsonObject state = peer.state();
        QVERIFY(state.value("settingsError").toString().contains("line"));

        // Nothing may overwrite it: no change, no save, no quit that keeps changes.
        QVERIFY(peer.ask("change", {{"key", "volume"}, {"value", 5}}).contains("error"));
        QVERIFY(peer.ask("resetControls").contains("error"));
        QVERIFY(peer.ask("save").contains("error"));
        QVERIFY(peer.ask("play").contains("error"));
        QCOMPARE(readAll(settings), corrupt);

        // A value of the wrong type is a problem too, reported with its key.
        writeFile(settings, "[game]\nvolume = \"loud\"\n");
        peer.ask("reload");
        QVERIFY(peer.state().value("settingsError").toString().contains("game.volume"));

        writeFile(settings, "[game]\nvolume = 70\n[input]\nstick = 9.5\n");
        peer.ask("reload");
        state = peer.state();
        QCOMPARE(state.value("settingsError").toString(), QString());
        QCOMPARE(state.value("config").toObject().value("volume").toInt(), 70);
        QCOMPARE(state.value("config").toObject().value("stick").toDouble(), 0.95);
        QVERIFY(peer.quit(false));
        QCOMPARE(readAll(settings), "[game]\nvolume = 70\n[input]\nstick = 9.5\n");
    }

    void capturesSwapsClearsAndResetsBindings()
    {
        Peer peer(root->path());
        const auto row = [&](int action) {
            return peer.state().value("bindings").toArray().at(action).toArray();
        };
        QCOMPARE(peer.state().value("bindings").toArray().size(), 9);
        QCOMPARE(row(0), (QJsonArray{"Move up", "D-pad Up", "Up"}));

        // A key that another action has opens a conflict until it is released and swapped.
        peer.ask("bind", {{"action", 0}, {"keyboard", true}});
        QJsonObject input = peer.input();
        QCOMPARE(input.value("phase").toInt(), 1);
        QCOMPARE(input.value("keyboardCapture").toBool(), true);
        input = peer.ask("key", {{"key", "Down"}, {"down", true}}).value("input").toObject();
        QCOMPARE(input.value("phase").toInt(), 3);
        QCOMPARE(input.value("release").toBool(), true);
        QCOMPARE(input.value("message").toString(), "Already assigned to Move down");
        QVERIFY(peer.ask("swap").contains("error")); // not while the key is still held
        input = peer.ask("key", {{"key", "Down"}, {"down", false}}).value("input").toObject();
        QCOMPARE(input.value("release").toBool(), false);
        QVERIFY(!peer.ask("swap").contains("error"));
        QCOMPARE(row(0).at(2).toString(), "Down");
        QCOMPARE(row(1).at(2).toString(), "Up");
        QCOMPARE(peer.input().value("phase").toInt(), 0);

        // A free key is taken at once; the capture ends when it is released.
        peer.ask("bind", {{"action", 8}, {"keyboard", true}});
        input = peer.ask("key", {{"key", "Q"}, {"down", true}}).value("input").toObject();
        QVERIFY(input.value("phase").toInt() != 0);
        QCOMPARE(input.value("release").toBool(), true);
        input = peer.ask("key", {{"key", "Q"}, {"down", false}}).value("input").toObject();
        QCOMPARE(input.value("phase").toInt(), 0);
        QCOMPARE(input.value("message").toString(), "Binding updated");
        QCOMPARE(row(8).at(2).toString(), "Q");

        // Escape cancels; "Use Escape" assigns it.
        peer.ask("bind", {{"action", 6}, {"keyboard", true}});
        peer.ask("key", {{"key", "Escape"}, {"down", true}});
        QCOMPARE(peer.input().value("message").toString(), "Binding canceled");
        QCOMPARE(row(6).at(2).toString(), "Return");
        peer.ask("bind", {{"action", 6}, {"keyboard", true}});
        QVERIFY(!peer.ask("escape").contains("error"));
        QCOMPARE(row(6).at(2).toString(), "Escape");

        // A gamepad capture ignores keys and can be cancelled.
        peer.ask("bind", {{"action", 2}, {"keyboard", false}});
        peer.ask("key", {{"key", "A"}, {"down", true}});
        QCOMPARE(peer.input().value("phase").toInt(), 1);
        QCOMPARE(peer.input().value("keyboardCapture").toBool(), false);
        peer.ask("cancel");
        QCOMPARE(peer.input().value("phase").toInt(), 0);

        peer.ask("clear", {{"action", 2}, {"keyboard", false}});
        QCOMPARE(row(2).at(1).toString(), "Unmapped");
        QCOMPARE(peer.state().value("dirty").toBool(), true);

        peer.ask("change", {{"key", "trigger"}, {"value", 0.8}});
        const QJsonObject reply = peer.ask("resetControls");
        QCOMPARE(reply.value("input").toObject().value("message").toString(),
                 "Default bindings and activation levels restored");
        QCOMPARE(row(0), (QJsonArray{"Move up", "D-pad Up", "Up"}));
        QCOMPARE(row(2).at(1).toString(), "D-pad Left");
        QCOMPARE(peer.state().value("config").toObject().value("trigger").toDouble(), 0.5);

        // Bindings live in the settings file like every other setting.
        peer.ask("bind", {{"action", 4}, {"keyboard", true}});
        peer.ask("key", {{"key", "Z"}, {"down", true}});
        peer.ask("key", {{"key", "Z"}, {"down", false}});
        QVERIFY(peer.quit(false));
        Peer again(root->path());
        QCOMPARE(again.state().value("bindings").toArray().at(4).toArray().at(2).toString(), "Z");
    }

    void keyNamesFitTheSettingsFile()
    {
        const QString settings = root->filePath("local/user/settings.toml");
        const QString longest = QString(20, QChar(0x00c4)); // 40 bytes in UTF-8
        {
            Peer peer(root->path());
            // One byte too many is refused, and the capture waits for another key.
            peer.ask("bind", {{"action", 3}, {"keyboard", true}});
            const QJsonObject refused = peer.ask("key", {{"key", longest + "x"}, {"down", true}});
            QCOMPARE(refused.value("error").toString(),
                     "This key's name is too long to bind. Press another key.");
            QCOMPARE(peer.input().value("phase").toInt(), 1);
            QVERIFY(!peer.ask("key", {{"key", longest}, {"down", true}}).contains("error"));
            peer.ask("key", {{"key", longest}, {"down", false}});
            QCOMPARE(peer.input().value("phase").toInt(), 0);
            QVERIFY(!peer.ask("save").contains("error"));
        }
        // What was saved loads again.
        {
            Peer peer(root->path());
            const QJsonObject state = peer.state();
            QCOMPARE(state.value("settingsError").toString(), QString());
            QCOMPARE(state.value("bindings").toArray().at(3).toArray().at(2).toString(), longest);
        }
        // A longer name written by hand is the file's problem, reported with its key.
        QByteArray file = readAll(settings);
        file.replace(longest.toUtf8(), longest.toUtf8() + "x");
        writeFile(settings, file);
        Peer peer(root->path());
        QVERIFY(
            peer.state().value("settingsError").toString().contains("bindings.keyboard.moveRight"));
    }

    void theDemoControllerMovesAndCalibrates()
    {
        {
            Peer peer(root->path());
            QCOMPARE(peer.input().value("devices").toArray().size(), 0);
            QCOMPARE(peer.ask("calibrate").value("error").toString(),
                     "Calibration stopped: sensor data unavailable.");
        }
        writeFile(root->filePath("local/user/demo-controller"), "");
        Peer peer(root->path());
        QJsonObject input = peer.input();
        QCOMPARE(input.value("devices").toArray().at(0).toObject().value("name").toString(),
                 "Demo controller");
        QCOMPARE(input.value("selected").toInt(), 1);
        QVERIFY(input.value("gyro").toBool() && input.value("accel").toBool());
        const double tilt = input.value("tiltAngle").toDouble();
        QTRY_VERIFY(peer.input().value("tiltAngle").toDouble() != tilt);
        QVERIFY(peer.ask("pad", {{"id", 7}}).contains("error"));

        QVERIFY(!peer.ask("calibrate").contains("error"));
        QCOMPARE(peer.input().value("calibrating").toBool(), true);
        QTRY_VERIFY_WITH_TIMEOUT(!peer.input().value("calibrating").toBool(), 5000);
        input = peer.input();
        QCOMPARE(input.value("motionMessage").toString(),
                 "Calibration complete. Save settings to use it in game.");
        QCOMPARE(peer.state().value("dirty").toBool(), true);

        peer.ask("change", {{"key", "gain"}, {"value", 2.5}});
        peer.ask("resetMotion");
        QCOMPARE(peer.state().value("config").toObject().value("gain").toDouble(), 1.0);
        QVERIFY(!peer.ask("save").contains("error"));
        QVERIFY(readAll(root->filePath("local/user/settings.toml")).contains("Demo controller"));
    }

    void verifiesGameDataAndRunsTheGame()
    {
        // White space at either end of a folder's name is part of it.
        const QString data = root->filePath("disc/ DATA \t");
        Peer peer(root->path());
        QCOMPARE(peer.state().value("dataStatus").toString(), "Select your extracted DATA folder");

        QVERIFY(!peer.ask("data", {{"path", data}}).contains("error"));
        QCOMPARE(peer.state().value("dataStatus").toString(),
                 "Data verification failed: Missing " + data);
        makeData(data, 1);
        peer.ask("verify");
        QCOMPARE(peer.state().value("dataStatus").toString(),
                 "Data verification failed: Only VQ3E88 Rev 0 is supported");
        makeData(data, 0, 0x180); // the section runs past the end of the file
        peer.ask("verify");
        QCOMPARE(peer.state().value("dataStatus").toString(),
                 "Data verification failed: Cannot read complete game DOL");
        makeData(data);
        peer.ask("verify");
        QJsonObject state = peer.state();
        QCOMPARE(state.value("dataStatus").toString(), "VQ3E88 Rev 0 (USA) verified");
        QCOMPARE(state.value("verified").toBool(), true);
        QCOMPARE(state.value("installed").toBool(), false);
        QCOMPARE(peer.ask("play").value("error").toString(), "Install the game to play");
        QVERIFY(peer.quit(false));

        // With a game installed, the data folder remembered, and unsaved settings saved first.
        installGame(root->path(), 0, R"({"revision":"elsewhere","compiler":"other"})");
        Peer game(root->path());
        state = game.state();
        QCOMPARE(state.value("data").toString(), data);
        QCOMPARE(state.value("installed").toBool(), true);
        QTRY_VERIFY(!game.state().value("checking").toBool());
        state = game.state();
        QCOMPARE(state.value("runtime").toObject().value("revision").toString(), "elsewhere");
        QCOMPARE(state.value("match").toBool(), false);
        QCOMPARE(state.value("build").toObject().value("revision").toString().isEmpty(), false);

        game.ask("change", {{"key", "volume"}, {"value", 33}});
        QVERIFY(!game.ask("play").contains("error"));
        state = game.state();
        QCOMPARE(state.value("running").toBool(), true);
        QCOMPARE(state.value("dirty").toBool(), false);
        QVERIFY(readAll(root->filePath("local/user/settings.toml")).contains("volume = 33"));
        QCOMPARE(game.ask("play").value("error").toString(), "Game is running");
        QVERIFY(game.ask("importSave", {{"path", root->path()}}).contains("error"));
        writeFile(root->filePath("stop"), "");
        QTRY_VERIFY_WITH_TIMEOUT(!game.state().value("running").toBool(), 5000);
        QCOMPARE(game.state().value("gameStatus").toString(), "Game closed");

        installGame(root->path(), 3, "{}");
        QVERIFY(!game.ask("play").contains("error"));
        writeFile(root->filePath("stop"), "");
        QTRY_VERIFY_WITH_TIMEOUT(!game.state().value("running").toBool(), 5000);
        QCOMPARE(game.state().value("gameStatus").toString(),
                 "Game stopped with an error. Open Logs for details.");

        // Trying again keeps the failed run's log beside the new one.
        const QString logs = root->filePath("build-logs/");
        QCOMPARE(readAll(logs + "game.log"), "run 3\n");
        QCOMPARE(readAll(logs + "game.previous.log"), "run 0\n");
        installGame(root->path(), 0, "{}");
        QVERIFY(!game.ask("play").contains("error"));
        writeFile(root->filePath("stop"), "");
        QTRY_VERIFY_WITH_TIMEOUT(!game.state().value("running").toBool(), 5000);
        QCOMPARE(readAll(logs + "game.log"), "run 0\n");
        QCOMPARE(readAll(logs + "game.previous.log"), "run 3\n");
    }

    void aGameLeftRunningIsKnownToTheNextService()
    {
        const QString data = root->filePath("disc/DATA");
        makeData(data);
        installGame(root->path(), 0, "{}");
        const QString record = root->filePath("local/user/game-process.txt");
        {
            Peer first(root->path());
            QVERIFY(!first.ask("data", {{"path", data}}).contains("error"));
            QVERIFY(!first.ask("play").contains("error"));
            QVERIFY(first.quit(false)); // the player closes the launcher during the game
        }

        Peer second(root->path());
        QJsonObject state = second.state();
        QCOMPARE(state.value("running").toBool(), true);
        QCOMPARE(second.ask("play").value("error").toString(), "Game is running");
        writeFile(root->filePath("stop"), "");
        QTRY_VERIFY_WITH_TIMEOUT(!second.state().value("running").toBool(), 5000);
        QCOMPARE(second.state().value("gameStatus").toString(), "Game closed");
        QVERIFY(!QFile::exists(record));

        // Stale records: the pid of a live process that started at another time (a reused
        // pid), and no record at all after a crash left garbage
        for (const QByteArray &stale :
             {QByteArray::number(QCoreApplication::applicationPid()) + " 1\n",
              QByteArray("garbage\n")}) {
            writeFile(record, stale);
            Peer later(root->path());
            QCOMPARE(later.state().value("running").toBool(), false);
            QVERIFY(!QFile::exists(record));
        }
    }

    void backupsRoundTrip()
    {
        const QString save = root->filePath(SavePath);
        Peer peer(root->path());
        QCOMPARE(peer.ask("createBackup", {{"label", "First"}}).value("error").toString(),
                 "There is no save to back up yet");
        writeFile(save + "/quilt.sav", "progress 1");
        QCOMPARE(peer.state().value("saveFound").toBool(), true);
        QCOMPARE(peer.state().value("saves").toString(), save);

        QCOMPARE(peer.ask("createBackup", {{"label", "   "}}).value("error").toString(),
                 "Enter a backup name");
        const QString tooLong = "Backup name is too long or contains control characters";
        QCOMPARE(peer.ask("createBackup", {{"label", "a\tb"}}).value("error").toString(), tooLong);
        QCOMPARE(peer.ask("createBackup", {{"label", QString(65, 'x')}}).value("error").toString(),
                 tooLong);

        QJsonObject state =
            peer.ask("createBackup", {{"label", "  Before the boss / 中文 <backup> "}})
                .value("state")
                .toObject();
        QCOMPARE(state.value("saveImportStatus").toString(), "Backup created");
        QJsonArray backups = state.value("backups").toArray();
        QCOMPARE(backups.size(), 1);
        const QJsonObject first = backups.at(0).toObject();
        QCOMPARE(first.value("label").toString(), "Before the boss / 中文 <backup>");
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(first.value("timestamp").toString())
                    .hasMatch());
        QVERIFY(QRegularExpression("^\\d{16}$").match(first.value("name").toString()).hasMatch());

        // Restoring brings the backup back and keeps what it replaced as a backup of its own.
        writeFile(save + "/quilt.sav", "progress 2");
        QVERIFY(!peer.ask("restoreBackup", {{"name", first.value("name")}}).contains("error"));
        QCOMPARE(readAll(save + "/quilt.sav"), "progress 1");
        state = peer.state();
        QCOMPARE(state.value("saveImportStatus").toString(), "Backup restored");
        backups = state.value("backups").toArray();
        QCOMPARE(backups.size(), 2);
        const QString automatic = backups.at(0).toObject().value("name").toString();
        QVERIFY(automatic != first.value("name").toString());
        QCOMPARE(readAll(root->filePath("local/user/backups/" + automatic + "/data/quilt.sav")),
                 "progress 2");

        QCOMPARE(peer.ask("restoreBackup", {{"name", "../../etc"}}).value("error").toString(),
                 "That backup contains no save");
        QVERIFY(peer.ask("deleteBackup", {{"name", "../backups"}}).contains("error"));
        QVERIFY(!peer.ask("deleteBackup", {{"name", first.value("name")}}).contains("error"));
        QCOMPARE(backupNames(peer.state()), QStringList{automatic});
        QCOMPARE(readAll(save + "/quilt.sav"), "progress 1");
    }

    void importsOnlyWhatItRecognisesAndKeepsTheCurrentSave()
    {
        const QString save = root->filePath(SavePath);
        writeFile(save + "/quilt.sav", "mine");
        Peer peer(root->path());
        const QString refused = "Select the Dolphin Wii folder, the VQ3E88 title data folder, or "
                                "a Dolphin data.bin save. The current save is backed up before "
                                "replacement.";

        // Foreign files and folders are refused, and nothing is touched or backed up.
        writeFile(root->filePath("foreign.bin"), QByteArray(4096, 'z'));
        writeFile(root->filePath("stray/readme.txt"), "hello");
        writeFile(root->filePath("empty/title/00010000/56513345/data/.keep/x"), "");
        QFile(root->filePath("empty/title/00010000/56513345/data/.keep/x")).remove();
        for (const QString &path : {root->filePath("foreign.bin"), root->filePath("stray"),
                                    root->filePath("empty"), root->filePath("missing")})
            QCOMPARE(peer.ask("importSave", {{"path", path}}).value("error").toString(), refused);
        QCOMPARE(readAll(save + "/quilt.sav"), "mine");
        QVERIFY(peer.state().value("backups").toArray().isEmpty());

        // Our own .bin export comes back; a damaged copy of it does not.
        const QString bin = root->filePath("export/VQ3E88-save.bin");
        QDir().mkpath(root->filePath("export"));
        QVERIFY(!peer.ask("exportSave", {{"path", bin}, {"folder", false}}).contains("error"));
        QCOMPARE(peer.state().value("saveImportStatus").toString(), "Save exported to .bin");
        QByteArray damaged = readAll(bin);
        damaged[damaged.size() - 1] = damaged.at(damaged.size() - 1) ^ 1;
        writeFile(root->filePath("damaged.bin"), damaged);
        QCOMPARE(peer.ask("importSave", {{"path", root->filePath("damaged.bin")}})
                     .value("error")
                     .toString(),
                 refused);

        writeFile(save + "/quilt.sav", "changed");
        QVERIFY(!peer.ask("importSave", {{"path", bin}}).contains("error"));
        QCOMPARE(readAll(save + "/quilt.sav"), "mine");
        QCOMPARE(peer.state().value("backups").toArray().size(), 1);

        // A folder export is laid out as a Dolphin Wii folder and imports again.
        QVERIFY(!peer.ask("exportSave", {{"path", root->filePath("wii")}, {"folder", true}})
                     .contains("error"));
        QCOMPARE(readAll(root->filePath("wii/title/00010000/56513345/data/quilt.sav")), "mine");
        writeFile(root->filePath("wii/title/00010000/56513345/data/quilt.sav"), "from dolphin");
        QVERIFY(!peer.ask("importSave", {{"path", root->filePath("wii")}}).contains("error"));
        QCOMPARE(readAll(save + "/quilt.sav"), "from dolphin");
        QVERIFY(
            !peer.ask("importSave", {{"path", root->filePath("wii/title/00010000/56513345/data")}})
                 .contains("error"));
        QCOMPARE(peer.state().value("backups").toArray().size(), 3);
        QVERIFY(peer.ask("importSave", {{"path", save}}).contains("error"));
    }

    void aReadOnlyOrFullFolderRefusesWritesAndKeepsEverything()
    {
        const QString user = root->filePath("local/user");
        const QString save = root->filePath(SavePath);
        const Tree mine = makeSave(save, "mine");
        const QString bin = root->filePath("import.bin");
        QString backup;
        {
            Peer peer(root->path());
            QVERIFY(!peer.ask("change", {{"key", "volume"}, {"value", 40}}).contains("error"));
            QVERIFY(!peer.ask("save").contains("error"));
            QVERIFY(!peer.ask("exportSave", {{"path", bin}, {"folder", false}}).contains("error"));
            backup =
                backupNames(peer.ask("createBackup", {{"label", "kept"}}).value("state").toObject())
                    .value(0);
            QVERIFY(peer.quit(false));
        }
        const QByteArray settings = readAll(user + "/settings.toml");
        const auto everyWriteFails = [&](Peer &peer) {
            QVERIFY(!peer.ask("change", {{"key", "volume"}, {"value", 7}}).contains("error"));
            QCOMPARE(peer.ask("save").value("error").toString(), "Could not save settings");
            QVERIFY(peer.ask("lang", {{"value", 2}}).contains("error"));
            for (const auto &[cmd, extra] :
                 {std::pair<QString, QJsonObject>{"createBackup", {{"label", "more"}}},
                  {"restoreBackup", {{"name", backup}}},
                  {"importSave", {{"path", bin}}}}) {
                QVERIFY2(peer.ask(cmd, extra).contains("error"), qPrintable(cmd));
                QCOMPARE(backupNames(peer.state()), QStringList{backup});
            }
            QCOMPARE(readTree(save), mine);
            QCOMPARE(readAll(user + "/settings.toml"), settings);
        };

        // Every folder of the installation's user data read-only.
        QDirIterator folders(root->path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                             QDirIterator::Subdirectories);
        QStringList locked{root->path()};
        while (folders.hasNext())
            locked << folders.next();
        for (const QString &folder : locked) {
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0 ||
                    ::geteuid() != 0);
            QFile(folder).setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                         QFile::ExeOther);
        }
        {
            Peer peer(root->path(), {"--ui-service"}, true);
            QCOMPARE(peer.state().value("settingsError").toString(), QString());
            everyWriteFails(peer);
            if (QTest::currentTestFailed())
                return;
        }
        for (const QString &folder : locked)
            QFile(folder).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // A full disk: the same refusals, and no half-made copy is left behind.
        Peer peer(root->path());
        QVERIFY(peer.diskFull(true));
        everyWriteFails(peer);
        QCOMPARE(QDir(user).entryList({".staging-*", "*.tmp-*"}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
        QCOMPARE(
            QDir(user + "/backups").entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{backup});
        QVERIFY(peer.diskFull(false));
        QVERIFY(!peer.ask("save").contains("error"));
    }

    void aKillAtAnyMomentLeavesTheOldOrTheNewNeverAMix()
    {
        const QString user = root->filePath("local/user");
        const QString save = root->filePath(SavePath);
        const auto backupData = [&](const QString &name) {
            return readTree(user + "/backups/" + name + "/data");
        };

        // Two saves to import, a settings file and one backup, then the first save in place.
        QMap<QString, Tree> imports; // path -> what it holds
        Tree current;
        {
            Peer peer(root->path());
            for (const bool folder : {false, true}) {
                const QString path = root->filePath(folder ? "wii" : "import.bin");
                imports.insert(path, makeSave(save, folder ? "folder" : "bin"));
                QVERIFY(!peer.ask("exportSave", {{"path", path}, {"folder", folder}})
                             .contains("error"));
            }
            current = makeSave(save, "first");
            QVERIFY(!peer.ask("createBackup", {{"label", "start"}}).contains("error"));
            peer.ask("change", {{"key", "volume"}, {"value", 50}});
            QVERIFY(!peer.ask("save").contains("error"));
            QVERIFY(peer.quit(false));
        }
        QMap<QString, Tree> backups; // every backup listed so far -> what it must hold
        int volume = 50;

        // After a kill, the next service must find a loadable settings file, the save as it was
        // or as asked, and every backup it listed before, whole.
        const auto verify = [&](Peer &peer, const Tree &asked, int askedVolume, bool *changed,
                                bool *added) {
            const QJsonObject state = peer.state();
            QCOMPARE(state.value("settingsError").toString(), QString());
            const int loaded = state.value("config").toObject().value("volume").toInt();
            QVERIFY(loaded == volume || loaded == askedVolume);
            const Tree now = readTree(save);
            QVERIFY2(now == current || now == asked, "the save is a mix");
            *changed = now != current || loaded != volume;
            *added = false;
            const QStringList names = backupNames(state);
            for (auto known = backups.cbegin(); known != backups.cend(); ++known) {
                QVERIFY2(names.contains(known.key()), qPrintable(known.key()));
                QCOMPARE(backupData(known.key()), known.value());
            }
            // A backup the killed request made is complete: a copy of the save it replaced.
            for (const QString &name : names)
                if (!backups.contains(name)) {
                    QCOMPARE(backupData(name), current);
                    backups.insert(name, current);
                    *added = true;
                }
            current = now;
            volume = loaded;
        };

        QMap<QString, QMap<QString, int>> outcomes; // command -> old/new -> count
        const QStringList commands{"save", "createBackup", "importSave", "restoreBackup"};
        constexpr int Moments = 7;
        for (const QString &cmd : commands) {
            // Three kills spread over the time an uncut request takes, then a bisection
            // towards the moment the change lands, where the renames happen.
            std::chrono::microseconds whole{0}, early{0}, late{0}, delay{0};
            bool bounded = false;
            for (int moment = -1; moment < Moments; ++moment) {
                Peer peer(root->path());
                bool changed = false, added = false;
                verify(peer, current, volume, &changed, &added);
                if (QTest::currentTestFailed())
                    return;

                // What this request asks for, always different from what is there.
                QJsonObject extra;
                Tree asked = current;
                int askedVolume = volume;
                if (cmd == "save") {
                    askedVolume = volume == 50 ? 60 : 50;
                    peer.ask("change", {{"key", "volume"}, {"value", askedVolume}});
                } else if (cmd == "createBackup") {
                    extra = {{"label", QStringLiteral("moment %1").arg(moment)}};
                } else {
                    const QMap<QString, Tree> &from = cmd == "importSave" ? imports : backups;
                    for (auto source = from.cbegin(); source != from.cend(); ++source)
                        if (source.value() != current) {
                            extra = {{cmd == "importSave" ? "path" : "name", source.key()}};
                            asked = source.value();
                        }
                    QVERIFY(!extra.isEmpty());
                }

                // The first run goes uncut and times the request; the kills spread over it.
                if (moment < 0) {
                    QElapsedTimer timer;
                    timer.start();
                    QVERIFY(!peer.ask(cmd, extra).contains("error"));
                    whole = std::chrono::microseconds(timer.nsecsElapsed() / 1000);
                    late = 2 * whole;
                    QVERIFY(peer.quit(true));
                } else {
                    delay = moment < 3 ? whole * (moment + 1) / 4 : (early + late) / 2;
                    peer.killDuring(cmd, extra, delay);
                }
                Peer next(root->path());
                verify(next, asked, askedVolume, &changed, &added);
                if (QTest::currentTestFailed())
                    return;
                // A backup counts as done for "createBackup"; for the others it only comes first.
                if (moment >= 0) {
                    const bool done = changed || (added && cmd == "createBackup");
                    ++outcomes[cmd][done ? "new" : "old"];
                    if (done)
                        late = std::min(late, delay), bounded = true;
                    else
                        early = std::max(early, delay), late = bounded ? late : 4 * early;
                }
                QVERIFY(next.quit(true));
            }
        }
        for (const QString &cmd : commands)
            qInfo("killed during %s: %d old, %d new", qPrintable(cmd), outcomes[cmd]["old"],
                  outcomes[cmd]["new"]);

        // Nothing half-made survives a restart, and every backup still restores. A temporary
        // settings file is only swept once it is old: another service may be writing it now.
        for (const char *name : {"settings.toml.tmp-AbCdEf", "settings.toml.tmp-GhIjKl"})
            writeFile(user + "/" + name, "volume = 1");
        QFile old(user + "/settings.toml.tmp-AbCdEf");
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-7200),
                                QFileDevice::FileModificationTime));
        old.close();
        Peer peer(root->path());
        QCOMPARE(peer.state().value("settingsError").toString(), QString());
        QVERIFY(!leftovers(user).contains("settings.toml.tmp-AbCdEf"));
        QVERIFY(leftovers(user).contains("settings.toml.tmp-GhIjKl"));
        QCOMPARE(QDir(QFileInfo(save).path())
                     .entryList({"*.replaced-*", ".removing-*"}, QDir::Dirs | QDir::Hidden),
                 QStringList());
        for (auto backup = backups.cbegin(); backup != backups.cend(); ++backup) {
            QVERIFY(!peer.ask("restoreBackup", {{"name", backup.key()}}).contains("error"));
            QCOMPARE(readTree(save), backup.value());
        }
    }

private:
    std::unique_ptr<QTemporaryDir> root;
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
