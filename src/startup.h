// Start-up rules kept out of main() so that tests can reach them.
#pragma once

#include <QString>
#include <QStringList>

namespace Quilt {

// True when any argument after the program name is exactly "--self-test".
bool selfTestRequested(int argc, char **argv);

// The argument after the first "--previews", or empty.
QString previewDirectory(const QStringList &arguments);

struct InstallPaths
{
    QString root;    // installation root: the service's working directory
    QString service; // full path of the service executable
};

// Works out the installation from the directory that holds the launcher executable.
InstallPaths installPaths(const QString &launcherDirectory);

// Concatenates the bundled stylesheets; on failure names the unreadable one in failedPath.
bool loadStyleSheets(QString &styleSheet, QString &failedPath);

// Name, style, icon, fonts, theme search path and stylesheet of the running application.
// False when a bundled stylesheet cannot be read; failedPath then names it.
bool prepareApplication(QString &failedPath);

} // namespace Quilt
