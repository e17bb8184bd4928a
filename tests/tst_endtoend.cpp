// The launcher with the real tobble-launcher service and stand-in game, each case in a
// temporary portable installation: what a player does, and what is on disk afterwards.

#include "support.h"
#include "translations.h"
#include "window.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <memory>

using namespace Quilt;
using namespace QuiltTest;

namespace {

// The stand-in game ends by itself after this many seconds: long enough for the launcher to
// see it running, short enough to keep the test quick.
constexpr const char *gameSeconds = "2";
// Starting a Qt program, running it and noticing its end, on a busy machine.
constexpr int gameTimeout = 20000;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A portable installation in a temporary directory: the marker and local/user, optionally
// the built stand-in game with a DATA folder that passes the service's verification.
class Installation
{
public:
    Installation()
    {
        QDir(root()).mkpath(QStringLiteral("local/user"));
        QFile::copy(QStringLiteral(QUILT_SOURCE_DIR "/packaging/tobble-portable.txt"),
                    path("tobble-portable.txt"));
    }

    bool valid() const { return dir.isValid(); }
    QString root() const { return dir.path(); }
    QString path(const char *relative) const { return dir.filePath(QLatin1String(relative)); }
    QByteArray settings() const { return readAll(path("local/user/settings.toml")); }

    // The game next to the service in the build tree, linked where the service looks for it,
    // and a disc header naming VQ3E88 revision 0 with a DOL whose one section lies inside it.
    bool installGame() const
    {
        const QString built = QFileInfo(QStringLiteral(QUILT_SERVICE_PATH))
                                  .dir()
                                  .filePath(QStringLiteral("tobble-game"));
        if (!QFileInfo(built).isExecutable())
            return false;
        QDir(root()).mkpath(QStringLiteral("game"));
        if (!QFile::link(built, path("game/tobble-game")))
            return false;
        const QString data = path("disc/DATA");
        QByteArray dol(0x200, '\0');
        qToBigEndian<quint32>(0x100, dol.data());        // text section 0: file offset
        qToBigEndian<quint32>(0x100, dol.data() + 0x90); // text section 0: size
        return writeFile(data + QStringLiteral("/sys/boot.bin"),
                         QByteArray("VQ3E88") + '\0' + '\0' + QByteArray(0x38, '\0')) &&
               writeFile(data + QStringLiteral("/sys/main.dol"), dol) &&
               writeFile(path("local/user/game-data.txt"), data.toUtf8() + '\n');
    }

    // A launcher on this installation, shown and active, as bin/tobble-quilt would start it.
    std::unique_ptr<Window> start() const
    {
        auto window = std::make_unique<Window>(root(), QStringLiteral(QUILT_SERVICE_PATH), false);
        window->show();
        window->activateWindow();
        return window;
    }

private:
    // A space and a non-ASCII letter in the root, as in a player's "Mes jeux" folder.
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tobble quilt \u00e9-XXXXXX")};
};

// Presses the button `text` of the next message box once it is up.
void answerBox(const QString &text)
{
    answerModal<QMessageBox>([text](QMessageBox *box) {
        if (auto *button = qobject_cast<QAbstractButton *>(buttonWithText(box, text)))
            button->click();
        else
            box->reject();
    });
}

// A control of the current page, found by the caption its row gives it.
template <typename W> W *byCaption(QWidget *page, const char *captionKey)
{
    if (!page)
        return nullptr;
    for (W *widget : page->findChildren<W *>()) {
        if (widget->accessibleName() == T(captionKey))
            return widget;
    }
    return nullptr;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init() { QuiltTest::resetShared(); }
    void initTestCase();
    void cleanup();
    void displaySettingsSurviveARestart();
    void basicSettingsSaveThemselves();
    void closingSavesUnsavedChanges();
    void closingAfterAFailedSaveAsksFirst();
    void languageSwitchReachesTheNextStart_data();
    void languageSwitchReachesTheNextStart();
    void launcherStepsAsideWhileTheGameRuns();
    void closingWhilePlayingLeavesTheGameAlone();
    void backupsFromTheSavesPage();
    void aControllerNavigatesAndRebinds();
};

void TestEndToEnd::initTestCase()
{
    // The service and the game inherit these: no window on the developer's screen, and a game
    // that closes itself.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TOBBLE_GAME_AUTO_EXIT", gameSeconds);
    qunsetenv("TOBBLE_DEMO_CONTROLLER");
    QVERIFY2(QFileInfo(QStringLiteral(QUILT_SERVICE_PATH)).isExecutable(), QUILT_SERVICE_PATH);
}

void TestEndToEnd::cleanup()
{
    QuiltTest::resetShared();
    // Windows switch the catalogue's language for the whole process.
    Quilt::language(1);
    qunsetenv("TOBBLE_VIRTUAL_CONTROLLER");
}

void TestEndToEnd::displaySettingsSurviveARestart()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    {
        auto window = installation.start();
        QTRY_VERIFY(probe(window).ready());
        QCOMPARE(probe(window).config().value("vsync").toBool(), true);
        QCOMPARE(probe(window).config().value("aa").toInt(), 0);

        // Display page: turn VSync off, pick 4× MSAA
        QTest::mouseClick(probe(window).navButtons()[2], Qt::LeftButton);
        QCOMPARE(probe(window).page(), Page::Display);
        auto *vsync = byCaption<SewnSwitch>(probe(window).pageWidget(), "VSync");
        auto *aa = byCaption<FabricCombo>(probe(window).pageWidget(), "Anti-aliasing");
        QVERIFY(vsync && aa);
        QTRY_VERIFY(vsync->isEnabled());
        vsync->click();
        QTest::keyClick(aa, Qt::Key_Down);
        QTest::keyClick(aa, Qt::Key_Down);
        QCOMPARE(aa->currentIndex(), 2);
        QTRY_VERIFY(probe(window).state().value("dirty").toBool());
        QTRY_COMPARE(probe(window).state().value("config").toObject().value("aa").toInt(), 2);
        QCOMPARE(probe(window).state().value("config").toObject().value("vsync").toBool(), false);
        QTRY_VERIFY(probe(window).saveButton()->isEnabled());
        QCOMPARE(probe(window).footerStatus()->text(), T("Unsaved changes"));
        QVERIFY(installation.settings().isEmpty());

        // Save settings: written now, not by the service on its way out
        QTest::mouseClick(probe(window).saveButton(), Qt::LeftButton);
        QTRY_VERIFY(!probe(window).state().value("dirty").toBool());
        QCOMPARE(probe(window).footerStatus()->text(), T("No unsaved changes"));
        QVERIFY(!probe(window).saveButton()->isEnabled());
        const QByteArray saved = installation.settings();
        QVERIFY2(saved.contains("vsync = false") && saved.contains("aa = 2"), saved.constData());
    }

    // A new launcher on the same installation reads them back from the service
    auto window = installation.start();
    QTRY_VERIFY(probe(window).ready());
    QCOMPARE(probe(window).config().value("vsync").toBool(), false);
    QCOMPARE(probe(window).config().value("aa").toInt(), 2);
    QCOMPARE(probe(window).state().value("dirty").toBool(), false);
    QTest::mouseClick(probe(window).navButtons()[2], Qt::LeftButton);
    auto *vsync = byCaption<SewnSwitch>(probe(window).pageWidget(), "VSync");
    auto *aa = byCaption<FabricCombo>(probe(window).pageWidget(), "Anti-aliasing");
    QVERIFY(vsync && aa);
    QCOMPARE(vsync->isChecked(), false);
    QCOMPARE(aa->currentText(), QStringLiteral("4\u00d7 MSAA"));
    QVERIFY(vsync->isEnabled());
}

void TestEndToEnd::basicSettingsSaveThemselves()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    auto window = installation.start();
    QTRY_VERIFY(probe(window).ready());
    QTest::mouseClick(probe(window).navButtons()[1], Qt::LeftButton);
    QCOMPARE(probe(window).page(), Page::Basic);
    auto *fullscreen = byCaption<SewnSwitch>(probe(window).pageWidget(), "Start in fullscreen");
    QVERIFY(fullscreen);
    QVERIFY(!fullscreen->isChecked());
    fullscreen->click();

    // No "Save settings" on this page: the change reaches the file by itself
    QTRY_VERIFY2(installation.settings().contains("fullscreen = true"),
                 installation.settings().constData());
    QTRY_VERIFY(!probe(window).state().value("dirty").toBool());
    QVERIFY(!probe(window).dirty());
}

void TestEndToEnd::closingSavesUnsavedChanges()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    auto window = installation.start();
    QTRY_VERIFY(probe(window).ready());
    QTest::mouseClick(probe(window).navButtons()[2], Qt::LeftButton);
    auto *performance =
        byCaption<SewnSwitch>(probe(window).pageWidget(), "Experimental performance mode");
    QVERIFY(performance);
    QVERIFY(!performance->isChecked());
    performance->click();
    QTRY_VERIFY(probe(window).state().value("dirty").toBool());

    // The first close waits for the save; its answer closes the window for good
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QTRY_VERIFY(window->isHidden());
    QVERIFY(probe(window).closing());
    QVERIFY(!probe(window).discardOnQuit());
    QVERIFY2(installation.settings().contains("performance = true"),
             installation.settings().constData());

    window.reset();
    QVERIFY2(installation.settings().contains("performance = true"),
             installation.settings().constData());
}

void TestEndToEnd::closingAfterAFailedSaveAsksFirst()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    const QString settings = installation.path("local/user/settings.toml");
    auto window = installation.start();
    QTRY_VERIFY(probe(window).ready());
    QTest::mouseClick(probe(window).navButtons()[2], Qt::LeftButton);
    auto *vsync = byCaption<SewnSwitch>(probe(window).pageWidget(), "VSync");
    QVERIFY(vsync);
    vsync->click();
    QTRY_VERIFY(probe(window).state().value("dirty").toBool());

    // A folder where the file belongs: the service cannot write the settings
    QVERIFY(QDir().mkpath(settings + QStringLiteral("/in the way")));

    // Keeping the changes: the window stays open and still has them
    answerBox(T("Cancel"));
    QVERIFY(!window->close());
    QTRY_VERIFY(probe(window).noticeLabel()->isVisible());
    QCOMPARE(probe(window).noticeLabel()->text(), T("Could not save settings"));
    QTRY_VERIFY(!probe(window).closeAfterSave());
    QVERIFY(window->isVisible());
    QVERIFY(!probe(window).closing());
    QVERIFY(probe(window).state().value("dirty").toBool());

    // Once the way is clear, the next close saves them and goes through
    QVERIFY(QDir(settings).removeRecursively());
    QVERIFY(!window->close());
    QTRY_VERIFY(window->isHidden());
    QVERIFY(installation.settings().contains("vsync = false"));
    window.reset();

    // Blocked again on a new run: closing without saving drops the change
    window = installation.start();
    QTRY_VERIFY(probe(window).ready());
    QTest::mouseClick(probe(window).navButtons()[2], Qt::LeftButton);
    vsync = byCaption<SewnSwitch>(probe(window).pageWidget(), "VSync");
    QVERIFY(vsync && !vsync->isChecked());
    vsync->click();
    QTRY_VERIFY(probe(window).state().value("dirty").toBool());
    const QByteArray before = installation.settings();
    QVERIFY(QFile::rename(settings, settings + QStringLiteral(".kept")));
    QVERIFY(QDir().mkpath(settings + QStringLiteral("/in the way")));
    answerBox(T("Close without saving"));
    QVERIFY(!window->close());
    QTRY_VERIFY(window->isHidden());
    QVERIFY(probe(window).discardOnQuit());
    // The way is clear again before the service quits: only "discard" keeps it from saving.
    QVERIFY(QDir(settings).removeRecursively());
    QVERIFY(QFile::rename(settings + QStringLiteral(".kept"), settings));
    window.reset();
    QCOMPARE(installation.settings(), before);
}

void TestEndToEnd::languageSwitchReachesTheNextStart_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("Spanish") << 2 << QByteArray("es");
    QTest::newRow("Simplified Chinese") << 0 << QByteArray("zh-CN");
}

void TestEndToEnd::languageSwitchReachesTheNextStart()
{
    QFETCH(int, index);
    QFETCH(QByteArray, code);
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    {
        auto window = installation.start();
        QTRY_VERIFY(probe(window).ready());
        QCOMPARE(probe(window).language(), 1);

        // Basic settings page: the launcher's language selector
        QTest::mouseClick(probe(window).navButtons()[1], Qt::LeftButton);
        QComboBox *combo = probe(window).parts().languageCombo;
        QVERIFY(combo);
        QCOMPARE(combo->currentIndex(), 1);
        QTest::keyClick(combo, index > 1 ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(probe(window).language(), index);
        QCOMPARE(probe(window).navButtons()[0]->text(), T("Home page"));
        QVERIFY(probe(window).navButtons()[0]->text() != QStringLiteral("Home page"));

        QTRY_COMPARE(readAll(installation.path("local/user/launcher-language.txt")).trimmed(),
                     code);
        QTRY_COMPARE(probe(window).state().value("lang").toInt(-1), index);
        QCOMPARE(probe(window).language(), index);
    }

    // The next start opens in that language before the service has said anything
    Quilt::language(1);
    auto window = installation.start();
    QCOMPARE(probe(window).language(), index);
    QCOMPARE(probe(window).navButtons()[1]->text(), T("Basic settings"));
    QVERIFY(probe(window).navButtons()[1]->text() != QStringLiteral("Basic settings"));
    QTRY_VERIFY(probe(window).ready());
    QCOMPARE(probe(window).language(), index);
    QTest::mouseClick(probe(window).navButtons()[1], Qt::LeftButton);
    QVERIFY(probe(window).parts().languageCombo);
    QCOMPARE(probe(window).parts().languageCombo->currentIndex(), index);
}

void TestEndToEnd::launcherStepsAsideWhileTheGameRuns()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    QVERIFY2(installation.installGame(), "the stand-in game is built beside the service");
    auto window = installation.start();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_VERIFY(probe(window).ready());
    QTRY_VERIFY(probe(window).parts().playButton && probe(window).parts().playButton->isEnabled());
    QCOMPARE(probe(window).state().value("verified").toBool(), true);
    QCOMPARE(probe(window).state().value("installed").toBool(), true);
    QCOMPARE(probe(window).parts().playButton->text(), T("Start game"));

    // Start game: the launcher minimises while the game runs
    QTest::mouseClick(probe(window).parts().playButton, Qt::LeftButton);
    QTRY_VERIFY(window->windowState() & Qt::WindowMinimized);
    QVERIFY(probe(window).state().value("running").toBool());
    QVERIFY(probe(window).parts().playButton);
    QCOMPARE(probe(window).parts().playButton->text(), T("Game running"));
    QVERIFY(!probe(window).parts().playButton->isEnabled());

    // The game has the player's attention meanwhile
    QWidget game;
    game.show();
    game.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&game));
    QVERIFY(!window->isActiveWindow());

    // The game ends by itself; the launcher comes back to the front
    QTRY_VERIFY_WITH_TIMEOUT(!probe(window).state().value("running").toBool(), gameTimeout);
    QVERIFY(!(window->windowState() & Qt::WindowMinimized));
    QTRY_VERIFY(window->isActiveWindow());
    QVERIFY(window->isVisible());
    QCOMPARE(probe(window).state().value("gameStatus").toString(), QStringLiteral("Game closed"));
    QVERIFY(probe(window).parts().gameStatusLabel);
    QCOMPARE(probe(window).parts().gameStatusLabel->text(), T("Game closed"));
    QVERIFY(probe(window).parts().playButton && probe(window).parts().playButton->isEnabled());
    QCOMPARE(probe(window).parts().playButton->text(), T("Start game"));
    QVERIFY(QFileInfo::exists(installation.path("build-logs/game.log")));
}

void TestEndToEnd::closingWhilePlayingLeavesTheGameAlone()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    QVERIFY2(installation.installGame(), "the stand-in game is built beside the service");
    const QString log = installation.path("build-logs/game.log");
    {
        auto window = installation.start();
        QTRY_VERIFY(probe(window).ready());
        QTRY_VERIFY(probe(window).parts().playButton &&
                    probe(window).parts().playButton->isEnabled());
        QTest::mouseClick(probe(window).parts().playButton, Qt::LeftButton);
        QTRY_VERIFY(probe(window).state().value("running").toBool());
        QTRY_VERIFY(readAll(log).contains("Stand-in game started"));
        QVERIFY(window->close());
    }
    // The service has gone with the launcher; the game plays on and ends as it would have.
    QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("Stand-in game closed"), gameTimeout);
}

void TestEndToEnd::backupsFromTheSavesPage()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    const QString save =
        installation.path("local/user/nand/title/00010000/56513345/data/quilt.sav");
    QVERIFY(writeFile(save, "sessions=1\n"));
    auto window = installation.start();
    QTRY_VERIFY(probe(window).ready());
    QVERIFY(probe(window).state().value("saveFound").toBool());
    // The row of the backup with this name on the current page
    const auto backupRow = [&](const QString &label) -> QWidget * {
        QWidget *text = labelWithText(probe(window).pageWidget(), label);
        return text ? text->parentWidget() : nullptr;
    };

    // Basic settings, then Saves in its game library
    QTest::mouseClick(probe(window).navButtons()[1], Qt::LeftButton);
    auto *saves =
        qobject_cast<QPushButton *>(buttonWithText(probe(window).pageWidget(), T("Saves")));
    QVERIFY(saves);
    QTest::mouseClick(saves, Qt::LeftButton);
    QCOMPARE(probe(window).page(), Page::Saves);
    QVERIFY(labelWithText(probe(window).pageWidget(), T("No backups yet.")));

    // Create a named backup: it is listed once the service has answered
    const QString name = QStringLiteral("Before Thimble Tower");
    auto *field = find<QLineEdit>(probe(window).pageWidget(), QStringLiteral("backupName"));
    QVERIFY(field);
    QTest::keyClicks(field, name);
    auto *create = find<QPushButton>(probe(window).pageWidget(), QStringLiteral("createBackup"));
    QVERIFY(create && create->isEnabled());
    QTest::mouseClick(create, Qt::LeftButton);
    QTRY_VERIFY(labelWithText(probe(window).pageWidget(), name));
    QVERIFY(!labelWithText(probe(window).pageWidget(), T("No backups yet.")));
    QCOMPARE(probe(window).state().value("backups").toArray().size(), 1);
    const QString id =
        probe(window).state().value("backups").toArray().at(0).toObject().value("name").toString();
    QCOMPARE(readAll(installation.root() + "/local/user/backups/" + id + "/data/quilt.sav"),
             "sessions=1\n");
    QVERIFY(probe(window).parts().saveImportStatusLabel);
    QCOMPARE(probe(window).parts().saveImportStatusLabel->text(), T("Backup created"));

    // The game moves on; restoring the backup brings the old save back and keeps the newer one
    QVERIFY(writeFile(save, "sessions=2\n"));
    auto *restore = qobject_cast<QPushButton *>(buttonWithText(backupRow(name), T("Restore")));
    QVERIFY(restore);
    answerBox(T("Replace"));
    QTest::mouseClick(restore, Qt::LeftButton);
    QTRY_COMPARE(readAll(save), "sessions=1\n");
    QTRY_COMPARE(probe(window).state().value("backups").toArray().size(), 2);
    QTRY_COMPARE(probe(window).parts().saveImportStatusLabel
                     ? probe(window).parts().saveImportStatusLabel->text()
                     : QString(),
                 T("Backup restored"));

    // Deleting the named backup takes it off the list and off the disk
    auto *remove = qobject_cast<QPushButton *>(buttonWithText(backupRow(name), T("Delete")));
    QVERIFY(remove);
    QTest::mouseClick(remove, Qt::LeftButton);
    QTRY_VERIFY(!labelWithText(probe(window).pageWidget(), name));
    QCOMPARE(probe(window).state().value("backups").toArray().size(), 1);
    QVERIFY(!QFileInfo::exists(installation.root() + "/local/user/backups/" + id));
}

void TestEndToEnd::aControllerNavigatesAndRebinds()
{
    Installation installation;
    QVERIFY2(installation.valid(), "temporary installation");
    // The service plugs in a virtual controller that follows the lines of this file
    const QString script = installation.path("controller.txt");
    QVERIFY(writeFile(script, ""));
    qputenv("TOBBLE_VIRTUAL_CONTROLLER", QFile::encodeName(script));
    const auto pad = [&](const QByteArray &line) {
        QFile file(script);
        QVERIFY(file.open(QIODevice::Append));
        file.write(line + '\n');
    };
    auto window = installation.start();
    const auto listed = [&] {
        for (const QJsonValue &device : probe(window).input().value("devices").toArray())
            if (device.toObject().value("name").toString() == "Virtual controller")
                return true;
        return false;
    };
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_VERIFY(probe(window).ready());
    QTRY_VERIFY(listed());

    // The D-pad walks the focus through the window and back
    QPushButton *home = probe(window).navButtons()[0];
    home->setFocus();
    pad("press dpdown");
    pad("release dpdown");
    QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget() != home);
    pad("press dpup");
    pad("release dpup");
    QTRY_COMPARE(QApplication::focusWidget(), home);

    // On the controls page, south presses the focused binding, and the trigger becomes it
    probe(window).navigate(Page::Controls, false);
    QTRY_COMPARE(probe(window).parts().bindingButtons.size(), 9);
    QPushButton *binding = probe(window).parts().bindingButtons[8].first;
    QCOMPARE(binding->text(), T("North (Y / Triangle)"));
    binding->setFocus();
    pad("press a");
    pad("release a");
    QTRY_VERIFY(probe(window).capturing());
    pad("axis lefttrigger 1");
    pad("axis lefttrigger 0");
    QTRY_COMPARE(binding->text(), T("Left trigger (LT / L2)"));
    QTRY_VERIFY(!probe(window).capturing());
    QCOMPARE(probe(window).state().value("bindings").toArray().at(8).toArray().at(1).toString(),
             QStringLiteral("Left trigger (LT / L2)"));

    // Unplugged, it leaves the list
    pad("unplug");
    QTRY_VERIFY(!listed());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
