#include "virtual_controller.h"

#include <QFile>
#include <QList>

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace Service {

VirtualController::VirtualController(const QString &script) : script(script)
{
    plug();
}

VirtualController::~VirtualController()
{
    unplug();
}

void VirtualController::plug()
{
    if (joystick)
        return;
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = Name;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
        qWarning("tobble-launcher: no virtual controller: %s", SDL_GetError());
        return;
    }
    joystick = SDL_JoystickOpen(index);
    if (!joystick) {
        SDL_JoystickDetachVirtual(index);
        return;
    }
    instance = SDL_JoystickInstanceID(joystick);
    // A trigger at rest is at the bottom of the joystick's range.
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
}

void VirtualController::unplug()
{
    if (!joystick)
        return;
    SDL_JoystickClose(joystick);
    joystick = nullptr;
    // Device indices move as other pads come and go; the instance stays.
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == instance) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    instance = -1;
}

void VirtualController::step()
{
    QFile file(script);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= offset || !file.seek(offset))
        return;
    const QByteArray line = file.readLine(4096);
    if (!line.endsWith('\n'))
        return; // not written completely yet
    offset += line.size();

    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray verb = words.value(0);
    const QByteArray name = words.value(1);
    if (verb == "plug") {
        plug();
    } else if (verb == "unplug") {
        unplug();
    } else if (!joystick) {
        return;
    } else if (verb == "press" || verb == "release") {
        const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name);
        if (button != SDL_CONTROLLER_BUTTON_INVALID)
            SDL_JoystickSetVirtualButton(joystick, button, verb == "press");
    } else if (verb == "axis") {
        const SDL_GameControllerAxis axis = SDL_GameControllerGetAxisFromString(name);
        bool ok = false;
        const double value = words.value(2).toDouble(&ok);
        if (axis == SDL_CONTROLLER_AXIS_INVALID || !ok || !std::isfinite(value))
            return;
        const bool trigger =
            axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
        // Triggers span the whole joystick range from rest to fully pressed.
        const double span =
            trigger ? std::clamp(value, 0.0, 1.0) * 2 - 1 : std::clamp(value, -1.0, 1.0);
        const double raw = span < 0 ? span * 32768.0 : span * 32767.0;
        SDL_JoystickSetVirtualAxis(joystick, axis, Sint16(std::lround(raw)));
    }
}

} // namespace Service
