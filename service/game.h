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
    // while playing.
    void detach();

    // Relative places inside the installation, shared with the install rules and the tests.
    static constexpr const char *ExecutablePath = "game/tobble-game";
    static constexpr const char *SetupPath = "tobble-setup";

private:
    QString root;
    QString data;
    bool ok = false;
    QString status;
    std::unique_ptr<QProcess> process;
    QString outcome;
};

// Checks a DATA folder: "sys/boot.bin" must name VQ3E88 revision 0 and "sys/main.dol" must be
// a complete DOL. Returns the status text; `verified` tells whether it passed.
QString verifyData(const QString &folder, bool *verified);

} // namespace Service
