// Shared helpers of the launcher's tests: a scripted service and widget lookups.
#pragma once

#include <QApplication>
#include <QByteArrayList>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace Quilt {
class Window;
}

namespace QuiltTest {

// A scripted service: a real child process that replays replies and records every request.
// Make one, add rules, then construct the window with servicePath() as its service.
class ScriptedService
{
public:
    ScriptedService();
    ~ScriptedService();

    // Rules, tried in order; see tests/support/peer.cpp for their members.
    void rule(const QJsonObject &rule);
    // Answers every (or the next `times`) request `cmd` with `reply`.
    void reply(const QString &cmd, const QJsonObject &reply, int times = -1);
    // Answers "hello" and every "poll" with the given state (and input).
    void serve(const QJsonObject &state, const QJsonObject &input = {});

    // Directives carried out at once while the peer runs.
    void push(const QJsonObject &directive);
    // Sends one reply line now.
    void send(const QJsonObject &reply);
    // Writes bytes exactly as they are (any bytes, also invalid UTF-8), without a line feed.
    void sendRaw(const QByteArray &bytes);

    // Creates the window; the environment tells the peer where its script and log are.
    std::unique_ptr<Quilt::Window> startWindow(bool show = true);

    QString servicePath() const;
    QString root() const { return rootDir.path(); }

    // Request lines received so far, byte for byte without their line feeds.
    QByteArrayList lines() const;
    QList<QJsonObject> requests() const;
    QStringList commands() const;
    int count(const QString &cmd) const;
    // The last request with this command, or an empty object.
    QJsonObject last(const QString &cmd) const;
    // Waits until at least n requests `cmd` arrived.
    bool waitFor(const QString &cmd, int n = 1, int timeout = 5000) const;

private:
    QTemporaryDir workDir;
    QTemporaryDir rootDir;
    QString scriptPath;
    QString logPath;
    QString pushPath;
};

// A state in which everything is ready: installed, verified, not running, no errors.
QJsonObject readyState();
// A reply carrying a state.
QJsonObject stateReply(const QString &cmd, const QJsonObject &state, const QJsonObject &input = {});

// Answers the next modal dialog of type D once it is up, looking again every few milliseconds
// for a while (`tries` more times) in case it is not shown yet or the previous one is closing.
template <typename D>
void whenModal(std::function<void(D *)> answer, int tries = 500, int delay = 0)
{
    QTimer::singleShot(delay, [answer, tries] {
        auto *dialog = qobject_cast<D *>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible())
            answer(dialog);
        else if (tries > 0)
            whenModal<D>(answer, tries - 1, 10);
    });
}

// Descendant with this object name and type, or null.
template <typename T> T *find(QWidget *parent, const QString &name)
{
    return parent ? parent->findChild<T *>(name) : nullptr;
}

// The first descendant button (of any button class) whose text is exactly `text`.
QWidget *buttonWithText(QWidget *parent, const QString &text);
// The first descendant QLabel whose text is exactly `text`.
QWidget *labelWithText(QWidget *parent, const QString &text);

} // namespace QuiltTest
