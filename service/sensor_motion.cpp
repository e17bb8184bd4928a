#include "sensor_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Service {

MotionSettings MotionSettings::from(const QJsonObject &config)
{
    MotionSettings settings;
    settings.gain = config.value("gain").toDouble(settings.gain);
    settings.invertTilt = config.value("invertTilt").toBool();
    settings.deadzone = config.value("deadzone").toDouble(settings.deadzone);
    settings.pointer = config.value("pointer").toInt(settings.pointer);
    settings.sensitivity = config.value("sensitivity").toDouble(settings.sensitivity);
    settings.invertX = config.value("invertX").toBool();
    settings.invertY = config.value("invertY").toBool();
    settings.stickDeadzone = config.value("stickDeadzone").toDouble(settings.stickDeadzone);
    return settings;
}

double tiltAngle(double raw, double zero, const MotionSettings &settings)
{
    double tilt = (raw - zero) * settings.gain;
    if (settings.invertTilt)
        tilt = -tilt;
    return std::clamp(tilt, -90.0, 90.0);
}

void stickPointer(double x, double y, const MotionSettings &settings, double *px, double *py)
{
    *px = *py = 0;
    if (std::hypot(x, y) <= settings.stickDeadzone)
        return;
    const double scale = settings.sensitivity / 1.5;
    *px = std::clamp(x * scale, -1.0, 1.0);
    *py = std::clamp(y * scale, -1.0, 1.0);
}

void invertPointer(const MotionSettings &settings, double *x, double *y)
{
    if (settings.invertX)
        *x = -*x;
    if (settings.invertY)
        *y = -*y;
}

SensorMotion::Calibration SensorMotion::gyro(const float rate[3], double seconds,
                                             const MotionSettings &settings)
{
    if (measuring) {
        for (int i = 0; count > 0 && i < 3; ++i)
            if (std::abs(rate[i] - sum[i] / count) > MovementLimit) {
                startCalibration();
                return Calibration::Restarted;
            }
        for (int i = 0; i < 3; ++i)
            sum[i] += rate[i];
        ++count;
        still += seconds;
        if (still < CalibrationSeconds || count < CalibrationSamples)
            return Calibration::Running;
        setBias(sum[0] / count, sum[1] / count, sum[2] / count);
        measuring = false;
        return Calibration::Done;
    }

    const double pitch = rate[0] - offset[0];
    const double yaw = rate[1] - offset[1];
    if (std::hypot(pitch, yaw) <= settings.deadzone)
        return Calibration::Idle;
    const double scale = seconds * settings.sensitivity * PointerScale;
    pointerX = std::clamp(pointerX + yaw * scale, -1.0, 1.0);
    pointerY = std::clamp(pointerY + pitch * scale, -1.0, 1.0);
    return Calibration::Idle;
}

void SensorMotion::accel(const float reading[3])
{
    constexpr double Smoothing = 0.25;
    for (int i = 0; i < 3; ++i)
        gravity[i] = gravityKnown ? gravity[i] + (reading[i] - gravity[i]) * Smoothing : reading[i];
    gravityKnown = true;
}

// The roll around the controller's length, whatever its pitch: SDL's x points to the right,
// so a controller rolled to the right feels gravity's pull up towards its left.
double SensorMotion::rawTilt() const
{
    if (!gravityKnown)
        return 0;
    return std::atan2(-gravity[0], std::hypot(gravity[1], gravity[2])) * 180 / std::numbers::pi;
}

double SensorMotion::tilt(const MotionSettings &settings) const
{
    return tiltAngle(rawTilt(), zero, settings);
}

void SensorMotion::recenter()
{
    pointerX = pointerY = 0;
    zero = rawTilt();
}

void SensorMotion::reset()
{
    pointerX = pointerY = 0;
    zero = 0;
}

void SensorMotion::setBias(double x, double y, double z)
{
    offset[0] = x;
    offset[1] = y;
    offset[2] = z;
}

void SensorMotion::startCalibration()
{
    measuring = true;
    sum[0] = sum[1] = sum[2] = 0;
    count = 0;
    still = 0;
}

} // namespace Service
