#pragma once

#include <QJsonArray>
#include <QString>

// The game's save folder under the installation, its import and export, and named backups under
// local/user/backups. Nothing is ever lost: every replacement of the current save first makes a
// backup of it, every copy is made in a staging folder and renamed into place, and a failure
// leaves the old save exactly as it was.
namespace Service {

class Saves
{
public:
    explicit Saves(const QString &root);

    QString folder() const { return saveFolder; }
    bool found() const;
    // State "backups": newest first, each {"name", "label", "timestamp"}.
    QJsonArray backups() const;
    // Outcome of the last successful save command, for state "saveImportStatus".
    QString status() const { return outcome; }

    // Each returns an error text, or an empty string on success.
    QString importSave(const QString &path);
    QString exportSave(const QString &path, bool asFolder);
    QString createBackup(const QString &label);
    QString restoreBackup(const QString &name);
    QString deleteBackup(const QString &name);

    // The game's identifier inside exported .bin files.
    static constexpr const char *GameId = "VQ3E88";

private:
    void recover();
    QString backupOfCurrent(QString *error);
    QString makeBackup(const QString &label, QString *error);
    QString stagingFolder() const;
    QString install(const QString &staged);

    QString user;
    QString saveFolder;
    QString backupFolder;
    QString outcome;
};

} // namespace Service
