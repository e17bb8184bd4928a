#pragma once

#include "bindings.h"
#include "controllers.h"
#include "diagnostics.h"
#include "game.h"
#include "motion.h"
#include "saves.h"
#include "settings.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

// The launcher service: one request in, one reply out. Every reply names the command it answers
// and carries either "error" or "input", plus "state" when the state changed since the last
// reply that carried it (and always on "hello").
namespace Service {

class LauncherService : public QObject
{
public:
    explicit LauncherService(const QString &root);

    // Handles one request line and returns the compact JSON reply line.
    QByteArray handle(const QByteArray &line);

    // True once "quit" has been handled.
    bool finished() const { return quitting; }

    // End of input or "quit": keep or drop unsaved settings, leave a running game alone.
    void shutdown(bool discard);

    QJsonObject state();
    QJsonObject input();

    // The game controllers, for tests that drive them in-process.
    Controllers &gamepads() { return controllers; }

    // How old the state read from files (saves, backups, the installed game) may get before a
    // poll reads it again. Commands that write those files, or ask to look again, read it at
    // once.
    static constexpr qint64 FilesMaximumAgeMs = 1000;

    struct Command;
    class Request;

private:
    // What the state shows of files that the player or the game may change behind our back.
    struct Files
    {
        bool saveFound = false;
        QJsonArray backups;
        bool installed = false;
        QString installationError;
        bool setupAvailable = false;
    };
    const Files &files();

    QString run(const Command &command, const Request &request);
    QString save();
    QString changeLanguage(int index);
    QString play();

    static const Command Commands[];

    QString root;
    Settings settings;
    Bindings bindings;
    Controllers controllers;
    Motion motion;
    Saves saves;
    Game game;
    Diagnostics diagnostics;
    int language = 1;
    // The launcher's window has the focus, as its latest request said.
    bool focused = false;
    QJsonObject lastState;
    bool quitting = false;
    Files known;
    QElapsedTimer knownAge; // invalid until the first read, and after a command that wrote files
    bool knownRunning = false;
};

} // namespace Service
