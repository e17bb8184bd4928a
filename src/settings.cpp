#include "window.h"

#include "translations.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace Quilt {

namespace {

constexpr int volumeMaximum = 100;

// The configured volume as a slider position: rounded half away from zero, and clamped
// first, since converting an out-of-range double to int is undefined.
int sliderVolume(const QJsonValue &value)
{
    const double volume = std::clamp(value.toDouble(), 0.0, double(volumeMaximum));
    return int(std::round(volume));
}

// The volume slider: like the combo and number boxes, it takes the wheel only with the focus,
// so that scrolling the page past it leaves the volume alone.
class VolumeSlider : public QSlider
{
public:
    VolumeSlider() : QSlider(Qt::Horizontal) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        if (!hasFocus()) {
            event->ignore();
            return;
        }
        QSlider::wheelEvent(event);
    }
};

QString percent(int value)
{
    return QString::number(value) + QLatin1Char('%');
}

} // namespace

void Window::buildBasic()
{
    // Display and sound card, saved automatically
    {
        QVBoxLayout *body = card("Display and sound", "Basic settings are saved automatically.");
        select(body, "gameLanguage", "Game language",
               {QStringLiteral("English"), QStringLiteral("Fran\u00e7ais"),
                QStringLiteral("Espa\u00f1ol")},
               {1, 3, 4}, "Applies the next time you start the game.");
        check(body, "fullscreen", "Start in fullscreen",
              "Open the game in borderless fullscreen on the next launch. Press Alt+Enter while "
              "playing to switch between fullscreen and windowed mode for that session.");

        // Master volume: slider with its percentage beside it
        {
            auto *volume = new QWidget;
            auto *layout = new QHBoxLayout(volume);
            layout->setContentsMargins(0, 0, 0, 0);
            auto *slider = new VolumeSlider;
            slider->setRange(0, volumeMaximum);
            slider->setMinimumWidth(compact ? 95 : 175);
            slider->setValue(sliderVolume(config.value(QLatin1String("volume"))));
            layout->addWidget(slider, 1);
            QLabel *value = label(percent(slider->value()));
            value->setMinimumWidth(45);
            layout->addWidget(value, 0);
            row(body, T("Master volume"), volume,
                "Adjusts the complete game mix. Set to 0% to mute it.");
            slider->setAccessibleName(T("Master volume"));
            tracked(slider);
            // Connected after the initial value, so building the page sends nothing.
            connect(slider, &QSlider::valueChanged, value, [this, value](int position) {
                value->setText(percent(position));
                patch("volume", QJsonValue(position));
            });
        }
    }

    // Launcher card: the launcher's own language, not a game setting
    {
        QVBoxLayout *body = card("Launcher");
        auto *combo = new FabricCombo;
        combo->addItems({QStringLiteral("\u7b80\u4f53\u4e2d\u6587"), QStringLiteral("English"),
                         QStringLiteral("Espa\u00f1ol")});
        combo->setCurrentIndex(language);
        row(body, T("Language"), combo);
        parts.languageCombo = combo;
        // setLanguage rebuilds this page; the combo is only deleted later, so this is safe.
        connect(combo, &QComboBox::activated, this, [this](int index) { setLanguage(index); });
    }

    // Game library: the other pages of the basic group
    {
        QVBoxLayout *body = card("Game library");
        auto *buttons = new QHBoxLayout;
        body->addLayout(buttons);
        action(buttons, "Controls", [this] { navigate(Page::ControllerGuide, false); });
        action(buttons, "Saves", [this] { navigate(Page::Saves, false); });
        action(buttons, "Install", [this] { navigate(Page::Install, false); });
    }
}

void Window::buildDisplay()
{
    // Image quality card
    {
        QVBoxLayout *body = card("Image quality");
        select(body, "scale", "Internal resolution",
               {T("1x (native)"), QStringLiteral("2\u00d7"), QStringLiteral("3\u00d7"),
                QStringLiteral("4\u00d7"), QStringLiteral("5\u00d7"), QStringLiteral("6\u00d7"),
                QStringLiteral("8\u00d7")},
               {1, 2, 3, 4, 5, 6, 8},
               "Renders geometry at a higher resolution for sharper edges. Higher multipliers use "
               "more GPU time and memory; original texture detail is unchanged.");
        select(body, "aa", "Anti-aliasing",
               {T("Off"), QStringLiteral("FXAA"), QStringLiteral("4\u00d7 MSAA"),
                QStringLiteral("4\u00d7 MSAA + FXAA")},
               {0, 1, 2, 3},
               "FXAA smooths edges in the final image at a low GPU cost, but can soften fine "
               "details. MSAA smooths geometry edges; the combined mode applies both.");
    }

    // Window and presentation card
    {
        QVBoxLayout *body = card("Window and presentation");
        check(body, "vsync", "VSync",
              "Synchronize presentation with the display. Turning this off can reduce stalls on "
              "some drivers.");
        check(body, "performance", "Experimental performance mode",
              "Reduces GPU copy waits and repeated texture processing. Compatibility testing is "
              "ongoing.");
    }
}

} // namespace Quilt
