// Shared helpers of the launcher's tests: a scripted service and widget lookups.
#pragma once

#include "probe.h"

#include <QApplication>
#include <QByteArrayList>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <type_traits>

namespace Quilt {
class Window;
}

class QAbstractButton;

namespace QuiltTest {

// A state in which everything is ready: installed, verified, not running, no errors.
QJsonObject readyState();

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
    // The ready window: starts it shown with the rules given so far and waits for its first
    // state. Null when no state arrived in time.
    std::unique_ptr<Quilt::Window> startReady();
    // The usual start: serves `state` (and `input`) to the greeting and every poll, then
    // startReady().
    std::unique_ptr<Quilt::Window> readyWindow(const QJsonObject &state = readyState(),
                                               const QJsonObject &input = {});

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

// A reply carrying a state.
QJsonObject stateReply(const QString &cmd, const QJsonObject &state, const QJsonObject &input = {});

// Answers the next modal dialog of type D with `answer` once it is up. When none has come by
// the deadline, the running test fails and a stray modal dialog still up is closed, so that a
// forgotten dialog never stalls the suite. With `required` false the deadline only closes
// a stray dialog: for a test that checks by itself that no dialog appeared.
template <typename D = QWidget>
void answerModal(std::function<void(std::type_identity_t<D> *)> answer, int timeout = 15000,
                 bool required = true)
{
    answerModalWidget([](QWidget *modal) { return qobject_cast<D *>(modal) != nullptr; },
                      [answer](QWidget *modal) { answer(qobject_cast<D *>(modal)); }, timeout,
                      required);
}
void answerModalWidget(std::function<bool(QWidget *)> fits, std::function<void(QWidget *)> answer,
                       int timeout, bool required);
// Ends answerers still waiting (a test's cleanup()); a required one fails the test that made it.
void endModalAnswerers();

// The shared state every test class resets in init() and cleanup(): the language back to
// English, the painting caches emptied, no modal answerer left waiting.
void resetShared();

// The window's desktop opener replaced by one that records every address and answers `opens`.
struct RecordingOpener
{
    explicit RecordingOpener(Quilt::Window &window);
    QList<QUrl> opened;
    bool opens = true;
};

// A reply or request as one compact JSON line, without the line feed.
QByteArray json(const QJsonObject &object);
// The object with one member set.
QJsonObject withMember(QJsonObject object, const QString &key, const QJsonValue &value);
// Writes a whole file, making its folder; false when it could not be written.
bool writeFile(const QString &path, const QByteArray &bytes);

// Descendant with this object name and type, or null.
template <typename T> T *find(QWidget *parent, const QString &name)
{
    return parent ? parent->findChild<T *>(name) : nullptr;
}

// The first descendant button (of any button class) whose text is exactly `text`.
QWidget *buttonWithText(QWidget *parent, const QString &text);
// The first descendant QLabel whose text is exactly `text`.
QWidget *labelWithText(QWidget *parent, const QString &text);
// The first descendant button showing the catalogue text of `key` in the current language.
QAbstractButton *button(QWidget *parent, const char *key);

} // namespace QuiltTest
