#include "service.h"

#include "build_record.h"
#include "files.h"
#include "languages.h"
#include "protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

#include <array>

namespace Service {

using namespace Protocol;

namespace {

const QString SettingsAttention =
    QStringLiteral("Settings need attention. Open Diagnostics to fix them.");

QString invalid(QLatin1StringView member)
{
    return QStringLiteral("Missing or invalid \"%1\"").arg(member);
}

bool demoControllerWanted(const QString &root)
{
    return QFileInfo::exists(QDir(root).filePath(QStringLiteral("local/user/demo-controller"))) ||
           qEnvironmentVariable("TOBBLE_DEMO_CONTROLLER") == QLatin1String("1");
}

QString userFolder(const QString &root)
{
    return QDir(root).filePath(QStringLiteral("local/user"));
}

// What a request member must hold for its command to run.
enum class Kind {
    Text,   // a string
    Name,   // a string that is not empty
    Flag,   // true or false
    Whole,  // a number without a fraction, within int
    Present // anything, as long as it is there
};

struct Member
{
    QLatin1StringView name;
    Kind kind = Kind::Present;
};

bool fits(const QJsonValue &value, Kind kind)
{
    switch (kind) {
    case Kind::Text:
        return value.isString();
    case Kind::Name:
        return value.isString() && !value.toString().isEmpty();
    case Kind::Flag:
        return value.isBool();
    case Kind::Whole:
        return value.isDouble() && value.toDouble() == value.toInt();
    case Kind::Present:
        return !value.isUndefined();
    }
    return false;
}

} // namespace

// A request whose declared members have been checked: the accessors read them as declared.
class LauncherService::Request
{
public:
    explicit Request(const QJsonObject &json) : json(json) {}

    QJsonValue value(QLatin1StringView member) const { return json.value(member); }
    QString text(QLatin1StringView member) const { return value(member).toString(); }
    bool flag(QLatin1StringView member) const { return value(member).toBool(); }
    int whole(QLatin1StringView member) const { return value(member).toInt(); }

private:
    const QJsonObject &json;
};

// One command: its members, what must hold before it runs, and what it does. The checks run in
// the order of the fields: members, then the game, then the settings file.
struct LauncherService::Command
{
    QLatin1StringView name;
    QString (*run)(LauncherService &, const Request &);
    std::array<Member, 2> members = {};
    // Refused with this text while the game runs (it owns the files the command would touch).
    const char *whileRunning = nullptr;
    // Refused while the settings file has a problem that only the player can fix.
    bool needsSettings = false;
    // May change, or asks to look again at, files that the state shows.
    bool rescans = false;
};

namespace {

constexpr char ClosedForInstall[] = "Close the game before updating the installation.";
constexpr char ClosedForSaves[] = "Game is running";
constexpr char ClosedForRefresh[] = "Refresh build information after the game closes";

} // namespace

const LauncherService::Command LauncherService::Commands[] = {
    {.name = Cmd::hello,
     .run = [](LauncherService &, const Request &) { return QString(); },
     .rescans = true},
    {.name = Cmd::poll, .run = [](LauncherService &, const Request &) { return QString(); }},
    {.name = Cmd::quit,
     .run =
         [](LauncherService &s, const Request &r) {
             s.shutdown(r.flag(Arg::discard)); // a missing "discard" keeps the changes
             return QString();
         }},

    // Settings and language.
    {.name = Cmd::change,
     .run =
         [](LauncherService &s, const Request &r) {
             return s.settings.change(r.text(Arg::key), r.value(Arg::value));
         },
     .members = {{{Arg::key, Kind::Text}, {Arg::value, Kind::Present}}},
     .needsSettings = true},
    {.name = Cmd::save,
     .run = [](LauncherService &s, const Request &) { return s.save(); },
     .needsSettings = true},
    {.name = Cmd::reload,
     .run =
         [](LauncherService &s, const Request &) {
             s.bindings.cancel();
             s.settings.load();
             return QString();
         },
     .rescans = true},
    {.name = Cmd::lang,
     .run = [](LauncherService &s,
               const Request &r) { return s.changeLanguage(r.whole(Arg::value)); },
     .members = {{{Arg::value, Kind::Whole}}}},

    // Game data, installation and the game.
    {.name = Cmd::data,
     .run = [](LauncherService &s,
               const Request &r) { return s.game.chooseData(r.text(Arg::path)); },
     .members = {{{Arg::path, Kind::Text}}},
     .whileRunning = ClosedForInstall,
     .rescans = true},
    {.name = Cmd::verify,
     .run =
         [](LauncherService &s, const Request &) {
             s.game.verify();
             return QString();
         },
     .rescans = true},
    {.name = Cmd::setup,
     .run = [](LauncherService &s, const Request &) { return s.game.startSetup(); },
     .rescans = true},
    {.name = Cmd::play, .run = [](LauncherService &s, const Request &) { return s.play(); }},

    // Bindings and capture.
    {.name = Cmd::bind,
     .run =
         [](LauncherService &s, const Request &r) {
             return s.bindings.bind(r.whole(Arg::action), r.flag(Arg::keyboard));
         },
     .members = {{{Arg::action, Kind::Whole}, {Arg::keyboard, Kind::Flag}}}},
    {.name = Cmd::clear,
     .run =
         [](LauncherService &s, const Request &r) {
             return s.bindings.clear(r.whole(Arg::action), r.flag(Arg::keyboard));
         },
     .members = {{{Arg::action, Kind::Whole}, {Arg::keyboard, Kind::Flag}}}},
    {.name = Cmd::key,
     .run = [](LauncherService &s,
               const Request &r) { return s.bindings.key(r.text(Arg::key), r.flag(Arg::down)); },
     .members = {{{Arg::key, Kind::Name}, {Arg::down, Kind::Flag}}}},
    {.name = Cmd::escape,
     .run = [](LauncherService &s, const Request &) { return s.bindings.escape(); }},
    {.name = Cmd::swap,
     .run = [](LauncherService &s, const Request &) { return s.bindings.swap(); }},
    {.name = Cmd::cancel,
     .run =
         [](LauncherService &s, const Request &) {
             s.bindings.cancel();
             return QString();
         }},
    {.name = Cmd::resetControls,
     .run =
         [](LauncherService &s, const Request &) {
             s.bindings.reset();
             return QString();
         },
     .needsSettings = true},

    // Controllers and motion.
    {.name = Cmd::pad,
     .run = [](LauncherService &s, const Request &r) { return s.motion.select(r.whole(Arg::id)); },
     .members = {{{Arg::id, Kind::Whole}}}},
    {.name = Cmd::recenter,
     .run = [](LauncherService &s, const Request &) { return s.motion.recenter(); }},
    {.name = Cmd::calibrate,
     .run = [](LauncherService &s,
               const Request &) { return s.motion.calibrate(s.game.running()); }},
    {.name = Cmd::resetMotion,
     .run =
         [](LauncherService &s, const Request &) {
             s.motion.reset();
             return QString();
         },
     .needsSettings = true},

    // Saves and backups.
    {.name = Cmd::importSave,
     .run = [](LauncherService &s,
               const Request &r) { return s.saves.importSave(r.text(Arg::path)); },
     .members = {{{Arg::path, Kind::Text}}},
     .whileRunning = ClosedForSaves,
     .rescans = true},
    {.name = Cmd::exportSave,
     .run =
         [](LauncherService &s, const Request &r) {
             return s.saves.exportSave(r.text(Arg::path), r.flag(Arg::folder));
         },
     .members = {{{Arg::path, Kind::Text}, {Arg::folder, Kind::Flag}}},
     .whileRunning = ClosedForSaves,
     .rescans = true},
    {.name = Cmd::createBackup,
     .run = [](LauncherService &s,
               const Request &r) { return s.saves.createBackup(r.text(Arg::label)); },
     .members = {{{Arg::label, Kind::Text}}},
     .whileRunning = ClosedForSaves,
     .rescans = true},
    {.name = Cmd::restoreBackup,
     .run = [](LauncherService &s,
               const Request &r) { return s.saves.restoreBackup(r.text(Arg::name)); },
     .members = {{{Arg::name, Kind::Text}}},
     .whileRunning = ClosedForSaves,
     .rescans = true},
    {.name = Cmd::deleteBackup,
     .run = [](LauncherService &s,
               const Request &r) { return s.saves.deleteBackup(r.text(Arg::name)); },
     .members = {{{Arg::name, Kind::Text}}},
     .whileRunning = ClosedForSaves,
     .rescans = true},

    // Diagnostics.
    {.name = Cmd::refresh,
     .run =
         [](LauncherService &s, const Request &) {
             s.diagnostics.refresh();
             return QString();
         },
     .whileRunning = ClosedForRefresh,
     .rescans = true},
};

LauncherService::LauncherService(const QString &root)
    : root(root), settings(root), bindings(settings),
      motion(settings, demoControllerWanted(root), controllers), saves(root), game(root),
      diagnostics(game.executable()),
      language(Launcher::ReadLanguage(QFile::encodeName(userFolder(root)).toStdString()))
{
    sweepTemporaries(userFolder(root));
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

const LauncherService::Files &LauncherService::files()
{
    // The game writes its save as it closes.
    const bool running = game.running();
    if (running != knownRunning) {
        knownRunning = running;
        knownAge.invalidate();
    }
    if (knownAge.isValid() && knownAge.elapsed() < FilesMaximumAgeMs)
        return known;
    known.saveFound = saves.found();
    known.backups = saves.backups();
    known.installed = game.installed();
    known.installationError = game.installationError();
    known.setupAvailable = game.setupAvailable();
    knownAge.start();
    return known;
}

QJsonObject LauncherService::state()
{
    const Files &seen = files();
    return {
        {Key::running, game.running()},
        {Key::saveFound, seen.saveFound},
        {Key::lang, language},
        {Key::config, settings.config()},
        {Key::dirty, settings.dirty()},
        {Key::settingsError, settings.error()},
        {Key::verified, game.verified()},
        {Key::installed, seen.installed},
        {Key::installationError, seen.installationError},
        {Key::dataStatus, game.dataStatus()},
        {Key::gameStatus, game.gameStatus()},
        {Key::saveImportStatus, saves.status()},
        {Key::data, game.dataFolder()},
        {Key::setupAvailable, seen.setupAvailable},
        {Key::bindings, bindings.rows()},
        {Key::saves, saves.folder()},
        {Key::backups, seen.backups},
        {Key::build, Protocol::buildRecord()},
        {Key::runtime, diagnostics.runtime()},
        {Key::match, diagnostics.match()},
        {Key::buildError, diagnostics.error()},
        {Key::checking, diagnostics.checking()},
        {Key::executable, game.executable()},
        {Key::settings, settings.path()},
    };
}

QJsonObject LauncherService::input()
{
    // Presses from before the window lost the focus are not replayed when it comes back.
    const QStringList nav = controllers.takeNavigation();
    QJsonObject input{{Key::nav, focused ? QJsonArray::fromStringList(nav) : QJsonArray()}};
    bindings.fill(input);
    motion.fill(input, game.running());
    return input;
}

QByteArray LauncherService::handle(const QByteArray &line)
{
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parsed);
    const QJsonObject request = document.object();
    const QJsonValue name = request.value(Arg::cmd);
    QJsonObject reply;
    if (parsed.error != QJsonParseError::NoError || !document.isObject() || !name.isString()) {
        reply = {{Key::cmd, name.isString() ? name : QJsonValue(QString())},
                 {Key::error, QStringLiteral("Malformed request")}};
        return QJsonDocument(reply).toJson(QJsonDocument::Compact);
    }

    const QString cmd = name.toString();
    focused = request.value(Arg::focused).toBool();
    const Command *command = nullptr;
    for (const Command &candidate : Commands)
        if (cmd == candidate.name)
            command = &candidate;
    const QString error =
        command ? run(*command, Request(request)) : QStringLiteral("Unknown command: %1").arg(cmd);
    reply.insert(Key::cmd, cmd);
    if (!error.isEmpty()) {
        reply.insert(Key::error, error);
    } else {
        reply.insert(Key::input, input());
        const QJsonObject now = state();
        if (cmd == Cmd::hello || now != lastState) {
            reply.insert(Key::state, now);
            lastState = now;
        }
    }
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

QString LauncherService::run(const Command &command, const Request &request)
{
    for (const Member &member : command.members)
        if (!member.name.isEmpty() && !fits(request.value(member.name), member.kind))
            return invalid(member.name);
    if (command.whileRunning && game.running())
        return QString::fromLatin1(command.whileRunning);
    if (command.needsSettings && !settings.error().isEmpty())
        return SettingsAttention;
    const QString error = command.run(*this, request);
    if (command.rescans)
        knownAge.invalidate();
    return error;
}

QString LauncherService::save()
{
    if (!settings.dirty() && QFileInfo::exists(settings.path()))
        return {};
    QString why;
    if (!settings.save(&why)) {
        qWarning("tobble-launcher: could not save settings: %s", qPrintable(why));
        return QStringLiteral("Could not save settings");
    }
    return {};
}

QString LauncherService::changeLanguage(int index)
{
    if (index < 0 || index >= LanguageCount)
        return invalid(Arg::value);
    QString why;
    if (!writeAtomically(
            QDir(userFolder(root)).filePath(QLatin1String(LanguageFile)),
            QByteArray(LanguageCodes[index].data(), LanguageCodes[index].size()) + '\n', &why)) {
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
