#include "fabric.h"
#include "translations.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTreeView>

#include <algorithm>
#include <utility>

namespace Quilt {

// Both dialogs live on the heap behind a QPointer: exec() runs a nested event loop in which
// replies keep arriving, and a page rebuilt meanwhile deletes the dialog's parent and with it
// the dialog. A dialog on the stack would then be deleted twice.

QString choosePath(QWidget *parent, PathChoice choice, const QString &caption,
                   const QString &directory)
{
    const QString saves = T("Dolphin Wii save (*.bin);;All files (*)");
    QPointer<QFileDialog> dialog = new QFileDialog(parent, caption, directory, QString());
    dialog->setLabelText(QFileDialog::LookIn, T("&Look in:"));
    switch (choice) {
    case PathChoice::Folder:
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        break;
    case PathChoice::SaveFile:
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setNameFilter(saves);
        break;
    case PathChoice::OpenFile:
    default:
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilter(saves);
        break;
    }
    dialog->setLabelText(QFileDialog::FileType, T("Files of &type:"));
    // Qt's look-in label has no buddy, and a label without one shows its mnemonic as a raw "&".
    for (const auto &[label, buddy] :
         {std::pair{"lookInLabel", "lookInCombo"}, std::pair{"fileTypeLabel", "fileTypeCombo"}}) {
        auto *shown = dialog->findChild<QLabel *>(QLatin1String(label));
        if (shown && !shown->buddy())
            shown->setBuddy(dialog->findChild<QWidget *>(QLatin1String(buddy)));
    }
    // Qt sizes the columns from sample texts, without the stylesheet's header padding: a
    // column too narrow for its header gets the width the header asks for.
    if (auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *columns = tree->header();
        for (int i = 0; i < columns->count(); ++i)
            columns->resizeSection(i,
                                   std::max(columns->sectionSize(i), columns->sectionSizeHint(i)));
    }

    QString chosen;
    if (dialog->exec() == QDialog::Accepted && dialog) {
        const QStringList files = dialog->selectedFiles();
        if (!files.isEmpty())
            chosen = files.first();
    }
    delete dialog.data();
    return chosen;
}

bool confirmAction(QWidget *parent, const QString &title, const QString &text,
                   const QString &confirmLabel)
{
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::NoButton, parent);
    box->setObjectName("fabricConfirm");
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(text);

    // The safe answer is both the default and the escape button: Enter right after the box
    // opens cancels, and so do Escape and closing the window.
    auto *confirm = new FabricButton(confirmLabel);
    auto *cancel = new FabricButton(T("Cancel"));
    box->addButton(confirm, QMessageBox::AcceptRole);
    box->addButton(cancel, QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);

    box->exec();
    const bool confirmed = box && box->clickedButton() == confirm;
    delete box.data();
    return confirmed;
}

} // namespace Quilt
