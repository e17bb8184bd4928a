#include "service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include "files.h"

namespace Service {

namespace {

const char *const LanguageCodes[] = {"zh-CN", "en", "es"};

const QString SettingsAttention =
    QStringLiteral("Settings need attention. Open Diagnostics to fix them.");

QString invalid(const char *member)
{
    return QStringLiteral("Missing or invalid \"%1\"").arg(QLatin1String(member));
}

bool demoControllerWanted(const QString &root)
{
    return QFileInfo::exists(QDir(root).filePath(QStringLiteral("local/user/demo-controller"))) ||
           qEnvironmentVariable("TOBBLE_DEMO_CONTROLLER") == QLatin1String("1");
}

} // namespace

int readLanguage(const QString &root)
{
    QFile file(QDir(root).filePath(QStringLiteral("local/user/launcher-language.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.read(16);
    if (bytes.size() >= 16)
        return 1;
    const QByteArray code = bytes.trimmed();
    for (int i = 0; i < 3; ++i)
        if (code == LanguageCodes[i])
            return i;
    return 1;
}

LauncherService::LauncherService(const QString &root)
    : root(root), settings(root), bindings(settings),
      motion(settings, demoControllerWanted(root), controllers), saves(root), game(root),
      diagnostics(game.executable()), language(readLanguage(root))
{
    diagnostics.refresh();
    controllers.onInput = [this](const QString &input, bool active) {
        bindings.pad(input, active);
    };
    // Only the launcher's window in front, outside a capture, is steered by the pad.
    controllers.navigationWanted = [this] {
        return focused && !bindings.capturing() && !game.running();
    };
    controllers.levels = [this] {
        const QJsonObject config = settings.config();
        return Controllers::Levels{config.value("stick").toDouble(0.5),
                                   config.value("trigger").toDouble(0.5)};
    };
}

QJsonObject LauncherService::state()
{
    const bool running = game.running();
    return {
        {"running", running},
        {"saveFound", saves.found()},
        {"lang", language},
        {"config", settings.config()},
        {"dirty", settings.dirty()},
        {"settingsError", settings.error()},
        {"verified", game.verified()},
        {"installed", game.installed()},
        {"installationError", game.installationError()},
        {"dataStatus", game.dataStatus()},
        {"gameStatus", game.gameStatus()},
        {"saveImportStatus", saves.status()},
        {"data", game.dataFolder()},
        {"setupAvailable", game.setupAvailable()},
        {"bindings", bindings.rows()},
        {"saves", saves.folder()},
        {"backups", saves.backups()},
        {"build", Diagnostics::buildRecord()},
        {"runtime", diagnostics.runtime()},
        {"match", diagnostics.match()},
        {"buildError", diagnostics.error()},
        {"checking", diagnostics.checking()},
        {"executable", game.executable()},
        {"settings", settings.path()},
    };
}

QJsonObject LauncherService::input()
{
    // Presses from before the window lost the focus are not replayed when it comes back.
    const QStringList nav = controllers.takeNavigation();
    QJsonObject input{{"nav", focused ? QJsonArray::fromStringList(nav) : QJsonArray()}};
    bindings.fill(input);
    motion.fill(input, game.running());
    return input;
}

QByteArray LauncherService::handle(const QByteArray &line)
{
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parsed);
    const QJsonObject request = document.object();
    const QJsonValue name = request.value("cmd");
    QJsonObject reply;
    if (parsed.error != QJsonParseError::NoError || !document.isObject() || !name.isString()) {
        reply = {{"cmd", name.isString() ? name : QJsonValue(QString())},
                 {"error", QStringLiteral("Malformed request")}};
        return QJsonDocument(reply).toJson(QJsonDocument::Compact);
    }

    const QString cmd = name.toString();
    focused = request.value("focused").toBool();
    const QString error = dispatch(cmd, request);
    reply.insert("cmd", cmd);
    if (!error.isEmpty()) {
        reply.insert("error", error);
    } else {
        reply.insert("input", input());
        const QJsonObject now = state();
        if (cmd == QLatin1String("hello") || now != lastState) {
            reply.insert("state", now);
            lastState = now;
        }
    }
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

// Actions that replace files or change the installation wait until the game has closed.
QString LauncherService::whileIdle() const
{
    return game.running() ? QStringLiteral("Game is running") : QString();
}

QString LauncherService::dispatch(const QString &cmd, const QJsonObject &request)
{
    const auto text = [&](const char *member, QString *out) {
        const QJsonValue value = request.value(QLatin1String(member));
        *out = value.toString();
        return value.isString();
    };
    const auto flag = [&](const char *member, bool *out) {
        const QJsonValue value = request.value(QLatin1String(member));
        *out = value.toBool();
        return value.isBool();
    };
    const auto whole = [&](const char *member, int *out) {
        const QJsonValue value = request.value(QLatin1String(member));
        *out = value.toInt();
        return value.isDouble() && value.toDouble() == *out;
    };

    if (cmd == QLatin1String("hello") || cmd == QLatin1String("poll"))
        return {};
    if (cmd == QLatin1String("quit")) {
        shutdown(request.value("discard").toBool());
        return {};
    }

    // Settings and language.
    if (cmd == QLatin1String("change")) {
        QString key;
        if (!text("key", &key))
            return invalid("key");
        if (!request.contains(QLatin1String("value")))
            return invalid("value");
        if (!settings.error().isEmpty())
            return SettingsAttention;
        return settings.change(key, request.value("value"));
    }
    if (cmd == QLatin1String("save")) {
        if (!settings.error().isEmpty())
            return SettingsAttention;
        if (!settings.dirty() && QFileInfo::exists(settings.path()))
            return {};
        QString why;
        if (!settings.save(&why)) {
            qWarning("tobble-launcher: could not save settings: %s", qPrintable(why));
            return QStringLiteral("Could not save settings");
        }
        return {};
    }
    if (cmd == QLatin1String("reload")) {
        bindings.cancel();
        settings.load();
        return {};
    }
    if (cmd == QLatin1String("lang"))
        return changeLanguage(request.value("value"));

    // Game data, installation and the game.
    if (cmd == QLatin1String("data")) {
        QString path;
        if (!text("path", &path))
            return invalid("path");
        if (game.running())
            return QStringLiteral("Close the game before updating the installation.");
        return game.chooseData(path);
    }
    if (cmd == QLatin1String("verify")) {
        game.verify();
        return {};
    }
    if (cmd == QLatin1String("setup"))
        return game.startSetup();
    if (cmd == QLatin1String("play"))
        return play();

    // Bindings and capture.
    if (cmd == QLatin1String("bind") || cmd == QLatin1String("clear")) {
        int action = 0;
        bool keyboard = false;
        if (!whole("action", &action))
            return invalid("action");
        if (!flag("keyboard", &keyboard))
            return invalid("keyboard");
        return cmd == QLatin1String("bind") ? bindings.bind(action, keyboard)
                                            : bindings.clear(action, keyboard);
    }
    if (cmd == QLatin1String("key")) {
        QString key;
        bool down = false;
        if (!text("key", &key) || key.isEmpty())
            return invalid("key");
        if (!flag("down", &down))
            return invalid("down");
        return bindings.key(key, down);
    }
    if (cmd == QLatin1String("escape"))
        return bindings.escape();
    if (cmd == QLatin1String("swap"))
        return bindings.swap();
    if (cmd == QLatin1String("cancel")) {
        bindings.cancel();
        return {};
    }
    if (cmd == QLatin1String("resetControls")) {
        if (!settings.error().isEmpty())
            return SettingsAttention;
        bindings.reset();
        return {};
    }

    // Controllers and motion.
    if (cmd == QLatin1String("pad")) {
        int id = 0;
        if (!whole("id", &id))
            return invalid("id");
        return motion.select(id);
    }
    if (cmd == QLatin1String("recenter"))
        return motion.recenter();
    if (cmd == QLatin1String("calibrate"))
        return motion.calibrate(game.running());
    if (cmd == QLatin1String("resetMotion")) {
        if (!settings.error().isEmpty())
            return SettingsAttention;
        motion.reset();
        return {};
    }

    // Saves and backups.
    if (cmd == QLatin1String("importSave")) {
        QString path;
        if (!text("path", &path))
            return invalid("path");
        if (QString busy = whileIdle(); !busy.isEmpty())
            return busy;
        return saves.importSave(path);
    }
    if (cmd == QLatin1String("exportSave")) {
        QString path;
        bool folder = false;
        if (!text("path", &path))
            return invalid("path");
        if (!flag("folder", &folder))
            return invalid("folder");
        if (QString busy = whileIdle(); !busy.isEmpty())
            return busy;
        return saves.exportSave(path, folder);
    }
    if (cmd == QLatin1String("createBackup")) {
        QString label;
        if (!text("label", &label))
            return invalid("label");
        if (QString busy = whileIdle(); !busy.isEmpty())
            return busy;
        return saves.createBackup(label);
    }
    if (cmd == QLatin1String("restoreBackup") || cmd == QLatin1String("deleteBackup")) {
        QString backup;
        if (!text("name", &backup))
            return invalid("name");
        if (QString busy = whileIdle(); !busy.isEmpty())
            return busy;
        return cmd == QLatin1String("restoreBackup") ? saves.restoreBackup(backup)
                                                     : saves.deleteBackup(backup);
    }

    // Diagnostics.
    if (cmd == QLatin1String("refresh")) {
        if (game.running())
            return QStringLiteral("Refresh build information after the game closes");
        diagnostics.refresh();
        return {};
    }

    return QStringLiteral("Unknown command: %1").arg(cmd);
}

QString LauncherService::changeLanguage(const QJsonValue &value)
{
    const int index = value.toInt(-1);
    if (!value.isDouble() || value.toDouble() != index || index < 0 || index > 2)
        return invalid("value");
    QString why;
    if (!writeAtomically(QDir(root).filePath(QStringLiteral("local/user/launcher-language.txt")),
                         QByteArray(LanguageCodes[index]) + '\n', &why)) {
        qWarning("tobble-launcher: could not save the language: %s", qPrintable(why));
        return QStringLiteral("Could not save the language preference.");
    }
    language = index;
    return {};
}

QString LauncherService::play()
{
    if (game.running())
        return QStringLiteral("Game is running");
    if (!game.installed()) {
        const QString broken = game.installationError();
        return broken.isEmpty() ? QStringLiteral("Install the game to play") : broken;
    }
    if (!game.verified())
        return game.dataStatus();
    if (!settings.error().isEmpty())
        return SettingsAttention;
    // The game reads the settings file when it starts, so unsaved changes are saved first.
    if (settings.dirty()) {
        QString why;
        if (!settings.save(&why)) {
            qWarning("tobble-launcher: could not save settings: %s", qPrintable(why));
            return QStringLiteral("Could not save settings");
        }
    }
    bindings.cancel();
    return game.play({QStringLiteral("--data"), game.dataFolder(), QStringLiteral("--settings"),
                      settings.path(), QStringLiteral("--saves"), saves.folder()});
}

void LauncherService::shutdown(bool discard)
{
    if (quitting)
        return;
    quitting = true;
    if (!discard && settings.dirty() && settings.error().isEmpty()) {
        QString why;
        if (!settings.save(&why))
            qWarning("tobble-launcher: unsaved settings were lost: %s", qPrintable(why));
    }
    game.detach();
}

} // namespace Service
