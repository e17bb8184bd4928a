#include "support.h"
#include "window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace QuiltTest;

namespace {

const QString middle = QStringLiteral("   \u00b7   ");

QJsonObject record(const QString &revision, const QString &compiler)
{
    return {{QStringLiteral("revision"), revision}, {QStringLiteral("compiler"), compiler}};
}

} // namespace

class TestDiagnostics : public QObject
{
    Q_OBJECT

    // A window without a service whose desktop opener records every address and can fail.
    struct Diagnostics
    {
        QTemporaryDir root;
        Quilt::Window window{root.path(), QString(), true};
        RecordingOpener opener{window};
        QList<QUrl> &opened = opener.opened;
        bool &opens = opener.opens;
        QWidget *show(const QJsonObject &state)
        {
            probe(window).ready() = true;
            probe(window).state() = state;
            probe(window).navigate(Quilt::Page::Diagnostics, false);
            return probe(window).pageWidget();
        }
    };

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void buildLinesAndAgreement();
    void errorsAndDetailsAsTheServiceGaveThem();
    void refreshAndReloadFollowTheState();
    void buildGuidePrefersTheLocalCopy();
    void folderActionsGoThroughTheViewer();
};

void TestDiagnostics::buildLinesAndAgreement()
{
    Diagnostics d;
    const QString full = QStringLiteral("0123456789abcdef0123456789abcdef01234567");

    // Only the launcher's record: one line, no agreement line
    QWidget *page = d.show({{QStringLiteral("build"), record(full, QStringLiteral("GCC 12.2"))}});
    QVERIFY(labelWithText(page, QStringLiteral("Launcher")));
    QVERIFY(
        labelWithText(page, QStringLiteral("0123456789ab") + middle + QStringLiteral("GCC 12.2")));
    QVERIFY(!labelWithText(page, QStringLiteral("Native game")));
    QVERIFY(!labelWithText(page, QStringLiteral("Launcher and runtime build records differ.")));
    QVERIFY(!labelWithText(page, QStringLiteral("Launcher and runtime build records match.")));

    // Both records, "match" missing: they differ; a short revision is shown whole
    page = d.show({{QStringLiteral("build"), record(full, QStringLiteral("GCC 12.2"))},
                   {QStringLiteral("runtime"),
                    record(QStringLiteral("abc123"), QStringLiteral("Clang 15"))}});
    QVERIFY(labelWithText(page, QStringLiteral("Native game")));
    QVERIFY(labelWithText(page, QStringLiteral("abc123") + middle + QStringLiteral("Clang 15")));
    QVERIFY(labelWithText(page, QStringLiteral("Launcher and runtime build records differ.")));

    // Only the game's record, and they match
    page = d.show({{QStringLiteral("runtime"), record(full, QStringLiteral("Clang 15"))},
                   {QStringLiteral("match"), true}});
    QVERIFY(!labelWithText(page, QStringLiteral("Launcher")));
    QVERIFY(labelWithText(page, QStringLiteral("Launcher and runtime build records match.")));
}

void TestDiagnostics::errorsAndDetailsAsTheServiceGaveThem()
{
    Diagnostics d;
    // Errors are the service's own words: not translated, never markup.
    const QString buildError = QStringLiteral("Build record <unreadable>");
    const QString settingsError = QStringLiteral("settings.toml line 3: expected '='");
    QWidget *page =
        d.show({{QStringLiteral("build"), record(QStringLiteral("r1"), QStringLiteral("GCC"))},
                {QStringLiteral("buildError"), buildError},
                {QStringLiteral("settingsError"), settingsError}});
    for (const QString &error : {buildError, settingsError}) {
        auto *shown = qobject_cast<QLabel *>(labelWithText(page, error));
        QVERIFY(shown);
        QCOMPARE(shown->objectName(), QStringLiteral("notice"));
        QCOMPARE(shown->textFormat(), Qt::PlainText);
    }

    auto *details = page->findChild<QPlainTextEdit *>();
    QVERIFY(details && details->isHidden() && details->isReadOnly());
    const QJsonObject shown = QJsonDocument::fromJson(details->toPlainText().toUtf8()).object();
    QCOMPARE(shown.value(QLatin1String("launcher")).toObject(),
             record(QStringLiteral("r1"), QStringLiteral("GCC")));
    QVERIFY(shown.value(QLatin1String("runtime")).isNull());
    QVERIFY(details->toPlainText().contains(QLatin1String("\n    \"")));

    QAbstractButton *toggle = button(page, "Source and dependency details");
    toggle->click();
    QVERIFY(!details->isHidden());
    QVERIFY(toggle->isChecked());
    toggle->click();
    QVERIFY(details->isHidden());

    // A rebuild closes it again.
    toggle->click();
    page = d.show(probe(d.window).state());
    QVERIFY(page->findChild<QPlainTextEdit *>()->isHidden());
}

void TestDiagnostics::refreshAndReloadFollowTheState()
{
    Diagnostics d;
    struct Case
    {
        bool checking, running, dirty;
    };
    for (const Case &c : {Case{false, false, false}, Case{true, false, true},
                          Case{false, true, false}, Case{true, true, true}}) {
        QWidget *page = d.show({{QStringLiteral("checking"), c.checking},
                                {QStringLiteral("running"), c.running},
                                {QStringLiteral("dirty"), c.dirty}});
        QCOMPARE(button(page, "Refresh build information")->isEnabled(), !c.checking && !c.running);
        const char *reload = c.dirty ? "Discard changes and reload" : "Reload settings";
        QVERIFY2(button(page, reload) && button(page, reload)->isEnabled(), reload);
        for (const char *open : {"Open Settings Folder", "Open Logs", "Open Build Guide"})
            QVERIFY2(button(page, open)->isEnabled(), open);
    }

    // What the two buttons send, through a real peer
    ScriptedService service;
    QJsonObject state = readyState();
    state.insert(QStringLiteral("dirty"), true);
    service.serve(state);
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Quilt::Page::Diagnostics, false);
    button(probe(window).pageWidget(), "Refresh build information")->click();
    QVERIFY(service.waitFor("refresh"));
    QTRY_VERIFY(button(probe(window).pageWidget(), "Discard changes and reload"));
    button(probe(window).pageWidget(), "Discard changes and reload")->click();
    QVERIFY(service.waitFor("reload"));
}

void TestDiagnostics::buildGuidePrefersTheLocalCopy()
{
    Diagnostics d;
    button(d.show({}), "Open Build Guide")->click();
    QCOMPARE(d.opened.size(), 1);
    QVERIFY(!d.opened.last().isLocalFile());
    QCOMPARE(d.opened.last().scheme(), QStringLiteral("https"));
    QVERIFY(probe(d.window).noticeLabel()->isHidden());

    const QString guide = QDir(d.root.path()).filePath(QStringLiteral("docs/building.md"));
    QDir().mkpath(QFileInfo(guide).path());
    QFile file(guide);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    button(d.show({}), "Open Build Guide")->click();
    QCOMPARE(d.opened.size(), 2);
    QCOMPARE(d.opened.last(), QUrl::fromLocalFile(guide));

    d.opens = false;
    button(d.show({}), "Open Build Guide")->click();
    QCOMPARE(probe(d.window).noticeLabel()->text(), QStringLiteral("Could not open folder"));
    QVERIFY(!probe(d.window).noticeLabel()->isHidden());
}

void TestDiagnostics::folderActionsGoThroughTheViewer()
{
    Diagnostics d;
    const QString settings =
        QDir(d.root.path()).filePath(QStringLiteral("local/user/settings.toml"));
    QWidget *page = d.show({{QStringLiteral("settings"), settings}});

    // Each action opens the viewer on its folder; note the title and close it.
    QStringList titles;
    // Without a dialog expected the answerer gives up at once, and the titles tell.
    const auto closeViewer = [&titles](bool expected = true) {
        answerModal<QDialog>(
            [&titles](QDialog *dialog) {
                titles.append(dialog->windowTitle());
                dialog->reject();
            },
            expected ? 15000 : 0, expected);
    };
    closeViewer();
    button(page, "Open Settings Folder")->click();
    closeViewer();
    button(page, "Open Logs")->click();
    QCOMPARE(titles, QStringList({QStringLiteral("Shared settings"), QStringLiteral("Open Logs")}));
    QVERIFY(QDir(QFileInfo(settings).path()).exists());
    QVERIFY(QDir(QDir(d.root.path()).filePath(QStringLiteral("build-logs"))).exists());

    // No settings path: nothing to show, and not the working directory either
    page = d.show({});
    closeViewer(false);
    button(page, "Open Settings Folder")->click();
    QCOMPARE(titles.size(), 2);
    QCOMPARE(probe(d.window).noticeLabel()->text(), QStringLiteral("Could not open folder"));
}

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
