#include "fuzz_target.h"

#include "probe.h"
#include "startup.h"
#include "window.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>

using QuiltTest::probe;

namespace {

// FNV-1a: a cheap, stable spread of the input over the starting conditions.
quint32 spread(const QByteArray &bytes)
{
    quint32 hash = 2166136261u;
    for (const char byte : bytes) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash;
}

// Window sizes: the normal one and one below the compact threshold.
constexpr QSize normalSize(1120, 685);
constexpr QSize compactSize(640, 520);

// An empty installation root, so that nothing the pages read from disk depends on this machine.
QString emptyRoot()
{
    static QTemporaryDir directory;
    return directory.path();
}

} // namespace

QApplication *startFuzzApplication(int &argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    auto *app = new QApplication(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/quilt/font.ttf"));
    QDir::addSearchPath(QStringLiteral("quiltTheme"), QStringLiteral(":/quilt"));
    QString styleSheet, failedPath;
    if (Quilt::loadStyleSheets(styleSheet, failedPath))
        app->setStyleSheet(styleSheet);
    return app;
}

FuzzTarget::FuzzTarget() : window(std::make_unique<Quilt::Window>(emptyRoot(), QString(), true))
{
    // The desktop must never be asked to open anything.
    probe(window).openUrl() = [](const QUrl &) { return false; };
    window->show();

    modalGuard.setInterval(0);
    QObject::connect(&modalGuard, &QTimer::timeout, [] {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        if (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
    });
    modalGuard.start();
}

FuzzTarget::~FuzzTarget()
{
    modalGuard.stop();
    window.reset();
    settle();
}

void FuzzTarget::run(const QByteArray &bytes)
{
    run(bytes, int(spread(bytes) % variants));
}

void FuzzTarget::run(const QByteArray &bytes, int variant)
{
    reset(variant);
    Quilt::Window &w = *window;

    // The same line splitting as the service's output gets: the buffer is what the
    // process would have delivered, receive() cuts it into lines.
    probe(w).replies().clear();
    probe(w).replies().append(bytes);
    probe(w).receive();
    // A last line without its line feed is handled as if the service had finished it.
    if (!probe(w).replies().pending().isEmpty() || probe(w).replies().skipping()) {
        probe(w).replies().append(QByteArray(1, '\n'));
        probe(w).receive();
    }

    // Paint whatever the replies left, the motion preview included. Only the parts that
    // show service data: repainting the whole linen frame would halve the fuzzer's speed.
    if (probe(w).pageWidget())
        probe(w).pageWidget()->grab();
    probe(w).noticeLabel()->grab();
    probe(w).footer()->grab();
    settle();
}

void FuzzTarget::reset(int variant)
{
    Quilt::Window &w = *window;
    const int page = variant % 8;
    const int tab = variant / 8 % 2;
    const bool compact = variant / 16 % 2;
    const int language = variant / 32 % 3;

    // A fresh mirror; never a close in progress, so that no reply can ask about one.
    probe(w).ready() = false;
    probe(w).pollPending() = false;
    probe(w).closeAfterSave() = false;
    probe(w).closing() = false;
    probe(w).dirty() = false;
    probe(w).capturing() = false;
    probe(w).state() = {};
    probe(w).config() = {};
    probe(w).input() = {};
    probe(w).replies().clear();
    probe(w).autosaveTimer().stop();

    // A reply about a running game minimises the window; bring it back so that
    // controller navigation, which needs the active window, is fuzzed as well.
    if (!w.isVisible() || w.isMinimized())
        w.showNormal();
    w.resize(compact ? compactSize : normalSize);
    w.activateWindow();
    if (probe(w).language() != language)
        probe(w).setLanguage(language);
    probe(w).controlsTab() = tab;
    probe(w).navigate(Quilt::Page(page), false);
    settle();
}

void FuzzTarget::settle()
{
    // Old pages go with deleteLater, and the scroll position comes back on a timer.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
