#include "support.h"
#include "translations.h"
#include "window.h"

#include <QApplication>
#include <QFileDialog>
#include <QJsonArray>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace QuiltTest;
using Quilt::Page;

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void init() { QuiltTest::resetShared(); }
    void cleanup();

    // Home page
    void playButtonFollowsState_data();
    void playButtonFollowsState();
    void playClickNeedsReadyData();
    void homeTitleByLanguage_data();
    void homeTitleByLanguage();
    void libraryCardsLeadToTheirPages();
    void compactSizesBelow860();

    // Install page
    void installButtonsFollowState_data();
    void installButtonsFollowState();
    void dataNoticeOnlyWhenReadyAndUnverified();
    void installationErrorWordForWord();
    void chooserSendsOnlyAChosenFolder();

    // Basic and display settings pages
    void volumeRoundsHalfAwayFromZero_data();
    void volumeRoundsHalfAwayFromZero();
    void basicControlsFollowEditability();
    void volumeDragSendsIntegersAndOneSave();
    void launcherLanguageRebuildsBasicPage();
    void displaySelectsAndUnsavedVSync();

private:
    // Shows a page of a service-less window as if the service had sent `state`.
    static void show(Quilt::Window &window, Page page, const QJsonObject &state, bool ready = true)
    {
        probe(window).ready() = ready;
        probe(window).state() = state;
        probe(window).config() = state.value(QLatin1String("config")).toObject();
        probe(window).navigate(page, false);
    }
    static QWidget *pageOf(Quilt::Window &window) { return probe(window).pageWidget(); }
    static QAbstractButton *button(Quilt::Window &window, const char *key)
    {
        return QuiltTest::button(probe(window).pageWidget(), key);
    }
    // Labels of the page named "notice" (the window's own notice line is not on the page).
    static QStringList pageNotices(Quilt::Window &window)
    {
        QStringList texts;
        for (QLabel *label :
             probe(window).pageWidget()->findChildren<QLabel *>(QStringLiteral("notice")))
            texts.append(label->text());
        return texts;
    }
    // A window served by a peer whose polls carry no state, so that nothing the test does
    // is undone by the next poll.
    static std::unique_ptr<Quilt::Window> startSteady(ScriptedService &service,
                                                      const QJsonObject &state)
    {
        service.reply(QStringLiteral("hello"), stateReply(QStringLiteral("hello"), state));
        service.reply(QStringLiteral("poll"), {{QStringLiteral("cmd"), QStringLiteral("poll")},
                                               {QStringLiteral("input"), QJsonObject()}});
        auto window = service.startWindow();
        if (!QTest::qWaitFor([&] { return probe(window).ready(); }, 5000))
            qWarning("the window never received a state");
        return window;
    }
    // Waits for `n` more polls: a stretch of at least n × 200 ms of the window's life.
    static bool waitPolls(const ScriptedService &service, int n)
    {
        return service.waitFor(QStringLiteral("poll"), service.count(QStringLiteral("poll")) + n);
    }
    static QList<QJsonObject> changes(const ScriptedService &service, const QString &key)
    {
        QList<QJsonObject> result;
        for (const QJsonObject &request : service.requests()) {
            if (request.value(QLatin1String("cmd")).toString() == QLatin1String("change") &&
                request.value(QLatin1String("key")).toString() == key)
                result.append(request);
        }
        return result;
    }
};

namespace {

QJsonObject readyWithConfig(const QJsonObject &config)
{
    return withMember(readyState(), QStringLiteral("config"), config);
}

// The combo or control of a row, found by the caption it carries as accessible name.
template <typename T> T *byCaption(QWidget *page, const char *captionKey)
{
    for (T *widget : page->findChildren<T *>()) {
        if (widget->accessibleName() == Quilt::T(captionKey))
            return widget;
    }
    return nullptr;
}

} // namespace

void TestPages::cleanup()
{
    QuiltTest::resetShared();
    Quilt::language(1);
}

// ---- Home page ----

void TestPages::playButtonFollowsState_data()
{
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QJsonObject>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("dataText");

    const QJsonObject ok = readyState();
    QTest::newRow("no state yet") << false << QJsonObject() << "Choose game data" << false
                                  << "Checking native executable...";
    QTest::newRow("ready") << true << ok << "Start game" << true << "Game data verified";
    QTest::newRow("not installed") << true << withMember(ok, "installed", false)
                                   << "Choose game data" << true << "Install the game to play";
    QTest::newRow("not verified") << true << withMember(ok, "verified", false) << "Choose game data"
                                  << true << "Game data needs attention";
    QTest::newRow("installation error")
        << true << withMember(ok, "installationError", "Setup failed") << "Choose game data" << true
        << "Game data needs attention";
    QTest::newRow("settings error") << true << withMember(ok, "settingsError", "line 3: bad value")
                                    << "Start game" << false << "Game data verified";
    QTest::newRow("settings error, data missing")
        << true << withMember(withMember(ok, "settingsError", "line 3"), "installed", false)
        << "Choose game data" << true << "Install the game to play";
    QTest::newRow("running") << true << withMember(ok, "running", true) << "Game running" << false
                             << "Game data verified";
    QTest::newRow("running, data missing")
        << true << withMember(withMember(ok, "running", true), "verified", false) << "Game running"
        << false << "Game data needs attention";
}

void TestPages::playButtonFollowsState()
{
    QFETCH(bool, ready);
    QFETCH(QJsonObject, state);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(QString, dataText);

    Quilt::Window window(QString(), QString(), true);
    state.insert(QStringLiteral("dataStatus"), QStringLiteral("Checked 412 files"));
    show(window, Page::Play, state, ready);
    QVERIFY(probe(window).parts().playButton);
    QCOMPARE(probe(window).parts().playButton->text(), text);
    QCOMPARE(probe(window).parts().playButton->isEnabled(), enabled);
    QVERIFY(probe(window).parts().playButton->isPrimary());
    QCOMPARE(probe(window).parts().dataStatusLabel->text(), dataText);
    QCOMPARE(probe(window).parts().dataStatusLabel->toolTip(), QStringLiteral("Checked 412 files"));
    QVERIFY(probe(window).parts().gameStatusLabel->isHidden());

    // A game status appears below the banner with the next refresh, without a rebuild.
    const QPointer<Quilt::FabricButton> before = probe(window).parts().playButton;
    probe(window).state().insert(QStringLiteral("gameStatus"), QStringLiteral("Game started"));
    probe(window).refresh();
    QCOMPARE(probe(window).parts().playButton, before.data());
    QVERIFY(!probe(window).parts().gameStatusLabel->isHidden());
    QCOMPARE(probe(window).parts().gameStatusLabel->text(), QStringLiteral("Game started"));
}

void TestPages::playClickNeedsReadyData()
{
    // Installation error: the click leads to the install page and sends nothing
    {
        ScriptedService service;
        auto window =
            service.readyWindow(withMember(readyState(), "installationError", "Setup failed"));
        QVERIFY(window);
        QVERIFY(probe(window).parts().playButton->isEnabled());
        QTest::mouseClick(probe(window).parts().playButton, Qt::LeftButton);
        QCOMPARE(probe(window).page(), Page::Install);
        // A later request proves that anything sent before it would have arrived.
        QTest::mouseClick(button(*window, "Verify selected folder"), Qt::LeftButton);
        QVERIFY(service.waitFor("verify"));
        QCOMPARE(service.count("play"), 0);
    }
    // Ready: exactly one "play", and the page stays
    {
        ScriptedService service;
        auto window = service.readyWindow();
        QVERIFY(window);
        QTest::mouseClick(probe(window).parts().playButton, Qt::LeftButton);
        QVERIFY(service.waitFor("play"));
        QVERIFY(waitPolls(service, 2));
        QCOMPARE(service.count("play"), 1);
        QCOMPARE(probe(window).page(), Page::Play);
        QCOMPARE(service.last("play").size(), 3); // the envelope only
    }
}

void TestPages::homeTitleByLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("kicker");
    QTest::addColumn<QString>("title");
    QTest::newRow("Chinese") << 0 << QStringLiteral("Tobble’s Grand Quilt")
                             << QStringLiteral("拼布托波");
    QTest::newRow("English") << 1 << QStringLiteral("Tobble’s") << QStringLiteral("Grand Quilt");
    QTest::newRow("Spanish") << 2 << QStringLiteral("Tobble’s") << QStringLiteral("Grand Quilt");
}

void TestPages::homeTitleByLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, kicker);
    QFETCH(QString, title);

    Quilt::Window window(QString(), QString(), true);
    probe(window).setLanguage(language);
    QCOMPARE(probe(window).page(), Page::Play);
    QCOMPARE(find<QLabel>(pageOf(window), "kicker")->text(), kicker);
    QCOMPARE(find<QLabel>(pageOf(window), "homeTitle")->text(), title);
    // The region is named in the player's language; the disc id and revision never change.
    const QString regions[] = {u"美版"_qs, u"USA"_qs, u"EE. UU."_qs};
    QCOMPARE(find<QLabel>(pageOf(window), "edition")->text(),
             u"VQ3E88    /    "_qs + regions[language] + u"    /    Rev. 0"_qs);
    QCOMPARE(find<QLabel>(pageOf(window), "libraryTitle")->text(), Quilt::T("Game library"));
}

void TestPages::libraryCardsLeadToTheirPages()
{
    Quilt::Window window(QString(), QString(), true);
    const QList<Page> targets = {Page::Basic, Page::ControllerGuide, Page::Saves};
    const QStringList titles = {"Display and sound", "Controls", "Saves"};
    for (int i = 0; i < targets.size(); ++i) {
        show(window, Page::Play, readyState());
        const auto cards = pageOf(window)->findChildren<Quilt::LibraryCard *>();
        QCOMPARE(cards.size(), 3);
        QCOMPARE(cards.at(i)->text(), titles.at(i));
        cards.at(i)->click();
        QCOMPARE(probe(window).page(), targets.at(i));
    }
}

void TestPages::compactSizesBelow860()
{
    Quilt::Window window(QString(), QString(), true);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    show(window, Page::Play, readyState());
    const auto banner = [&] { return pageOf(window)->findChild<Quilt::Banner *>(); };
    const auto title = [&] { return find<QLabel>(pageOf(window), "homeTitle"); };
    QCOMPARE(banner()->minimumHeight(), 405);
    QCOMPARE(probe(window).parts().playButton->minimumWidth(), 210);

    window.resize(859, 685);
    QTRY_VERIFY(probe(window).compact());
    QCOMPARE(banner()->minimumHeight(), 302);
    QCOMPARE(probe(window).parts().playButton->minimumWidth(), 165);
    QVERIFY(title()->styleSheet().contains(QLatin1String("font-size:47px")));
    QCOMPARE(probe(window).page(), Page::Play);

    probe(window).navigate(Page::Basic, false);
    QCOMPARE(pageOf(window)->findChild<QSlider *>()->minimumWidth(), 95);

    window.resize(860, 685);
    QTRY_VERIFY(!probe(window).compact());
    QCOMPARE(pageOf(window)->findChild<QSlider *>()->minimumWidth(), 175);
    probe(window).navigate(Page::Play, false);
    QCOMPARE(banner()->minimumHeight(), 405);
    QCOMPARE(probe(window).parts().playButton->minimumWidth(), 210);
    QVERIFY(title()->styleSheet().isEmpty());
}

// ---- Install page ----

void TestPages::installButtonsFollowState_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("setupAvailable");
    QTest::addColumn<bool>("chooseEnabled");
    QTest::addColumn<bool>("setupEnabled");
    QTest::newRow("idle, setup available") << false << true << true << true;
    QTest::newRow("idle, no setup") << false << false << true << false;
    QTest::newRow("running, setup available") << true << true << false << false;
    QTest::newRow("running, no setup") << true << false << false << false;
}

void TestPages::installButtonsFollowState()
{
    QFETCH(bool, running);
    QFETCH(bool, setupAvailable);
    QFETCH(bool, chooseEnabled);
    QFETCH(bool, setupEnabled);

    Quilt::Window window(QString(), QString(), true);
    QJsonObject state = withMember(readyState(), "running", running);
    state.insert(QStringLiteral("setupAvailable"), setupAvailable);
    state.insert(QStringLiteral("data"), QStringLiteral("/games/quilt/DATA"));
    show(window, Page::Install, state);

    QCOMPARE(button(window, "Choose DATA folder")->isEnabled(), chooseEnabled);
    QVERIFY(button(window, "Verify selected folder")->isEnabled());
    QCOMPARE(button(window, "Open Tobble Setup")->isEnabled(), setupEnabled);
    const QString hint = Quilt::T(
        "Open your Tobble Setup AppImage or Windows setup application to install the game.");
    QCOMPARE(labelWithText(pageOf(window), hint) != nullptr, !setupAvailable);
    QVERIFY(labelWithText(pageOf(window), QStringLiteral("/games/quilt/DATA")));
    QCOMPARE(probe(window).parts().dataStatusLabel->text(), QStringLiteral("Game data verified"));
}

void TestPages::dataNoticeOnlyWhenReadyAndUnverified()
{
    Quilt::Window window(QString(), QString(), true);
    const QJsonObject unverified =
        withMember(withMember(readyState(), "verified", false), "dataStatus",
                   "Data verification failed: Missing main.dol");

    show(window, Page::Install, unverified, false);
    QCOMPARE(pageNotices(window), QStringList());
    QCOMPARE(probe(window).parts().dataStatusLabel->text(),
             QStringLiteral("Checking native executable..."));

    show(window, Page::Install, unverified, true);
    QCOMPARE(pageNotices(window),
             QStringList{QStringLiteral("Data verification failed: Missing main.dol")});

    show(window, Page::Install, withMember(unverified, "verified", true), true);
    QCOMPARE(pageNotices(window), QStringList());
}

void TestPages::installationErrorWordForWord()
{
    // In Spanish, so that a translation would show: the error is a catalogue text by chance.
    Quilt::Window window(QString(), QString(), true);
    probe(window).setLanguage(2);
    QJsonObject state = withMember(readyState(), "verified", false);
    state.insert(QStringLiteral("dataStatus"), QStringLiteral("Game data needs attention"));
    state.insert(QStringLiteral("installationError"),
                 QStringLiteral("Game data needs attention <b>&amp;</b>"));
    show(window, Page::Install, state);
    QCOMPARE(pageNotices(window),
             (QStringList{Quilt::T("Game data needs attention"),
                          QStringLiteral("Game data needs attention <b>&amp;</b>")}));
    for (QLabel *label : pageOf(window)->findChildren<QLabel *>(QStringLiteral("notice")))
        QCOMPARE(label->textFormat(), Qt::PlainText);
}

void TestPages::chooserSendsOnlyAChosenFolder()
{
    QTemporaryDir current;
    QTemporaryDir other;
    ScriptedService service;
    auto window = service.readyWindow(
        withMember(withMember(readyState(), "verified", false), "data", current.path()));
    QVERIFY(window);
    probe(window).navigate(Page::Install, false);

    // Cancelled: nothing is sent, and the chooser started at the current folder
    QString shownDirectory;
    QString caption;
    answerModal<QFileDialog>([&](QFileDialog *dialog) {
        shownDirectory = dialog->directory().absolutePath();
        caption = dialog->windowTitle();
        dialog->reject();
    });
    QTest::mouseClick(button(*window, "Choose DATA folder"), Qt::LeftButton);
    QCOMPARE(shownDirectory, QDir(current.path()).absolutePath());
    QCOMPARE(caption, QStringLiteral("Choose DATA folder"));
    QTest::mouseClick(button(*window, "Verify selected folder"), Qt::LeftButton);
    QVERIFY(service.waitFor("verify"));
    QCOMPARE(service.count("data"), 0);

    // Chosen: one "data" with the folder
    answerModal<QFileDialog>([&](QFileDialog *dialog) {
        dialog->setDirectory(other.path());
        dialog->selectFile(other.path());
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides its override
    });
    QTest::mouseClick(button(*window, "Choose DATA folder"), Qt::LeftButton);
    QVERIFY(service.waitFor("data"));
    QCOMPARE(QDir(service.last("data").value("path").toString()).absolutePath(),
             QDir(other.path()).absolutePath());
    QCOMPARE(service.count("data"), 1);
}

// ---- Basic and display settings pages ----

void TestPages::volumeRoundsHalfAwayFromZero_data()
{
    QTest::addColumn<QJsonValue>("volume");
    QTest::addColumn<int>("position");
    QTest::newRow("49.5") << QJsonValue(49.5) << 50;
    QTest::newRow("50.49") << QJsonValue(50.49) << 50;
    QTest::newRow("0.5") << QJsonValue(0.5) << 1;
    QTest::newRow("80") << QJsonValue(80) << 80;
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 0;
    QTest::newRow("text") << QJsonValue("loud") << 0;
    QTest::newRow("far above") << QJsonValue(1e300) << 100;
    QTest::newRow("below") << QJsonValue(-7.5) << 0;
}

void TestPages::volumeRoundsHalfAwayFromZero()
{
    QFETCH(QJsonValue, volume);
    QFETCH(int, position);

    Quilt::Window window(QString(), QString(), true);
    QJsonObject config;
    if (!volume.isUndefined())
        config.insert(QStringLiteral("volume"), volume);
    show(window, Page::Basic, readyWithConfig(config));
    auto *slider = pageOf(window)->findChild<QSlider *>();
    QVERIFY(slider);
    QCOMPARE(slider->value(), position);
    QVERIFY(labelWithText(pageOf(window), QString::number(position) + QLatin1Char('%')));
    QCOMPARE(slider->accessibleName(), QStringLiteral("Master volume"));
    // Building sends nothing, so the mirror is untouched.
    QVERIFY(!probe(window).dirty());
}

void TestPages::basicControlsFollowEditability()
{
    Quilt::Window window(QString(), QString(), true);
    show(window, Page::Basic,
         withMember(readyWithConfig({{"gameLanguage", 4}, {"fullscreen", true}}), "running", true));

    auto *slider = pageOf(window)->findChild<QSlider *>();
    auto *gameLanguage = byCaption<QComboBox>(pageOf(window), "Game language");
    auto *fullscreen = byCaption<Quilt::SewnSwitch>(pageOf(window), "Start in fullscreen");
    QCOMPARE(gameLanguage->currentText(), QStringLiteral("Español"));
    QVERIFY(fullscreen->isChecked());

    // The game runs: settings are locked, the launcher's own choices are not
    QVERIFY(!slider->isEnabled());
    QVERIFY(!gameLanguage->isEnabled());
    QVERIFY(!fullscreen->isEnabled());
    QVERIFY(probe(window).parts().languageCombo);
    QVERIFY(probe(window).parts().languageCombo->isEnabled());
    QCOMPARE(probe(window).parts().languageCombo->currentIndex(), 1);
    for (const char *key : {"Controls", "Saves", "Install"})
        QVERIFY2(button(window, key) && button(window, key)->isEnabled(), key);

    probe(window).state().insert(QStringLiteral("running"), false);
    probe(window).refresh();
    QVERIFY(slider->isEnabled());
    QVERIFY(gameLanguage->isEnabled());

    // An unknown language code shows the first item
    show(window, Page::Basic, readyWithConfig({{"gameLanguage", 2}}));
    QCOMPARE(byCaption<QComboBox>(pageOf(window), "Game language")->currentText(),
             QStringLiteral("English"));

    // The library buttons lead to their pages
    button(window, "Install")->click();
    QCOMPARE(probe(window).page(), Page::Install);
    show(window, Page::Basic, readyState());
    button(window, "Controls")->click();
    QCOMPARE(probe(window).page(), Page::ControllerGuide);
    show(window, Page::Basic, readyState());
    button(window, "Saves")->click();
    QCOMPARE(probe(window).page(), Page::Saves);
}

void TestPages::volumeDragSendsIntegersAndOneSave()
{
    ScriptedService service;
    auto window = startSteady(service, readyWithConfig({{"volume", 49.5}}));
    QVERIFY(probe(window).ready());
    probe(window).navigate(Page::Basic, false);
    auto *slider = pageOf(*window)->findChild<QSlider *>();
    QCOMPARE(slider->value(), 50);
    QVERIFY(slider->isEnabled());

    // A drag: one step after another, then a jump to the bottom
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_Left);
    slider->setValue(0);
    QVERIFY(labelWithText(pageOf(*window), QStringLiteral("0%")));
    QVERIFY(service.waitFor("change", 4));
    QTRY_COMPARE_WITH_TIMEOUT(service.count("save"), 1, 5000);

    QList<double> sent;
    for (const QJsonObject &change : changes(service, "volume"))
        sent.append(change.value("value").toDouble());
    QCOMPARE(sent, (QList<double>{51, 52, 51, 0}));
    const QByteArrayList lines = service.lines();
    QVERIFY(lines.contains(R"({"cmd":"change","controls":false,"focused":true,"key":"volume",)"
                           R"("value":51})") ||
            lines.contains(R"({"cmd":"change","controls":false,"focused":false,"key":"volume",)"
                           R"("value":51})"));

    // The save follows the last change, and no second one comes
    const QStringList commands = service.commands();
    QVERIFY(commands.lastIndexOf("save") > commands.lastIndexOf("change"));
    QVERIFY(waitPolls(service, 4));
    QCOMPARE(service.count("save"), 1);
    QVERIFY(!probe(window).dirty());
}

void TestPages::launcherLanguageRebuildsBasicPage()
{
    ScriptedService service;
    auto window = startSteady(service, readyState());
    QVERIFY(probe(window).ready());
    probe(window).navigate(Page::Basic, false);
    QWidget *const oldPage = pageOf(*window);
    QVERIFY(probe(window).parts().languageCombo);
    QCOMPARE(probe(window).parts().languageCombo->currentIndex(), 1);

    // Down from English picks Spanish, as a user choice
    QTest::keyClick(probe(window).parts().languageCombo, Qt::Key_Down);
    QCOMPARE(probe(window).page(), Page::Basic);
    QVERIFY(pageOf(*window) != oldPage);
    QCOMPARE(probe(window).language(), 2);
    QVERIFY(probe(window).parts().languageCombo);
    QCOMPARE(probe(window).parts().languageCombo->currentIndex(), 2);
    QVERIFY(labelWithText(pageOf(*window), QStringLiteral("Pantalla y sonido")));
    QVERIFY(labelWithText(pageOf(*window), QStringLiteral("Lanzador")));

    QVERIFY(service.waitFor("lang"));
    QCOMPARE(service.last("lang").value("value").toInt(-1), 2);
    QVERIFY(waitPolls(service, 3));
    QCOMPARE(service.count("change"), 0);
    QCOMPARE(service.count("save"), 0);
}

void TestPages::displaySelectsAndUnsavedVSync()
{
    ScriptedService service;
    const QJsonObject state =
        readyWithConfig({{"scale", 7}, {"aa", 0}, {"vsync", false}, {"performance", true}});
    // The service answers a change with a state that has unsaved changes.
    service.reply("change", stateReply("change", withMember(state, "dirty", true)));
    auto window = startSteady(service, state);
    QVERIFY(probe(window).ready());
    probe(window).navigate(Page::Display, false);
    QVERIFY(!probe(window).footer()->isHidden());

    auto *scale = byCaption<QComboBox>(pageOf(*window), "Internal resolution");
    auto *aa = byCaption<QComboBox>(pageOf(*window), "Anti-aliasing");
    QCOMPARE(scale->currentText(), QStringLiteral("1x (native)"));
    QCOMPARE(scale->count(), 7);
    QCOMPARE(scale->itemText(6), QStringLiteral("8×"));
    QCOMPARE(aa->currentText(), QStringLiteral("Off"));
    QVERIFY(byCaption<Quilt::SewnSwitch>(pageOf(*window), "Experimental performance mode")
                ->isChecked());

    // The combined mode, picked by the user
    QTest::keyClick(aa, Qt::Key_End);
    QCOMPARE(aa->currentText(), QStringLiteral("4× MSAA + FXAA"));
    QVERIFY(service.waitFor("change"));
    QCOMPARE(service.last("change").value("key").toString(), QStringLiteral("aa"));
    QCOMPARE(service.last("change").value("value"), QJsonValue(3));

    // VSync: unsaved until "Save settings", with no save of its own
    auto *vsync = byCaption<Quilt::SewnSwitch>(pageOf(*window), "VSync");
    QTest::mouseClick(vsync, Qt::LeftButton);
    QVERIFY(service.waitFor("change", 2));
    QCOMPARE(service.last("change").value("key").toString(), QStringLiteral("vsync"));
    QCOMPARE(service.last("change").value("value"), QJsonValue(true));
    QVERIFY(probe(window).dirty());
    QTRY_COMPARE(probe(window).footerStatus()->text(), QStringLiteral("Unsaved changes"));
    QVERIFY(probe(window).saveButton()->isEnabled());
    QVERIFY(waitPolls(service, 4));
    QCOMPARE(service.count("save"), 0);
    QCOMPARE(changes(service, "scale").size(), 0);
}

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
