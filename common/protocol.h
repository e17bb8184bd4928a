#pragma once

#include <QLatin1StringView>

// The names of the launcher's channel to its service: one JSON request per line in, one reply
// per line out. Both sides spell every name from here.
namespace Protocol {

// Request "cmd" values.
namespace Cmd {
inline constexpr QLatin1StringView hello{"hello"};
inline constexpr QLatin1StringView poll{"poll"};
inline constexpr QLatin1StringView quit{"quit"};
inline constexpr QLatin1StringView change{"change"};
inline constexpr QLatin1StringView save{"save"};
inline constexpr QLatin1StringView reload{"reload"};
inline constexpr QLatin1StringView lang{"lang"};
inline constexpr QLatin1StringView data{"data"};
inline constexpr QLatin1StringView verify{"verify"};
inline constexpr QLatin1StringView setup{"setup"};
inline constexpr QLatin1StringView play{"play"};
inline constexpr QLatin1StringView bind{"bind"};
inline constexpr QLatin1StringView clear{"clear"};
inline constexpr QLatin1StringView key{"key"};
inline constexpr QLatin1StringView escape{"escape"};
inline constexpr QLatin1StringView swap{"swap"};
inline constexpr QLatin1StringView cancel{"cancel"};
inline constexpr QLatin1StringView resetControls{"resetControls"};
inline constexpr QLatin1StringView pad{"pad"};
inline constexpr QLatin1StringView recenter{"recenter"};
inline constexpr QLatin1StringView calibrate{"calibrate"};
inline constexpr QLatin1StringView resetMotion{"resetMotion"};
inline constexpr QLatin1StringView importSave{"importSave"};
inline constexpr QLatin1StringView exportSave{"exportSave"};
inline constexpr QLatin1StringView createBackup{"createBackup"};
inline constexpr QLatin1StringView restoreBackup{"restoreBackup"};
inline constexpr QLatin1StringView deleteBackup{"deleteBackup"};
inline constexpr QLatin1StringView refresh{"refresh"};
} // namespace Cmd

// Members of a request.
namespace Arg {
inline constexpr QLatin1StringView cmd{"cmd"};
inline constexpr QLatin1StringView focused{"focused"};
inline constexpr QLatin1StringView controls{"controls"};
inline constexpr QLatin1StringView discard{"discard"};
inline constexpr QLatin1StringView key{"key"};
inline constexpr QLatin1StringView value{"value"};
inline constexpr QLatin1StringView path{"path"};
inline constexpr QLatin1StringView action{"action"};
inline constexpr QLatin1StringView keyboard{"keyboard"};
inline constexpr QLatin1StringView down{"down"};
inline constexpr QLatin1StringView id{"id"};
inline constexpr QLatin1StringView folder{"folder"};
inline constexpr QLatin1StringView label{"label"};
inline constexpr QLatin1StringView name{"name"};
} // namespace Arg

// Members of a reply and of the objects it carries.
namespace Key {
// Reply
inline constexpr QLatin1StringView cmd{"cmd"};
inline constexpr QLatin1StringView error{"error"};
inline constexpr QLatin1StringView state{"state"};
inline constexpr QLatin1StringView input{"input"};
// State
inline constexpr QLatin1StringView config{"config"};
inline constexpr QLatin1StringView running{"running"};
inline constexpr QLatin1StringView saveFound{"saveFound"};
inline constexpr QLatin1StringView lang{"lang"};
inline constexpr QLatin1StringView dirty{"dirty"};
inline constexpr QLatin1StringView settingsError{"settingsError"};
inline constexpr QLatin1StringView verified{"verified"};
inline constexpr QLatin1StringView installed{"installed"};
inline constexpr QLatin1StringView installationError{"installationError"};
inline constexpr QLatin1StringView dataStatus{"dataStatus"};
inline constexpr QLatin1StringView gameStatus{"gameStatus"};
inline constexpr QLatin1StringView saveImportStatus{"saveImportStatus"};
inline constexpr QLatin1StringView data{"data"};
inline constexpr QLatin1StringView setupAvailable{"setupAvailable"};
inline constexpr QLatin1StringView bindings{"bindings"};
inline constexpr QLatin1StringView saves{"saves"};
inline constexpr QLatin1StringView backups{"backups"};
inline constexpr QLatin1StringView build{"build"};
inline constexpr QLatin1StringView runtime{"runtime"};
inline constexpr QLatin1StringView match{"match"};
inline constexpr QLatin1StringView buildError{"buildError"};
inline constexpr QLatin1StringView checking{"checking"};
inline constexpr QLatin1StringView executable{"executable"};
inline constexpr QLatin1StringView settings{"settings"};
// Input
inline constexpr QLatin1StringView nav{"nav"};
inline constexpr QLatin1StringView phase{"phase"};
inline constexpr QLatin1StringView release{"release"};
inline constexpr QLatin1StringView keyboardCapture{"keyboardCapture"};
inline constexpr QLatin1StringView message{"message"};
inline constexpr QLatin1StringView devices{"devices"};
inline constexpr QLatin1StringView selected{"selected"};
inline constexpr QLatin1StringView gyro{"gyro"};
inline constexpr QLatin1StringView accel{"accel"};
inline constexpr QLatin1StringView previewPaused{"previewPaused"};
inline constexpr QLatin1StringView x{"x"};
inline constexpr QLatin1StringView y{"y"};
inline constexpr QLatin1StringView tiltAngle{"tiltAngle"};
inline constexpr QLatin1StringView calibrating{"calibrating"};
inline constexpr QLatin1StringView motionMessage{"motionMessage"};
} // namespace Key

// Capture phases in "phase".
enum class Phase : int { Idle = 0, Waiting = 1, Releasing = 2, Conflict = 3 };

// Every gamepad input a binding may name, as the service reports it.
inline constexpr QLatin1StringView GamepadInputs[] = {
    QLatin1StringView("South (A / Cross)"),
    QLatin1StringView("East (B / Circle)"),
    QLatin1StringView("West (X / Square)"),
    QLatin1StringView("North (Y / Triangle)"),
    QLatin1StringView("Left trigger (LT / L2)"),
    QLatin1StringView("Right trigger (RT / R2)"),
    QLatin1StringView("Left bumper (LB / L1)"),
    QLatin1StringView("Right bumper (RB / R1)"),
    QLatin1StringView("Left stick click (L3)"),
    QLatin1StringView("Right stick click (R3)"),
    QLatin1StringView("D-pad Up"),
    QLatin1StringView("D-pad Down"),
    QLatin1StringView("D-pad Left"),
    QLatin1StringView("D-pad Right"),
    QLatin1StringView("Left stick left"),
    QLatin1StringView("Left stick right"),
    QLatin1StringView("Left stick up"),
    QLatin1StringView("Left stick down"),
    QLatin1StringView("Right stick left"),
    QLatin1StringView("Right stick right"),
    QLatin1StringView("Right stick up"),
    QLatin1StringView("Right stick down"),
};

} // namespace Protocol
