#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

// Controllers and motion sensors. Without real controller support the service offers a
// simulated "Demo controller" with a gyroscope and an accelerometer, whose readings are worked
// out from the time elapsed, so every poll sees smoothly moving values however often it comes.
namespace Service {

class Settings;

class Motion : public QObject
{
public:
    Motion(Settings &settings, bool demoController);

    // The live members of the input object: devices, readings, calibration progress.
    void fill(QJsonObject &input, bool gameRunning) const;

    // Each returns an error text, or an empty string when the request was taken.
    QString select(int id);
    QString recenter();
    QString calibrate(bool gameRunning);
    void reset();

    bool calibrating() const { return calibration.isActive(); }

    static constexpr int DemoId = 1;
    static constexpr int CalibrationMs = 2000;

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

    Settings &settings;
    bool demo;
    int selected = 0;
    QElapsedTimer clock;
    // While the simulated player holds still for a calibration, the demo readings stand still.
    double frozenAt = -1;
    double pausedFor = 0;
    Raw zero;
    QTimer calibration;
    QString message;
};

} // namespace Service
