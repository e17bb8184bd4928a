#include "bindings.h"

#include "settings.h"

namespace Service {

const char *const ActionNames[ActionCount] = {"Move up",      "Move down",      "Move left",
                                              "Move right",   "Jump / Confirm", "Quilt / Cancel",
                                              "Pause / Plus", "Map / Minus",    "Home"};

const char *const ActionKeys[ActionCount] = {"moveUp", "moveDown", "moveLeft", "moveRight", "jump",
                                             "quilt",  "pause",    "map",      "home"};

namespace {

const char *const GamepadInputs[] = {"South (A / Cross)",
                                     "East (B / Circle)",
                                     "West (X / Square)",
                                     "North (Y / Triangle)",
                                     "Left trigger (LT / L2)",
                                     "Right trigger (RT / R2)",
                                     "Left bumper (LB / L1)",
                                     "Right bumper (RB / R1)",
                                     "Left stick click (L3)",
                                     "Right stick click (R3)",
                                     "D-pad Up",
                                     "D-pad Down",
                                     "D-pad Left",
                                     "D-pad Right",
                                     "Left stick left",
                                     "Left stick right",
                                     "Left stick up",
                                     "Left stick down",
                                     "Right stick left",
                                     "Right stick right",
                                     "Right stick up",
                                     "Right stick down"};

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
    for (const char *input : GamepadInputs)
        if (name == QLatin1String(input))
            return true;
    return false;
}

Bindings::Bindings(Settings &settings) : settings(settings) {}

QStringList &Bindings::column() const
{
    return keyboardColumn ? settings.keyboard : settings.gamepad;
}

QJsonArray Bindings::rows() const
{
    QJsonArray rows;
    for (int i = 0; i < ActionCount; ++i) {
        const QString pad = settings.gamepad.value(i);
        const QString key = settings.keyboard.value(i);
        rows.append(QJsonArray{QLatin1String(ActionNames[i]),
                               pad.isEmpty() ? QStringLiteral("Unmapped") : pad,
                               key.isEmpty() ? QStringLiteral("Unmapped") : key});
    }
    return rows;
}

void Bindings::fill(QJsonObject &input)
{
    if (phase == Idle && !message.isEmpty() && messageAge.isValid() &&
        messageAge.elapsed() > MessageLifetimeMs)
        message.clear();
    input.insert("phase", int(phase));
    input.insert("release", release);
    input.insert("keyboardCapture", phase != Idle && keyboardColumn);
    input.insert("message", message);
}

void Bindings::say(const QString &text)
{
    message = text;
    messageAge.start();
}

void Bindings::finish(const char *text)
{
    phase = Idle;
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
    phase = Waiting;
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
    if (phase != Idle)
        finish("Binding canceled");
    QStringList &list = keyboard ? settings.keyboard : settings.gamepad;
    if (!list[which].isEmpty()) {
        list[which].clear();
        settings.markDirty();
    }
    say(QStringLiteral("Binding updated"));
    return {};
}

// A captured input: take it, or open a conflict when another action already has it. A key that
// is still held must be released before the capture ends, so its release never reaches the
// launcher's widgets.
void Bindings::offer(const QString &input, bool pressed)
{
    QStringList &list = column();
    owner = -1;
    for (int i = 0; i < ActionCount; ++i)
        if (i != action && list[i] == input)
            owner = i;
    release = pressed;
    held = pressed ? input : QString();
    if (owner >= 0) {
        phase = Conflict;
        candidate = input;
        say(QStringLiteral("Already assigned to ") + QLatin1String(ActionNames[owner]));
        return;
    }
    if (list[action] != input) {
        list[action] = input;
        settings.markDirty();
    }
    say(QStringLiteral("Binding updated"));
    phase = pressed ? Releasing : Idle;
}

void Bindings::released(const QString &input)
{
    if (release && input == held) {
        release = false;
        held.clear();
        if (phase == Releasing)
            phase = Idle;
    }
}

QString Bindings::key(const QString &name, bool down)
{
    if (!down) {
        released(name);
        return {};
    }
    if (phase == Idle || phase == Releasing)
        return {}; // a late key after the capture ended
    if (name == QLatin1String("Escape")) {
        finish("Binding canceled");
        return {};
    }
    // Gamepad captures only listen to controllers; keys other than Escape do nothing there.
    if (phase == Waiting && keyboardColumn)
        offer(name, true);
    return {};
}

void Bindings::pad(const QString &input, bool active)
{
    if (!active)
        released(input);
    else if (phase == Waiting && !keyboardColumn)
        offer(input, true);
}

QString Bindings::escape()
{
    if (phase != Waiting || !keyboardColumn)
        return QStringLiteral("No keyboard capture is running");
    offer(QStringLiteral("Escape"), false);
    return {};
}

QString Bindings::swap()
{
    if (phase != Conflict)
        return QStringLiteral("No conflicting binding to swap");
    if (release)
        return QStringLiteral("Release the captured input to continue.");
    QStringList &list = column();
    list[owner] = list[action];
    list[action] = candidate;
    settings.markDirty();
    finish("Binding updated");
    return {};
}

void Bindings::cancel()
{
    if (phase == Releasing) {
        // The binding is already taken; only the wait for the key's release ends.
        phase = Idle;
        release = false;
        held.clear();
    } else if (phase != Idle) {
        finish("Binding canceled");
    }
}

void Bindings::reset()
{
    if (phase != Idle)
        finish("Binding canceled");
    const bool changed =
        settings.gamepad != defaultGamepad() || settings.keyboard != defaultKeyboard();
    settings.gamepad = defaultGamepad();
    settings.keyboard = defaultKeyboard();
    if (settings.reset({"stick", "trigger"}) || changed)
        settings.markDirty();
    say(QStringLiteral("Default bindings and activation levels restored"));
}

} // namespace Service
