#pragma once

// The names of the launcher's channel to its service: one JSON request per line in, one reply
// per line out. Both sides spell every name from here.
namespace Protocol {

// Request "cmd" values.
namespace Cmd {
inline constexpr char Hello[] = "hello";
inline constexpr char Poll[] = "poll";
inline constexpr char Quit[] = "quit";
inline constexpr char Change[] = "change";
inline constexpr char Save[] = "save";
inline constexpr char Reload[] = "reload";
inline constexpr char Lang[] = "lang";
inline constexpr char Data[] = "data";
inline constexpr char Verify[] = "verify";
inline constexpr char Setup[] = "setup";
inline constexpr char Play[] = "play";
inline constexpr char Bind[] = "bind";
inline constexpr char Clear[] = "clear";
inline constexpr char Key[] = "key";
inline constexpr char Escape[] = "escape";
inline constexpr char Swap[] = "swap";
inline constexpr char Cancel[] = "cancel";
inline constexpr char ResetControls[] = "resetControls";
inline constexpr char Pad[] = "pad";
inline constexpr char Recenter[] = "recenter";
inline constexpr char Calibrate[] = "calibrate";
inline constexpr char ResetMotion[] = "resetMotion";
inline constexpr char ImportSave[] = "importSave";
inline constexpr char ExportSave[] = "exportSave";
inline constexpr char CreateBackup[] = "createBackup";
inline constexpr char RestoreBackup[] = "restoreBackup";
inline constexpr char DeleteBackup[] = "deleteBackup";
inline constexpr char Refresh[] = "refresh";
} // namespace Cmd

// Members of a request, besides "cmd".
namespace Arg {
inline constexpr char Cmd[] = "cmd";
inline constexpr char Focused[] = "focused";
inline constexpr char Controls[] = "controls";
inline constexpr char Discard[] = "discard";
inline constexpr char Key[] = "key";
inline constexpr char Value[] = "value";
inline constexpr char Path[] = "path";
inline constexpr char Action[] = "action";
inline constexpr char Keyboard[] = "keyboard";
inline constexpr char Down[] = "down";
inline constexpr char Id[] = "id";
inline constexpr char Folder[] = "folder";
inline constexpr char Label[] = "label";
inline constexpr char Name[] = "name";
} // namespace Arg

// Members of a reply.
namespace Reply {
inline constexpr char Cmd[] = "cmd";
inline constexpr char Error[] = "error";
inline constexpr char Input[] = "input";
inline constexpr char State[] = "state";
} // namespace Reply

// Members of "state".
namespace State {
inline constexpr char Running[] = "running";
inline constexpr char SaveFound[] = "saveFound";
inline constexpr char Lang[] = "lang";
inline constexpr char Config[] = "config";
inline constexpr char Dirty[] = "dirty";
inline constexpr char SettingsError[] = "settingsError";
inline constexpr char Verified[] = "verified";
inline constexpr char Installed[] = "installed";
inline constexpr char InstallationError[] = "installationError";
inline constexpr char DataStatus[] = "dataStatus";
inline constexpr char GameStatus[] = "gameStatus";
inline constexpr char SaveImportStatus[] = "saveImportStatus";
inline constexpr char Data[] = "data";
inline constexpr char SetupAvailable[] = "setupAvailable";
inline constexpr char Bindings[] = "bindings";
inline constexpr char Saves[] = "saves";
inline constexpr char Backups[] = "backups";
inline constexpr char Build[] = "build";
inline constexpr char Runtime[] = "runtime";
inline constexpr char Match[] = "match";
inline constexpr char BuildError[] = "buildError";
inline constexpr char Checking[] = "checking";
inline constexpr char Executable[] = "executable";
inline constexpr char Settings[] = "settings";
} // namespace State

// Members of "input".
namespace Input {
inline constexpr char Nav[] = "nav";
inline constexpr char Phase[] = "phase";
inline constexpr char Release[] = "release";
inline constexpr char KeyboardCapture[] = "keyboardCapture";
inline constexpr char Message[] = "message";
inline constexpr char Devices[] = "devices";
inline constexpr char Selected[] = "selected";
inline constexpr char Gyro[] = "gyro";
inline constexpr char Accel[] = "accel";
inline constexpr char PreviewPaused[] = "previewPaused";
inline constexpr char X[] = "x";
inline constexpr char Y[] = "y";
inline constexpr char TiltAngle[] = "tiltAngle";
inline constexpr char Calibrating[] = "calibrating";
inline constexpr char MotionMessage[] = "motionMessage";
} // namespace Input

// Capture phases in "phase".
enum class Phase { Idle = 0, Waiting = 1, Releasing = 2, Conflict = 3 };

} // namespace Protocol
