#include "window.h"

#include "translations.h"

#include <QDialog>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStackedWidget>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace Quilt {

namespace {

// Pages of the viewer's stack.
constexpr int treePage = 0;
constexpr int emptyPage = 1;

// Columns of QFileSystemModel.
constexpr int nameColumn = 0;
constexpr int sizeColumn = 1;
constexpr int typeColumn = 2;
constexpr int dateColumn = 3;

} // namespace

void Window::openFolder(const char *titleKey, const QString &path)
{
    // Created when missing, so a fresh installation still shows its (empty) folders.
    if (path.isEmpty() || !QDir().mkpath(path)) {
        notice(T("Could not open folder"));
        return;
    }
    const QString folder = QDir(path).absolutePath();
    const QString title = T(titleKey);

    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("folderView"));
    dialog.setWindowTitle(title);
    dialog.resize(620, 390);
    auto *layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);

    // Header: brand mark and title
    {
        auto *header = new QHBoxLayout;
        auto *mark = new QLabel;
        mark->setPixmap(brandButton(false));
        header->addWidget(mark);
        header->addWidget(label(title, "section"), 1);
        layout->addLayout(header);
    }

    // The folder's full path, for copying
    {
        QLabel *where = label(QDir::toNativeSeparators(folder));
        where->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        layout->addWidget(where);
    }

    // The tree, or a note while the folder holds nothing
    auto *stack = new QStackedWidget;
    auto *model = new QFileSystemModel(&dialog);
    model->setReadOnly(true);
    auto *tree = new QTreeView;
    {
        tree->setAccessibleName(title);
        tree->setModel(model);
        tree->setRootIndex(model->setRootPath(folder));
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->setSortingEnabled(true);
        tree->sortByColumn(nameColumn, Qt::AscendingOrder);
        tree->setColumnHidden(typeColumn, true);
        QHeaderView *columns = tree->header();
        columns->setStretchLastSection(false);
        columns->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
        columns->setSectionResizeMode(sizeColumn, QHeaderView::ResizeToContents);
        columns->setSectionResizeMode(dateColumn, QHeaderView::ResizeToContents);
        stack->addWidget(tree);

        QLabel *empty = label(T("This folder is empty."), "emptyFolder");
        empty->setAlignment(Qt::AlignCenter);
        stack->addWidget(empty);
        stack->setCurrentIndex(treePage);
        layout->addWidget(stack, 1);
    }

    QLabel *failure = label(QString(), "notice");
    failure->hide();
    layout->addWidget(failure);
    auto fail = [failure](const char *key) {
        failure->setText(T(key));
        failure->show();
    };

    // Follow files appearing and vanishing while the dialog is open
    auto showContents = [model, tree, stack] {
        stack->setCurrentIndex(model->rowCount(tree->rootIndex()) == 0 ? emptyPage : treePage);
    };
    connect(model, &QFileSystemModel::directoryLoaded, stack, showContents);
    connect(model, &QAbstractItemModel::rowsInserted, stack, showContents);
    connect(model, &QAbstractItemModel::rowsRemoved, stack, showContents);

    // Files open with the desktop; folders only expand in place
    connect(tree, &QAbstractItemView::activated, failure,
            [this, model, fail](const QModelIndex &item) {
                if (model->isDir(item))
                    return;
                if (!openUrl(QUrl::fromLocalFile(model->filePath(item))))
                    fail("Could not open file");
            });

    // Buttons; neither takes the Enter that opens a file in the tree
    {
        auto *buttons = new QHBoxLayout;
        FabricButton *reveal = action(buttons, "Open in file manager", [this, folder, fail] {
            if (!openUrl(QUrl::fromLocalFile(folder)))
                fail("Could not open folder");
        });
        buttons->addStretch();
        FabricButton *close = action(buttons, "Close", [&dialog] { dialog.reject(); });
        reveal->setAutoDefault(false);
        close->setAutoDefault(false);
        layout->addLayout(buttons);
    }

    dialog.exec();
}

} // namespace Quilt
