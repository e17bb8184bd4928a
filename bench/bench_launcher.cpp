// The launcher's benchmarks, each beside its floor (see bench/run and docs/performance.md).
// Figures go to Qt Test's output; figures that are not QBENCHMARK results go to standard
// output as "RESULT name value unit" lines.
#include "bench_common.h"
#include "probe.h"
#include "window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <tuple>
#include <utility>

using QuiltTest::probe;

namespace {

const char *const languageCodes[3] = {"zh", "en", "es"};

// Pages in benchmark order; the controls page once per sub-tab.
struct Shown
{
    const char *name;
    Quilt::Page page;
    int controlsTab;
};
const Shown shownPages[] = {
    {"home", Quilt::Page::Play, 0},
    {"install", Quilt::Page::Install, 0},
    {"display", Quilt::Page::Display, 0},
    {"controls", Quilt::Page::Controls, 0},
    {"motion", Quilt::Page::Controls, 1},
    {"saves", Quilt::Page::Saves, 0},
    {"diagnostics", Quilt::Page::Diagnostics, 0},
    {"basic", Quilt::Page::Basic, 0},
    {"guide", Quilt::Page::ControllerGuide, 0},
};

// A complete state as the service sends it with its greeting: every member the pages read.
QByteArray greeting()
{
    QFile file(QStringLiteral(QUILT_SOURCE_DIR "/tests/fuzz/corpus/hello-ready.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readLine().trimmed();
}

// Poll replies of about 2 KB carrying the state, with motion readings moving in a circle.
QList<QByteArray> pollReplies()
{
    QJsonObject reply = QJsonDocument::fromJson(greeting()).object();
    reply.insert(QStringLiteral("cmd"), QStringLiteral("poll"));
    QList<QByteArray> replies;
    constexpr int steps = 64;
    for (int i = 0; i < steps; ++i) {
        const double angle = 2 * M_PI * i / steps;
        QJsonObject input = reply.value(QStringLiteral("input")).toObject();
        input.insert(QStringLiteral("x"), std::round(std::cos(angle) * 900) / 1000);
        input.insert(QStringLiteral("y"), std::round(std::sin(angle) * 900) / 1000);
        input.insert(QStringLiteral("tiltAngle"), std::round(std::sin(angle) * 4000) / 100);
        reply.insert(QStringLiteral("input"), input);
        replies += QJsonDocument(reply).toJson(QJsonDocument::Compact);
    }
    return replies;
}

// Drains everything a page change or a reply left for the event loop: layouts, paints and
// the old page's deferred deletion, so that each iteration pays its own way.
void settle()
{
    // Repaints wait for the window's update request: a zero-delay timer here (main()).
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool underCallgrind()
{
    return QCoreApplication::arguments().contains(QStringLiteral("-callgrindchild"));
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for the given time; returns this process's CPU share in percent and the
// replies counted meanwhile per second.
std::pair<double, double> cpuShareAndRate(int seconds, const int &replies)
{
    const double before = cpuSeconds();
    const int repliesBefore = replies;
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(seconds * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    return {(cpuSeconds() - before) / elapsed * 100, (replies - repliesBefore) / elapsed};
}

void result(const QString &name, double value, const char *unit)
{
    std::printf("RESULT %s %.4f %s\n", qPrintable(name), value, unit);
    std::fflush(stdout);
}

QString floorPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quilt-bench-floor");
}

// Starts a program and waits for its first line; the wall time from start to that line.
qint64 timeToFirstLine(const QString &program, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    while (!child.canReadLine()) {
        if (!child.waitForReadyRead(30000))
            qFatal("%s %s gave no first frame", qPrintable(program),
                   qPrintable(arguments.join(' ')));
    }
    const qint64 elapsed = timer.nsecsElapsed();
    child.waitForFinished();
    return elapsed;
}

// Runs a program to its end and returns what it printed.
QByteArray output(const QString &program, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
    return child.readAllStandardOutput();
}

} // namespace

class BenchLauncher : public QObject
{
    Q_OBJECT

public:
    // Modes of this program that run in a process of their own.
    static int firstFrame(QApplication &app);
    static int memory(QApplication &app);

private slots:
    void initTestCase();

    void startUp_data();
    void startUp();
    void navigatePage_data();
    void navigatePage();
    void plainPage_data();
    void plainPage();
    void handlePoll_data();
    void handlePoll();
    void pollCpu();
    void peakMemory();
    void selfTest();

private:
    // Builds the window of the in-process benchmarks with the greeting's state.
    static std::unique_ptr<Quilt::Window> makeWindow(const QString &root);
    static void show(Quilt::Window &window, const Shown &shown, int language);

    QTemporaryDir root;
    std::unique_ptr<Quilt::Window> window;
    QHash<QString, int> widgetCounts; // widgets of each page, by row name
    QWidget floorWindow;
    QScrollArea *floorArea = nullptr;
};

std::unique_ptr<Quilt::Window> BenchLauncher::makeWindow(const QString &root)
{
    auto window = std::make_unique<Quilt::Window>(root, QString(), true);
    probe(window).openUrl() = [](const QUrl &) { return false; };
    window->show();
    probe(window).handleLine(greeting());
    return window;
}

void BenchLauncher::show(Quilt::Window &window, const Shown &shown, int language)
{
    if (probe(window).language() != language)
        probe(window).setLanguage(language);
    probe(window).controlsTab() = shown.controlsTab;
    probe(window).navigate(shown.page, false);
    settle();
}

int BenchLauncher::firstFrame(QApplication &app)
{
    QuiltBench::setUpLikeLauncher(app);
    QTemporaryDir root;
    Quilt::Window window(root.path(), QString(), true);
    QuiltBench::reportFirstFrame(&window);
    window.show();
    return QApplication::exec();
}

int BenchLauncher::memory(QApplication &app)
{
    QuiltBench::setUpLikeLauncher(app);
    QTemporaryDir root;
    auto window = makeWindow(root.path());
    QStringList counts;
    for (int language = 0; language < 3; ++language) {
        for (const Shown &shown : shownPages) {
            show(*window, shown, language);
            QCoreApplication::processEvents();
            counts += QStringLiteral("%1:%2").arg(language).arg(
                probe(window).pageWidget()->findChildren<QWidget *>().size() + 1);
        }
    }
    std::printf("peak %lld\nwidgets %s\n", qlonglong(QuiltBench::peakMemoryKiB()),
                qPrintable(counts.join(' ')));
    return 0;
}

void BenchLauncher::initTestCase()
{
    QVERIFY(root.isValid());
    window = makeWindow(root.path());
    for (int language = 0; language < 3; ++language) {
        for (const Shown &shown : shownPages) {
            show(*window, shown, language);
            const QString row = QStringLiteral("%1-%2").arg(QLatin1String(shown.name),
                                                            QLatin1String(languageCodes[language]));
            widgetCounts[row] = probe(window).pageWidget()->findChildren<QWidget *>().size() + 1;
            std::printf("RESULT widgets:%s %d widgets\n", qPrintable(row), widgetCounts[row]);
        }
    }
    // The floor's window: the same size, a scroll area, the same application stylesheet.
    auto *layout = new QVBoxLayout(&floorWindow);
    floorArea = new QScrollArea;
    floorArea->setWidgetResizable(true);
    layout->addWidget(floorArea);
    floorWindow.resize(window->size());
    floorWindow.show();
}

void BenchLauncher::startUp_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("floor-bare") << floorPath()
                                << QStringList{QStringLiteral("first-frame"),
                                               QStringLiteral("bare")};
    QTest::newRow("floor-styled")
        << floorPath()
        << QStringList{QStringLiteral("first-frame"), QStringLiteral("styled"),
                       QString::number(widgetCounts.value(QStringLiteral("home-en")))};
    QTest::newRow("launcher") << QCoreApplication::applicationFilePath()
                              << QStringList{QStringLiteral("--child"),
                                             QStringLiteral("first-frame")};
}

void BenchLauncher::startUp()
{
    // Whole processes: bench/run counts their instructions with callgrind itself.
    if (underCallgrind())
        QSKIP("start-up runs in child processes");
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    // A single cold start is at the mercy of the machine's other work: take the median.
    constexpr int starts = 9;
    QList<qint64> times;
    for (int i = 0; i < starts; ++i)
        times += timeToFirstLine(program, arguments);
    std::sort(times.begin(), times.end());
    QTest::setBenchmarkResult(double(times.at(starts / 2)) / 1e6, QTest::WalltimeMilliseconds);
}

void BenchLauncher::navigatePage_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("language");
    for (int language = 0; language < 3; ++language) {
        for (int i = 0; i < int(std::size(shownPages)); ++i) {
            QTest::addRow("%s-%s", shownPages[i].name, languageCodes[language]) << i << language;
        }
    }
}

void BenchLauncher::navigatePage()
{
    QFETCH(int, index);
    QFETCH(int, language);
    const Shown &shown = shownPages[index];
    show(*window, shown, language);
    QBENCHMARK
    {
        probe(window).navigate(shown.page, false);
        settle();
    }
}

void BenchLauncher::plainPage_data()
{
    navigatePage_data();
}

void BenchLauncher::plainPage()
{
    QFETCH(int, index);
    QFETCH(int, language);
    const int widgets = widgetCounts.value(QStringLiteral("%1-%2").arg(
        QLatin1String(shownPages[index].name), QLatin1String(languageCodes[language])));
    QVERIFY(widgets > 0);
    QBENCHMARK
    {
        if (QWidget *old = floorArea->takeWidget()) {
            old->hide();
            old->deleteLater();
        }
        floorArea->setWidget(QuiltBench::plainPage(widgets, language));
        settle();
    }
}

void BenchLauncher::handlePoll_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("home") << 0;
    QTest::newRow("controls") << 3;
    QTest::newRow("motion") << 4;
}

void BenchLauncher::handlePoll()
{
    QFETCH(int, index);
    show(*window, shownPages[index], 1);
    const QList<QByteArray> replies = pollReplies();
    qsizetype next = 0;
    QBENCHMARK
    {
        probe(window).handleLine(replies.at(next++ % replies.size()));
        settle();
    }
}

void BenchLauncher::pollCpu()
{
    if (underCallgrind())
        QSKIP("measured in wall time only");
#ifndef QUILT_SERVICE_PATH
    QSKIP("the stand-in service is not built");
#else
    constexpr int seconds = 10;
    qputenv("TOBBLE_DEMO_CONTROLLER", "1");

    // The launcher on the motion tab of the controls page, polling the stand-in service
    double launcherShare = 0, launcherRate = 0;
    {
        QTemporaryDir serviceRoot;
        Quilt::Window live(serviceRoot.path(), QStringLiteral(QUILT_SERVICE_PATH), false);
        live.show();
        live.activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(probe(live).ready(), 10000);
        probe(live).controlsTab() = 1;
        probe(live).navigate(Quilt::Page::Controls, false);
        QVERIFY(QTest::qWaitForWindowActive(&live));
        int replies = 0;
        connect(&probe(live).process(), &QProcess::readyReadStandardOutput, this,
                [&] { ++replies; });
        std::tie(launcherShare, launcherRate) = cpuShareAndRate(seconds, replies);
    }

    // A bare QProcess poll loop at the same rate: one poll outstanding, every 20 ms
    double floorShare = 0, floorRate = 0;
    {
        QTemporaryDir serviceRoot;
        QProcess service;
        service.setWorkingDirectory(serviceRoot.path());
        service.start(QStringLiteral(QUILT_SERVICE_PATH), {QStringLiteral("--ui-service")});
        QVERIFY(service.waitForStarted());
        bool pending = true;
        int replies = 0;
        service.write(R"({"cmd":"hello","controls":true,"focused":true})"
                      "\n");
        connect(&service, &QProcess::readyReadStandardOutput, this, [&] {
            while (service.canReadLine()) {
                QJsonDocument::fromJson(service.readLine());
                pending = false;
                ++replies;
            }
        });
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [&] {
            if (pending)
                return;
            pending = true;
            service.write(R"({"cmd":"poll","controls":true,"focused":true})"
                          "\n");
        });
        timer.start();
        std::tie(floorShare, floorRate) = cpuShareAndRate(seconds, replies);
        timer.stop();
        service.closeWriteChannel();
        service.waitForFinished(3000);
    }
    result(QStringLiteral("cpu:launcher"), launcherShare, "%");
    result(QStringLiteral("cpu:floor"), floorShare, "%");
    result(QStringLiteral("replies:launcher"), launcherRate, "/s");
    result(QStringLiteral("replies:floor"), floorRate, "/s");
#endif
}

void BenchLauncher::peakMemory()
{
    if (underCallgrind())
        QSKIP("measured in child processes");
    const QList<QByteArray> launcher = output(QCoreApplication::applicationFilePath(),
                                              {QStringLiteral("--child"), QStringLiteral("memory")})
                                           .split('\n');
    QVERIFY(launcher.size() >= 2 && launcher.at(1).startsWith("widgets "));
    QStringList arguments{QStringLiteral("memory")};
    arguments += QString::fromLatin1(launcher.at(1).mid(8)).split(' ');
    const QByteArray floor = output(floorPath(), arguments);
    result(QStringLiteral("memory:launcher"), launcher.at(0).mid(5).toDouble(), "KiB");
    result(QStringLiteral("memory:floor"), floor.trimmed().mid(5).toDouble(), "KiB");
}

void BenchLauncher::selfTest()
{
    if (underCallgrind())
        QSKIP("runs the launcher in a child process");
    QTemporaryDir previews;
    QBENCHMARK_ONCE
    {
        QProcess launcher;
        launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launcher.start(
            QStringLiteral(QUILT_LAUNCHER_PATH),
            {QStringLiteral("--self-test"), QStringLiteral("--previews"), previews.path()});
        QVERIFY(launcher.waitForFinished(600000));
        QCOMPARE(launcher.exitCode(), 0);
    }
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Paint as soon as asked instead of after Qt's 5 ms idle delay, so that each benchmark
    // iteration pays for its own repaint. Coalescing is the same at a 20 ms poll rate.
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QLatin1String("--child")) {
        if (arguments.value(2) == QLatin1String("first-frame"))
            return BenchLauncher::firstFrame(app);
        if (arguments.value(2) == QLatin1String("memory"))
            return BenchLauncher::memory(app);
        return 2;
    }
    QuiltBench::setUpLikeLauncher(app);
    BenchLauncher bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "bench_launcher.moc"
