#include "diagnostics.h"

#include "build_record.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QTimer>

namespace Service {

namespace {

// A game that does not answer within this time is not going to.
constexpr int CheckTimeoutMs = 10000;

} // namespace

Diagnostics::Diagnostics(const QString &executable) : executable(executable)
{
    check.setProcessChannelMode(QProcess::SeparateChannels);
    check.setStandardInputFile(QProcess::nullDevice());
    connect(&check, &QProcess::finished, this, &Diagnostics::checked);
    connect(&check, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
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

QJsonObject Diagnostics::buildRecord()
{
    return {{"revision", QStringLiteral(QUILT_BUILD_REVISION)},
            {"compiler", QStringLiteral(QUILT_BUILD_COMPILER)},
            {"buildType", QStringLiteral(QUILT_BUILD_TYPE)},
            {"qt", QStringLiteral(QT_VERSION_STR)}};
}

bool Diagnostics::match() const
{
    const QJsonObject build = buildRecord();
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
    QTimer::singleShot(CheckTimeoutMs, &check, [this] {
        if (check.state() != QProcess::NotRunning)
            check.kill();
    });
}

void Diagnostics::checked()
{
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
