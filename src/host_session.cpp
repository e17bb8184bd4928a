#include "window.h"

#include "translations.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>

namespace Quilt {

namespace {

// How much of the service's output is taken per read.
constexpr qint64 readChunk = 64 * 1024;
// Poll intervals: before the first state, live on the controls page, and otherwise.
constexpr int greetingInterval = 65;
constexpr int livePollInterval = 20;
constexpr int idlePollInterval = 200;

bool oneOf(const QString &cmd, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (cmd == QLatin1String(name))
            return true;
    }
    return false;
}

} // namespace

void Window::startService(const QString &servicePath)
{
    connect(&process, &QProcess::readyReadStandardOutput, this, &Window::receive);
    // The service's diagnostics are not for the player; draining them keeps the pipe from filling.
    connect(&process, &QProcess::readyReadStandardError, this,
            [this] { process.readAllStandardError(); });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError) {
        if (!closing)
            notice(process.errorString());
    });
    connect(&process, &QProcess::finished, this, [this] {
        pollTimer.stop();
        ready = false;
        // A save on the way out can no longer be answered; without this the window
        // would refuse every later close.
        closeAfterSave = false;
        closeSaveTimer.stop();
        if (!closing) {
            refresh();
            notice(T("Launcher connection closed"));
        }
    });
    connect(&process, &QProcess::started, this, [this] {
        request(QStringLiteral("hello"), {});
        pollTimer.start(greetingInterval);
    });
    connect(&pollTimer, &QTimer::timeout, this, &Window::poll);

    process.setWorkingDirectory(root);
    process.start(servicePath, {QStringLiteral("--ui-service")}, QIODevice::ReadWrite);
}

void Window::request(QString cmd, QJsonObject extra)
{
    if (selfTest || process.state() != QProcess::Running)
        return;
    extra.insert(QStringLiteral("cmd"), cmd);
    extra.insert(QStringLiteral("focused"), isActiveWindow());
    extra.insert(QStringLiteral("controls"), page == Page::Controls);
    QByteArray line = QJsonDocument(extra).toJson(QJsonDocument::Compact);
    line += '\n';
    process.write(line);
}

void Window::poll()
{
    if (!ready || pollPending || closing)
        return;
    const int interval =
        page == Page::Controls && isActiveWindow() ? livePollInterval : idlePollInterval;
    if (pollTimer.interval() != interval)
        pollTimer.setInterval(interval);
    pollPending = true;
    request(QStringLiteral("poll"), {});
}

void Window::receive()
{
    // Everything lives in members: handling a line can open a modal dialog whose event loop
    // calls receive() again, and the lines must still be handled in arrival order.
    for (;;) {
        QByteArray line;
        if (replies.next(line)) {
            handleLine(line);
            continue;
        }
        // Read all that arrived: data left inside QProcess would grow without bound.
        if (process.bytesAvailable() <= 0)
            return;
        replies.append(process.read(readChunk));
    }
}

void Window::handleLine(const QByteArray &line)
{
    // Everything kept about the line in hand is local: a modal dialog opened below runs an
    // event loop that handles later lines meanwhile.
    const ReplyDigest reply = applyToMirror(line);
    settleRequest(reply);
    if (reply.error) {
        answerError(reply);
        return;
    }
    rebuildIfNeeded(reply, followLanguage(reply));
    finishReply(reply);
    followGame(reply);
    navigateByController();
}

ReplyDigest Window::applyToMirror(const QByteArray &line)
{
    return applyReply(parseReply(line), state, config, input, ready);
}

void Window::settleRequest(const ReplyDigest &reply)
{
    if (reply.cmd == QLatin1String("poll"))
        pollPending = false;
    if (reply.cmd == QLatin1String("lang") && languageRequests > 0)
        --languageRequests;
    if (reply.cmd == QLatin1String("save"))
        closeSaveTimer.stop();
}

void Window::answerError(const ReplyDigest &reply)
{
    notice(status(reply.errorText));
    if (reply.cmd == QLatin1String("save") && closeAfterSave)
        saveOnCloseFailed();
}

bool Window::followLanguage(const ReplyDigest &reply)
{
    // Replies sent before the service saw the launcher's own choice still name the old language.
    if (!reply.hasState || languageRequests > 0)
        return false;
    const int serviceLanguage = int(mirror().language());
    if (serviceLanguage == language)
        return false;
    language = serviceLanguage;
    Quilt::language(language);
    loadStandardText();
    headerText();
    navigate(page, true);
    return true;
}

void Window::rebuildIfNeeded(const ReplyDigest &reply, bool languageRebuilt)
{
    const QString &cmd = reply.cmd;
    if (!languageRebuilt) {
        if (!reply.wasReady || (reply.wasRunning && !reply.running) ||
            oneOf(cmd, {"reload", "resetControls", "resetMotion", "data"}) ||
            (page == Page::Diagnostics && reply.hasState && cmd != QLatin1String("change")))
            navigate(page, true);
    }
    if (page == Page::Saves) {
        if (oneOf(cmd,
                  {"importSave", "exportSave", "createBackup", "restoreBackup", "deleteBackup"}) ||
            reply.running != reply.wasRunning || reply.saveFound != reply.wasSaveFound)
            navigate(page, true);
    }
}

void Window::finishReply(const ReplyDigest &reply)
{
    if (reply.cmd == QLatin1String("save")) {
        dirty = false;
        if (closeAfterSave) {
            closing = true;
            close();
        }
    }
    if (reply.cmd != QLatin1String("poll") && reply.cmd != QLatin1String("hello"))
        notice(QString());
    refresh();
}

void Window::followGame(const ReplyDigest &reply)
{
    if (reply.wasRunning && !reply.running) {
        showNormal();
        raise();
        activateWindow();
    } else if (!reply.wasRunning && reply.running) {
        dirty = false;
        autosaveTimer.stop();
        showMinimized();
    }
}

void Window::navigateByController()
{
    if (!isActiveWindow() || capturing)
        return;
    const QJsonArray events = input.value(Key::nav).toArray();
    for (const QJsonValue &event : events) {
        const QString name = event.toString();
        if (name == QLatin1String("dpdown") || name == QLatin1String("dpright")) {
            focusNextPrevChild(true);
        } else if (name == QLatin1String("dpup") || name == QLatin1String("dpleft")) {
            focusNextPrevChild(false);
        } else if (name == QLatin1String("south")) {
            if (QWidget *target = focusWidget()) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QString(), false,
                                1);
                QCoreApplication::sendEvent(target, &press);
            }
            if (QWidget *target = focusWidget()) {
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QString(),
                                  false, 1);
                QCoreApplication::sendEvent(target, &release);
            }
        }
    }
}

void Window::saveOnCloseFailed()
{
    // The settings were not written: closing now loses them only if the player says so.
    closeAfterSave = false;
    if (confirmAction(this, T("Save settings"), T("Close without saving?"),
                      T("Close without saving"))) {
        discardOnQuit = true;
        closing = true;
        close();
    }
}

void Window::patch(const char *key, QJsonValue value)
{
    dirty = true;
    const QString name = QString::fromUtf8(key);
    config.insert(name, value);
    request(QStringLiteral("change"),
            {{QStringLiteral("key"), name}, {QStringLiteral("value"), value}});
    if (page == Page::Basic)
        autosaveTimer.start();
}

} // namespace Quilt
