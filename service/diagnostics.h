#pragma once

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

// Build records: the service's own (Protocol::buildRecord) and the native game's, which the game
// reports when started with "--build-info". "refresh" asks the game again; the check runs in the
// background and "checking" is true until it ends. Each check has its own deadline, stopped when
// the check ends, so it can never cut short a later one.
namespace Service {

class Diagnostics : public QObject
{
public:
    explicit Diagnostics(const QString &executable);
    ~Diagnostics() override;

    QJsonObject runtime() const { return record; }
    QString error() const { return problem; }
    bool checking() const { return check.state() != QProcess::NotRunning; }
    bool match() const;

    void refresh();

private:
    void checked();

    QString executable;
    QProcess check;
    QTimer deadline;
    QJsonObject record;
    QString problem;
};

} // namespace Service
