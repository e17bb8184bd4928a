#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <cstring>

namespace Quilt {

bool selfTestRequested(int argc, char **argv)
{
    // Read before QApplication exists, so the platform plug-in can still be chosen.
    bool selfTest = false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "--self-test") == 0)
            selfTest = true;
    }
    return selfTest;
}

QString previewDirectory(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--previews"));
    if (at < 0 || at + 1 >= arguments.size())
        return {};
    return arguments.at(at + 1);
}

InstallPaths installPaths(const QString &launcherDirectory)
{
    QDir base(launcherDirectory);
    base.cdUp();
    QDir rootDir = base;
    // A portable installation keeps everything under the base directory; a system
    // installation puts the launcher two levels deeper than its root.
    if (!base.exists(QStringLiteral("tobble-portable.txt"))) {
        rootDir.cdUp();
        rootDir.cdUp();
    }
    return {rootDir.absolutePath(), base.filePath(QStringLiteral("tobble-launcher"))};
}

bool loadStyleSheets(QString &styleSheet, QString &failedPath)
{
    static const char *const paths[] = {":/quilt/fabric.qss", ":/quilt/dialogs.qss"};
    styleSheet.clear();
    for (const char *path : paths) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            failedPath = file.fileName();
            return false;
        }
        styleSheet += QString::fromUtf8(file.readAll());
    }
    return true;
}

bool prepareApplication(QString &failedPath)
{
    QApplication::setApplicationName(QStringLiteral("Tobble's Grand Quilt"));
    // The Wayland app id and the X11 class name that tie the window to its desktop entry and
    // icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tobble-quilt"));
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
    QString styleSheet;
    if (!loadStyleSheets(styleSheet, failedPath))
        return false;
    qApp->setStyleSheet(styleSheet);
    return true;
}

} // namespace Quilt
