// The launcher's mirror of the service: reply framing, applying a reply, and a typed view.
// Nothing here touches a widget, so all of it runs without a window.
#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QString>

namespace Quilt {

// Member names of replies and of the mirrored objects, spelled once for launcher and service.
namespace Key = Protocol::Key;

// The launcher's languages; the values are the indices the service and the language file use.
enum class Language : int { Chinese = 0, English = 1, Spanish = 2 };

// Phases of a binding capture as the service reports them. Other non-zero values also mean
// a capture is in progress.
enum class CapturePhase : int { Idle = 0, Waiting = 1, Conflict = 3 };

// Cuts the service's output into lines. A line longer than maxLine is dropped up to its line
// feed and comes out as one empty line, so it counts as one unreadable reply.
class ReplyFramer
{
public:
    static constexpr qsizetype maxLine = 16 * 1024 * 1024;

    void append(const QByteArray &bytes) { buffer += bytes; }
    // Takes the next whole line (without its line feed); false when none is complete.
    bool next(QByteArray &line);
    // Forgets everything, a line being dropped included.
    void clear();

    // Bytes not taken yet; they end with the unfinished line.
    const QByteArray &pending() const { return buffer; }
    // An over-long line is being dropped up to its line feed.
    bool skipping() const { return skippingLine; }

private:
    QByteArray buffer;
    qsizetype scanned = 0; // bytes of buffer known to hold no line feed
    bool skippingLine = false;
};

// One reply as the later steps of its handling need it, with what it changed in the mirror.
struct ReplyDigest
{
    QString cmd;
    bool error = false; // an error reply: the mirror is untouched
    QString errorText;
    bool hasState = false;
    // The mirror before the reply, and after it
    bool wasReady = false;
    bool wasRunning = false;
    bool wasSaveFound = false;
    bool running = false;
    bool saveFound = false;
};

// The reply object of one line; anything but a JSON object reads as an empty one.
QJsonObject parseReply(const QByteArray &line);

// Applies one reply to the mirror: `input` is replaced unless the reply is an error, `state`
// and `config` when it carries a state, which also sets `ready`. Touches nothing else.
ReplyDigest applyReply(const QJsonObject &reply, QJsonObject &state, QJsonObject &config,
                       QJsonObject &input, bool &ready);

// A read-only, typed view of the mirror. Missing members read as false, 0 or empty.
class MirrorView
{
public:
    MirrorView(const QJsonObject &state, const QJsonObject &config, const QJsonObject &input,
               bool ready)
        : stateObject(state), configObject(config), inputObject(input), isReady(ready)
    {
    }

    const QJsonObject &state() const { return stateObject; }
    const QJsonObject &config() const { return configObject; }
    const QJsonObject &input() const { return inputObject; }

    // A state has arrived since the service started.
    bool ready() const { return isReady; }
    bool running() const { return flag(Key::running); }
    bool installed() const { return flag(Key::installed); }
    bool verified() const { return flag(Key::verified); }
    bool saveFound() const { return flag(Key::saveFound); }
    // The service holds unsaved settings.
    bool dirty() const { return flag(Key::dirty); }
    QString settingsError() const { return text(Key::settingsError); }
    QString installationError() const { return text(Key::installationError); }
    // Installed, verified and without an installation error: the game can start.
    bool dataReady() const;
    // Settings can be changed: a state is there, the settings have no error, the game is idle.
    bool editable() const;
    // The service's language; an index outside the three languages reads as a missing one.
    Language language() const;

    CapturePhase capturePhase() const;
    bool capturing() const { return capturePhase() != CapturePhase::Idle; }
    bool releasePending() const { return inputObject.value(Key::release).toBool(); }
    bool keyboardCapture() const { return inputObject.value(Key::keyboardCapture).toBool(); }

    bool flag(QLatin1StringView key) const { return stateObject.value(key).toBool(); }
    QString text(QLatin1StringView key) const { return stateObject.value(key).toString(); }

private:
    const QJsonObject &stateObject;
    const QJsonObject &configObject;
    const QJsonObject &inputObject;
    bool isReady;
};

} // namespace Quilt
