#pragma once

#include <QString>

struct _SDL_Joystick;

// A game controller that exists only inside the service, driven by lines appended to a file,
// for trying the controller handling and for the tests without hardware. Set
// TOBBLE_VIRTUAL_CONTROLLER to the file's path before the service starts; each line is one of
//   press NAME, release NAME   a button by SDL's name: a, b, x, y, dpup, leftshoulder, …
//   axis NAME VALUE            leftx, lefty, rightx, righty from -1 to 1 (y grows downwards),
//                              lefttrigger, righttrigger from 0 to 1
//   unplug, plug               takes the controller away and brings it back
namespace Service {

class VirtualController
{
public:
    explicit VirtualController(const QString &script);
    ~VirtualController();
    VirtualController(const VirtualController &) = delete;
    VirtualController &operator=(const VirtualController &) = delete;

    // Carries out the next complete line, if there is one. One line per call, so that SDL sees
    // every state in between (a press and its release are two steps).
    void step();

    static constexpr const char *Name = "Virtual controller";

private:
    void plug();
    void unplug();

    QString script;
    qint64 offset = 0;
    int instance = -1;
    _SDL_Joystick *joystick = nullptr;
};

} // namespace Service
