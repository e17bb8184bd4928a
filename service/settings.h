#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <initializer_list>

// The game's settings as the launcher edits them: the configuration keys, the two binding
// columns and the gyro calibrations, kept in memory until "save" writes them to
// local/user/settings.toml. A file that does not parse is never overwritten: its problem is
// reported through error() until the player fixes it and reloads. Every change goes through the
// methods below, which mark the settings unsaved when something actually changed.
namespace Service {

class Settings
{
public:
    explicit Settings(const QString &root);

    QString path() const { return file; }
    const QJsonObject &config() const { return values; }
    QString error() const { return problem; }
    bool dirty() const { return unsaved; }

    // Validates and stores one configuration value. Returns the error text, or an empty string
    // when the value was taken (clamped into its range where it is a number).
    QString change(const QString &key, const QJsonValue &value);

    // Puts the named keys back to their defaults; returns true when any of them changed.
    bool reset(std::initializer_list<const char *> keys);

    // Reads the file again, dropping unsaved changes. A missing file gives the defaults.
    void load();

    // Writes the file atomically. Refuses while the file on disk has an unfixed problem.
    bool save(QString *error);

    // The longest keyboard key name, in UTF-8 bytes, that a binding may hold: "key" refuses a
    // longer one, and a file that holds one does not load.
    static constexpr qsizetype MaximumKeyName = 40;
    static bool keyNameFits(const QString &name);

    // Binding columns, one entry per action; an empty entry is an unmapped action.
    const QStringList &gamepad() const { return pad; }
    const QStringList &keyboard() const { return keys; }
    const QStringList &column(bool keyboardColumn) const { return keyboardColumn ? keys : pad; }
    // Sets one action's input in one column (empty unmaps it).
    void bind(bool keyboardColumn, int action, const QString &input);
    // Both columns back to the default bindings.
    void resetBindings();

    // Calibrations by controller model name, each an object of numbers.
    const QJsonObject &calibrations() const { return calibration; }
    void calibrate(const QString &model, const QJsonObject &record);

private:
    void setDefaults();

    QString file;
    QStringList pad;
    QStringList keys;
    QJsonObject calibration;
    QJsonObject values;
    QString problem;
    bool unsaved = false;
};

} // namespace Service
