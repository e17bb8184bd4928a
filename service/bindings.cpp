#include "bindings.h"

#include "protocol.h"
#include "settings.h"

namespace Service {

const char *const ActionNames[ActionCount] = {"Move up",      "Move down",      "Move left",
                                              "Move right",   "Jump / Confirm", "Quilt / Cancel",
                                              "Pause / Plus", "Map / Minus",    "Home"};

const char *const ActionKeys[ActionCount] = {"moveUp", "moveDown", "moveLeft", "moveRight", "jump",
                                             "quilt",  "pause",    "map",      "home"};

namespace {

// A message stays in the input object this long after the capture has ended.
constexpr qint64 MessageLifetimeMs = 6000;

} // namespace

QStringList defaultGamepad()
{
    return {"D-pad Up",
            "D-pad Down",
            "D-pad Left",
            "D-pad Right",
            "South (A / Cross)",
            "East (B / Circle)",
            "Right bumper (RB / R1)",
            "Left bumper (LB / L1)",
            "North (Y / Triangle)"};
}

QStringList defaultKeyboard()
{
    return {"Up", "Down", "Left", "Right", "Space", "X", "Return", "M", "H"};
}

bool isGamepadInput(const QString &name)
{
    for (const QLatin1StringView input : Protocol::GamepadInputs)
        if (name == input)
            return true;
    return false;
}

Bindings::Bindings(Settings &settings) : settings(settings) {}

const QStringList &Bindings::column() const
{
    return settings.column(keyboardColumn);
}

QJsonArray Bindings::rows() const
{
    QJsonArray rows;
    for (int i = 0; i < ActionCount; ++i) {
        const QString pad = settings.gamepad().value(i);
        const QString key = settings.keyboard().value(i);
        rows.append(QJsonArray{QLatin1String(ActionNames[i]),
                               pad.isEmpty() ? QStringLiteral("Unmapped") : pad,
                               key.isEmpty() ? QStringLiteral("Unmapped") : key});
    }
    return rows;
}

void Bindings::fill(QJsonObject &input)
{
    if (phase == Phase::Idle && !message.isEmpty() && messageAge.isValid() &&
        messageAge.elapsed() > MessageLifetimeMs)
        message.clear();
    input.insert("phase", int(phase));
    input.insert("release", release);
    input.insert("keyboardCapture", phase != Phase::Idle && keyboardColumn);
    input.insert("message", message);
}

void Bindings::say(const QString &text)
{
    message = text;
    messageAge.start();
}

void Bindings::finish(const char *text)
{
    phase = Phase::Idle;
    release = false;
    held.clear();
    candidate.clear();
    owner = -1;
    say(QLatin1String(text));
}

QString Bindings::bind(int which, bool keyboard)
{
    if (which < 0 || which >= ActionCount)
        return QStringLiteral("Unknown action");
    if (!settings.error().isEmpty())
        return QStringLiteral("Settings need attention. Open Diagnostics to fix them.");
    // A new capture replaces one that is still open.
    phase = Phase::Waiting;
    action = which;
    keyboardColumn = keyboard;
    release = false;
    held.clear();
    candidate.clear();
    owner = -1;
    say({});
    return {};
}

QString Bindings::clear(int which, bool keyboard)
{
    if (which < 0 || which >= ActionCount)
        return QStringLiteral("Unknown action");
    if (!settings.error().isEmpty())
        return QStringLiteral("Settings need attention. Open Diagnostics to fix them.");
    if (phase != Phase::Idle)
        finish("Binding canceled");
    settings.bind(keyboard, which, {});
    say(QStringLiteral("Binding updated"));
    return {};
}

// A captured input: take it, or open a conflict when another action already has it. A key that
// is still held must be released before the capture ends, so its release never reaches the
// launcher's widgets. A key whose name the settings file could not hold is refused, and the
// capture goes on waiting for another.
QString Bindings::offer(const QString &input, bool pressed)
{
    if (keyboardColumn && !Settings::keyNameFits(input))
        return QStringLiteral("This key's name is too long to bind. Press another key.");
    const QStringList &list = column();
    owner = -1;
    for (int i = 0; i < ActionCount; ++i)
        if (i != action && list[i] == input)
            owner = i;
    release = pressed;
    held = pressed ? input : QString();
    if (owner >= 0) {
        phase = Phase::Conflict;
        candidate = input;
        say(QStringLiteral("Already assigned to ") + QLatin1String(ActionNames[owner]));
        return {};
    }
    settings.bind(keyboardColumn, action, input);
    say(QStringLiteral("Binding updated"));
    phase = pressed ? Phase::Releasing : Phase::Idle;
    return {};
}

void Bindings::released(const QString &input)
{
    if (release && input == held) {
        release = false;
        held.clear();
        if (phase == Phase::Releasing)
            phase = Phase::Idle;
    }
}

QString Bindings::key(const QString &name, bool down)
{
    if (!down) {
        released(name);
        return {};
    }
    if (phase == Phase::Idle || phase == Phase::Releasing)
        return {}; // a late key after the capture ended
    if (name == QLatin1String("Escape")) {
        finish("Binding canceled");
        return {};
    }
    // Gamepad captures only listen to controllers; keys other than Escape do nothing there.
    if (phase == Phase::Waiting && keyboardColumn)
        return offer(name, true);
    return {};
}

void Bindings::pad(const QString &input, bool active)
{
    if (!active)
        released(input);
    else if (phase == Phase::Waiting && !keyboardColumn)
        offer(input, true);
}

QString Bindings::escape()
{
    if (phase != Phase::Waiting || !keyboardColumn)
        return QStringLiteral("No keyboard capture is running");
    return offer(QStringLiteral("Escape"), false);
}

QString Bindings::swap()
{
    if (phase != Phase::Conflict)
        return QStringLiteral("No conflicting binding to swap");
    if (release)
        return QStringLiteral("Release the captured input to continue.");
    settings.bind(keyboardColumn, owner, column().at(action));
    settings.bind(keyboardColumn, action, candidate);
    finish("Binding updated");
    return {};
}

void Bindings::cancel()
{
    if (phase == Phase::Releasing) {
        // The binding is already taken; only the wait for the key's release ends.
        phase = Phase::Idle;
        release = false;
        held.clear();
    } else if (phase != Phase::Idle) {
        finish("Binding canceled");
    }
}

void Bindings::reset()
{
    if (phase != Phase::Idle)
        finish("Binding canceled");
    settings.resetBindings();
    settings.reset({"stick", "trigger"});
    say(QStringLiteral("Default bindings and activation levels restored"));
}

} // namespace Service
