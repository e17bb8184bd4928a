#pragma once

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>

// Build records: the service's own, fixed when it was configured, and the native game's, which
// the game reports when started with "--build-info". "refresh" asks the game again; the check
// runs in the background and "checking" is true until it ends.
namespace Service {

class Diagnostics : public QObject
{
public:
    explicit Diagnostics(const QString &executable);
    ~Diagnostics() override;

    static QJsonObject buildRecord();

    QJsonObject runtime() const { return record; }
    QString error() const { return problem; }
    bool checking() const { return check.state() != QProcess::NotRunning; }
    bool match() const;

    void refresh();

private:
    void checked();

    QString executable;
    QProcess check;
    QJsonObject record;
    QString problem;
};

} // namespace Service
