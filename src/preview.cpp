#include "window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFontMetrics>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

namespace Quilt {

namespace {

// Mixed scripts, a slash and angle brackets: it must come out as plain text.
const QString sampleBackupName = QString::fromUtf8("Before the boss / 中文 <backup>");

const char *const languageCodes[3] = {"zh", "en", "es"};
const char *const pageStems[8] = {"home",  "install",     "graphics", "bindings",
                                  "saves", "diagnostics", "basic",    "controller"};

struct WindowSize
{
    int width;
    int height;
    const char *suffix;
};
const WindowSize windowSizes[2] = {{1120, 685, ""}, {640, 520, "-compact"}};

QJsonObject sampleState()
{
    return {
        {QStringLiteral("installed"), true},
        {QStringLiteral("verified"), true},
        {QStringLiteral("data"), QStringLiteral("disc/DATA")},
        {QStringLiteral("saves"), QStringLiteral("local/user/nand/title/00010000/56513345/data")},
        {QStringLiteral("executable"), QStringLiteral("Castwork")},
        {QStringLiteral("settings"), QStringLiteral("local/user/settings.toml")},
        {QStringLiteral("build"),
         QJsonObject{{QStringLiteral("revision"), QStringLiteral("preview")},
                     {QStringLiteral("compiler"), QStringLiteral("C++")}}},
    };
}

QJsonObject sampleConfig()
{
    return {
        {QStringLiteral("scale"), 1},        {QStringLiteral("aa"), 0},
        {QStringLiteral("volume"), 80},      {QStringLiteral("pointer"), 1},
        {QStringLiteral("tilt"), true},      {QStringLiteral("gain"), 1},
        {QStringLiteral("deadzone"), 0.008}, {QStringLiteral("sensitivity"), 1.5},
        {QStringLiteral("stick"), 0.5},      {QStringLiteral("trigger"), 0.5},
    };
}

QJsonArray sampleBindings()
{
    return {
        QJsonArray{QStringLiteral("Move up"), QStringLiteral("D-pad Up"), QStringLiteral("Up")},
        QJsonArray{QStringLiteral("Jump / Confirm"), QStringLiteral("South (A / Cross)"),
                   QStringLiteral("Space")},
    };
}

QJsonArray sampleBackups()
{
    return {
        QJsonObject{{QStringLiteral("name"), QStringLiteral("1763830000000000")},
                    {QStringLiteral("timestamp"), QStringLiteral("2026-11-22 12:00:00")},
                    {QStringLiteral("label"), sampleBackupName}},
        QJsonObject{{QStringLiteral("name"), QStringLiteral("1763820000000000")},
                    {QStringLiteral("timestamp"), QStringLiteral("2026-11-22 09:00:00")}},
    };
}

QJsonObject sampleInput()
{
    return {
        {QStringLiteral("devices"),
         QJsonArray{QJsonObject{{QStringLiteral("id"), 1},
                                {QStringLiteral("name"), QStringLiteral("Preview controller")}}}},
        {QStringLiteral("selected"), 1},
        {QStringLiteral("gyro"), true},
        {QStringLiteral("accel"), true},
    };
}

// Saves a screenshot unless no directory was given.
bool saveShot(const QPixmap &shot, const QString &directory, const QString &name)
{
    return directory.isEmpty() || shot.save(QDir(directory).filePath(name));
}

// The displayed number of every spin box fits its editor without clipping.
bool spinBoxesFit(QWidget *page)
{
    for (QDoubleSpinBox *spin : page->findChildren<QDoubleSpinBox *>()) {
        const QList<QLineEdit *> editors = spin->findChildren<QLineEdit *>();
        if (editors.isEmpty())
            return false;
        for (QLineEdit *editor : editors) {
            const QRect inside = editor->contentsRect();
            const QMargins margins = editor->textMargins();
            const int advance = QFontMetrics(editor->font()).horizontalAdvance(editor->text());
            if (advance + 3 > inside.right() - inside.left() - margins.left() - margins.right())
                return false;
        }
    }
    return true;
}

} // namespace

bool Window::preview(const QString &directory)
{
    // Output directory
    if (!directory.isEmpty() && !QDir().mkpath(directory))
        return false;

    // Sample data
    ready = true;
    state = sampleState();
    config = sampleConfig();
    state.insert(QStringLiteral("bindings"), sampleBindings());
    show();
    state.insert(QStringLiteral("saveFound"), true);
    state.insert(QStringLiteral("backups"), sampleBackups());

    for (int lang = 0; lang < 3; ++lang) {
        setLanguage(lang);
        const QString code = QString::fromLatin1(languageCodes[lang]);
        for (const WindowSize &size : windowSizes) {
            resize(size.width, size.height);
            const QString suffix = QString::fromLatin1(size.suffix);

            // Every page
            for (int value = 0; value < 8; ++value) {
                const Page shown = Page(value);
                navigate(shown, false);
                QCoreApplication::processEvents();
                if (shown == Page::Display && pageWidget->findChildren<QComboBox *>().size() != 2)
                    return false;
                if (shown == Page::Saves && !checkBackupForm())
                    return false;

                const QString name = QStringLiteral("%1-%2%3.png")
                                         .arg(code, QLatin1String(pageStems[value]), suffix);
                const QPixmap shot = grab();
                if (shot.isNull() || !saveShot(shot, directory, name))
                    return false;
                if (shown == Page::Saves && !directory.isEmpty()) {
                    auto *nameField =
                        pageWidget->findChild<QLineEdit *>(QStringLiteral("backupName"));
                    if (!nameField)
                        return false;
                    scrollArea->ensureWidgetVisible(nameField, 0, 40);
                    QCoreApplication::processEvents();
                    if (!saveShot(grab(), directory, QStringLiteral("backups-") + name))
                        return false;
                }
            }

            // Motion sub-tab with live readings
            if (!checkMotion(directory, QStringLiteral("%1-motion%2.png").arg(code, suffix)))
                return false;
        }
    }
    return true;
}

bool Window::checkBackupForm()
{
    const auto nameField = [this] {
        return pageWidget->findChild<QLineEdit *>(QStringLiteral("backupName"));
    };
    const auto createButton = [this] {
        return pageWidget->findChild<QPushButton *>(QStringLiteral("createBackup"));
    };

    // The form starts usable with nothing to create
    QLineEdit *field = nameField();
    QPushButton *create = createButton();
    if (!field || !create || !field->isEnabled() || create->isEnabled())
        return false;
    // Blank names are not names
    field->setText(QStringLiteral("   "));
    if (create->isEnabled())
        return false;
    field->setText(sampleBackupName);
    if (!create->isEnabled())
        return false;

    // Backup labels are shown literally
    bool labelShown = false;
    for (QLabel *shown : pageWidget->findChildren<QLabel *>()) {
        if (shown->text() == sampleBackupName && shown->textFormat() == Qt::PlainText)
            labelShown = true;
    }
    if (!labelShown)
        return false;

    // Nothing to edit while the game runs
    state.insert(QStringLiteral("running"), true);
    navigate(Page::Saves, false);
    if (!nameField() || !createButton() || nameField()->isEnabled() || createButton()->isEnabled())
        return false;

    // Nothing to back up without a save
    state.insert(QStringLiteral("running"), false);
    state.insert(QStringLiteral("saveFound"), false);
    navigate(Page::Saves, false);
    if (!nameField() || nameField()->isEnabled())
        return false;

    // The page fits the window's width
    state.insert(QStringLiteral("saveFound"), true);
    navigate(Page::Saves, false);
    QCoreApplication::processEvents();
    return pageWidget->minimumSizeHint().width() <= scrollArea->viewport()->width();
}

bool Window::checkMotion(const QString &directory, const QString &name)
{
    controlsTab = 1;
    navigate(Page::Controls, false);
    QCoreApplication::processEvents();

    // The preview and the calibration help exist
    if (!parts.pointerView || !parts.calibrateButton || parts.calibrateButton->toolTip().isEmpty())
        return false;
    // Every number fits its field
    if (!spinBoxesFit(pageWidget))
        return false;

    // Tilt moves the picture
    input = sampleInput();
    updateControls();
    const QImage still = parts.pointerView->grab().toImage();
    input.insert(QStringLiteral("tiltAngle"), 35.0);
    updateControls();
    const QImage tilted = parts.pointerView->grab().toImage();
    if (still == tilted)
        return false;

    const QSize regionSize(3 * tilted.width() / 8, tilted.height() / 2);
    const QRect topLeft(QPoint(0, 0), regionSize);
    const QRect bottomRight(
        QPoint(tilted.width() - regionSize.width(), tilted.height() - regionSize.height()),
        regionSize);

    // A gyro reading is mirrored: the dot goes up and to the left
    input.insert(QStringLiteral("x"), 0.5);
    input.insert(QStringLiteral("y"), 0.5);
    updateControls();
    const QImage gyro = parts.pointerView->grab().toImage();
    if (gyro.copy(topLeft) == tilted.copy(topLeft) ||
        gyro.copy(bottomRight) != tilted.copy(bottomRight))
        return false;

    // A right-stick reading is not: down and to the right
    config.insert(QStringLiteral("pointer"), 2);
    updateControls();
    const QImage stick = parts.pointerView->grab().toImage();
    if (stick.copy(bottomRight) == tilted.copy(bottomRight) ||
        stick.copy(topLeft) != tilted.copy(topLeft))
        return false;

    config.insert(QStringLiteral("pointer"), 1);
    updateControls();
    if (!directory.isEmpty() && !saveShot(grab(), directory, name))
        return false;

    input = QJsonObject();
    controlsTab = 0;
    return true;
}

} // namespace Quilt
