#include "startup.h"
#include "support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace Quilt;

namespace {

// argv as main() sees it, built from string literals.
bool selfTestFor(std::vector<const char *> arguments)
{
    std::vector<char *> argv;
    for (const char *argument : arguments)
        argv.push_back(const_cast<char *>(argument));
    argv.push_back(nullptr);
    return selfTestRequested(int(arguments.size()), argv.data());
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

// Starts the launcher in self-test mode with the given environment.
QProcess *runSelfTest(QObject *parent, const QProcessEnvironment &environment)
{
    auto *launcher = new QProcess(parent);
    launcher->setProcessEnvironment(environment);
    launcher->setProcessChannelMode(QProcess::MergedChannels);
    launcher->start(QStringLiteral(QUILT_LAUNCHER_PATH), {QStringLiteral("--self-test")});
    return launcher;
}

// The environment without any display (so only the offscreen plug-in can work) and with
// Qt's plug-in messages let through.
QProcessEnvironment headless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "QT_LOGGING_RULES"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void selfTestFlag();
    void previewDirectoryArgument();
    void installRoot();
    void bundledStyleSheets();
    void selfTestProcess();
};

void TestStartup::selfTestFlag()
{
    QVERIFY(selfTestFor({"tobble-quilt", "--self-test"}));
    QVERIFY(selfTestFor({"tobble-quilt", "--previews", "out", "--self-test"}));
    QVERIFY(selfTestFor({"tobble-quilt", "--self-test", "--other"}));
    // Only the exact 11 bytes count, and never the program name itself.
    QVERIFY(!selfTestFor({"tobble-quilt"}));
    QVERIFY(!selfTestFor({"--self-test"}));
    QVERIFY(!selfTestFor({"tobble-quilt", "--Self-Test"}));
    QVERIFY(!selfTestFor({"tobble-quilt", "--SELF-TEST"}));
    QVERIFY(!selfTestFor({"tobble-quilt", "--self-test=1"}));
    QVERIFY(!selfTestFor({"tobble-quilt", "--self-test "}));
    QVERIFY(!selfTestFor({"tobble-quilt", "-self-test"}));
    QVERIFY(!selfTestFor({"tobble-quilt", "--self-tests"}));
}

void TestStartup::previewDirectoryArgument()
{
    const QString program = QStringLiteral("tobble-quilt");
    QCOMPARE(previewDirectory({program, "--self-test", "--previews", "/tmp/out"}),
             QStringLiteral("/tmp/out"));
    // The first "--previews" wins; its value may look like an option.
    QCOMPARE(previewDirectory({program, "--previews", "a", "--previews", "b"}),
             QStringLiteral("a"));
    QCOMPARE(previewDirectory({program, "--previews", "--self-test"}),
             QStringLiteral("--self-test"));
    // Missing value or missing option: empty.
    QCOMPARE(previewDirectory({program, "--self-test", "--previews"}), QString());
    QCOMPARE(previewDirectory({program, "--self-test"}), QString());
    QCOMPARE(previewDirectory({program, "--Previews", "x"}), QString());
    QCOMPARE(previewDirectory({program, "--previews=x"}), QString());
}

void TestStartup::installRoot()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString top = QDir(temporary.path()).canonicalPath();
    const QString base = top + QStringLiteral("/opt/g/app");
    const QString launcherDir = base + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(launcherDir));
    const QString service = base + QStringLiteral("/tobble-launcher");

    // System layout: the root is three levels above the launcher directory.
    InstallPaths paths = installPaths(launcherDir);
    QCOMPARE(paths.root, top + QStringLiteral("/opt"));
    QCOMPARE(paths.service, service);

    // The marker only counts in the base directory.
    touch(launcherDir + QStringLiteral("/tobble-portable.txt"));
    touch(top + QStringLiteral("/opt/tobble-portable.txt"));
    paths = installPaths(launcherDir);
    QCOMPARE(paths.root, top + QStringLiteral("/opt"));
    QCOMPARE(paths.service, service);

    // Portable layout: everything under the base directory.
    touch(base + QStringLiteral("/tobble-portable.txt"));
    paths = installPaths(launcherDir);
    QCOMPARE(paths.root, base);
    QCOMPARE(paths.service, service);

    // A directory of that name is an entry too, as QDir::exists sees it.
    QVERIFY(QFile::remove(base + QStringLiteral("/tobble-portable.txt")));
    QVERIFY(QDir().mkpath(base + QStringLiteral("/tobble-portable.txt")));
    QCOMPARE(installPaths(launcherDir).root, base);
}

void TestStartup::bundledStyleSheets()
{
    QString styleSheet, failedPath;
    QVERIFY(loadStyleSheets(styleSheet, failedPath));
    QVERIFY(failedPath.isEmpty());
    // fabric.qss first, then dialogs.qss, nothing in between.
    QFile fabric(QStringLiteral(":/quilt/fabric.qss"));
    QFile dialogs(QStringLiteral(":/quilt/dialogs.qss"));
    QVERIFY(fabric.open(QIODevice::ReadOnly | QIODevice::Text));
    QVERIFY(dialogs.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString first = QString::fromUtf8(fabric.readAll());
    const QString second = QString::fromUtf8(dialogs.readAll());
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    QCOMPARE(styleSheet, first + second);
}

void TestStartup::selfTestProcess()
{
    // No display and no platform chosen: self-test mode must pick offscreen itself, or Qt
    // aborts for want of a display. Its verdict is 0 or 1, never a crash.
    for (const QString &preset : {QString(), QString(QLatin1String(""))}) {
        QProcessEnvironment environment = headless();
        if (!preset.isNull())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), preset);
        QProcess *launcher = runSelfTest(this, environment);
        QVERIFY2(launcher->waitForFinished(120000), "the self-test did not finish");
        QVERIFY2(launcher->exitStatus() == QProcess::NormalExit,
                 launcher->readAll().right(2000).constData());
        QVERIFY(launcher->exitCode() == 0 || launcher->exitCode() == 1);
    }

    // A platform chosen by the caller stays in force, even one that cannot load.
    QProcessEnvironment environment = headless();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    QProcess *launcher = runSelfTest(this, environment);
    QVERIFY2(launcher->waitForFinished(120000), "the launcher did not finish");
    const QByteArray output = launcher->readAll();
    QVERIFY2(output.contains("no-such-platform"), output.constData());
    QVERIFY(launcher->exitStatus() == QProcess::CrashExit || launcher->exitCode() != 0);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
