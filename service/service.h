#pragma once

#include "bindings.h"
#include "controllers.h"
#include "diagnostics.h"
#include "game.h"
#include "motion.h"
#include "saves.h"
#include "settings.h"

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

private:
    QString dispatch(const QString &cmd, const QJsonObject &request);
    QString changeLanguage(const QJsonValue &value);
    QString play();
    QString whileIdle() const;

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
};

// The launcher language file's three codes, by language index.
int readLanguage(const QString &root);

} // namespace Service
