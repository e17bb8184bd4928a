#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <initializer_list>

// The game's settings as the launcher edits them: the configuration keys, the two binding
// columns and the gyro calibrations, kept in memory until "save" writes them to
// local/user/settings.toml. A file that does not parse is never overwritten: its problem is
// reported through error() until the player fixes it and reloads.
namespace Service {

class Settings
{
public:
    explicit Settings(const QString &root);

    QString path() const { return file; }
    const QJsonObject &config() const { return values; }
    QString error() const { return problem; }
    bool dirty() const { return unsaved; }
    void markDirty() { unsaved = true; }

    // Validates and stores one configuration value. Returns the error text, or an empty string
    // when the value was taken (clamped into its range where it is a number).
    QString change(const QString &key, const QJsonValue &value);

    // Puts the named keys back to their defaults; returns true when any of them changed.
    bool reset(std::initializer_list<const char *> keys);

    // Reads the file again, dropping unsaved changes. A missing file gives the defaults.
    void load();

    // Writes the file atomically. Refuses while the file on disk has an unfixed problem.
    bool save(QString *error);

    // Binding columns, one entry per action; an empty entry is an unmapped action.
    QStringList gamepad;
    QStringList keyboard;
    // Calibrations by controller model name, each an object of numbers.
    QJsonObject calibration;

private:
    void setDefaults();

    QString file;
    QJsonObject values;
    QString problem;
    bool unsaved = false;
};

} // namespace Service
