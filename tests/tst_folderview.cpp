#include "support.h"
#include "window.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>

using namespace QuiltTest;

namespace {

} // namespace

class TestFolderView : public QObject
{
    Q_OBJECT

    // A window without a service whose desktop opener records every address and can fail.
    struct Viewer
    {
        QTemporaryDir root;
        Quilt::Window window{root.path(), QString(), true};
        RecordingOpener opener{window};
        QList<QUrl> &opened = opener.opened;
        bool &opens = opener.opens;
    };

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void missingFolderIsCreatedAndFollowsItsFiles();
    void treeIsReadOnlySortedAndHidesTheType();
    void enterOpensFilesOnlyAndFailuresShowInTheDialog();
    void unusablePathsNeverOpenADialog();
};

void TestFolderView::missingFolderIsCreatedAndFollowsItsFiles()
{
    Viewer viewer;
    const QString folder = viewer.root.filePath(QStringLiteral("local/saves/new"));
    QVERIFY(!QDir(folder).exists());

    bool pathShown = false;
    bool showedEmpty = false;
    bool showedTree = false;
    bool showedEmptyAgain = false;
    answerModal<QDialog>([&](QDialog *dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("folderView"));
        pathShown = labelWithText(dialog, QDir::toNativeSeparators(folder)) != nullptr;
        auto *stack = dialog->findChild<QStackedWidget *>();
        auto *empty = find<QLabel>(dialog, QStringLiteral("emptyFolder"));
        showedEmpty = QTest::qWaitFor([&] { return stack->currentWidget() == empty; });
        QVERIFY(writeFile(QDir(folder).filePath(QStringLiteral("a.bin")), "x"));
        showedTree = QTest::qWaitFor(
            [&] { return qobject_cast<QTreeView *>(stack->currentWidget()) != nullptr; });
        QFile::remove(QDir(folder).filePath(QStringLiteral("a.bin")));
        showedEmptyAgain = QTest::qWaitFor([&] { return stack->currentWidget() == empty; });
        dialog->reject();
    });
    probe(viewer.window).openFolder("Save files", folder);

    QVERIFY(QDir(folder).exists());
    QVERIFY(pathShown);
    QVERIFY2(showedEmpty, "a new folder should show \"This folder is empty.\"");
    QVERIFY2(showedTree, "a file appearing should switch to the tree");
    QVERIFY2(showedEmptyAgain, "the last file vanishing should bring the empty page back");
    QVERIFY(probe(viewer.window).noticeLabel()->isHidden());
}

void TestFolderView::treeIsReadOnlySortedAndHidesTheType()
{
    Viewer viewer;
    const QString folder = viewer.root.filePath(QStringLiteral("logs"));
    QDir().mkpath(folder);
    QVERIFY(writeFile(QDir(folder).filePath(QStringLiteral("b.txt")), "x"));
    QVERIFY(writeFile(QDir(folder).filePath(QStringLiteral("a.txt")), "x"));

    QStringList names;
    bool readOnly = false;
    bool typeHidden = false;
    bool lastStretches = true;
    answerModal<QDialog>([&](QDialog *dialog) {
        auto *tree = dialog->findChild<QTreeView *>();
        auto *model = qobject_cast<QFileSystemModel *>(tree->model());
        if (!QTest::qWaitFor([&] { return model->rowCount(tree->rootIndex()) == 2; })) {
            dialog->reject(); // the checks after openFolder report it
            return;
        }
        // QFileSystemModel sorts on a short timer after the rows arrive; give it the chance
        // before reading the order (an unsorted tree still fails below).
        const bool sorted = QTest::qWaitFor([&] {
            return model->index(0, 0, tree->rootIndex()).data().toString() ==
                   QLatin1String("a.txt");
        });
        Q_UNUSED(sorted);
        for (int i = 0; i < model->rowCount(tree->rootIndex()); ++i)
            names.append(model->index(i, 0, tree->rootIndex()).data().toString());
        readOnly = model->isReadOnly() && tree->editTriggers() == QAbstractItemView::NoEditTriggers;
        typeHidden = tree->isColumnHidden(2) && !tree->isColumnHidden(1);
        lastStretches = tree->header()->stretchLastSection();
        dialog->reject();
    });
    probe(viewer.window).openFolder("Open Logs", folder);

    QCOMPARE(names, QStringList({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QVERIFY(readOnly);
    QVERIFY(typeHidden);
    QVERIFY(!lastStretches);
}

void TestFolderView::enterOpensFilesOnlyAndFailuresShowInTheDialog()
{
    Viewer viewer;
    viewer.opens = false;
    const QString folder = viewer.root.filePath(QStringLiteral("saves"));
    QDir().mkpath(QDir(folder).filePath(QStringLiteral("sub")));
    QVERIFY(writeFile(QDir(folder).filePath(QStringLiteral("save.bin")), "x"));

    QList<QUrl> afterFolder;
    QList<QUrl> afterFile;
    QString fileNotice;
    QString folderNotice;
    bool stillOpen = false;
    bool revealAutoDefault = true;
    answerModal<QDialog>([&](QDialog *dialog) {
        auto *tree = dialog->findChild<QTreeView *>();
        auto *model = qobject_cast<QFileSystemModel *>(tree->model());
        auto *failure = find<QLabel>(dialog, QStringLiteral("notice"));
        if (!QTest::qWaitFor([&] { return model->rowCount(tree->rootIndex()) == 2; })) {
            dialog->reject(); // the checks after openFolder report it
            return;
        }
        tree->setFocus();

        // Enter on the sub-folder: no desktop call
        tree->setCurrentIndex(model->index(QDir(folder).filePath(QStringLiteral("sub"))));
        QTest::keyClick(tree, Qt::Key_Return);
        afterFolder = viewer.opened;

        // Enter on the file: opened, fails, and neither button takes the key
        tree->setCurrentIndex(model->index(QDir(folder).filePath(QStringLiteral("save.bin"))));
        QTest::keyClick(tree, Qt::Key_Return);
        afterFile = viewer.opened;
        fileNotice = failure->isHidden() ? QString() : failure->text();
        stillOpen = dialog->isVisible();

        auto *reveal = qobject_cast<QPushButton *>(
            buttonWithText(dialog, QStringLiteral("Open in file manager")));
        revealAutoDefault = reveal->autoDefault();
        reveal->click();
        folderNotice = failure->isHidden() ? QString() : failure->text();
        qobject_cast<QPushButton *>(buttonWithText(dialog, QStringLiteral("Close")))->click();
    });
    probe(viewer.window).openFolder("Save files", folder);

    QVERIFY(afterFolder.isEmpty());
    QCOMPARE(afterFile, QList<QUrl>{QUrl::fromLocalFile(QDir(folder).filePath("save.bin"))});
    QCOMPARE(fileNotice, QStringLiteral("Could not open file"));
    QVERIFY2(stillOpen, "Enter on a file must not press Close");
    QVERIFY(!revealAutoDefault);
    QCOMPARE(viewer.opened.size(), 2);
    QCOMPARE(viewer.opened.last(), QUrl::fromLocalFile(folder));
    QCOMPARE(folderNotice, QStringLiteral("Could not open folder"));
    // Failures inside the viewer stay inside it.
    QVERIFY(probe(viewer.window).noticeLabel()->isHidden());
}

void TestFolderView::unusablePathsNeverOpenADialog()
{
    Viewer viewer;
    const QString file = viewer.root.filePath(QStringLiteral("plain-file"));
    QVERIFY(writeFile(file, "x"));

    // A dialog would block here; close it at once and record that it appeared.
    int dialogs = 0;
    const QString paths[] = {QString(), QDir(file).filePath(QStringLiteral("below-a-file"))};
    for (const QString &path : paths) {
        probe(viewer.window).notice(QString());
        answerModal<QDialog>(
            [&](QDialog *dialog) {
                ++dialogs;
                dialog->reject();
            },
            0, false);
        probe(viewer.window).openFolder("Save files", path);
        QCOMPARE(dialogs, 0);
        QCOMPARE(probe(viewer.window).noticeLabel()->text(),
                 QStringLiteral("Could not open folder"));
        QVERIFY(!probe(viewer.window).noticeLabel()->isHidden());
    }
    QVERIFY(viewer.opened.isEmpty());
}

QTEST_MAIN(TestFolderView)
#include "tst_folderview.moc"
