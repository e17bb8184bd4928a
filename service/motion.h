#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include "sensor_motion.h"

#include <map>

// The motion preview and calibration of the selected controller: a game controller that SDL
// opened, or the simulated "Demo controller" with a gyroscope and an accelerometer, whose
// readings are worked out from the time elapsed, so every poll sees smoothly moving values
// however often it comes.
namespace Service {

class Controllers;
class Settings;

class Motion : public QObject
{
public:
    Motion(Settings &settings, bool demoController, Controllers &controllers);

    // The live members of the input object: devices, readings, calibration progress.
    void fill(QJsonObject &input, bool gameRunning) const;

    // Each returns an error text, or an empty string when the request was taken.
    QString select(int id);
    QString recenter();
    QString calibrate(bool gameRunning);
    void reset();

    bool calibrating() const { return calibration.isActive() || calibratingPad != 0; }
    int selection() const { return selected; }

    static constexpr int DemoId = 1;
    static constexpr int CalibrationMs = 2000;
    // A pad calibration gives up when its gyro goes quiet this long, or the player never
    // holds still long enough.
    static constexpr int SensorSilenceMs = 500;
    static constexpr int CalibrationLimitMs = 15000;

private:
    struct Raw
    {
        double tilt = 0; // degrees
        double x = 0;
        double y = 0;
        double stickX = 0;
        double stickY = 0;
    };
    double seconds() const;
    Raw demoReading() const;
    void finishCalibration();
    void padAdded(int id);
    void padRemoved(int id);
    void sample(int id, bool gyro, const float data[3], double seconds);
    void watchPadCalibration();
    void stopPadCalibration(const char *text);

    Settings &settings;
    Controllers &controllers;
    bool demo;
    int selected = 0;
    // The player picked the selection with "pad"; a new pad does not take it over then.
    bool chosen = false;
    std::map<int, SensorMotion> sensors; // by pad id
    int calibratingPad = 0;
    QTimer watchdog;
    QElapsedTimer calibrationAge;
    QElapsedTimer sampleAge;
    QElapsedTimer clock;
    // While the simulated player holds still for a calibration, the demo readings stand still.
    double frozenAt = -1;
    double pausedFor = 0;
    Raw zero;
    QTimer calibration;
    QString message;
};

} // namespace Service
