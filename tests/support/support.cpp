#include "support.h"

#include "kept.h"
#include "translations.h"
#include "window.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLabel>
#include <QPointer>
#include <QTest>

namespace QuiltTest {

namespace {

void appendLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line + '\n');
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

ScriptedService::ScriptedService()
{
    scriptPath = workDir.filePath(QStringLiteral("script.jsonl"));
    logPath = workDir.filePath(QStringLiteral("requests.log"));
    pushPath = workDir.filePath(QStringLiteral("push.jsonl"));
    QFile(scriptPath).open(QIODevice::WriteOnly);
    QFile(pushPath).open(QIODevice::WriteOnly);
    QDir(rootDir.path()).mkpath(QStringLiteral("local/user"));
}

ScriptedService::~ScriptedService() = default;

void ScriptedService::rule(const QJsonObject &rule)
{
    appendLine(scriptPath, compact(rule));
}

void ScriptedService::reply(const QString &cmd, const QJsonObject &reply, int times)
{
    rule({{QStringLiteral("on"), cmd},
          {QStringLiteral("send"), reply},
          {QStringLiteral("times"), times}});
}

void ScriptedService::serve(const QJsonObject &state, const QJsonObject &input)
{
    reply(QStringLiteral("hello"), stateReply(QStringLiteral("hello"), state, input));
    reply(QStringLiteral("poll"), stateReply(QStringLiteral("poll"), state, input));
}

void ScriptedService::push(const QJsonObject &directive)
{
    appendLine(pushPath, compact(directive));
}

void ScriptedService::send(const QJsonObject &reply)
{
    push({{QStringLiteral("send"), reply}});
}

void ScriptedService::sendRaw(const QByteArray &bytes)
{
    push({{QStringLiteral("rawBase64"), QString::fromLatin1(bytes.toBase64())}});
}

std::unique_ptr<Quilt::Window> ScriptedService::startWindow(bool show)
{
    qputenv("QUILT_PEER_SCRIPT", QFile::encodeName(scriptPath));
    qputenv("QUILT_PEER_LOG", QFile::encodeName(logPath));
    qputenv("QUILT_PEER_PUSH", QFile::encodeName(pushPath));
    auto window = std::make_unique<Quilt::Window>(root(), servicePath(), false);
    if (show) {
        window->show();
        window->activateWindow();
    }
    return window;
}

std::unique_ptr<Quilt::Window> ScriptedService::readyWindow(const QJsonObject &state,
                                                            const QJsonObject &input)
{
    serve(state, input);
    return startReady();
}

std::unique_ptr<Quilt::Window> ScriptedService::startReady()
{
    auto window = startWindow();
    if (!QTest::qWaitFor([&] { return probe(window).ready(); }, 5000))
        window.reset();
    return window;
}

QString ScriptedService::servicePath() const
{
    return QStringLiteral(QUILT_PEER_PATH);
}

QByteArrayList ScriptedService::lines() const
{
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList result = file.readAll().split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

QList<QJsonObject> ScriptedService::requests() const
{
    QList<QJsonObject> result;
    for (const QByteArray &line : lines())
        result.append(QJsonDocument::fromJson(line).object());
    return result;
}

QStringList ScriptedService::commands() const
{
    QStringList result;
    for (const QJsonObject &request : requests())
        result.append(request.value(QLatin1String("cmd")).toString());
    return result;
}

int ScriptedService::count(const QString &cmd) const
{
    return int(commands().count(cmd));
}

QJsonObject ScriptedService::last(const QString &cmd) const
{
    const QList<QJsonObject> all = requests();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->value(QLatin1String("cmd")).toString() == cmd)
            return *it;
    }
    return {};
}

bool ScriptedService::waitFor(const QString &cmd, int n, int timeout) const
{
    return QTest::qWaitFor([&] { return count(cmd) >= n; }, timeout);
}

QJsonObject readyState()
{
    return QJsonObject{
        {QStringLiteral("installed"), true}, {QStringLiteral("verified"), true},
        {QStringLiteral("running"), false},  {QStringLiteral("dirty"), false},
        {QStringLiteral("lang"), 1},         {QStringLiteral("config"), QJsonObject()},
    };
}

QJsonObject stateReply(const QString &cmd, const QJsonObject &state, const QJsonObject &input)
{
    return {{QStringLiteral("cmd"), cmd},
            {QStringLiteral("input"), input},
            {QStringLiteral("state"), state}};
}

QWidget *buttonWithText(QWidget *parent, const QString &text)
{
    if (!parent)
        return nullptr;
    for (QAbstractButton *button : parent->findChildren<QAbstractButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QWidget *labelWithText(QWidget *parent, const QString &text)
{
    if (!parent)
        return nullptr;
    for (QLabel *label : parent->findChildren<QLabel *>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

QAbstractButton *button(QWidget *parent, const char *key)
{
    return qobject_cast<QAbstractButton *>(buttonWithText(parent, Quilt::T(key)));
}

namespace {

// Answerers still waiting for their dialog.
QList<QPointer<QTimer>> &waitingAnswerers()
{
    static QList<QPointer<QTimer>> timers;
    return timers;
}

// Tests of the start-up rules and of the service run without widgets.
bool widgetsRun()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

void closeModal(QWidget *modal)
{
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace

void answerModalWidget(std::function<bool(QWidget *)> fits, std::function<void(QWidget *)> answer,
                       int timeout, bool required)
{
    auto *timer = new QTimer(qApp);
    timer->setProperty("required", required);
    waitingAnswerers().append(timer);
    const QDeadlineTimer deadline(timeout);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        timer->setInterval(10);
        QWidget *modal = QApplication::activeModalWidget();
        const bool up = modal && modal->isVisible();
        if (up && fits(modal)) {
            // Stopped first: the answer may run an event loop of its own.
            waitingAnswerers().removeAll(timer);
            timer->stop();
            timer->deleteLater();
            answer(modal);
            return;
        }
        if (!deadline.hasExpired())
            return;
        waitingAnswerers().removeAll(timer);
        timer->stop();
        timer->deleteLater();
        if (up)
            closeModal(modal);
        if (required)
            QTest::qFail("no modal dialog of the expected kind came up in time", __FILE__,
                         __LINE__);
    });
    timer->start(0);
}

void endModalAnswerers()
{
    bool missed = false;
    for (const QPointer<QTimer> &timer : std::exchange(waitingAnswerers(), {})) {
        if (!timer)
            continue;
        missed = missed || timer->property("required").toBool();
        delete timer.data();
    }
    if (QWidget *modal = widgetsRun() ? QApplication::activeModalWidget() : nullptr)
        closeModal(modal);
    if (missed)
        QTest::qFail("a modal dialog the test waited for never came up", __FILE__, __LINE__);
}

void resetShared()
{
    endModalAnswerers();
    Quilt::language(1);
    if (widgetsRun()) {
        Quilt::kept::setDirect(false);
        Quilt::kept::clear();
    }
}

RecordingOpener::RecordingOpener(Quilt::Window &window)
{
    probe(window).openUrl() = [this](const QUrl &url) {
        opened.append(url);
        return opens;
    };
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject withMember(QJsonObject object, const QString &key, const QJsonValue &value)
{
    object.insert(key, value);
    return object;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace QuiltTest
