// The themed file chooser and confirmation box, answered from inside their own event loops.
#include "fabric.h"
#include "support.h"
#include "translations.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Quilt;

using QuiltTest::answerModal;

namespace {

// A key as the user types it: to the widget that has the keyboard focus inside the dialog.
void typeKey(QWidget *dialog, Qt::Key key)
{
    QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, key);
}

// What the dialog's own Open, Choose or Save button does (QFileDialog hides accept()).
void accept(QFileDialog *dialog)
{
    static_cast<QDialog *>(dialog)->accept();
}

FabricButton *buttonLabelled(QWidget *dialog, const QString &text)
{
    for (FabricButton *button : dialog->findChildren<FabricButton *>())
        if (button->text() == text)
            return button;
    return nullptr;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir root;

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void initTestCase()
    {
        QApplication::setStyle("Fusion");
        // As at start-up: Qt's own dialogs, which the stylesheet can reach.
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
        QVERIFY(root.isValid());
        QVERIFY(QDir(root.path()).mkpath("DATA/files"));
        QFile save(QDir(root.path()).filePath("data.bin"));
        QVERIFY(save.open(QIODevice::WriteOnly));
        save.write("save");
    }

    void confirmationCancelsByDefault()
    {
        // Escape cancels.
        answerModal([](QWidget *box) { typeKey(box, Qt::Key_Escape); });
        QVERIFY(!confirmAction(nullptr, "Replace save", "This will replace it.", "Replace"));

        // Enter straight after opening presses the default button, which is cancel.
        QString focused;
        answerModal([&](QWidget *box) {
            if (auto *button = qobject_cast<QAbstractButton *>(box->focusWidget()))
                focused = button->text();
            typeKey(box, Qt::Key_Return);
        });
        QVERIFY(!confirmAction(nullptr, "Replace save", "This will replace it.", "Replace"));
        QCOMPARE(focused, T("Cancel"));

        // Closing the window is no confirmation either.
        answerModal([](QWidget *box) { box->close(); });
        QVERIFY(!confirmAction(nullptr, "Replace save", "This will replace it.", "Replace"));
    }

    void confirmationConfirmsOnlyWithItsButton()
    {
        answerModal([](QWidget *box) {
            FabricButton *confirm = buttonLabelled(box, "Close without saving");
            QVERIFY(confirm);
            QVERIFY(!confirm->isPrimary());
            QTest::mouseClick(confirm, Qt::LeftButton);
        });
        QVERIFY(confirmAction(nullptr, "Save settings", "Close without saving?",
                              "Close without saving"));

        // Enter on the confirm button, once the player has moved the focus there, confirms.
        answerModal([](QWidget *box) {
            FabricButton *confirm = buttonLabelled(box, "Replace");
            QVERIFY(confirm);
            confirm->setFocus();
            typeKey(box, Qt::Key_Return);
        });
        QVERIFY(confirmAction(nullptr, "Replace save", "This will replace it.", "Replace"));
    }

    void confirmationShowsMarkupLiterally()
    {
        QString mainText;
        Qt::TextFormat format = Qt::AutoText;
        QString informative;
        QString name;
        answerModal([&](QWidget *box) {
            name = box->objectName();
            if (auto *label = box->findChild<QLabel *>("qt_msgbox_label")) {
                mainText = label->text();
                format = label->textFormat();
            }
            if (auto *label = box->findChild<QLabel *>("qt_msgbox_informativelabel"))
                informative = label->text();
            typeKey(box, Qt::Key_Escape);
        });
        QVERIFY(!confirmAction(nullptr, "<b>x</b>", "Details", "Go"));
        QCOMPARE(name, QString("fabricConfirm"));
        QCOMPARE(mainText, QString("<b>x</b>"));
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(informative, QString("Details"));
    }

    void confirmationSurvivesItsParentGoing()
    {
        // A page rebuilt while the box is open deletes its parent, and the box with it.
        auto *page = new QWidget;
        QPointer<QWidget> guard = page;
        answerModal([](QWidget *box) { box->parentWidget()->deleteLater(); });
        QVERIFY(!confirmAction(page, "Replace save", "This will replace it.", "Replace"));
        QTRY_VERIFY(guard.isNull());
    }

    void folderChoice()
    {
        const QString data = QDir(root.path()).filePath("DATA");
        bool dirsOnly = false;
        QStringList filters;
        QString lookIn;
        answerModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            dirsOnly = dialog->fileMode() == QFileDialog::Directory &&
                       dialog->testOption(QFileDialog::ShowDirsOnly);
            filters = dialog->nameFilters();
            lookIn = dialog->labelText(QFileDialog::LookIn);
            dialog->selectFile(data);
            accept(dialog);
        });
        const QString chosen =
            choosePath(nullptr, PathChoice::Folder, "Choose DATA folder", root.path());
        QCOMPARE(QDir(chosen).canonicalPath(), QDir(data).canonicalPath());
        QVERIFY(dirsOnly);
        QVERIFY(filters.isEmpty() || filters == QStringList{"All Files (*)"});
        QCOMPARE(lookIn, T("&Look in:"));

        // Cancelling gives no path.
        answerModal([](QWidget *modal) { typeKey(modal, Qt::Key_Escape); });
        QCOMPARE(choosePath(nullptr, PathChoice::Folder, "Choose DATA folder", root.path()),
                 QString());
    }

    void saveFileAcceptsANewName()
    {
        QStringList filters;
        answerModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            filters = dialog->nameFilters();
            dialog->selectFile("export.bin");
            accept(dialog);
        });
        const QString chosen =
            choosePath(nullptr, PathChoice::SaveFile, "Choose export file", root.path());
        QCOMPARE(chosen, QDir(root.path()).filePath("export.bin"));
        QVERIFY(!QFileInfo::exists(chosen));
        QCOMPARE(filters, (QStringList{"Dolphin Wii save (*.bin)", "All files (*)"}));
    }

    void openFileNeedsAnExistingFile()
    {
        const QString save = QDir(root.path()).filePath("data.bin");
        answerModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            dialog->selectFile(save);
            accept(dialog);
        });
        QCOMPARE(
            choosePath(nullptr, PathChoice::OpenFile, "Choose Dolphin save (.bin)", root.path()),
            save);

        // A name that does not exist is refused with Qt's warning, and the dialog stays open.
        bool stillOpen = false;
        bool warned = false;
        answerModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            answerModal([&](QWidget *warning) {
                warned = qobject_cast<QMessageBox *>(warning) != nullptr;
                warning->close();
            });
            dialog->selectFile("missing.bin");
            accept(dialog);
            stillOpen = dialog->isVisible();
            dialog->reject();
        });
        QCOMPARE(
            choosePath(nullptr, PathChoice::OpenFile, "Choose Dolphin save (.bin)", root.path()),
            QString());
        QVERIFY(warned);
        QVERIFY(stillOpen);
    }

    void chooserSurvivesItsParentGoing()
    {
        auto *page = new QWidget;
        QPointer<QWidget> guard = page;
        answerModal([](QWidget *modal) { modal->parentWidget()->deleteLater(); });
        QCOMPARE(choosePath(page, PathChoice::Folder, "Choose export folder", root.path()),
                 QString());
        QTRY_VERIFY(guard.isNull());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
