#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

union SDL_Event;

// Game controllers through SDL: the connected pads (hot-plug included), their buttons, sticks
// and triggers as the gamepad inputs the bindings name, the launcher's navigation presses and
// the motion sensors' samples. SDL is started without video, so none of this needs a display;
// where SDL cannot start, or sees no controller, there are simply no pads.
namespace Service {

class VirtualController;

class Controllers : public QObject
{
public:
    struct Pad
    {
        int id = 0;    // the service's id, never reused while it runs
        QString name;  // as listed to the player; numbered when two share a name
        QString model; // what calibrations are stored under
        bool gyro = false;
        bool accel = false;
    };

    // How far a stick or trigger must move before it counts as pressed (0 to 1).
    struct Levels
    {
        double stick = 0.5;
        double trigger = 0.5;
    };

    Controllers();
    ~Controllers() override;

    bool started() const { return running; }
    const QList<Pad> &pads() const { return list; }
    const Pad *find(int id) const;
    // The right stick of a pad, each axis -1 to 1 with y growing downwards.
    bool rightStick(int id, double *x, double *y) const;

    // Handles what SDL has seen since the last call. A timer calls it; tests may too.
    void pump();

    // Hooks set by the service.
    // A gamepad input became active or inactive: a button pressed or released, a stick or
    // trigger moved from near its centre past its level, or back near its centre.
    std::function<void(const QString &input, bool active)> onInput;
    // Asked at every navigation press and repeat; nothing is queued while it says no.
    std::function<bool()> navigationWanted;
    std::function<Levels()> levels;
    // Gyroscope (rad/s) or accelerometer (m/s²) sample of a pad, with the seconds since that
    // sensor's previous one.
    std::function<void(int id, bool gyro, const float data[3], double seconds)> onSensor;
    std::function<void(int id)> onAdded;
    std::function<void(int id)> onRemoved;
    // The time in milliseconds; replaceable so that tests can hold time still.
    std::function<qint64()> clock;

    // Navigation entries ("dpup", "dpdown", "dpleft", "dpright", "south") since the last call.
    QStringList takeNavigation();

    // A held direction repeats after this long, then at this interval.
    static constexpr qint64 RepeatDelayMs = 400;
    static constexpr qint64 RepeatIntervalMs = 90;
    // Entries beyond this wait for nobody: a launcher that stopped reading gets the first ones.
    static constexpr int NavigationLimit = 16;

private:
    struct Open;

    void handle(const SDL_Event &event);
    void add(int deviceIndex);
    void remove(int instance);
    void button(Open &pad, int button, bool down);
    void axes(Open &pad);
    void navigate(const char *entry);
    void schedule();
    qint64 now() const;

    bool running = false;
    std::vector<std::unique_ptr<Open>> open;
    QList<Pad> list;
    int nextId = 2; // 1 is the simulated controller's
    QTimer timer;
    QElapsedTimer elapsed;
    QStringList navigation;
    // The direction being held for key-repeat: the pad's SDL instance and the button.
    int repeatInstance = -1;
    int repeatButton = -1;
    qint64 repeatAt = 0;
    std::unique_ptr<VirtualController> scripted;
};

} // namespace Service
