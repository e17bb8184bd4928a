// Game controllers in the launcher service, without hardware: SDL's virtual controllers
// plugged into this process, and the service's own controller code pumped step by step, so
// every press, hold and release is seen exactly when the test says.

#include "controllers.h"
#include "sensor_motion.h"
#include "service.h"
#include "support.h"
#include "virtual_controller.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <SDL.h>

#include <cmath>
#include <memory>
#include <numbers>

using namespace Service;

namespace {

// A virtual controller driven by the same script lines that TOBBLE_VIRTUAL_CONTROLLER takes.
class Pad
{
public:
    explicit Pad(const QString &folder)
        : script(QDir(folder).filePath(QStringLiteral("pad-%1.txt").arg(++made))),
          controller(std::make_unique<VirtualController>(script))
    {
    }

    // Carries out one line; the next pump shows SDL's view of it.
    void operator()(const QByteArray &line)
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::Append));
        file.write(line + '\n');
        file.close();
        controller->step();
    }

private:
    static inline int made = 0;
    QString script;
    std::unique_ptr<VirtualController> controller;
};

const QString South = QStringLiteral("South (A / Cross)");

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void padsComeAndGoAndTheSelectionFollows();
    void sticksAndTriggersNeedTheirLevelAndTheCentre();
    void gamepadCaptureTakesButtonsAndSticks();
    void conflictWaitsForTheReleaseThenSwaps();
    void navigationFollowsFocusAndCaptures();
    void rightStickDrivesThePointer();
    void gyroAndGravityArithmetic();
    void gyroCalibrationAveragesStillReadings();

private:
    // One request through the service, as the launcher sends it; the reply as an object.
    QJsonObject ask(const QString &cmd, QJsonObject extra = {}, bool focused = true);
    QJsonObject poll(bool focused = true) { return ask("poll", {}, focused); }
    QJsonArray row(int action);
    // Pads named `name` in the service's list.
    QList<QJsonObject> listed(const QString &name);

    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<LauncherService> service;
    qint64 now = 0;
    void pump() { service->gamepads().pump(); }
};

void TestController::init()
{
    QuiltTest::resetShared();
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    QDir(root->path()).mkpath(QStringLiteral("local/user"));
    service = std::make_unique<LauncherService>(root->path());
    QVERIFY(service->gamepads().started());
    now = 1000;
    service->gamepads().clock = [this] { return now; };
    ask("hello");
}

void TestController::cleanup()
{
    QuiltTest::resetShared();
    service.reset();
    root.reset();
}

QJsonObject TestController::ask(const QString &cmd, QJsonObject extra, bool focused)
{
    extra.insert("cmd", cmd);
    extra.insert("focused", focused);
    extra.insert("controls", true);
    return QJsonDocument::fromJson(
               service->handle(QJsonDocument(extra).toJson(QJsonDocument::Compact)))
        .object();
}

QJsonArray TestController::row(int action)
{
    return service->state().value("bindings").toArray().at(action).toArray();
}

QList<QJsonObject> TestController::listed(const QString &name)
{
    QList<QJsonObject> found;
    for (const QJsonValue &device : poll().value("input").toObject().value("devices").toArray())
        if (device.toObject().value("name").toString() == name)
            found << device.toObject();
    return found;
}

void TestController::padsComeAndGoAndTheSelectionFollows()
{
    // The simulated controller is there from the start, and selected
    QVERIFY(QFile(root->filePath("local/user/demo-controller")).open(QIODevice::WriteOnly));
    service = std::make_unique<LauncherService>(root->path());
    pump();
    const QString name = QLatin1String(VirtualController::Name);
    QCOMPARE(poll().value("input").toObject().value("selected").toInt(), 1);

    // A controller plugged in takes over the preview the player had not chosen
    Pad first(root->path());
    pump();
    QCOMPARE(listed(name).size(), 1);
    const int firstId = listed(name).at(0).value("id").toInt();
    QVERIFY(firstId != 1);
    QJsonObject input = poll().value("input").toObject();
    QCOMPARE(input.value("selected").toInt(), firstId);
    QCOMPARE(input.value("devices").toArray().last().toObject().value("name").toString(),
             QStringLiteral("Demo controller"));
    // SDL's virtual controllers have no motion sensors
    QCOMPARE(input.value("gyro").toBool(), false);
    QCOMPARE(input.value("accel").toBool(), false);
    QCOMPARE(ask("calibrate").value("error").toString(),
             QStringLiteral("Calibration stopped: sensor data unavailable."));

    // A second one of the same model is told apart, and can be picked
    Pad second(root->path());
    pump();
    const QList<QJsonObject> numbered = listed(name + QStringLiteral(" (2)"));
    QCOMPARE(numbered.size(), 1);
    const int secondId = numbered.at(0).value("id").toInt();
    QVERIFY(secondId != firstId);
    QVERIFY(!ask("pad", {{"id", secondId}}).contains("error"));
    QCOMPARE(poll().value("input").toObject().value("selected").toInt(), secondId);

    // Unplugging the selected one falls back to the first controller listed
    second("unplug");
    pump();
    QVERIFY(listed(name + QStringLiteral(" (2)")).isEmpty());
    QCOMPARE(poll().value("input").toObject().value("selected").toInt(), firstId);
    QCOMPARE(ask("pad", {{"id", secondId}}).value("error").toString(),
             QStringLiteral("No controller connected"));

    // Chosen by the player, the simulated controller keeps the preview when a pad comes back
    QVERIFY(!ask("pad", {{"id", 1}}).contains("error"));
    second("plug");
    pump();
    const QList<QJsonObject> back = listed(name + QStringLiteral(" (2)"));
    QCOMPARE(back.size(), 1);
    QVERIFY(back.at(0).value("id").toInt() != secondId); // ids are never reused
    QCOMPARE(poll().value("input").toObject().value("selected").toInt(), 1);

    // All gone: only the simulated controller is left
    first("unplug");
    second("unplug");
    pump();
    QVERIFY(listed(name).isEmpty());
    input = poll().value("input").toObject();
    QCOMPARE(input.value("selected").toInt(), 1);
    QCOMPARE(input.value("devices").toArray().size(), 1);
}

void TestController::sticksAndTriggersNeedTheirLevelAndTheCentre()
{
    Controllers &pads = service->gamepads();
    QList<QPair<QString, bool>> seen;
    pads.onInput = [&](const QString &input, bool active) { seen.append({input, active}); };
    pads.levels = [] { return Controllers::Levels{0.5, 0.8}; };
    Pad pad(root->path());
    pump();
    seen.clear();

    // A button is active while it is held
    pad("press a");
    pump();
    pad("release a");
    pump();
    QCOMPARE(seen, (QList<QPair<QString, bool>>{{South, true}, {South, false}}));
    seen.clear();

    // A stick counts from its level, and lets go only near its centre
    const QString up = QStringLiteral("Left stick up");
    pad("axis lefty -0.45");
    pump();
    QVERIFY(seen.isEmpty());
    pad("axis lefty -0.6");
    pump();
    QCOMPARE(seen, (QList<QPair<QString, bool>>{{up, true}}));
    pad("axis lefty -0.3"); // below the level, not yet near the centre
    pump();
    pad("axis lefty -1");
    pump();
    QCOMPARE(seen.size(), 1);
    pad("axis lefty -0.2");
    pump();
    QCOMPARE(seen.last(), qMakePair(up, false));
    pad("axis lefty 0.7");
    pump();
    QCOMPARE(seen.last(), qMakePair(QStringLiteral("Left stick down"), true));
    pad("axis lefty 0");
    pump();
    seen.clear();

    // Triggers have their own level
    const QString trigger = QStringLiteral("Right trigger (RT / R2)");
    pad("axis righttrigger 0.7");
    pump();
    QVERIFY(seen.isEmpty());
    pad("axis righttrigger 0.9");
    pump();
    pad("axis righttrigger 0");
    pump();
    QCOMPARE(seen, (QList<QPair<QString, bool>>{{trigger, true}, {trigger, false}}));
    seen.clear();

    // Unplugged while held: the input is let go
    pad("axis rightx -1");
    pump();
    pad("unplug");
    pump();
    const QString left = QStringLiteral("Right stick left");
    QCOMPARE(seen, (QList<QPair<QString, bool>>{{left, true}, {left, false}}));
}

void TestController::gamepadCaptureTakesButtonsAndSticks()
{
    Pad pad(root->path());
    pump();

    // South is free once "Jump / Confirm" has lost it; "Home" takes it
    QVERIFY(!ask("clear", {{"action", 4}, {"keyboard", false}}).contains("error"));
    QVERIFY(!ask("bind", {{"action", 8}, {"keyboard", false}}).contains("error"));
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 1);
    pad("press a");
    pump();
    QJsonObject input = poll().value("input").toObject();
    QCOMPARE(input.value("release").toBool(), true);
    QCOMPARE(input.value("message").toString(), QStringLiteral("Binding updated"));
    QCOMPARE(row(8).at(1).toString(), South);
    QVERIFY(input.value("phase").toInt() != 0);
    pad("release a");
    pump();
    input = poll().value("input").toObject();
    QCOMPARE(input.value("phase").toInt(), 0);
    QCOMPARE(input.value("release").toBool(), false);
    QVERIFY(service->state().value("dirty").toBool());

    // A keyboard capture does not listen to the pad
    QVERIFY(!ask("bind", {{"action", 0}, {"keyboard", true}}).contains("error"));
    pad("press b");
    pump();
    pad("release b");
    pump();
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 1);
    QCOMPARE(row(0).at(2).toString(), QStringLiteral("Up"));
    ask("cancel");

    // A stick held down as the capture starts must come back before it counts
    pad("axis lefty 1");
    pump();
    QVERIFY(!ask("bind", {{"action", 0}, {"keyboard", false}}).contains("error"));
    pad("axis lefty 0.6");
    pump();
    pad("axis lefty 1");
    pump();
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 1);
    pad("axis lefty 0");
    pump();
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 1);
    pad("axis lefty -1");
    pump();
    QCOMPARE(row(0).at(1).toString(), QStringLiteral("Left stick up"));
    QVERIFY(poll().value("input").toObject().value("release").toBool());
    pad("axis lefty 0");
    pump();
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 0);

    // The activation level comes from the settings
    QVERIFY(!ask("change", {{"key", "trigger"}, {"value", 0.9}}).contains("error"));
    QVERIFY(!ask("bind", {{"action", 1}, {"keyboard", false}}).contains("error"));
    pad("axis lefttrigger 0.8");
    pump();
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 1);
    pad("axis lefttrigger 1");
    pump();
    QCOMPARE(row(1).at(1).toString(), QStringLiteral("Left trigger (LT / L2)"));
}

void TestController::conflictWaitsForTheReleaseThenSwaps()
{
    Pad pad(root->path());
    pump();
    const QString north = row(8).at(1).toString();
    QCOMPARE(north, QStringLiteral("North (Y / Triangle)"));
    QCOMPARE(row(4).at(1).toString(), South);

    QVERIFY(!ask("bind", {{"action", 8}, {"keyboard", false}}).contains("error"));
    pad("press a");
    pump();
    QJsonObject input = poll().value("input").toObject();
    QCOMPARE(input.value("phase").toInt(), 3);
    QCOMPARE(input.value("release").toBool(), true);
    QCOMPARE(input.value("message").toString(),
             QStringLiteral("Already assigned to Jump / Confirm"));
    QCOMPARE(ask("swap").value("error").toString(),
             QStringLiteral("Release the captured input to continue."));

    // Another press during the conflict changes nothing
    pad("press x");
    pump();
    pad("release x");
    pump();
    pad("release a");
    pump();
    input = poll().value("input").toObject();
    QCOMPARE(input.value("phase").toInt(), 3);
    QCOMPARE(input.value("release").toBool(), false);

    QVERIFY(!ask("swap").contains("error"));
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 0);
    QCOMPARE(row(8).at(1).toString(), South);
    QCOMPARE(row(4).at(1).toString(), north);
}

void TestController::navigationFollowsFocusAndCaptures()
{
    Pad pad(root->path());
    pump();
    const auto nav = [this](bool focused = true) {
        QStringList entries;
        for (const QJsonValue &entry :
             poll(focused).value("input").toObject().value("nav").toArray())
            entries << entry.toString();
        return entries;
    };
    const auto tap = [&](const char *button) {
        pad(QByteArray("press ") + button);
        pump();
        pad(QByteArray("release ") + button);
        pump();
    };

    // One entry per press, in order
    for (const char *button : {"dpup", "dpdown", "dpleft", "dpright", "a", "b", "start"})
        tap(button);
    QCOMPARE(nav(), (QStringList{"dpup", "dpdown", "dpleft", "dpright", "south"}));
    QCOMPARE(nav(), QStringList());

    // A held direction repeats after a pause; a held south button does not
    pad("press dpdown");
    pump();
    pad("press a");
    pump();
    now += Controllers::RepeatDelayMs - 1;
    pump();
    QCOMPARE(nav(), (QStringList{"dpdown", "south"}));
    now += 1;
    pump();
    now += Controllers::RepeatIntervalMs;
    pump();
    QCOMPARE(nav(), (QStringList{"dpdown", "dpdown"}));
    pad("release dpdown");
    pump();
    now += 10 * Controllers::RepeatIntervalMs;
    pump();
    QCOMPARE(nav(), QStringList());
    pad("release a");
    pump();

    // Nothing while the launcher is not in front, nor afterwards for what happened then
    tap("dpright");
    QCOMPARE(nav(false), QStringList());
    poll(false);
    tap("dpleft");
    QCOMPARE(nav(), QStringList());

    // Nothing during a capture: the press is the captured input
    ask("bind", {{"action", 3}, {"keyboard", false}});
    tap("dpup");
    QCOMPARE(poll().value("input").toObject().value("phase").toInt(), 3);
    QCOMPARE(nav(), QStringList());
    ask("cancel");
    tap("dpup");
    QCOMPARE(nav(), QStringList{"dpup"});
}

void TestController::rightStickDrivesThePointer()
{
    Pad pad(root->path());
    pump();
    ask("change", {{"key", "pointer"}, {"value", 2}});
    pad("axis rightx 0.5");
    pump();
    pad("axis righty -0.25");
    pump();
    QJsonObject input = poll().value("input").toObject();
    QCOMPARE(input.value("x").toDouble(), 0.5);
    QCOMPARE(input.value("y").toDouble(), -0.25);

    ask("change", {{"key", "invertX"}, {"value", true}});
    ask("change", {{"key", "sensitivity"}, {"value", 3.0}});
    input = poll().value("input").toObject();
    QCOMPARE(input.value("x").toDouble(), -1.0);
    QCOMPARE(input.value("y").toDouble(), -0.5);

    // Inside the dead zone the pointer rests; without a gyro, the gyro pointer does too
    ask("change", {{"key", "stickDeadzone"}, {"value", 0.6}});
    QCOMPARE(poll().value("input").toObject().value("x").toDouble(), 0.0);
    ask("change", {{"key", "stickDeadzone"}, {"value", 0.1}});
    ask("change", {{"key", "pointer"}, {"value", 1}});
    input = poll().value("input").toObject();
    QCOMPARE(input.value("x").toDouble(), 0.0);
    QCOMPARE(input.value("tiltAngle").toDouble(), 0.0);
}

void TestController::gyroAndGravityArithmetic()
{
    MotionSettings settings =
        MotionSettings::from(QJsonObject{{"sensitivity", 1.5}, {"deadzone", 0.01}, {"gain", 2.0}});
    SensorMotion motion;

    // Turning left at half a radian a second for 0.2 s, at the default sensitivity
    const float left[3] = {0.f, 0.5f, 0.f};
    for (int i = 0; i < 20; ++i)
        motion.gyro(left, 0.01, settings);
    QVERIFY(std::abs(motion.x() - 0.5 * 0.2 * 1.5 * SensorMotion::PointerScale) < 1e-6);
    QCOMPARE(motion.y(), 0.0);
    // Pitching up moves it up; it never leaves the preview
    const float up[3] = {2.f, 0.f, 0.f};
    for (int i = 0; i < 100; ++i)
        motion.gyro(up, 0.01, settings);
    QCOMPARE(motion.y(), 1.0);

    // Drift inside the dead zone, or a bias the calibration knows, moves nothing
    motion.recenter();
    const float drift[3] = {0.006f, 0.006f, 0.f};
    motion.gyro(drift, 1.0, settings);
    QCOMPARE(motion.x(), 0.0);
    motion.setBias(0, 0.5, 0);
    motion.gyro(left, 1.0, settings);
    QCOMPARE(motion.x(), 0.0);

    // Rolled 30° to the right: the gravity the controller feels leans to its left
    const double g = SDL_STANDARD_GRAVITY;
    const double a = std::numbers::pi / 6;
    const float rolled[3] = {float(-g * std::sin(a)), float(g * std::cos(a)), 0.f};
    motion.reset();
    motion.accel(rolled);
    QVERIFY(std::abs(motion.rawTilt() - 30) < 1e-3);
    QVERIFY(std::abs(motion.tilt(settings) - 60) < 1e-3);
    settings.invertTilt = true;
    QVERIFY(std::abs(motion.tilt(settings) + 60) < 1e-3);
    settings.gain = 3.5;
    QCOMPARE(motion.tilt(settings), -90.0);
    // Pitched towards the player, the roll is unchanged
    const float pitched[3] = {float(-g * std::sin(a)), float(g * std::cos(a) * 0.6),
                              float(g * std::cos(a) * 0.8)};
    SensorMotion other;
    other.accel(pitched);
    QVERIFY(std::abs(other.rawTilt() - 30) < 1e-3);
    // Recentred, the way it is held now is level
    motion.recenter();
    QCOMPARE(motion.tilt(settings), 0.0);

    // The pointer settings of the configuration
    double x = 0, y = 0;
    stickPointer(0.1, 0.1, settings, &x, &y);
    QCOMPARE(x, 0.0);
    settings.sensitivity = 0.75;
    stickPointer(0.8, -0.4, settings, &x, &y);
    QCOMPARE(x, 0.4);
    QCOMPARE(y, -0.2);
    settings.invertY = true;
    invertPointer(settings, &x, &y);
    QCOMPARE(x, 0.4);
    QCOMPARE(y, 0.2);
}

void TestController::gyroCalibrationAveragesStillReadings()
{
    const MotionSettings settings;
    SensorMotion motion;
    const float rest[3] = {0.01f, -0.02f, 0.005f};
    const float bump[3] = {0.3f, -0.02f, 0.005f};

    motion.startCalibration();
    for (int i = 0; i < 150; ++i)
        QCOMPARE(motion.gyro(rest, 0.01, settings), SensorMotion::Calibration::Running);
    // Movement starts the two seconds again
    QCOMPARE(motion.gyro(bump, 0.01, settings), SensorMotion::Calibration::Restarted);
    QCOMPARE(motion.x(), 0.0);
    int samples = 0;
    SensorMotion::Calibration step = SensorMotion::Calibration::Running;
    while (step == SensorMotion::Calibration::Running && samples < 1000) {
        step = motion.gyro(rest, 0.01, settings);
        ++samples;
    }
    QCOMPARE(step, SensorMotion::Calibration::Done);
    QVERIFY(samples >= 199 && samples <= 201);
    QVERIFY(!motion.calibrating());
    QVERIFY(std::abs(motion.bias()[1] + 0.02) < 1e-6);

    // At rest after calibration, the pointer stays put even with a zero dead zone
    MotionSettings exact;
    exact.deadzone = 0;
    for (int i = 0; i < 100; ++i)
        motion.gyro(rest, 0.01, exact);
    QVERIFY(std::abs(motion.x()) < 1e-6 && std::abs(motion.y()) < 1e-6);
}

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
