#include "startup.h"
#include "support.h"
#include "translations.h"
#include "window.h"

#include <QApplication>
#include <QJsonArray>
#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace QuiltTest;
using Quilt::Page;
using Quilt::T;

namespace {

const QJsonArray onePad{QJsonObject{{"id", 1}, {"name", "Pad"}}};

// Pixels of exactly this colour, and where their middle is (pixel centres at +0.5).
struct Blob
{
    int count = 0;
    QPointF centre;
    QRect bounds;
};

Blob blob(const QImage &image, const char *color)
{
    const QRgb wanted = QColor::fromString(color).rgb();
    Blob result;
    QPointF sum;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) != (wanted & 0xffffff))
                continue;
            ++result.count;
            sum += QPointF(x + 0.5, y + 0.5);
            result.bounds |= QRect(x, y, 1, 1);
        }
    }
    if (result.count)
        result.centre = sum / result.count;
    return result;
}

const char *const dotFill = "#c77994";
const char *const tiltLine = "#62896e";
const char *const tiltCap = "#aac7a9";
const char *const frameFill = "#edf2e8";

// Whether the vertical crosshair shows above the middle, where no message text reaches.
bool crosshairShown(const QImage &image)
{
    const QRgb fill = QColor::fromString(frameFill).rgb();
    for (int y = 8; y < 24; ++y) {
        if (image.pixel(120, y) != fill)
            return true;
    }
    return false;
}

// Counts the events of one type that reach an object.
class EventCounter : public QObject
{
public:
    EventCounter(QObject *watched, QEvent::Type type, int *count) : type(type), count(count)
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type)
            ++*count;
        return false;
    }

private:
    QEvent::Type type;
    int *count;
};

} // namespace

class TestMotion : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void previewGeometry();
    void pointerRule();
    void deviceList();
    void padOnlyOnUserChoice();
    void statusText();
    void statusLineTakesTheRoomItsTextNeeds();
    void runningGameLocksSettingsOnly();

private:
    // A motion sub-tab without a service, showing the given input and pointer source.
    static std::unique_ptr<Quilt::Window> motionPage(const QJsonObject &input, int pointer = 1,
                                                     bool running = false);
    // New readings and settings, as a reply would bring them.
    static void show(Quilt::Window &window, const QJsonObject &input, int pointer = 1,
                     bool running = false);
    static QImage preview(Quilt::Window &window);
};

std::unique_ptr<Quilt::Window> TestMotion::motionPage(const QJsonObject &input, int pointer,
                                                      bool running)
{
    auto window = std::make_unique<Quilt::Window>(QString(), QString(), true);
    probe(window).ready() = true;
    probe(window).controlsTab() = 1;
    show(*window, input, pointer, running);
    probe(window).navigate(Page::Controls, false);
    return window;
}

void TestMotion::show(Quilt::Window &window, const QJsonObject &input, int pointer, bool running)
{
    QJsonObject state = readyState();
    state.insert("running", running);
    probe(window).state() = state;
    probe(window).config() = {{"pointer", pointer}};
    probe(window).input() = input;
    probe(window).refresh();
}

QImage TestMotion::preview(Quilt::Window &window)
{
    // Fixed, because grabbing a hidden window first lays it out again.
    probe(window).parts().pointerView->setFixedSize(240, 82);
    return probe(window).parts().pointerView->grab().toImage();
}

void TestMotion::previewGeometry()
{
    // Right stick readings are drawn unchanged: (1, 1) sits 7 px inside the bottom-right corner
    auto motion =
        motionPage({{"devices", onePad}, {"gyro", true}, {"accel", true}, {"x", 1}, {"y", 1}}, 2);
    QImage image = preview(*motion);
    const Blob dot = blob(image, dotFill);
    QVERIFY(dot.count > 20);
    QVERIFY2(QLineF(dot.centre, QPointF(229, 71)).length() < 0.6,
             qPrintable(QString("dot at %1, %2").arg(dot.centre.x()).arg(dot.centre.y())));
    QVERIFY(crosshairShown(image));

    // Tilt 0: a horizontal line, end circle on the right
    Blob line = blob(image, tiltLine);
    // The end circle, stroked in the line colour, makes the line 9 px thick at one end.
    QVERIFY(line.bounds.width() > 50 && line.bounds.height() < 12);
    Blob cap = blob(image, tiltCap);
    QVERIFY(cap.count > 0);
    QVERIFY(QLineF(cap.centre, QPointF(120 + 29.6, 41)).length() < 1.5);

    // Tilt 90: vertical, end circle at the bottom
    show(*motion, {{"devices", onePad}, {"accel", true}, {"tiltAngle", 90}});
    image = preview(*motion);
    line = blob(image, tiltLine);
    QVERIFY(line.bounds.height() > 50 && line.bounds.width() < 12);
    cap = blob(image, tiltCap);
    QVERIFY(QLineF(cap.centre, QPointF(120, 41 + 29.6)).length() < 1.5);
    QCOMPARE(blob(image, dotFill).count, 0); // no gyroscope, not the right stick

    // A message replaces crosshair, line and dot
    show(*motion, {{"devices", onePad}, {"gyro", true}, {"accel", true}, {"previewPaused", true}});
    image = preview(*motion);
    QCOMPARE(blob(image, dotFill).count, 0);
    QCOMPARE(blob(image, tiltLine).count, 0);
    QVERIFY(!crosshairShown(image));
    QVERIFY(probe(motion).parts().motionStatus->isHidden());
}

void TestMotion::pointerRule()
{
    const QJsonObject reading{{"devices", onePad}, {"gyro", true}, {"x", 0.5}, {"y", 0.5}};
    auto motion = motionPage(reading, 1);
    // Gyroscope readings are mirrored through the centre
    Blob dot = blob(preview(*motion), dotFill);
    QVERIFY(dot.count > 0);
    QVERIFY(dot.centre.x() < 110 && dot.centre.y() < 35);

    show(*motion, reading, 2);
    dot = blob(preview(*motion), dotFill);
    QVERIFY(dot.centre.x() > 130 && dot.centre.y() > 47);

    // The right stick needs no gyroscope, only a controller
    QJsonObject noSensors{{"devices", onePad}, {"x", 0.5}, {"y", 0.5}};
    show(*motion, noSensors, 2);
    QVERIFY(blob(preview(*motion), dotFill).count > 0);
    show(*motion, noSensors, 1);
    const QImage image = preview(*motion);
    QCOMPARE(blob(image, dotFill).count, 0);
    QVERIFY(!crosshairShown(image));
    noSensors.insert("devices", QJsonArray());
    show(*motion, noSensors, 2);
    QCOMPARE(blob(preview(*motion), dotFill).count, 0);
}

void TestMotion::deviceList()
{
    const QJsonArray two{QJsonObject{{"id", 4}, {"name", "Left"}},
                         QJsonObject{{"id", 9}, {"name", "Right"}}};
    auto motion = motionPage({{"devices", two}, {"selected", 9}});
    Quilt::FabricCombo *combo = probe(motion).parts().deviceCombo;
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), "Right");
    QCOMPARE(combo->itemData(1).toInt(), 9);
    QCOMPARE(combo->currentIndex(), 1);
    QVERIFY(combo->isEnabled());

    // The same list again: the items stay, and following "selected" is no user choice
    QSignalSpy inserted(combo->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy activated(combo, &QComboBox::activated);
    show(*motion, {{"devices", two}, {"selected", 4}});
    show(*motion, {{"devices", two}, {"selected", 77}});
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(activated.count(), 0);

    // Reordered, then renamed: rebuilt
    const QJsonArray reordered{two[1], two[0]};
    show(*motion, {{"devices", reordered}, {"selected", 4}});
    QCOMPARE(combo->itemText(0), "Right");
    QCOMPARE(combo->currentIndex(), 1);
    show(*motion, {{"devices", QJsonArray{two[0], QJsonObject{{"id", 9}, {"name", "Renamed"}}}}});
    QCOMPARE(combo->itemText(1), "Renamed");

    // None at all
    show(*motion, {{"previewPaused", true}});
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->itemText(0), T("No controller connected"));
    QVERIFY(!combo->isEnabled());
    QVERIFY(probe(motion).parts().motionStatus->isHidden());
}

void TestMotion::padOnlyOnUserChoice()
{
    ScriptedService service;
    const QJsonArray two{QJsonObject{{"id", 1}, {"name", "A"}},
                         QJsonObject{{"id", 7}, {"name", "B"}}};
    service.serve(readyState(), {{"devices", two}, {"selected", 1}});
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).controlsTab() = 1;
    probe(window).navigate(Page::Controls, false);
    const int polls = service.count("poll");
    QVERIFY(service.waitFor("poll", polls + 5));
    QCOMPARE(service.count("pad"), 0);

    QTest::keyClick(probe(window).parts().deviceCombo, Qt::Key_Down);
    QVERIFY(service.waitFor("pad"));
    QCOMPARE(service.last("pad").value("id"), 7);
}

void TestMotion::statusText()
{
    const QString separator = QStringLiteral("   \u00b7   ");
    for (const auto language : {QLocale::German, QLocale::French}) {
        QLocale::setDefault(QLocale(language));
        auto motion = motionPage({{"devices", onePad}, {"accel", true}, {"tiltAngle", -12.34}});
        QLocale::setDefault(QLocale::c());
        const QString text = probe(motion).parts().motionStatus->text();
        QCOMPARE(text, QString::asprintf("Gyroscope: %s    Accelerometer: %s", "unavailable",
                                         "available") +
                           separator + "-12.3\u00b0");
        QVERIFY(!probe(motion).parts().motionStatus->isHidden());
    }

    // The second line: calibration first, then the service's message
    const QString done = QStringLiteral("Calibration complete. Save settings to use it in game.");
    auto motion = motionPage({{"devices", onePad}, {"calibrating", true}, {"motionMessage", done}});
    QVERIFY(probe(motion).parts().motionStatus->text().endsWith(
        "\n" + T("Hold the controller still for 2 seconds.")));
    QVERIFY(!probe(motion).parts().motionStatus->text().contains(separator));
    show(*motion, {{"devices", onePad}, {"motionMessage", done}});
    QVERIFY(probe(motion).parts().motionStatus->text().endsWith("\n" + Quilt::status(done)));
}

void TestMotion::statusLineTakesTheRoomItsTextNeeds()
{
    // The launcher's stylesheets, for the cards' own cloth.
    QString sheet;
    QString failedPath;
    QVERIFY(Quilt::loadStyleSheets(sheet, failedPath));
    qApp->setStyleSheet(sheet);
    const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });

    auto motion = motionPage({{"devices", onePad}, {"accel", true}, {"tiltAngle", 5}});
    motion->show();
    QVERIFY(QTest::qWaitForWindowActive(motion.get()));
    // Built again while the window is active: the line must not show a window of its own,
    // which would take the focus away (and slow the polling down).
    probe(motion).navigate(Page::Controls, false);
    QCoreApplication::processEvents();
    for (QWidget *topLevel : QApplication::topLevelWidgets())
        QVERIFY(topLevel == motion.get() || !topLevel->isVisible());
    QVERIFY(motion->isActiveWindow());
    QLabel *status = probe(motion).parts().motionStatus;
    QWidget *holder = status->parentWidget();
    QWidget *card = holder->parentWidget();
    const auto fits = [&] {
        return status->isVisible() && status->geometry() == holder->rect() &&
               status->height() >= status->heightForWidth(status->width()) &&
               holder->geometry().bottom() <
                   probe(motion).parts().calibrateButton->geometry().top();
    };
    QTRY_VERIFY(fits());
    const int oneLine = status->height();

    // The preview and the line paint the card's cloth themselves, in the card's colour.
    {
        const QImage image = card->grab().toImage();
        const QColor cloth = image.pixelColor(card->width() - 6, holder->y() - 10);
        QCOMPARE(cloth, QColor::fromString("#fffdf6"));
        QCOMPARE(image.pixelColor(probe(motion).parts().pointerView->mapTo(card, QPoint(1, 1))),
                 cloth);
        QCOMPARE(image.pixelColor(holder->mapTo(card, QPoint(holder->width() - 2, 2))), cloth);
    }

    // New angles alone leave the card's layout alone. Only layout requests are delivered
    // here, so nothing else the window still has queued (focus, activation) can post one.
    const auto deliverLayoutRequests = [&] {
        QCoreApplication::sendPostedEvents(holder, QEvent::LayoutRequest);
        QCoreApplication::sendPostedEvents(card, QEvent::LayoutRequest);
    };
    deliverLayoutRequests();
    int layoutRequests = 0;
    EventCounter counter(card, QEvent::LayoutRequest, &layoutRequests);
    for (int angle = 6; angle < 12; ++angle) {
        show(*motion, {{"devices", onePad}, {"accel", true}, {"tiltAngle", angle}});
        deliverLayoutRequests();
    }
    QVERIFY(status->text().endsWith("11.0\u00b0"));
    QCOMPARE(layoutRequests, 0);

    // A second line pushes the buttons down rather than being cut off.
    show(*motion, {{"devices", onePad}, {"accel", true}, {"calibrating", true}});
    QTRY_VERIFY(fits() && status->height() > oneLine);

    // Paused, the line gives its room up; it takes it back afterwards.
    show(*motion, {{"devices", onePad}, {"previewPaused", true}});
    QVERIFY(holder->isHidden());
    show(*motion, {{"devices", onePad}, {"accel", true}});
    QVERIFY(!holder->isHidden());
    QTRY_VERIFY(fits());
}

void TestMotion::runningGameLocksSettingsOnly()
{
    const QJsonObject sensors{{"devices", onePad}, {"gyro", true}, {"accel", true}};
    auto motion = motionPage(sensors, 0, true);
    Quilt::Window &window = *motion;
    QList<QWidget *> settings;
    for (QWidget *widget : probe(window).pageWidget()->findChildren<QWidget *>()) {
        if (widget != probe(window).parts().deviceCombo &&
            (qobject_cast<Quilt::SewnSwitch *>(widget) ||
             qobject_cast<Quilt::FabricCombo *>(widget) ||
             qobject_cast<Quilt::FabricSpinBox *>(widget)))
            settings << widget;
    }
    QCOMPARE(settings.size(), 10);
    for (QWidget *control : std::as_const(settings))
        QVERIFY(!control->isEnabled());
    QVERIFY(!probe(window).parts().calibrateButton->isEnabled());
    QVERIFY(probe(window).parts().deviceCombo->isEnabled());
    QVERIFY(buttonWithText(probe(window).pageWidget(), T("Recenter preview"))->isEnabled());
    QVERIFY(buttonWithText(probe(window).pageWidget(), T("Reset motion settings"))->isEnabled());

    // Editable again: calibration needs both sensors and none running
    show(*motion, sensors, 0);
    QVERIFY(probe(window).parts().calibrateButton->isEnabled());
    show(*motion, {{"devices", onePad}, {"gyro", true}}, 0);
    QVERIFY(!probe(window).parts().calibrateButton->isEnabled());
    QJsonObject calibrating = sensors;
    calibrating.insert("calibrating", true);
    show(*motion, calibrating, 0);
    QVERIFY(!probe(window).parts().calibrateButton->isEnabled());

    // Pointer settings follow the picked source; the stick deadzone never does
    show(*motion, sensors, 0);
    QWidget *sensitivity = labelWithText(probe(window).pageWidget(), T("Pointer sensitivity"));
    QWidget *stickDeadzone = labelWithText(probe(window).pageWidget(), T("Pointer stick deadzone"));
    QVERIFY(!sensitivity->isEnabled());
    QVERIFY(stickDeadzone->isEnabled());
    Quilt::FabricCombo *source = nullptr;
    for (auto *combo : probe(window).pageWidget()->findChildren<Quilt::FabricCombo *>()) {
        if (combo->accessibleName() == T("Pointer source"))
            source = combo;
    }
    QVERIFY(source);
    QTest::keyClick(source, Qt::Key_Down);
    QTest::keyClick(source, Qt::Key_Down);
    QCOMPARE(source->currentIndex(), 2);
    QVERIFY(sensitivity->isEnabled());
    QTest::keyClick(source, Qt::Key_Down);
    QVERIFY(!sensitivity->isEnabled());
    QVERIFY(stickDeadzone->isEnabled());
}

QTEST_MAIN(TestMotion)
#include "tst_motion.moc"
