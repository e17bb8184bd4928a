#include "mirror.h"

#include <QJsonDocument>

namespace Quilt {

bool ReplyFramer::next(QByteArray &line)
{
    const qsizetype end = buffer.indexOf('\n', scanned);
    if (end >= 0) {
        line = buffer.left(end);
        buffer.remove(0, end + 1);
        scanned = 0;
        if (skippingLine) {
            // The tail of an over-long line: it counts as one unreadable reply.
            skippingLine = false;
            line.clear();
        }
        return true;
    }
    scanned = buffer.size();
    // While a line is being dropped nothing before the next line feed is kept at all.
    if (buffer.size() > maxLine || (skippingLine && !buffer.isEmpty())) {
        buffer.clear();
        scanned = 0;
        skippingLine = true;
    }
    return false;
}

void ReplyFramer::clear()
{
    buffer.clear();
    scanned = 0;
    skippingLine = false;
}

QJsonObject parseReply(const QByteArray &line)
{
    return QJsonDocument::fromJson(line).object();
}

ReplyDigest applyReply(const QJsonObject &reply, QJsonObject &state, QJsonObject &config,
                       QJsonObject &input, bool &ready)
{
    ReplyDigest digest;
    digest.cmd = reply.value(Key::cmd).toString();
    // Error replies never change the mirror.
    if (reply.contains(Key::error)) {
        digest.error = true;
        digest.errorText = reply.value(Key::error).toString();
        return digest;
    }

    digest.wasReady = ready;
    digest.wasRunning = state.value(Key::running).toBool();
    digest.wasSaveFound = state.value(Key::saveFound).toBool();

    input = reply.value(Key::input).toObject();
    digest.hasState = reply.contains(Key::state);
    if (digest.hasState) {
        state = reply.value(Key::state).toObject();
        config = state.value(Key::config).toObject();
        ready = true;
    }
    digest.running = state.value(Key::running).toBool();
    digest.saveFound = state.value(Key::saveFound).toBool();
    return digest;
}

bool MirrorView::dataReady() const
{
    return verified() && installed() && installationError().isEmpty();
}

bool MirrorView::editable() const
{
    return isReady && settingsError().isEmpty() && !running();
}

Language MirrorView::language() const
{
    const int index = stateObject.value(Key::lang).toInt(0);
    if (index < 0 || index > 2)
        return Language::Chinese;
    return Language(index);
}

CapturePhase MirrorView::capturePhase() const
{
    return CapturePhase(inputObject.value(Key::phase).toInt());
}

} // namespace Quilt
