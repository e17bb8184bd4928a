#include "startup.h"
#include "window.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QIcon>

int main(int argc, char **argv)
{
    const bool selfTest = Quilt::selfTestRequested(argc, argv);
    if (selfTest && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own dialogs, so that the dialog stylesheet applies to them.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tobble's Grand Quilt"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quilt/launcher.ico")));

    // Chinese text needs a CJK family; the embedded subset is the last resort.
    const int fontId = QFontDatabase::addApplicationFont(QStringLiteral(":/quilt/font.ttf"));
    QFont font = QApplication::font();
    QStringList families{QStringLiteral("Microsoft YaHei UI"), QStringLiteral("Noto Sans CJK SC")};
    if (fontId >= 0)
        families += QFontDatabase::applicationFontFamilies(fontId);
    font.setFamilies(families);
    QApplication::setFont(font);

    QDir::addSearchPath(QStringLiteral("quiltTheme"), QStringLiteral(":/quilt"));
    QString styleSheet, failedPath;
    if (!Quilt::loadStyleSheets(styleSheet, failedPath)) {
        qCritical("Could not open the bundled stylesheet %s", qPrintable(failedPath));
        return 1;
    }
    app.setStyleSheet(styleSheet);

    const Quilt::InstallPaths paths = Quilt::installPaths(QCoreApplication::applicationDirPath());
    Quilt::Window window(paths.root, paths.service, selfTest);
    if (!selfTest) {
        window.show();
        return QApplication::exec();
    }
    const QString directory = Quilt::previewDirectory(QCoreApplication::arguments());
    return window.preview(directory) ? 0 : 1;
}
