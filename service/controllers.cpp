#include "controllers.h"

#include "virtual_controller.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace Service {

namespace {

// While a pad is connected, SDL is looked at often enough for a quick tap and a smooth
// preview; without one, only new pads are waited for.
constexpr int BusyIntervalMs = 10;
constexpr int IdleIntervalMs = 250;

// The gamepad inputs by position, as the bindings name them. Back, Guide, Start and the extra
// buttons have no binding of their own.
const char *buttonInput(int button)
{
    switch (button) {
    case SDL_CONTROLLER_BUTTON_A:
        return "South (A / Cross)";
    case SDL_CONTROLLER_BUTTON_B:
        return "East (B / Circle)";
    case SDL_CONTROLLER_BUTTON_X:
        return "West (X / Square)";
    case SDL_CONTROLLER_BUTTON_Y:
        return "North (Y / Triangle)";
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
        return "Left bumper (LB / L1)";
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
        return "Right bumper (RB / R1)";
    case SDL_CONTROLLER_BUTTON_LEFTSTICK:
        return "Left stick click (L3)";
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK:
        return "Right stick click (R3)";
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return "D-pad Up";
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return "D-pad Down";
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return "D-pad Left";
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return "D-pad Right";
    default:
        return nullptr;
    }
}

const char *navigationEntry(int button)
{
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return "dpup";
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return "dpdown";
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return "dpleft";
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return "dpright";
    case SDL_CONTROLLER_BUTTON_A:
        return "south";
    default:
        return nullptr;
    }
}

// One direction of a stick, or a trigger.
struct Direction
{
    SDL_GameControllerAxis axis;
    int sign;
    bool trigger;
    const char *input;
};

// SDL's sticks grow to the right and downwards.
constexpr Direction Directions[] = {
    {SDL_CONTROLLER_AXIS_LEFTX, -1, false, "Left stick left"},
    {SDL_CONTROLLER_AXIS_LEFTX, 1, false, "Left stick right"},
    {SDL_CONTROLLER_AXIS_LEFTY, -1, false, "Left stick up"},
    {SDL_CONTROLLER_AXIS_LEFTY, 1, false, "Left stick down"},
    {SDL_CONTROLLER_AXIS_RIGHTX, -1, false, "Right stick left"},
    {SDL_CONTROLLER_AXIS_RIGHTX, 1, false, "Right stick right"},
    {SDL_CONTROLLER_AXIS_RIGHTY, -1, false, "Right stick up"},
    {SDL_CONTROLLER_AXIS_RIGHTY, 1, false, "Right stick down"},
    {SDL_CONTROLLER_AXIS_TRIGGERLEFT, 1, true, "Left trigger (LT / L2)"},
    {SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 1, true, "Right trigger (RT / R2)"},
};
constexpr int DirectionCount = int(std::size(Directions));

// SDL's controller subsystem starts once and stays up until the process ends: the service has
// one Controllers, but the tests and the request fuzzer make many, and starting SDL (its
// device scan, its mapping database) costs milliseconds each time.
bool startSdl()
{
    static const bool started = [] {
        // The service ends on SIGTERM as before; SDL must not turn it into an event.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // There is no window whose focus SDL could follow: the launcher says when it has it.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        // Inputs by position, so "South" is the bottom face button on every pad.
        SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
            qWarning("tobble-launcher: no game controllers: %s", SDL_GetError());
            return false;
        }
        // Pads report their own sensors without it; it only adds stand-alone sensors.
        SDL_InitSubSystem(SDL_INIT_SENSOR);
        std::atexit(SDL_Quit);
        return true;
    }();
    return started;
}

double scaled(Sint16 raw)
{
    return std::clamp(raw / 32767.0, -1.0, 1.0);
}

} // namespace

struct Controllers::Open
{
    SDL_GameController *handle = nullptr;
    int instance = -1;
    int id = 0;
    // Per direction: past its level now, and back near the centre since it last was.
    bool active[DirectionCount] = {};
    bool armed[DirectionCount] = {};
    bool primed = false;
    // The previous gyroscope and accelerometer sample, in microseconds.
    Uint64 previous[2] = {};
};

Controllers::Controllers()
{
    elapsed.start();
    clock = [this] { return elapsed.elapsed(); };
    running = startSdl();
    if (running) {
        // SDL announced the pads it found at its start to the first of us only: those
        // already there are opened now.
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_IsGameController(i))
                add(i);
        const QString script = qEnvironmentVariable("TOBBLE_VIRTUAL_CONTROLLER");
        if (!script.isEmpty())
            scripted = std::make_unique<VirtualController>(script);
    }
    timer.callOnTimeout(this, [this] { pump(); });
    schedule();
}

Controllers::~Controllers()
{
    if (!running)
        return;
    for (const auto &pad : open)
        SDL_GameControllerClose(pad->handle);
    open.clear();
    scripted.reset();
}

qint64 Controllers::now() const
{
    return clock();
}

const Controllers::Pad *Controllers::find(int id) const
{
    for (const Pad &pad : list)
        if (pad.id == id)
            return &pad;
    return nullptr;
}

bool Controllers::rightStick(int id, double *x, double *y) const
{
    for (const auto &pad : open)
        if (pad->id == id) {
            *x = scaled(SDL_GameControllerGetAxis(pad->handle, SDL_CONTROLLER_AXIS_RIGHTX));
            *y = scaled(SDL_GameControllerGetAxis(pad->handle, SDL_CONTROLLER_AXIS_RIGHTY));
            return true;
        }
    return false;
}

void Controllers::schedule()
{
    const int interval = open.empty() && !scripted ? IdleIntervalMs : BusyIntervalMs;
    if (!running)
        return;
    if (!timer.isActive() || timer.interval() != interval)
        timer.start(interval);
}

void Controllers::pump()
{
    if (!running)
        return;
    if (scripted)
        scripted->step();
    SDL_Event event;
    while (SDL_PollEvent(&event))
        handle(event);
    for (const auto &pad : open)
        axes(*pad);
    if (repeatButton >= 0 && now() >= repeatAt) {
        repeatAt = now() + RepeatIntervalMs;
        navigate(navigationEntry(repeatButton));
    }
    schedule();
}

void Controllers::handle(const SDL_Event &event)
{
    const auto byInstance = [this](SDL_JoystickID instance) -> Open * {
        for (const auto &pad : open)
            if (pad->instance == instance)
                return pad.get();
        return nullptr;
    };
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        add(event.cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        remove(event.cdevice.which);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        if (Open *pad = byInstance(event.cbutton.which))
            button(*pad, event.cbutton.button, event.type == SDL_CONTROLLERBUTTONDOWN);
        break;
    case SDL_CONTROLLERSENSORUPDATE: {
        Open *pad = byInstance(event.csensor.which);
        const bool gyro = event.csensor.sensor == SDL_SENSOR_GYRO;
        if (!pad || !(gyro || event.csensor.sensor == SDL_SENSOR_ACCEL))
            break;
        // Pads without their own timestamps get SDL's arrival time.
        const Uint64 at = event.csensor.timestamp_us ? event.csensor.timestamp_us
                                                     : Uint64(event.csensor.timestamp) * 1000;
        Uint64 &previous = pad->previous[gyro ? 0 : 1];
        // A gap (a pause, a lost report) is not turned into one long movement.
        const double seconds =
            previous && at > previous ? std::min((at - previous) / 1e6, 0.05) : 0.0;
        previous = at;
        if (onSensor)
            onSensor(pad->id, gyro, event.csensor.data, seconds);
        break;
    }
    default:
        break;
    }
}

void Controllers::add(int deviceIndex)
{
    SDL_GameController *handle = SDL_GameControllerOpen(deviceIndex);
    if (!handle)
        return;
    const int instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(handle));
    for (const auto &pad : open)
        if (pad->instance == instance) { // already open: SDL counts every open
            SDL_GameControllerClose(handle);
            return;
        }

    auto pad = std::make_unique<Open>();
    pad->handle = handle;
    pad->instance = instance;
    pad->id = nextId++;

    Pad info;
    info.id = pad->id;
    const char *name = SDL_GameControllerName(handle);
    info.model = name && *name ? QString::fromUtf8(name) : QStringLiteral("Unnamed controller");
    info.name = info.model;
    // Two pads of one model are told apart by a number.
    for (int n = 2; std::any_of(list.cbegin(), list.cend(),
                                [&](const Pad &other) { return other.name == info.name; });
         ++n)
        info.name = QStringLiteral("%1 (%2)").arg(info.model).arg(n);
    const auto enable = [handle](SDL_SensorType type) {
        return SDL_GameControllerHasSensor(handle, type) &&
               SDL_GameControllerSetSensorEnabled(handle, type, SDL_TRUE) == 0;
    };
    info.gyro = enable(SDL_SENSOR_GYRO);
    info.accel = enable(SDL_SENSOR_ACCEL);

    list.append(info);
    open.push_back(std::move(pad));
    if (onAdded)
        onAdded(info.id);
}

void Controllers::remove(int instance)
{
    const auto found = std::find_if(open.begin(), open.end(),
                                    [&](const auto &pad) { return pad->instance == instance; });
    if (found == open.end())
        return;
    Open &pad = **found;
    // Whatever was held is let go, so that nothing waits for a release that cannot come.
    for (int i = 0; i < DirectionCount; ++i)
        if (pad.active[i] && onInput)
            onInput(QLatin1String(Directions[i].input), false);
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
        if (SDL_GameControllerGetButton(pad.handle, SDL_GameControllerButton(b)))
            if (const char *input = buttonInput(b); input && onInput)
                onInput(QLatin1String(input), false);
    if (repeatInstance == instance)
        repeatButton = -1;
    const int id = pad.id;
    SDL_GameControllerClose(pad.handle);
    open.erase(found);
    list.removeIf([id](const Pad &info) { return info.id == id; });
    if (onRemoved)
        onRemoved(id);
}

void Controllers::button(Open &pad, int button, bool down)
{
    // The capture sees the press first: a press it takes is not also a navigation step.
    if (const char *input = buttonInput(button); input && onInput)
        onInput(QLatin1String(input), down);
    const char *entry = navigationEntry(button);
    if (!entry)
        return;
    if (down) {
        navigate(entry);
        if (button != SDL_CONTROLLER_BUTTON_A) { // confirming never repeats
            repeatInstance = pad.instance;
            repeatButton = button;
            repeatAt = now() + RepeatDelayMs;
        }
    } else if (repeatInstance == pad.instance && repeatButton == button) {
        repeatButton = -1;
    }
}

// A stick direction or trigger becomes active when it passes its level, coming from near its
// centre (less than half the level), and inactive when it is back near its centre. One that is
// already held when the pad appears, or was held through a capture's start, must first return.
void Controllers::axes(Open &pad)
{
    const Levels level = levels ? levels() : Levels{};
    for (int i = 0; i < DirectionCount; ++i) {
        const Direction &direction = Directions[i];
        const double value = std::max(
            0.0, direction.sign * scaled(SDL_GameControllerGetAxis(pad.handle, direction.axis)));
        const double threshold = direction.trigger ? level.trigger : level.stick;
        const bool centred = value < threshold / 2;
        if (!pad.primed) {
            pad.armed[i] = centred;
        } else if (pad.active[i]) {
            if (centred) {
                pad.active[i] = false;
                pad.armed[i] = true;
                if (onInput)
                    onInput(QLatin1String(direction.input), false);
            }
        } else if (!pad.armed[i]) {
            pad.armed[i] = centred;
        } else if (value >= threshold) {
            pad.active[i] = true;
            pad.armed[i] = false;
            if (onInput)
                onInput(QLatin1String(direction.input), true);
        }
    }
    pad.primed = true;
}

void Controllers::navigate(const char *entry)
{
    if (!entry || (navigationWanted && !navigationWanted()))
        return;
    if (navigation.size() < NavigationLimit)
        navigation.append(QLatin1String(entry));
}

QStringList Controllers::takeNavigation()
{
    return std::exchange(navigation, {});
}

} // namespace Service
