#pragma once

#include "protocol.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// Game actions, their default bindings and the capture that remaps them. The capture is a small
// state machine driven by the launcher's requests ("bind", "key", "escape", "swap", "cancel");
// its progress is published in the input object as "phase", "release", "keyboardCapture" and
// "message".
namespace Service {

class Settings;

inline constexpr int ActionCount = 9;

// English action names (catalogue texts) and the keys under which the settings file keeps them.
extern const char *const ActionNames[ActionCount];
extern const char *const ActionKeys[ActionCount];

QStringList defaultGamepad();
QStringList defaultKeyboard();
// True for the gamepad inputs that the launcher's catalogue names.
bool isGamepadInput(const QString &name);

class Bindings
{
public:
    using Phase = Protocol::Phase;

    explicit Bindings(Settings &settings);

    // State "bindings": one [action, gamepad, keyboard] row per action, "Unmapped" when empty.
    QJsonArray rows() const;
    void fill(QJsonObject &input);

    // Each returns an error text, or an empty string when the request was taken.
    QString bind(int action, bool keyboardColumn);
    QString clear(int action, bool keyboardColumn);
    QString key(const QString &name, bool down);
    // A gamepad input became active or inactive; only a gamepad capture takes it.
    void pad(const QString &input, bool active);
    QString escape();
    QString swap();
    void cancel();
    void reset();

    bool capturing() const { return phase != Phase::Idle; }

private:
    void released(const QString &input);
    const QStringList &column() const;
    QString offer(const QString &input, bool pressed);
    void finish(const char *text);
    void say(const QString &text);

    Settings &settings;
    Phase phase = Phase::Idle;
    int action = -1;
    bool keyboardColumn = false;
    bool release = false;
    QString held;      // the key whose release ends the capture
    QString candidate; // the captured input while a conflict is open
    int owner = -1;    // the action that already has the candidate
    QString message;
    QElapsedTimer messageAge;
};

} // namespace Service
