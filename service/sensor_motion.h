#pragma once

#include <QJsonObject>

// How motion readings become the preview's tilt and pointer: the configured sensitivity,
// inversion and dead zones, and a controller's gyroscope bias. Nothing here knows SDL, so the
// arithmetic can be checked without a controller.
namespace Service {

struct MotionSettings
{
    double gain = 1.0;
    bool invertTilt = false;
    double deadzone = 0.008; // rad/s
    int pointer = 1;         // 0 mouse, 1 gyroscope, 2 right stick, 3 disabled
    double sensitivity = 1.5;
    bool invertX = false;
    bool invertY = false;
    double stickDeadzone = 0.15;

    static MotionSettings from(const QJsonObject &config);
};

// Degrees of tilt from a raw tilt and its zero: times the gain, reversed when set, at most a
// quarter turn either way.
double tiltAngle(double raw, double zero, const MotionSettings &settings);

// A stick (each axis -1 to 1) as the pointer: still inside the dead zone, otherwise scaled by
// the sensitivity relative to its default and kept inside the preview.
void stickPointer(double x, double y, const MotionSettings &settings, double *px, double *py);

// The pointer's axes flipped as set.
void invertPointer(const MotionSettings &settings, double *x, double *y);

// One controller's gyroscope and accelerometer. The gyro moves a pointer (turning left and
// pitching up are positive) that stays inside -1 to 1; the accelerometer's gravity gives the
// tilt, rolling the controller to the right being positive.
class SensorMotion
{
public:
    enum class Calibration { Idle, Running, Restarted, Done };

    // A gyroscope sample in rad/s around SDL's axes (x pitch, y yaw, z roll), and the seconds
    // since the previous one. While calibrating, the pointer holds still.
    Calibration gyro(const float rate[3], double seconds, const MotionSettings &settings);
    // An accelerometer sample in m/s², smoothed a little against the hand's tremor.
    void accel(const float reading[3]);

    double rawTilt() const;
    double tilt(const MotionSettings &settings) const;
    double x() const { return pointerX; }
    double y() const { return pointerY; }

    // The pointer back to the centre, the tilt measured from the way the controller is held.
    void recenter();
    // Forgets the zero and puts the pointer back to the centre.
    void reset();

    void setBias(double x, double y, double z);
    const double *bias() const { return offset; }

    // Averages the gyro at rest; any movement starts the average again.
    void startCalibration();
    void stopCalibration() { measuring = false; }
    bool calibrating() const { return measuring; }
    int samples() const { return count; }

    // Full deflection at the default sensitivity (1.5) is a third of a radian, about 19°.
    static constexpr double PointerScale = 2.0;
    static constexpr double CalibrationSeconds = 2.0;
    static constexpr int CalibrationSamples = 20;
    // A reading this far (rad/s) from the average so far counts as movement.
    static constexpr double MovementLimit = 0.1;

private:
    double pointerX = 0;
    double pointerY = 0;
    double gravity[3] = {0, 0, 0};
    bool gravityKnown = false;
    double zero = 0;
    double offset[3] = {0, 0, 0};

    bool measuring = false;
    double sum[3] = {0, 0, 0};
    int count = 0;
    double still = 0;
};

} // namespace Service
