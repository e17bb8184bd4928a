#include "window.h"

#include "kept.h"
#include "translations.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace Quilt {

namespace {

// The controller selector grows with its longest name up to this width.
constexpr int maxSelectorWidth = 320;

// The cloth of the card a widget sits on. The stylesheet gives a card its background colour
// through the card's palette, which its children do not inherit.
QColor cardCloth(const QWidget *widget)
{
    for (const QWidget *above = widget->parentWidget(); above; above = above->parentWidget()) {
        if (above->objectName() == QLatin1String("card"))
            return above->palette().window().color();
    }
    return widget->palette().window().color();
}

// Live picture of the selected controller: a line that turns with its tilt and a dot that
// follows the pointer, over a dashed crosshair. The window writes the members and repaints.
class PointerView : public QWidget
{
public:
    // Opaque: it paints the card's cloth around its frame, so that its 50 repaints a second
    // do not repaint the card and the linen behind it.
    PointerView() { setAttribute(Qt::WA_OpaquePaintEvent); }
    ~PointerView() override;

    QPointF pointer; // about -1 to +1 per axis, already mirrored for gyro readings
    bool showDot = false;
    bool showTilt = false;
    double tiltAngle = 0; // degrees, clockwise on screen
    QString message;      // drawn instead of everything else when set

protected:
    void paintEvent(QPaintEvent *event) override;
};

PointerView::~PointerView() = default;

void PointerView::paintEvent(QPaintEvent *)
{
    // Drawing area inset by 4 px; a reading of ±1 puts the dot's centre 7 px inside its edge.
    const QRectF area(4, 4, width() - 8, height() - 8);
    const QPointF centre = area.center();
    constexpr double cornerRadius = 11;
    constexpr double dotInset = 7;
    constexpr double dotRadius = 6;
    constexpr double capRadius = 3;
    const double lineHalf = 0.4 * std::min(area.width(), area.height());

    const QColor frameFill = QColor::fromString("#edf2e8");
    const QColor framePenColor = QColor::fromString("#b6c6b1"); // frame and crosshair
    const QColor messageColor = QColor::fromString("#59695e");
    const QColor tiltColor = QColor::fromString("#62896e");
    const QColor capFill = QColor::fromString("#aac7a9");
    const QColor dotFill = QColor::fromString("#c77994");
    const QColor dotOutline = QColor::fromString("#985775");
    const QPen dashedPen(QBrush(framePenColor), 1.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin);
    const QPen tiltPen(QBrush(tiltColor), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
    const QPen dotPen(QBrush(dotOutline), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);

    // Frame, and the crosshair when there is no message. It is repainted 50 times a second
    // under the moving marks, and dashing it costs more than all the rest. The picture is
    // opaque (the cloth around the frame included), so it is copied rather than blended.
    const bool crosshair = message.isEmpty();
    const QColor cloth = cardCloth(this); // around the frame
    const double ratio = devicePixelRatio();
    const kept::PreviewFrame key{crosshair, cloth.rgba(), size()};
    const QPixmap backdrop = kept::picture(key, ratio, [&] {
        QPixmap made(size() * ratio);
        made.setDevicePixelRatio(ratio);
        made.fill(cloth);
        QPainter frame(&made);
        frame.setRenderHint(QPainter::Antialiasing);
        frame.setBrush(frameFill);
        frame.setPen(dashedPen);
        frame.drawRoundedRect(area, cornerRadius, cornerRadius);
        if (crosshair) {
            frame.drawLine(QPointF(centre.x(), area.top()), QPointF(centre.x(), area.bottom()));
            frame.drawLine(QPointF(area.left(), centre.y()), QPointF(area.right(), centre.y()));
        }
        return made;
    });
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(QPointF(0, 0), backdrop);

    // A message replaces the whole picture
    if (!message.isEmpty()) {
        painter.setPen(messageColor);
        painter.drawText(area, Qt::AlignCenter, message);
        return;
    }

    // Tilt line; the circle marks its right-hand end so the two ends differ
    if (showTilt) {
        painter.save();
        painter.translate(centre);
        painter.rotate(tiltAngle);
        painter.setPen(tiltPen);
        painter.drawLine(QPointF(-lineHalf, 0), QPointF(lineHalf, 0));
        painter.setBrush(capFill);
        painter.drawEllipse(QRectF(lineHalf - capRadius, -capRadius, 2 * capRadius, 2 * capRadius));
        painter.restore();
    }

    // Pointer dot, on top; never clamped, so readings beyond ±1 leave the frame
    if (showDot) {
        painter.setBrush(dotFill);
        painter.setPen(dotPen);
        const QPointF dot(centre.x() + pointer.x() * (area.width() / 2 - dotInset),
                          centre.y() + pointer.y() * (area.height() / 2 - dotInset));
        painter.drawEllipse(dot, dotRadius, dotRadius);
    }
}

// Holds a label whose text changes with every reading. A label asks for a new layout on each
// setText, and with wrapped labels that means measuring the whole page again, 50 times a
// second. The label here has no layout above it: the holder sees its requests and passes one
// on only when the label needs a different size.
class SteadyLine : public QWidget
{
public:
    explicit SteadyLine(QLabel *line) : line(line)
    {
        line->setParent(this);
        line->installEventFilter(this);
        setSizePolicy(line->sizePolicy());
        // It sits on the plain inside of its card and paints that cloth itself, so that a new
        // text repaints only the line and not the card and the linen behind it.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    ~SteadyLine() override;

    QSize sizeHint() const override { return line->sizeHint(); }
    QSize minimumSizeHint() const override { return line->minimumSizeHint(); }
    bool hasHeightForWidth() const override { return line->hasHeightForWidth(); }
    int heightForWidth(int width) const override { return line->heightForWidth(width); }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest) {
            // Only the height the text needs at the line's width can change the page: the card
            // gives the line its whole width whatever the text.
            const int wanted = hasHeightForWidth() ? heightForWidth(width()) : sizeHint().height();
            if (wanted != height())
                updateGeometry();
            return true;
        }
        return QWidget::event(event);
    }

    void resizeEvent(QResizeEvent *) override { line->setGeometry(rect()); }

    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), cardCloth(this));
    }

    // The label's own hiding and showing decide whether the line takes room on the page.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == line && event->type() == QEvent::HideToParent)
            hide();
        else if (watched == line && event->type() == QEvent::ShowToParent)
            show();
        return false;
    }

private:
    QLabel *line;
};

SteadyLine::~SteadyLine() = default;

} // namespace

void Window::buildMotion()
{
    // Gyroscope & gravity / tilt: controller, live preview, status and calibration
    {
        QVBoxLayout *body = card("Gyroscope & gravity / tilt",
                                 "Use a controller with motion sensors exposed to SDL. "
                                 "Xbox-emulated devices may hide them.");
        // Not tracked: the preview controller can be picked even while settings are locked.
        auto *devices = new FabricCombo;
        // Its items come later and change with the controllers, so its width follows them;
        // an unusually long controller name is elided rather than widening the page.
        devices->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        devices->setMaximumWidth(maxSelectorWidth);
        row(body, T("Preview controller"), devices);
        connect(devices, &QComboBox::activated, this, [this, devices](int index) {
            request(QStringLiteral("pad"),
                    {{QStringLiteral("id"), devices->itemData(index, Qt::UserRole).toInt()}});
        });
        parts.deviceCombo = devices;

        auto *view = new PointerView;
        view->setMinimumHeight(82);
        view->setToolTip(
            T("The line shows tilt. The dot follows gyro motion, or the right stick when "
              "selected."));
        view->setAccessibleDescription(view->toolTip());
        body->addWidget(view);
        parts.pointerView = view;

        parts.motionStatus = label(QString());
        markLive(parts.motionStatus, false);
        body->addWidget(new SteadyLine(parts.motionStatus));

        auto *buttons = new QHBoxLayout;
        body->addLayout(buttons);
        action(buttons, "Recenter preview", [this] { request(QStringLiteral("recenter"), {}); });
        parts.calibrateButton = action(
            buttons, "Calibrate gyro", [this] { request(QStringLiteral("calibrate"), {}); },
            "Hold the controller still for 2 seconds.");
    }

    // Motion: tilt and gyro settings
    {
        QVBoxLayout *body = card("Motion");
        check(body, "tilt", "Use controller tilt (gravity)");
        check(body, "invertTilt", "Reverse tilt");
        number(body, "gain", "Tilt sensitivity", 0.25, 3.0, 0.05);
        number(body, "deadzone", "Gyro deadzone (rad/s)", 0.0, 0.1, 0.001);
        check(body, "keyboardMotion", "Keyboard motion: Q / E tilt, R recenter",
              "Press the right stick to recenter in game. Motion settings apply to all players; "
              "keyboard motion controls player 1.");
    }

    // Pointer source, with settings that only matter for the gyroscope and the right stick
    {
        QVBoxLayout *body = card("Pointer source");
        FabricCombo *source =
            select(body, "pointer", "Pointer source",
                   {T("Mouse"), T("Gyroscope (mouse fallback)"), T("Right stick"), T("Disabled")},
                   {0, 1, 2, 3});
        auto *panel = new QWidget;
        auto *panelLayout = new QVBoxLayout(panel);
        panelLayout->setContentsMargins(0, 0, 0, 0);
        number(panelLayout, "sensitivity", "Pointer sensitivity", 0.1, 5.0, 0.1);
        check(panelLayout, "invertX", "Invert pointer X");
        check(panelLayout, "invertY", "Invert pointer Y");
        body->addWidget(panel);
        number(body, "stickDeadzone", "Pointer stick deadzone", 0.0, 0.9, 0.01);

        const auto usesPointerSettings = [](int index) { return index == 1 || index == 2; };
        panel->setEnabled(usesPointerSettings(source->currentIndex()));
        connect(source, &QComboBox::activated, panel, [panel, usesPointerSettings](int index) {
            panel->setEnabled(usesPointerSettings(index));
        });

        action(body, "Reset motion settings",
               [this] { request(QStringLiteral("resetMotion"), {}); });
    }
}

void Window::updateMotion(bool editable)
{
    const QJsonArray devices = input.value(Key::devices).toArray();
    const bool gyro = input.value(Key::gyro).toBool();
    const bool accel = input.value(Key::accel).toBool();
    const bool paused = input.value(Key::previewPaused).toBool();
    const bool calibrating = input.value(Key::calibrating).toBool();
    const double angle = input.value(Key::tiltAngle).toDouble();
    const bool rightStick = config.value(QLatin1String("pointer")).toInt() == 2;

    // Controller list, rebuilt only when the service's list changes, so that an open
    // drop-down is not disturbed 50 times a second
    {
        const QByteArray json = QJsonDocument(devices).toJson(QJsonDocument::Compact);
        if (json != parts.deviceCombo->property("devices").toByteArray()) {
            parts.deviceCombo->setProperty("devices", json);
            parts.deviceCombo->clear();
            for (const QJsonValue &device : devices) {
                const QJsonObject entry = device.toObject();
                parts.deviceCombo->addItem(status(entry.value(QLatin1String("name")).toString()),
                                           entry.value(QLatin1String("id")).toInt());
            }
            if (devices.isEmpty())
                parts.deviceCombo->addItem(T("No controller connected"), 0);
        }
        if (devices.isEmpty())
            handOffFocus(parts.deviceCombo);
        parts.deviceCombo->setEnabled(!devices.isEmpty());
        // Not through activated: following the service must not send "pad" back.
        const int selected = parts.deviceCombo->findData(input.value(Key::selected).toInt());
        const int current = selected < 0 ? 0 : selected;
        if (parts.deviceCombo->currentIndex() != current)
            parts.deviceCombo->setCurrentIndex(current);
    }

    if (parts.calibrateButton) {
        const bool canCalibrate = editable && gyro && accel && !calibrating;
        if (!canCalibrate)
            handOffFocus(parts.calibrateButton);
        parts.calibrateButton->setEnabled(canCalibrate);
    }

    // Preview: gyro and mouse readings are drawn mirrored through the centre
    if (parts.pointerView) {
        auto *view = static_cast<PointerView *>(parts.pointerView.data());
        const auto shown = [view] {
            return std::tuple(view->pointer, view->tiltAngle, view->showDot, view->showTilt,
                              view->message);
        };
        const auto before = shown();
        const QPointF reading(input.value(Key::x).toDouble(), input.value(Key::y).toDouble());
        view->pointer = rightStick ? reading : -reading;
        view->tiltAngle = angle;
        view->showDot = gyro || (rightStick && !devices.isEmpty());
        view->showTilt = accel;
        if (devices.isEmpty())
            view->message = T("No controller connected");
        else if (paused)
            view->message = T("Motion preview paused");
        else if (!view->showDot && !view->showTilt)
            view->message = T("No motion sensor data");
        else
            view->message.clear();
        // Most replies while the controller rests change nothing on the picture.
        if (shown() != before)
            view->update();
    }

    // Status: both sensors, the tilt angle, and a line about calibration
    if (parts.motionStatus) {
        const QByteArray gyroWord = (gyro ? T("available") : T("unavailable")).toUtf8();
        const QByteArray accelWord = (accel ? T("available") : T("unavailable")).toUtf8();
        QString text =
            QString::asprintf(T("Gyroscope: %s    Accelerometer: %s").toUtf8().constData(),
                              gyroWord.constData(), accelWord.constData());
        // QString::arg ignores the default locale: the angle always has a decimal point.
        // The angle changes with every reading; only the sensors and the message are news.
        QString news = text;
        if (accel)
            text += QStringLiteral("   \u00b7   %1\u00b0").arg(angle, 0, 'f', 1);
        const QString message = input.value(Key::motionMessage).toString();
        QString second;
        if (calibrating)
            second = T("Hold the controller still for 2 seconds.");
        else if (!message.isEmpty())
            second = status(message);
        if (!second.isEmpty()) {
            text += QLatin1Char('\n') + second;
            news += QLatin1Char('\n') + second;
        }
        parts.motionStatus->setText(text);
        announce(parts.motionStatus, news);
        parts.motionStatus->setVisible(!paused && !devices.isEmpty());
    }
}

} // namespace Quilt
