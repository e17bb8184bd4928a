#include "window.h"

#include "translations.h"

#include <QBoxLayout>
#include <QDir>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>

namespace Quilt {

namespace {

// Longest backup name the field accepts.
constexpr int backupNameLength = 64;

// A name may have no space to break at: one with a long unbroken run gets a zero-width space
// between its characters, so that it wraps instead of widening the page.
QString breakable(const QString &name)
{
    const int longestRun = 16;
    int run = 0;
    bool unbroken = false;
    for (const QChar c : name) {
        run = c.isSpace() ? 0 : run + 1;
        unbroken = unbroken || run > longestRun;
    }
    if (!unbroken)
        return name;
    QString result;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        if (start > 0)
            result += QChar(0x200B);
        result += name.mid(start, end - start);
        start = end;
    }
    return result;
}

} // namespace

bool Window::confirmReplace()
{
    return confirmAction(
        this, T("Replace save"),
        T("This will replace your current save. A backup of the current save will be made first."),
        T("Replace"));
}

void Window::buildSaves()
{
    const bool running = mirror().running();
    const bool saveFound = mirror().saveFound();
    const QBoxLayout::Direction direction =
        compact ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    const QString local = QDir(root).filePath(QStringLiteral("local"));

    // The handlers below read the mirror when clicked and never touch page widgets after a
    // dialog: replies arriving while it is open may rebuild the page underneath.

    // Card: the current save and its folder
    QVBoxLayout *save =
        card(saveFound ? "Game save found" : "No game save yet",
             "The game manages its own saves. Choosing another DATA folder does not move them.");
    field(save, "Save files", mirror().text(Key::saves));

    // Row: open and import
    {
        auto *buttons = new QBoxLayout(direction);
        save->addLayout(buttons);
        action(buttons, "Open Saves",
               [this] { openFolder("Save files", mirror().text(Key::saves)); });
        action(buttons, "Import Dolphin save", [this, local] {
            const QString folder =
                choosePath(this, PathChoice::Folder, T("Choose Dolphin save folder"), local);
            if (!folder.isEmpty() && confirmReplace())
                request(QStringLiteral("importSave"), {{QStringLiteral("path"), folder}});
        })->setEnabled(!running);
        action(buttons, "Import save (.bin)", [this, local] {
            const QString file =
                choosePath(this, PathChoice::OpenFile, T("Choose Dolphin save (.bin)"), local);
            if (!file.isEmpty() && confirmReplace())
                request(QStringLiteral("importSave"), {{QStringLiteral("path"), file}});
        })->setEnabled(!running);
    }

    // Row: export
    {
        auto *buttons = new QBoxLayout(direction);
        save->addLayout(buttons);
        const QString exportFile = QDir(root).filePath(QStringLiteral("VQ3E88-save.bin"));
        action(buttons, "Export save (.bin)", [this, exportFile] {
            const QString file =
                choosePath(this, PathChoice::SaveFile, T("Choose export file"), exportFile);
            if (!file.isEmpty())
                request(QStringLiteral("exportSave"),
                        {{QStringLiteral("path"), file}, {QStringLiteral("folder"), false}});
        })->setEnabled(!running && saveFound);
        action(buttons, "Export save folder", [this, local] {
            const QString folder =
                choosePath(this, PathChoice::Folder, T("Choose export folder"), local);
            if (!folder.isEmpty())
                request(QStringLiteral("exportSave"),
                        {{QStringLiteral("path"), folder}, {QStringLiteral("folder"), true}});
        })->setEnabled(!running && saveFound);
    }

    // Outcome of the last save command; refresh fills it in
    parts.saveImportStatusLabel = label(QString(), "soft");
    parts.saveImportStatusLabel->hide();
    save->addWidget(parts.saveImportStatusLabel);

    // Card: named backups
    QVBoxLayout *backups =
        card("Backups", "Imports and restores keep a copy of the previous save here.");
    backups->addWidget(label(
        T("Named backups are kept until you delete them. Close the game before creating one."),
        "soft"));

    // Row: backup name, which here takes the free width rather than its caption
    auto *name = new QLineEdit;
    {
        name->setObjectName(QStringLiteral("backupName"));
        name->setMaxLength(backupNameLength);
        name->setPlaceholderText(T("e.g. Before Thimble Tower"));
        name->setEnabled(!running && saveFound);
        QWidget *line = row(backups, T("Backup name"), name,
                            "Copies saved progress, not your current position in a level.");
        auto *lineLayout = static_cast<QHBoxLayout *>(line->layout());
        lineLayout->setStretch(0, 0);
        lineLayout->setStretch(1, 1);
    }

    // Row: create backup, following the name and the state at each keystroke
    {
        auto *buttons = new QHBoxLayout;
        backups->addLayout(buttons);
        FabricButton *create = action(buttons, "Create backup", [this, name] {
            request(QStringLiteral("createBackup"),
                    {{QStringLiteral("label"), name->text().trimmed()}});
        });
        create->setObjectName(QStringLiteral("createBackup"));
        create->setEnabled(false);
        buttons->addStretch();
        connect(name, &QLineEdit::textChanged, create, [this, create](const QString &text) {
            const bool canCreate =
                !mirror().running() && mirror().saveFound() && !text.trimmed().isEmpty();
            create->setEnabled(canCreate);
        });
        // click() does nothing while the button is disabled.
        connect(name, &QLineEdit::returnPressed, create, &QAbstractButton::click);
    }

    // The backup list, one row per backup in the service's order
    const QJsonArray list = state.value(Key::backups).toArray();
    if (list.isEmpty()) {
        backups->addWidget(label(T("No backups yet."), "soft"));
        return;
    }
    for (const QJsonValue &entry : list) {
        const QJsonObject backup = entry.toObject();
        // Each button keeps its own copy of the identifier it sends.
        const QString id = backup.value(QLatin1String("name")).toString();
        const QString given = backup.value(QLatin1String("label")).toString();

        auto *line = new QWidget;
        auto *lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 2, 0, 2);
        auto *texts = new QVBoxLayout;
        lineLayout->addLayout(texts, 1);
        // Plain-text labels: a name may hold angle brackets.
        if (!given.isEmpty())
            texts->addWidget(label(breakable(given)));
        const QString timestamp = backup.value(QLatin1String("timestamp")).toString();
        texts->addWidget(label(timestamp, "soft"));
        // Screen readers tell the rows' buttons apart by the backup they act on.
        QString which = QStringLiteral(" · ") + timestamp;
        if (!given.isEmpty())
            which.prepend(QStringLiteral(" · ") + given);
        FabricButton *restore = action(lineLayout, "Restore", [this, id] {
            if (confirmReplace())
                request(QStringLiteral("restoreBackup"), {{QStringLiteral("name"), id}});
        });
        restore->setEnabled(!running);
        restore->setAccessibleName(T("Restore") + which);
        FabricButton *remove = action(lineLayout, "Delete", [this, id] {
            request(QStringLiteral("deleteBackup"), {{QStringLiteral("name"), id}});
        });
        remove->setEnabled(!running);
        remove->setAccessibleName(T("Delete") + which);
        backups->addWidget(line);
    }
}

} // namespace Quilt
