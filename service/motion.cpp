#include "motion.h"

#include "controllers.h"
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

const char *const SensorsUnavailable = "Calibration stopped: sensor data unavailable.";
const char *const CalibrationComplete = "Calibration complete. Save settings to use it in game.";

} // namespace

Motion::Motion(Settings &settings, bool demoController, Controllers &controllers)
    : settings(settings), controllers(controllers), demo(demoController),
      selected(demoController ? DemoId : 0)
{
    clock.start();
    calibration.setSingleShot(true);
    calibration.setInterval(CalibrationMs);
    connect(&calibration, &QTimer::timeout, this, &Motion::finishCalibration);
    watchdog.setInterval(100);
    connect(&watchdog, &QTimer::timeout, this, &Motion::watchPadCalibration);
    controllers.onAdded = [this](int id) { padAdded(id); };
    controllers.onRemoved = [this](int id) { padRemoved(id); };
    controllers.onSensor = [this](int id, bool gyro, const float data[3], double seconds) {
        sample(id, gyro, data, seconds);
    };
    for (const Controllers::Pad &pad : controllers.pads())
        padAdded(pad.id);
}

// A new pad starts with its model's stored calibration, and becomes the preview's controller
// unless the player chose another one.
void Motion::padAdded(int id)
{
    const Controllers::Pad *pad = controllers.find(id);
    if (!pad)
        return;
    SensorMotion &motion = sensors[id];
    const QJsonObject stored = settings.calibrations().value(pad->model).toObject();
    motion.setBias(stored.value("gyroBiasX").toDouble(), stored.value("gyroBiasY").toDouble(),
                   stored.value("gyroBiasZ").toDouble());
    if (selected == 0 || (selected == DemoId && !chosen)) {
        selected = id;
        chosen = false;
    }
}

// The preview falls back to the first controller still listed.
void Motion::padRemoved(int id)
{
    if (calibratingPad == id)
        stopPadCalibration(SensorsUnavailable);
    sensors.erase(id);
    if (selected != id)
        return;
    chosen = false;
    if (!controllers.pads().isEmpty())
        selected = controllers.pads().first().id;
    else
        selected = demo ? DemoId : 0;
}

void Motion::sample(int id, bool gyro, const float data[3], double seconds)
{
    const auto found = sensors.find(id);
    if (found == sensors.end())
        return;
    SensorMotion &motion = found->second;
    if (!gyro) {
        motion.accel(data);
        return;
    }
    if (id == calibratingPad)
        sampleAge.restart();
    if (motion.gyro(data, seconds, MotionSettings::from(settings.config())) !=
        SensorMotion::Calibration::Done)
        return;
    const Controllers::Pad *pad = controllers.find(id);
    const double *bias = motion.bias();
    if (pad) {
        settings.calibrate(pad->model, QJsonObject{{"gyroBiasX", bias[0]},
                                                   {"gyroBiasY", bias[1]},
                                                   {"gyroBiasZ", bias[2]},
                                                   {"samples", motion.samples()}});
    }
    calibratingPad = 0;
    watchdog.stop();
    message = QLatin1String(CalibrationComplete);
}

void Motion::watchPadCalibration()
{
    if (calibratingPad == 0)
        watchdog.stop();
    else if (sampleAge.elapsed() > SensorSilenceMs)
        stopPadCalibration(SensorsUnavailable);
    else if (calibrationAge.elapsed() > CalibrationLimitMs)
        stopPadCalibration("Hold still; movement restarts calibration");
}

void Motion::stopPadCalibration(const char *text)
{
    if (const auto found = sensors.find(calibratingPad); found != sensors.end())
        found->second.stopCalibration();
    calibratingPad = 0;
    watchdog.stop();
    message = QLatin1String(text);
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
    const MotionSettings config = MotionSettings::from(settings.config());
    const bool simulated = demo && selected == DemoId;
    const Controllers::Pad *pad = simulated ? nullptr : controllers.find(selected);
    QJsonArray devices;
    for (const Controllers::Pad &each : controllers.pads())
        devices.append(QJsonObject{{"id", each.id}, {"name", each.name}});
    if (demo)
        devices.append(QJsonObject{{"id", DemoId}, {"name", DemoName}});
    input.insert("devices", devices);
    input.insert("selected", selected);
    input.insert("gyro", simulated || (pad && pad->gyro));
    input.insert("accel", simulated || (pad && pad->accel));
    // The game owns the controllers while it runs.
    input.insert("previewPaused", (simulated || pad) && gameRunning);
    input.insert("calibrating", calibrating());
    input.insert("motionMessage", message);

    double tilt = 0, x = 0, y = 0;
    if (simulated && !gameRunning) {
        const Raw raw = demoReading();
        tilt = tiltAngle(raw.tilt, zero.tilt, config);
        const double sensitivity = config.sensitivity / 1.5;
        switch (config.pointer) {
        case 2: // right stick
            stickPointer(raw.stickX - zero.stickX, raw.stickY - zero.stickY, config, &x, &y);
            break;
        case 3: // pointer disabled
            break;
        default: // mouse or gyroscope: the preview follows the gyro
            x = bounded((raw.x - zero.x) * sensitivity);
            y = bounded((raw.y - zero.y) * sensitivity);
            break;
        }
        invertPointer(config, &x, &y);
    } else if (pad && !gameRunning) {
        const auto found = sensors.find(pad->id);
        const SensorMotion *motion = found == sensors.end() ? nullptr : &found->second;
        if (motion && pad->accel)
            tilt = motion->tilt(config);
        if (config.pointer == 2) {
            double stickX = 0, stickY = 0;
            if (controllers.rightStick(pad->id, &stickX, &stickY))
                stickPointer(stickX, stickY, config, &x, &y);
        } else if (config.pointer != 3 && motion && pad->gyro) {
            x = motion->x();
            y = motion->y();
        }
        invertPointer(config, &x, &y);
    }
    input.insert("tiltAngle", std::round(tilt * 100) / 100);
    input.insert("x", std::round(x * 1000) / 1000);
    input.insert("y", std::round(y * 1000) / 1000);
}

QString Motion::select(int id)
{
    if (!(demo && id == DemoId) && !controllers.find(id))
        return QStringLiteral("No controller connected");
    selected = id;
    chosen = true;
    return {};
}

QString Motion::recenter()
{
    if (demo && selected == DemoId)
        zero = demoReading();
    else if (const auto found = sensors.find(selected); found != sensors.end())
        found->second.recenter();
    message.clear();
    return {};
}

QString Motion::calibrate(bool gameRunning)
{
    if (gameRunning)
        return QStringLiteral("Game is running");
    if (!settings.error().isEmpty())
        return QStringLiteral("Settings need attention. Open Diagnostics to fix them.");
    if (calibrating())
        return {};
    if (demo && selected == DemoId) {
        frozenAt = seconds();
        message.clear();
        calibration.start();
        return {};
    }
    const Controllers::Pad *pad = controllers.find(selected);
    const auto found = sensors.find(selected);
    if (!pad || !pad->gyro || !pad->accel || found == sensors.end())
        return QLatin1String(SensorsUnavailable);
    found->second.startCalibration();
    calibratingPad = selected;
    calibrationAge.start();
    sampleAge.start();
    watchdog.start();
    message.clear();
    return {};
}

void Motion::finishCalibration()
{
    // The simulated gyro's resting bias, as a real calibration would have measured it.
    settings.calibrate(DemoName, QJsonObject{{"gyroBiasX", 0.0021},
                                             {"gyroBiasY", -0.0013},
                                             {"gyroBiasZ", 0.0004},
                                             {"samples", 200}});
    pausedFor = clock.elapsed() / 1000.0 - frozenAt;
    frozenAt = -1;
    message = QLatin1String(CalibrationComplete);
}

void Motion::reset()
{
    settings.reset({"tilt", "invertTilt", "gain", "deadzone", "keyboardMotion", "pointer",
                    "sensitivity", "invertX", "invertY", "stickDeadzone"});
    zero = {};
    for (auto &[id, motion] : sensors)
        motion.reset();
    message.clear();
}

} // namespace Service
