#include "diagnostics.h"

#include "build_record.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace Service {

namespace {

// A game that does not answer within this time is not going to.
constexpr int CheckTimeoutMs = 10000;

} // namespace

Diagnostics::Diagnostics(const QString &executable) : executable(executable)
{
    deadline.setSingleShot(true);
    deadline.setInterval(CheckTimeoutMs);
    connect(&deadline, &QTimer::timeout, this, [this] {
        if (check.state() != QProcess::NotRunning)
            check.kill();
    });
    check.setProcessChannelMode(QProcess::SeparateChannels);
    check.setStandardInputFile(QProcess::nullDevice());
    connect(&check, &QProcess::finished, this, &Diagnostics::checked);
    connect(&check, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            deadline.stop();
            problem =
                QStringLiteral("Could not start the native executable: ") + check.errorString();
        }
    });
}

Diagnostics::~Diagnostics()
{
    if (check.state() != QProcess::NotRunning) {
        check.kill();
        check.waitForFinished(1000);
    }
}

bool Diagnostics::match() const
{
    const QJsonObject build = Protocol::buildRecord();
    return !record.isEmpty() && record.value("revision") == build.value("revision") &&
           record.value("compiler") == build.value("compiler");
}

void Diagnostics::refresh()
{
    if (checking())
        return;
    const QFileInfo info(executable);
    if (!info.isFile() || !info.isExecutable()) {
        record = {};
        problem = QStringLiteral("Missing ") + executable;
        return;
    }
    problem.clear();
    check.start(executable, {QStringLiteral("--build-info")});
    deadline.start();
}

void Diagnostics::checked()
{
    deadline.stop();
    const QJsonDocument answer = QJsonDocument::fromJson(check.readAllStandardOutput().trimmed());
    check.readAllStandardError();
    if (check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0 && answer.isObject()) {
        record = answer.object();
        problem.clear();
    } else {
        record = {};
        problem = QStringLiteral("The native executable gave no build record");
    }
}

} // namespace Service
