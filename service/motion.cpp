#include "motion.h"

#include "settings.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Service {

namespace {

const QString DemoName = QStringLiteral("Demo controller");

// A full turn of the sine, for the demo's slow swings.
double wave(double seconds, double period, double phase = 0)
{
    return std::sin(2 * std::numbers::pi * seconds / period + phase);
}

double bounded(double value)
{
    return std::clamp(value, -1.0, 1.0);
}

} // namespace

Motion::Motion(Settings &settings, bool demoController)
    : settings(settings), demo(demoController), selected(demoController ? DemoId : 0)
{
    clock.start();
    calibration.setSingleShot(true);
    calibration.setInterval(CalibrationMs);
    connect(&calibration, &QTimer::timeout, this, &Motion::finishCalibration);
}

double Motion::seconds() const
{
    if (frozenAt >= 0)
        return frozenAt;
    return clock.elapsed() / 1000.0 - pausedFor;
}

// A player slowly rocking the controller: tilt swings about ±30 degrees, the gyro pointer
// drifts over most of the preview and the right stick circles.
Motion::Raw Motion::demoReading() const
{
    const double t = seconds();
    Raw raw;
    raw.tilt = 26 * wave(t, 7.0) + 6 * wave(t, 2.3, 1.0);
    raw.x = 0.7 * wave(t, 5.3);
    raw.y = 0.5 * wave(t, 3.7, 0.8);
    raw.stickX = 0.6 * std::cos(2 * std::numbers::pi * t / 4.0);
    raw.stickY = 0.6 * std::sin(2 * std::numbers::pi * t / 4.0);
    return raw;
}

void Motion::fill(QJsonObject &input, bool gameRunning) const
{
    const QJsonObject config = settings.config();
    const bool present = demo && selected == DemoId;
    QJsonArray devices;
    if (demo)
        devices.append(QJsonObject{{"id", DemoId}, {"name", DemoName}});
    input.insert("devices", devices);
    input.insert("selected", selected);
    input.insert("gyro", present);
    input.insert("accel", present);
    // The game owns the controllers while it runs.
    input.insert("previewPaused", present && gameRunning);
    input.insert("calibrating", calibrating());
    input.insert("motionMessage", message);

    double tilt = 0, x = 0, y = 0;
    if (present && !gameRunning) {
        const Raw raw = demoReading();
        tilt = (raw.tilt - zero.tilt) * config.value("gain").toDouble(1.0);
        if (config.value("invertTilt").toBool())
            tilt = -tilt;
        tilt = std::clamp(tilt, -90.0, 90.0);
        const double sensitivity = config.value("sensitivity").toDouble(1.5) / 1.5;
        switch (config.value("pointer").toInt()) {
        case 2: { // right stick, inside its dead zone nothing moves
            const double dx = raw.stickX - zero.stickX;
            const double dy = raw.stickY - zero.stickY;
            if (std::hypot(dx, dy) > config.value("stickDeadzone").toDouble()) {
                x = bounded(dx * sensitivity);
                y = bounded(dy * sensitivity);
            }
            break;
        }
        case 3: // pointer disabled
            break;
        default: // mouse or gyroscope: the preview follows the gyro
            x = bounded((raw.x - zero.x) * sensitivity);
            y = bounded((raw.y - zero.y) * sensitivity);
            break;
        }
        if (config.value("invertX").toBool())
            x = -x;
        if (config.value("invertY").toBool())
            y = -y;
    }
    input.insert("tiltAngle", std::round(tilt * 100) / 100);
    input.insert("x", std::round(x * 1000) / 1000);
    input.insert("y", std::round(y * 1000) / 1000);
}

QString Motion::select(int id)
{
    if (!(demo && id == DemoId))
        return QStringLiteral("No controller connected");
    selected = id;
    return {};
}

QString Motion::recenter()
{
    if (demo && selected == DemoId)
        zero = demoReading();
    message.clear();
    return {};
}

QString Motion::calibrate(bool gameRunning)
{
    if (gameRunning)
        return QStringLiteral("Game is running");
    if (!settings.error().isEmpty())
        return QStringLiteral("Settings need attention. Open Diagnostics to fix them.");
    if (!(demo && selected == DemoId))
        return QStringLiteral("Calibration stopped: sensor data unavailable.");
    if (calibrating())
        return {};
    frozenAt = seconds();
    message.clear();
    calibration.start();
    return {};
}

void Motion::finishCalibration()
{
    // The simulated gyro's resting bias, as a real calibration would have measured it.
    settings.calibration.insert(DemoName, QJsonObject{{"gyroBiasX", 0.0021},
                                                      {"gyroBiasY", -0.0013},
                                                      {"gyroBiasZ", 0.0004},
                                                      {"samples", 200}});
    settings.markDirty();
    pausedFor = clock.elapsed() / 1000.0 - frozenAt;
    frozenAt = -1;
    message = QStringLiteral("Calibration complete. Save settings to use it in game.");
}

void Motion::reset()
{
    settings.reset({"tilt", "invertTilt", "gain", "deadzone", "keyboardMotion", "pointer",
                    "sensitivity", "invertX", "invertY", "stickDeadzone"});
    zero = {};
    message.clear();
}

} // namespace Service
