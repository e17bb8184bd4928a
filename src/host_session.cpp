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
        const qsizetype end = replyBuffer.indexOf('\n', replyScanned);
        if (end >= 0) {
            QByteArray line = replyBuffer.left(end);
            replyBuffer.remove(0, end + 1);
            replyScanned = 0;
            if (skippingLine) {
                // The tail of an over-long line: it counts as one unreadable reply.
                skippingLine = false;
                line.clear();
            }
            handleLine(line);
            continue;
        }
        replyScanned = replyBuffer.size();
        // While a line is being dropped nothing before the next line feed is kept at all.
        if (replyBuffer.size() > maxReplyLine || (skippingLine && !replyBuffer.isEmpty())) {
            replyBuffer.clear();
            replyScanned = 0;
            skippingLine = true;
        }
        // Read all that arrived: data left inside QProcess would grow without bound.
        if (process.bytesAvailable() <= 0)
            return;
        replyBuffer += process.read(readChunk);
    }
}

void Window::handleLine(const QByteArray &line)
{
    const QJsonObject reply = QJsonDocument::fromJson(line).object();
    const QString cmd = reply.value(QLatin1String("cmd")).toString();
    if (cmd == QLatin1String("poll"))
        pollPending = false;
    if (cmd == QLatin1String("lang") && languageRequests > 0)
        --languageRequests;
    if (cmd == QLatin1String("save"))
        closeSaveTimer.stop();

    // Error replies: a notice, and the answer to a failed save on the way out
    if (reply.contains(QLatin1String("error"))) {
        notice(status(reply.value(QLatin1String("error")).toString()));
        if (cmd == QLatin1String("save") && closeAfterSave)
            saveOnCloseFailed();
        return;
    }

    const bool wasReady = ready;
    const bool oldRunning = state.value(QLatin1String("running")).toBool();
    const bool oldSaveFound = state.value(QLatin1String("saveFound")).toBool();

    // The mirror
    input = reply.value(QLatin1String("input")).toObject();
    const bool hasState = reply.contains(QLatin1String("state"));
    if (hasState) {
        state = reply.value(QLatin1String("state")).toObject();
        config = state.value(QLatin1String("config")).toObject();
        ready = true;
    }
    const bool running = state.value(QLatin1String("running")).toBool();

    // The launcher follows the service's language, except while its own choice is on the way:
    // replies sent before the service saw that choice still name the old language.
    bool rebuilt = false;
    if (hasState && languageRequests == 0) {
        int serviceLanguage = state.value(QLatin1String("lang")).toInt(0);
        // An index outside the three languages reads like a missing one.
        if (serviceLanguage < 0 || serviceLanguage > 2)
            serviceLanguage = 0;
        if (serviceLanguage != language) {
            language = serviceLanguage;
            Quilt::language(language);
            loadStandardText();
            headerText();
            navigate(page, true);
            rebuilt = true;
        }
    }
    if (!rebuilt) {
        if (!wasReady || (oldRunning && !running) ||
            oneOf(cmd, {"reload", "resetControls", "resetMotion", "data"}) ||
            (page == Page::Diagnostics && hasState && cmd != QLatin1String("change")))
            navigate(page, true);
    }
    if (page == Page::Saves) {
        if (oneOf(cmd,
                  {"importSave", "exportSave", "createBackup", "restoreBackup", "deleteBackup"}) ||
            running != oldRunning ||
            state.value(QLatin1String("saveFound")).toBool() != oldSaveFound)
            navigate(page, true);
    }

    if (cmd == QLatin1String("save")) {
        dirty = false;
        if (closeAfterSave) {
            closing = true;
            close();
        }
    }
    if (cmd != QLatin1String("poll") && cmd != QLatin1String("hello"))
        notice(QString());
    refresh();

    // Follow the game: out of the way while it runs, back in front when it ends
    if (oldRunning && !running) {
        showNormal();
        raise();
        activateWindow();
    } else if (!oldRunning && running) {
        dirty = false;
        autosaveTimer.stop();
        showMinimized();
    }

    // Controller navigation inside the launcher
    if (!isActiveWindow() || capturing)
        return;
    const QJsonArray events = input.value(QLatin1String("nav")).toArray();
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
