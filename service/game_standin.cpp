// tobble-game: a stand-in for the native game, so that the launcher's whole play flow can be
// tried on any machine. It shows a window that says what it is and can be closed, reports a
// build record with "--build-info", and on closing writes a small save file so that the saves
// page has something to import, export and back up.
//
// Options: --auto-exit N (close after N seconds; also TOBBLE_GAME_AUTO_EXIT), --build-info,
// and from the service --data DIR, --settings FILE, --saves DIR.

#include "build_record.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {

// Counts the stand-in's sessions in its save file; the count is the save's "progress".
void writeSave(const QString &folder)
{
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("quilt.sav"));
    int sessions = 0;
    QFile old(path);
    if (old.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = old.readAll().split('\n');
        for (const QByteArray &line : lines)
            if (line.startsWith("sessions="))
                sessions = line.mid(9).toInt();
    }
    QSaveFile save(path);
    if (!save.open(QIODevice::WriteOnly))
        return;
    save.write(QStringLiteral("game=VQ3E88\nsessions=%1\nlast=%2\n")
                   .arg(sessions + 1)
                   .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                   .toUtf8());
    save.commit();
}

} // namespace

int main(int argc, char **argv)
{
    // The build record needs no display, so it is answered before Qt looks for one.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--build-info") == 0) {
            std::printf(
                "%s\n",
                QJsonDocument(Protocol::buildRecord()).toJson(QJsonDocument::Compact).constData());
            return 0;
        }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tobble's Grand Quilt"));

    QCommandLineParser parser;
    const QCommandLineOption autoExit(QStringLiteral("auto-exit"),
                                      QStringLiteral("Close after this many seconds."),
                                      QStringLiteral("seconds"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("Game data folder."),
                                  QStringLiteral("folder"));
    const QCommandLineOption settings(QStringLiteral("settings"), QStringLiteral("Settings file."),
                                      QStringLiteral("file"));
    const QCommandLineOption saves(QStringLiteral("saves"), QStringLiteral("Save folder."),
                                   QStringLiteral("folder"));
    parser.addOptions({autoExit, data, settings, saves});
    parser.addHelpOption();
    parser.process(app);

    std::printf("Stand-in game started\n  data: %s\n  settings: %s\n  saves: %s\n",
                qPrintable(parser.value(data)), qPrintable(parser.value(settings)),
                qPrintable(parser.value(saves)));
    std::fflush(stdout);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tobble's Grand Quilt (stand-in)"));
    auto *layout = new QVBoxLayout(&window);
    auto *text = new QLabel(QStringLiteral(
        "<h2>Tobble's Grand Quilt</h2>"
        "<p>This is a stand-in for the native game. It lets you try the launcher: while this "
        "window is open the launcher shows the game as running, and when you close it the "
        "launcher comes back.</p>"
        "<p>Each session adds one to the counter in the save file, so the Saves page has a save "
        "to export and back up.</p>"));
    text->setWordWrap(true);
    text->setTextFormat(Qt::RichText);
    layout->addWidget(text);
    auto *close = new QPushButton(QStringLiteral("Close game"));
    layout->addWidget(close, 0, Qt::AlignRight);
    QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);
    window.resize(480, 240);
    window.show();

    QString seconds = parser.value(autoExit);
    if (seconds.isEmpty())
        seconds = qEnvironmentVariable("TOBBLE_GAME_AUTO_EXIT");
    bool ok = false;
    const double delay = seconds.toDouble(&ok);
    if (ok && delay >= 0)
        QTimer::singleShot(int(delay * 1000), &window, &QWidget::close);

    const int status = app.exec();
    writeSave(parser.value(saves));
    std::printf("Stand-in game closed\n");
    return status;
}
