// A scripted stand-in for the launcher service, used by the tests.
//
// It appends every request line it receives, byte for byte, to $QUILT_PEER_LOG and answers
// from the rules in $QUILT_PEER_SCRIPT (JSON lines). A rule:
//   {"on": "hello", "send": {...} or [{...}, ...], "raw": "bytes", "times": 1,
//    "rawBase64": "bytes in base64", "rawRepeat": "x", "count": N,
//    "silent": true, "exit": 3, "crash": true, "hang": true, "flood": 1000000, "delayMs": 50}
// "on" is a command name or "*"; rules are tried in order and a rule with "times" is used up
// after that many matches. A request that matches no rule is answered {"cmd":..., "input":{}}.
// Lines appended to $QUILT_PEER_PUSH while the peer runs are directives carried out at once:
// the same members as a rule without "on", or {"rule": {...}} to put a rule in front.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

struct Rule
{
    QString on;
    QJsonObject action;
    int times = -1;
};

QList<Rule> rules;
QFile logFile;
QByteArray pending;
bool hung = false;

void writeOut(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(STDOUT_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

void flood(qint64 bytes)
{
    const QByteArray block(64 * 1024, 'e');
    while (bytes > 0) {
        const qint64 n = std::min<qint64>(bytes, block.size());
        if (::write(STDERR_FILENO, block.constData(), size_t(n)) <= 0)
            return;
        bytes -= n;
    }
}

// Carries out one rule's or directive's action.
void perform(const QJsonObject &action)
{
    if (action.contains(QLatin1String("rule"))) {
        const QJsonObject rule = action.value(QLatin1String("rule")).toObject();
        rules.prepend({rule.value(QLatin1String("on")).toString(), rule,
                       rule.value(QLatin1String("times")).toInt(-1)});
        return;
    }
    const QJsonValue send = action.value(QLatin1String("send"));
    const QJsonArray replies = send.isArray() ? send.toArray() : QJsonArray{send};
    for (const QJsonValue &reply : replies) {
        if (reply.isObject())
            writeOut(QJsonDocument(reply.toObject()).toJson(QJsonDocument::Compact) + '\n');
    }
    if (action.contains(QLatin1String("raw")))
        writeOut(action.value(QLatin1String("raw")).toString().toUtf8());
    // Bytes that a JSON string cannot carry as they are, such as invalid UTF-8.
    if (action.contains(QLatin1String("rawBase64")))
        writeOut(
            QByteArray::fromBase64(action.value(QLatin1String("rawBase64")).toString().toLatin1()));
    if (action.contains(QLatin1String("rawRepeat"))) {
        // {"rawRepeat": "x", "count": N}: a long run of bytes, written in blocks.
        const QByteArray unit = action.value(QLatin1String("rawRepeat")).toString().toUtf8();
        qint64 count = action.value(QLatin1String("count")).toInteger();
        const QByteArray block =
            unit.repeated(std::max<qsizetype>(1, 65536 / std::max<qsizetype>(1, unit.size())));
        const qint64 perBlock = block.size() / std::max<qsizetype>(1, unit.size());
        while (count > 0) {
            const qint64 n = std::min(count, perBlock);
            writeOut(block.left(n * unit.size()));
            count -= n;
        }
    }
    if (action.contains(QLatin1String("flood")))
        flood(action.value(QLatin1String("flood")).toInteger());
    if (action.value(QLatin1String("hang")).toBool())
        hung = true;
    if (action.value(QLatin1String("crash")).toBool())
        std::abort();
    if (action.contains(QLatin1String("exit"))) {
        std::fflush(nullptr);
        std::_Exit(action.value(QLatin1String("exit")).toInt());
    }
}

void answer(const QByteArray &line)
{
    logFile.write(line + '\n');
    logFile.flush();
    if (hung)
        return;
    const QString cmd =
        QJsonDocument::fromJson(line).object().value(QLatin1String("cmd")).toString();
    for (qsizetype i = 0; i < rules.size(); ++i) {
        Rule &rule = rules[i];
        if (rule.on != QLatin1String("*") && rule.on != cmd)
            continue;
        const QJsonObject action = rule.action;
        if (rule.times > 0 && --rule.times == 0)
            rules.removeAt(i);
        if (action.value(QLatin1String("silent")).toBool())
            return;
        const int delay = action.value(QLatin1String("delayMs")).toInt();
        if (delay > 0)
            QTimer::singleShot(delay, [action] { perform(action); });
        else
            perform(action);
        return;
    }
    QJsonObject reply{{QStringLiteral("cmd"), cmd}, {QStringLiteral("input"), QJsonObject()}};
    writeOut(QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n');
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    QFile script(qEnvironmentVariable("QUILT_PEER_SCRIPT"));
    if (script.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : script.readAll().split('\n')) {
            const QJsonObject rule = QJsonDocument::fromJson(line).object();
            if (rule.isEmpty())
                continue;
            if (rule.value(QLatin1String("on")).toString() == QLatin1String("start"))
                QTimer::singleShot(0, [rule] { perform(rule); });
            else
                rules.append({rule.value(QLatin1String("on")).toString(), rule,
                              rule.value(QLatin1String("times")).toInt(-1)});
        }
    }
    logFile.setFileName(qEnvironmentVariable("QUILT_PEER_LOG"));
    logFile.open(QIODevice::WriteOnly | QIODevice::Append);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[65536];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            // A hung peer ignores the end of its input, as a stuck service would.
            if (!hung)
                QCoreApplication::exit(0);
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            answer(line);
        }
    });

    // Directives pushed by the test while the peer runs.
    QFile push(qEnvironmentVariable("QUILT_PEER_PUSH"));
    qint64 pushed = 0;
    QTimer pushTimer;
    QObject::connect(&pushTimer, &QTimer::timeout, [&] {
        if (!push.isOpen() && !push.open(QIODevice::ReadOnly))
            return;
        push.seek(pushed);
        QByteArray data = push.readAll();
        const qsizetype end = data.lastIndexOf('\n');
        if (end < 0)
            return;
        data.truncate(end + 1);
        pushed += data.size();
        for (const QByteArray &line : data.split('\n')) {
            const QJsonObject directive = QJsonDocument::fromJson(line).object();
            if (!directive.isEmpty())
                perform(directive);
        }
    });
    if (!push.fileName().isEmpty())
        pushTimer.start(5);

    return QCoreApplication::exec();
}
