#include "startup.h"
#include "window.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // Read before QApplication exists, so that the platform plug-in can still be chosen.
    const bool selfTest = Quilt::selfTestRequested(argc, argv);
    if (selfTest && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own dialogs, so that the dialog stylesheet applies to them.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);

    QApplication app(argc, argv);
    QString failedPath;
    if (!Quilt::prepareApplication(failedPath)) {
        qCritical("Could not open the bundled stylesheet %s", qPrintable(failedPath));
        return 1;
    }

    const Quilt::InstallPaths paths = Quilt::installPaths(QCoreApplication::applicationDirPath());
    Quilt::Window window(paths.root, paths.service, selfTest);
    if (!selfTest) {
        window.show();
        return QApplication::exec();
    }
    const QString directory = Quilt::previewDirectory(QCoreApplication::arguments());
    if (window.preview(directory))
        return 0;
    if (!window.previewFailure.isEmpty())
        qCritical("%s", qPrintable(window.previewFailure));
    return 1;
}
