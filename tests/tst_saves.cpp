#include "support.h"
#include "window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace QuiltTest;

namespace {

// Presses the confirmation's "Replace" (true) or "Cancel" (false).
void answerConfirmation(bool replace)
{
    answerModal<QMessageBox>([replace](QMessageBox *box) {
        const QString text = replace ? QStringLiteral("Replace") : QStringLiteral("Cancel");
        if (auto *button = qobject_cast<QAbstractButton *>(buttonWithText(box, text)))
            button->click();
        else
            box->reject();
    });
}

// Picks `path` in the file chooser, then answers the confirmation that may follow.
void choose(const QString &path)
{
    answerModal<QFileDialog>([path](QFileDialog *dialog) {
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides accept()
    });
}

void cancelChooser()
{
    answerModal<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
}

QJsonObject backup(const QString &name, const QString &label, const QString &timestamp)
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("label"), label},
            {QStringLiteral("timestamp"), timestamp}};
}

QJsonObject savesState(bool saveFound, bool running, const QJsonArray &backups = {})
{
    QJsonObject state = readyState();
    state.insert(QStringLiteral("saveFound"), saveFound);
    state.insert(QStringLiteral("running"), running);
    state.insert(QStringLiteral("saves"), QStringLiteral("/games/tobble/saves"));
    state.insert(QStringLiteral("backups"), backups);
    return state;
}

// The box layout under `page` that holds `widget`.
QBoxLayout *rowOf(QWidget *page, QWidget *widget)
{
    for (QBoxLayout *layout : page->findChildren<QBoxLayout *>()) {
        if (layout->indexOf(widget) >= 0)
            return layout;
    }
    return nullptr;
}

} // namespace

class TestSaves : public QObject
{
    Q_OBJECT

    // A window without a service showing the saves page for `state`.
    static void show(Quilt::Window &window, const QJsonObject &state)
    {
        probe(window).ready() = true;
        probe(window).state() = state;
        probe(window).config() = state.value(QLatin1String("config")).toObject();
        probe(window).navigate(Quilt::Page::Saves, false);
    }
    static QLineEdit *nameField(Quilt::Window &window)
    {
        return find<QLineEdit>(probe(window).pageWidget(), QStringLiteral("backupName"));
    }
    static QAbstractButton *createButton(Quilt::Window &window)
    {
        return find<QAbstractButton>(probe(window).pageWidget(), QStringLiteral("createBackup"));
    }

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void enabledStatesFollowTheSaveAndTheGame_data();
    void enabledStatesFollowTheSaveAndTheGame();
    void createBackupFollowsTheTrimmedName();
    void labelsAreShownAsTheyCome();
    void compactLayoutStacksTheSaveButtons();
    void enterSendsOneTrimmedBackup();
    void replacingNeedsAChoiceAndAConfirmation();
};

void TestSaves::enabledStatesFollowTheSaveAndTheGame_data()
{
    QTest::addColumn<bool>("saveFound");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("title");
    QTest::newRow("no save") << false << false << QStringLiteral("No game save yet");
    QTest::newRow("save") << true << false << QStringLiteral("Game save found");
    QTest::newRow("running") << true << true << QStringLiteral("Game save found");
}

void TestSaves::enabledStatesFollowTheSaveAndTheGame()
{
    QFETCH(bool, saveFound);
    QFETCH(bool, running);
    QFETCH(QString, title);
    QTemporaryDir root;
    Quilt::Window window(root.path(), QString(), true);
    show(window, savesState(saveFound, running, {backup("b1", "One", "2024-05-01 10:00")}));
    QWidget *page = probe(window).pageWidget();

    QVERIFY(labelWithText(page, title));
    QVERIFY(labelWithText(page, QStringLiteral("/games/tobble/saves")));
    QVERIFY(button(page, "Open Saves")->isEnabled());
    QCOMPARE(button(page, "Import Dolphin save")->isEnabled(), !running);
    QCOMPARE(button(page, "Import save (.bin)")->isEnabled(), !running);
    QCOMPARE(button(page, "Export save (.bin)")->isEnabled(), saveFound && !running);
    QCOMPARE(button(page, "Export save folder")->isEnabled(), saveFound && !running);
    QCOMPARE(nameField(window)->isEnabled(), saveFound && !running);
    QVERIFY(!createButton(window)->isEnabled());
    QCOMPARE(button(page, "Restore")->isEnabled(), !running);
    QCOMPARE(button(page, "Delete")->isEnabled(), !running);
    QVERIFY(probe(window).parts().saveImportStatusLabel);
    QVERIFY(probe(window).parts().saveImportStatusLabel->isHidden());
}

void TestSaves::createBackupFollowsTheTrimmedName()
{
    QTemporaryDir root;
    Quilt::Window window(root.path(), QString(), true);
    show(window, savesState(true, false));
    QLineEdit *name = nameField(window);
    QAbstractButton *create = createButton(window);

    QTest::keyClicks(name, QStringLiteral("   "));
    QVERIFY(!create->isEnabled());
    QTest::keyClicks(name, QStringLiteral("x "));
    QVERIFY(create->isEnabled());

    name->clear();
    QTest::keyClicks(name, QString(70, QLatin1Char('n')));
    QCOMPARE(name->text().size(), 64);

    // The state at the moment of the change counts, not the one the page was built from.
    probe(window).state().insert(QStringLiteral("running"), true);
    QTest::keyClick(name, Qt::Key_Backspace);
    QVERIFY(!create->isEnabled());
    probe(window).state().insert(QStringLiteral("running"), false);
    probe(window).state().insert(QStringLiteral("saveFound"), false);
    QTest::keyClick(name, Qt::Key_Backspace);
    QVERIFY(!create->isEnabled());
}

void TestSaves::labelsAreShownAsTheyCome()
{
    QTemporaryDir root;
    Quilt::Window window(root.path(), QString(), true);
    const QString markup = QStringLiteral("<b>x</b> <backup>");
    show(window, savesState(true, false,
                            {backup("b1", markup, QStringLiteral("2024-05-01 10:00")),
                             backup("b2", QString(), QStringLiteral("2024-05-02 11:00"))}));
    QWidget *page = probe(window).pageWidget();

    auto *shown = qobject_cast<QLabel *>(labelWithText(page, markup));
    QVERIFY(shown);
    QCOMPARE(shown->textFormat(), Qt::PlainText);
    QVERIFY(labelWithText(page, QStringLiteral("2024-05-02 11:00")));
    // The unnamed backup's row shows only its timestamp.
    const auto labelsInRow = [&](const QString &text) {
        QWidget *row = labelWithText(page, text)->parentWidget();
        return row->findChildren<QLabel *>().size();
    };
    QCOMPARE(labelsInRow(QStringLiteral("2024-05-01 10:00")), 2);
    QCOMPARE(labelsInRow(QStringLiteral("2024-05-02 11:00")), 1);
    QVERIFY(!labelWithText(page, QStringLiteral("No backups yet.")));

    show(window, savesState(true, false));
    QVERIFY(labelWithText(probe(window).pageWidget(), QStringLiteral("No backups yet.")));
}

void TestSaves::compactLayoutStacksTheSaveButtons()
{
    QTemporaryDir root;
    Quilt::Window window(root.path(), QString(), true);
    window.show();
    show(window, savesState(true, false));

    const auto directions = [&] {
        QWidget *page = probe(window).pageWidget();
        QBoxLayout *imports = rowOf(page, button(page, "Import Dolphin save"));
        QBoxLayout *exports = rowOf(page, button(page, "Export save folder"));
        return QList<QBoxLayout::Direction>{imports ? imports->direction() : QBoxLayout::Down,
                                            exports ? exports->direction() : QBoxLayout::Down};
    };
    QCOMPARE(directions(),
             QList<QBoxLayout::Direction>({QBoxLayout::LeftToRight, QBoxLayout::LeftToRight}));
    window.resize(859, 600);
    QTRY_VERIFY(probe(window).compact());
    QCOMPARE(directions(),
             QList<QBoxLayout::Direction>({QBoxLayout::TopToBottom, QBoxLayout::TopToBottom}));
    QWidget *page = probe(window).pageWidget();
    QCOMPARE(rowOf(page, button(page, "Open Saves"))->count(), 3);
    QCOMPARE(rowOf(page, button(page, "Export save (.bin)"))->count(), 2);
}

void TestSaves::enterSendsOneTrimmedBackup()
{
    ScriptedService service;
    auto window = service.readyWindow(
        savesState(true, false, {backup("auto-1", "Before", "2024-05-01 10:00")}));
    QVERIFY(window);
    probe(window).navigate(Quilt::Page::Saves, false);

    QTest::keyClicks(nameField(*window), QStringLiteral("  Thimble Tower  "));
    QTest::keyClick(nameField(*window), Qt::Key_Return);
    QVERIFY(service.waitFor("createBackup"));
    QCOMPARE(service.last("createBackup").value(QLatin1String("label")).toString(),
             QStringLiteral("Thimble Tower"));

    // The reply rebuilds the page; Delete then goes out without a question, and serves as the
    // marker after which a second createBackup would have arrived.
    QTRY_VERIFY(nameField(*window) && nameField(*window)->text().isEmpty());
    button(probe(window).pageWidget(), "Delete")->click();
    QVERIFY(service.waitFor("deleteBackup"));
    QCOMPARE(service.last("deleteBackup").value(QLatin1String("name")).toString(),
             QStringLiteral("auto-1"));
    QCOMPARE(service.count(QStringLiteral("createBackup")), 1);
}

void TestSaves::replacingNeedsAChoiceAndAConfirmation()
{
    ScriptedService service;
    service.serve(savesState(true, false, {backup("auto-1", "Before", "2024-05-01 10:00")}));
    const QString bin = QDir(service.root()).filePath(QStringLiteral("local/data.bin"));
    {
        QFile file(bin);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("save");
    }
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Quilt::Page::Saves, false);

    // Restore, cancelled
    answerConfirmation(false);
    button(probe(window).pageWidget(), "Restore")->click();
    // Folder import, chooser cancelled
    cancelChooser();
    button(probe(window).pageWidget(), "Import Dolphin save")->click();
    // File import, chosen but not confirmed
    choose(bin);
    answerConfirmation(false);
    button(probe(window).pageWidget(), "Import save (.bin)")->click();
    // File import, chosen and confirmed
    choose(bin);
    answerConfirmation(true);
    button(probe(window).pageWidget(), "Import save (.bin)")->click();

    // Delete asks nothing: once it has arrived, so has everything sent before it.
    button(probe(window).pageWidget(), "Delete")->click();
    QVERIFY(service.waitFor("deleteBackup"));
    QCOMPARE(service.count(QStringLiteral("importSave")), 1);
    QCOMPARE(service.last("importSave").value(QLatin1String("path")).toString(), bin);
    QCOMPARE(service.count(QStringLiteral("restoreBackup")), 0);

    // Restore, confirmed
    QTRY_VERIFY(button(probe(window).pageWidget(), "Restore"));
    answerConfirmation(true);
    button(probe(window).pageWidget(), "Restore")->click();
    QVERIFY(service.waitFor("restoreBackup"));
    QCOMPARE(service.last("restoreBackup").value(QLatin1String("name")).toString(),
             QStringLiteral("auto-1"));
}

QTEST_MAIN(TestSaves)
#include "tst_saves.moc"
