#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

// The game: the chosen DATA folder and its verification, the native executable installed at a
// fixed place in the installation, the setup application, and the game process itself.
namespace Service {

class Game : public QObject
{
public:
    explicit Game(const QString &root);
    ~Game() override;

    // Game data.
    QString dataFolder() const { return data; }
    bool verified() const { return ok; }
    QString dataStatus() const { return status; }
    // Stores the chosen folder (kept in local/user/game-data.txt) and verifies it.
    QString chooseData(const QString &path);
    void verify();

    // Installation.
    QString executable() const;
    bool installed() const;
    QString installationError() const;
    bool setupAvailable() const;
    QString startSetup();

    // The game process. "play" arguments are prepared by the caller.
    QString play(const QStringList &arguments);
    bool running() const;
    QString gameStatus() const { return outcome; }
    // Leaves a running game alone when the service exits: the player may close the launcher
    // while playing. Its record lets the next service know it still runs.
    void detach();

    // Relative places inside the installation, shared with the install rules and the tests.
    static constexpr const char *ExecutablePath = "game/tobble-game";
    static constexpr const char *SetupPath = "tobble-setup";
    // The record of the game this or an earlier service started: its pid and start time.
    static constexpr const char *RecordPath = "local/user/game-process.txt";
    // The game's output in "build-logs": this run's, and the one before it.
    static constexpr const char *LogName = "game.log";
    static constexpr const char *PreviousLogName = "game.previous.log";

private:
    QString root;
    QString data;
    bool ok = false;
    QString status;
    // A game an earlier service started and left running; checked again on every question.
    void adoptRecordedGame();
    bool adoptedRunning() const;
    void forgetRecord() const;

    std::unique_ptr<QProcess> process;
    mutable qint64 adoptedPid = 0;
    mutable QByteArray adoptedStart;
    mutable QString outcome;
};

// Checks a DATA folder: "sys/boot.bin" must name VQ3E88 revision 0 and "sys/main.dol" must be
// a complete DOL. Returns the status text; `verified` tells whether it passed.
QString verifyData(const QString &folder, bool *verified);

} // namespace Service
