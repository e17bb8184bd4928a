#include "window.h"

#include "protocol.h"
#include "translations.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

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

// The fit rule: every visible text shows whole, inside what shows its widget, clear of every
// other text and of the home page's art. Texts the design shortens on purpose (a library
// card's description, the items of lists and trees) are not measured.
class FitCheck
{
public:
    explicit FitCheck(QWidget *top) : top(top) {}

    // Empty when every text fits; otherwise the first text that does not, and why.
    QString run()
    {
        QList<QWidget *> widgets = top->findChildren<QWidget *>();
        widgets.prepend(top);
        for (QWidget *widget : std::as_const(widgets)) {
            if (widget->isVisible())
                measure(widget);
            if (!failure.isEmpty())
                return failure;
        }
        overlaps();
        if (failure.isEmpty())
            art(widgets);
        return failure;
    }

private:
    struct Placed
    {
        QWidget *widget;
        QString text;
        QRectF glyphs; // in the top widget's coordinates
    };

    static QString describe(const QWidget *widget)
    {
        QString name = QString::fromLatin1(widget->metaObject()->className());
        if (!widget->objectName().isEmpty())
            name += QLatin1Char('#') + widget->objectName();
        return name;
    }

    void fail(const QWidget *widget, const QString &text, const QString &why)
    {
        if (failure.isEmpty())
            failure = QStringLiteral("%1 \"%2\" %3").arg(describe(widget), text, why);
    }

    // An ampersand before a letter is a mnemonic only in a label with a buddy.
    static bool rawMnemonic(const QString &text)
    {
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text.at(i) != u'&')
                continue;
            if (text.at(i + 1) == u'&')
                ++i;
            else if (text.at(i + 1).isLetterOrNumber())
                return true;
        }
        return false;
    }

    // What of the widget its ancestors leave in sight, in the top widget's coordinates. Inside a
    // scroll area only what cannot be scrolled to is out of sight: it clips across, not down.
    QRectF inSight(QWidget *widget, QRectF &visible) const
    {
        QRectF area(widget->mapTo(top, QPoint(0, 0)), widget->size());
        QRectF reach = area;
        bool scrolls = false;
        for (QWidget *at = widget; at != top && at->parentWidget(); at = at->parentWidget()) {
            QWidget *holder = at->parentWidget();
            const QRectF bounds(holder->mapTo(top, QPoint(0, 0)), holder->size());
            auto *scroller = qobject_cast<QAbstractScrollArea *>(holder->parentWidget());
            scrolls = scrolls || (scroller && scroller->viewport() == holder);
            if (scrolls) {
                area.setLeft(std::max(area.left(), bounds.left()));
                area.setRight(std::min(area.right(), bounds.right()));
            } else {
                area = area.intersected(bounds);
            }
            reach = reach.intersected(bounds);
        }
        visible = reach;
        return area;
    }

    // One text that must show whole in `box` (the widget's coordinates), with a mark of
    // `mark` pixels beside it.
    void text(QWidget *widget, const QString &shown, const QRectF &box, const QFont &font,
              int flags, double mark = 0)
    {
        if (shown.isEmpty())
            return;
        const double slack = 1; // rounding between the layouts' integer metrics and these
        QRectF needed = QFontMetricsF(font).boundingRect(box, flags, shown);
        if (mark > 0) {
            needed.setWidth(needed.width() + mark);
            if (flags & Qt::AlignHCenter)
                needed.moveLeft(box.center().x() - needed.width() / 2);
        }
        if (needed.width() > box.width() + slack || needed.height() > box.height() + slack) {
            fail(widget, shown,
                 QStringLiteral("needs %1 x %2 px and has %3 x %4")
                     .arg(std::ceil(needed.width()))
                     .arg(std::ceil(needed.height()))
                     .arg(box.width())
                     .arg(box.height()));
            return;
        }
        QRectF visible;
        const QRectF sight = inSight(widget, visible);
        const QRectF glyphs = needed.translated(widget->mapTo(top, QPoint(0, 0)));
        if (!sight.adjusted(-slack, -slack, slack, slack).contains(glyphs)) {
            fail(widget, shown, QStringLiteral("is cut off by what holds it"));
            return;
        }
        // Scrolled out of sight, wholly or in part: only what shows can overlap.
        if (glyphs.intersected(visible).isEmpty())
            return;
        placed.append({widget, shown, glyphs.intersected(visible)});
    }

    void measure(QWidget *widget)
    {
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (!label->pixmap().isNull() || label->movie() || label->text().isEmpty())
                return;
            const QString shown = label->text();
            const bool rich = label->textFormat() == Qt::RichText ||
                              (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(shown));
            if (rich) {
                // Laid out by Qt's text document: its height at the label's width must fit.
                const QRect inside = label->contentsRect();
                if (label->wordWrap() && label->heightForWidth(inside.width()) > inside.height())
                    fail(label, shown, QStringLiteral("needs more height"));
                return;
            }
            if (!label->buddy() && rawMnemonic(shown)) {
                fail(label, shown, QStringLiteral("shows a raw \"&\""));
                return;
            }
            const int m = label->margin();
            QRectF box = QRectF(label->contentsRect()).adjusted(m, m, -m, -m);
            if (label->indent() > 0)
                box.adjust(label->indent(), 0, 0, 0);
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0) |
                              (label->buddy() ? Qt::TextShowMnemonic : 0);
            text(label, shown, box, label->font(), flags);
        } else if (auto *button = qobject_cast<FabricButton *>(widget)) {
            const ShownText shown = button->shownText();
            text(button, shown.text, shown.box, shown.font, shown.flags, shown.mark);
        } else if (auto *card = qobject_cast<LibraryCard *>(widget)) {
            const ShownText shown = card->shownTitle();
            text(card, shown.text, shown.box, shown.font, shown.flags);
        } else if (auto *tabs = qobject_cast<QuiltTabs *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const ShownText shown = tabs->shownTab(i);
                text(tabs, shown.text, shown.box, shown.font, shown.flags);
            }
        } else if (auto *combo = qobject_cast<FabricCombo *>(widget)) {
            const ShownText shown = combo->shownText();
            text(combo, shown.text, shown.box, shown.font, shown.flags);
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            // An editable box scrolls its text; the file dialog's folder list elides the middle
            // of a path on purpose, keeping the folder's own name in sight.
            if (combo->isEditable() || combo->objectName() == QLatin1String("lookInCombo"))
                return;
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.currentText = combo->currentText();
            option.currentIcon = combo->itemIcon(combo->currentIndex());
            option.iconSize = combo->iconSize();
            option.frame = combo->hasFrame();
            QRectF box = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                        QStyle::SC_ComboBoxEditField, combo);
            if (!option.currentIcon.isNull())
                box.adjust(option.iconSize.width() + 4, 0, 0, 0);
            text(combo, option.currentText, box, combo->font(),
                 int(Qt::AlignVCenter | Qt::AlignLeft));
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            option.icon = button->icon();
            option.iconSize = button->iconSize();
            const QRectF box =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const double mark = option.icon.isNull() ? 0 : option.iconSize.width() + 4;
            text(button, option.text, box, button->font(), Qt::AlignCenter | Qt::TextShowMnemonic,
                 mark);
        } else if (auto *header = qobject_cast<QHeaderView *>(widget)) {
            if (!header->model())
                return;
            for (int i = 0; i < header->count(); ++i) {
                if (header->isSectionHidden(i))
                    continue;
                const QString shown =
                    header->model()->headerData(i, header->orientation()).toString();
                if (header->sectionSize(i) < header->sectionSizeHint(i))
                    fail(header, shown,
                         QStringLiteral("has %1 px of the %2 its header needs")
                             .arg(header->sectionSize(i))
                             .arg(header->sectionSizeHint(i)));
            }
        }
    }

    void overlaps()
    {
        for (qsizetype i = 0; i < placed.size() && failure.isEmpty(); ++i) {
            // Glyph boxes hold whole lines; neighbours may touch without overlapping.
            const QRectF a = placed.at(i).glyphs.adjusted(1, 1, -1, -1);
            for (qsizetype j = i + 1; j < placed.size(); ++j) {
                const Placed &other = placed.at(j);
                if (other.widget == placed.at(i).widget)
                    continue;
                if (a.intersects(other.glyphs.adjusted(1, 1, -1, -1))) {
                    fail(placed.at(i).widget, placed.at(i).text,
                         QStringLiteral("overlaps %1 \"%2\"")
                             .arg(describe(other.widget), other.text));
                    return;
                }
            }
        }
    }

    // No text lies on an opaque pixel of a banner's art.
    void art(const QList<QWidget *> &widgets)
    {
        const int opaque = 48; // alpha of the faintest pixel that hides text
        for (QWidget *widget : widgets) {
            auto *banner = qobject_cast<Banner *>(widget);
            if (!banner || !banner->isVisible())
                continue;
            const Banner::Art art = banner->art();
            if (art.picture.isNull())
                continue;
            const QImage image = art.picture.toImage();
            const double ratio = art.picture.devicePixelRatio();
            const QPointF origin = QPointF(banner->mapTo(top, QPoint(0, 0))) + art.origin;
            const QRectF area(origin, art.picture.deviceIndependentSize());
            for (const Placed &text : std::as_const(placed)) {
                const QRectF common = text.glyphs.intersected(area);
                if (common.isEmpty())
                    continue;
                const QRect pixels =
                    QRectF((common.topLeft() - origin) * ratio, common.size() * ratio)
                        .toAlignedRect()
                        .intersected(image.rect());
                for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
                    for (int x = pixels.left(); x <= pixels.right(); ++x) {
                        if (qAlpha(image.pixel(x, y)) >= opaque) {
                            fail(text.widget, text.text, QStringLiteral("is covered by the art"));
                            return;
                        }
                    }
                }
            }
        }
    }

    QWidget *top;
    QList<Placed> placed;
    QString failure;
};

} // namespace

bool Window::checkFit(QWidget *top, const QString &where)
{
    const QString misfit = FitCheck(top).run();
    if (misfit.isEmpty())
        return true;
    previewFailure = QStringLiteral("%1: %2").arg(where, misfit);
    return false;
}

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
            const QString where =
                QStringLiteral("%1, %2 x %3").arg(code).arg(size.width).arg(size.height);
            const auto at = [&where](const char *what) {
                return QStringLiteral("%1, %2").arg(QLatin1String(what), where);
            };

            // Every page
            for (int value = 0; value < 8; ++value) {
                const Page shown = Page(value);
                navigate(shown, false);
                QCoreApplication::processEvents();
                if (shown == Page::Display && pageWidget->findChildren<QComboBox *>().size() != 2)
                    return false;
                if (shown == Page::Saves && !checkBackupForm())
                    return false;
                if (!checkFit(
                        this,
                        QStringLiteral("%1 page, %2").arg(QLatin1String(pageStems[value]), where)))
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
            if (!checkMotion(directory, QStringLiteral("%1-motion%2.png").arg(code, suffix)) ||
                !checkFit(this, at("motion page")))
                return false;

            // States the sample data does not show, and the dialogs
            if (!checkStates(where, size.suffix[0] == '\0'))
                return false;
            if (size.suffix[0] == '\0' && !checkDialogs(where))
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

bool Window::checkStates(const QString &where, bool normalSize)
{
    const auto at = [&where](const char *what) {
        return QStringLiteral("%1, %2").arg(QLatin1String(what), where);
    };
    const auto shown = [this](Page target) {
        navigate(target, false);
        QCoreApplication::processEvents();
    };

    // Before the first state: "Choose game data", disabled
    ready = false;
    shown(Page::Play);
    ready = true;
    if (!checkFit(this, at("home page before the first state")))
        return false;

    // Verified data with an installation error: "Choose game data", enabled
    state.insert(QStringLiteral("installationError"),
                 QStringLiteral("Wrong revision or SHA-1 verification failed"));
    shown(Page::Play);
    if (!checkFit(this, at("home page with an installation error")))
        return false;
    state.remove(QStringLiteral("installationError"));

    // A running game, and the status line it leaves behind
    state.insert(QStringLiteral("running"), true);
    state.insert(QStringLiteral("gameStatus"), QStringLiteral("Game running"));
    shown(Page::Play);
    if (!checkFit(this, at("home page while the game runs")))
        return false;
    state.insert(QStringLiteral("running"), false);
    state.insert(QStringLiteral("gameStatus"), QStringLiteral("Game closed"));
    shown(Page::Play);
    if (!checkFit(this, at("home page with a game status")))
        return false;
    if (normalSize && scrollArea->verticalScrollBar()->maximum() > 0) {
        previewFailure = at("home page with a game status") +
                         QStringLiteral(": the page scrolls, the library is out of sight");
        return false;
    }
    state.remove(QStringLiteral("gameStatus"));

    // An error notice above the page
    notice(T("Launcher connection closed"));
    QCoreApplication::processEvents();
    if (!checkFit(this, at("home page with an error notice")))
        return false;
    notice(QString());

    // The capture prompt: waiting for a key, then a conflict
    controlsTab = 0;
    shown(Page::Controls);
    input = {{QStringLiteral("phase"), 1}, {QStringLiteral("keyboardCapture"), true}};
    updateControls();
    QCoreApplication::processEvents();
    if (!checkFit(this, at("bindings page waiting for a key")))
        return false;
    input = {{QStringLiteral("phase"), 3},
             {QStringLiteral("message"), QStringLiteral("Already assigned to Jump / Confirm")}};
    updateControls();
    QCoreApplication::processEvents();
    if (!checkFit(this, at("bindings page with a conflict")))
        return false;
    input = QJsonObject();
    updateControls();

    // Every gamepad input the catalogue names, beside long key names
    {
        QStringList pads;
        for (const QLatin1StringView input : Protocol::GamepadInputs)
            pads << input;
        pads << QStringLiteral("Unmapped");
        const char *const keys[] = {"Keypad Enter", "Right Shift", "Backspace", "PageDown"};
        QJsonArray rows;
        int i = 0;
        for (const QString &pad : pads) {
            rows.append(
                QJsonArray{QStringLiteral("Quilt / Cancel"), pad, QLatin1String(keys[i++ % 4])});
        }
        state.insert(QStringLiteral("bindings"), rows);
        shown(Page::Controls);
        if (!checkFit(this, at("bindings page with every gamepad input")))
            return false;
        state.insert(QStringLiteral("bindings"), sampleBindings());
    }

    // A backup label of the longest length, without a space to break at
    {
        const QString longLabel =
            QStringLiteral("BeforeThimbleTowerWithEveryButton").repeated(2).left(64);
        state.insert(QStringLiteral("backups"),
                     QJsonArray{QJsonObject{
                         {QStringLiteral("name"), QStringLiteral("1763840000000000")},
                         {QStringLiteral("timestamp"), QStringLiteral("2026-11-22 15:00:00")},
                         {QStringLiteral("label"), longLabel}}});
        shown(Page::Saves);
        if (!checkFit(this, at("saves page with a long backup name")))
            return false;
        if (pageWidget->minimumSizeHint().width() > scrollArea->viewport()->width()) {
            previewFailure = at("saves page with a long backup name") +
                             QStringLiteral(": the page is wider than the window");
            return false;
        }
        state.insert(QStringLiteral("backups"), sampleBackups());
    }
    return true;
}

bool Window::checkDialogs(const QString &where)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    // Something to list, so the viewer shows its tree and its columns.
    QFile file(folder.filePath(QStringLiteral("VQ3E88-save.bin")));
    if (!file.open(QIODevice::WriteOnly) || file.write("save", 4) != 4)
        return false;
    file.close();
    const QString path = folder.path();
    // Qt's file dialog keeps its history and column widths in the user's settings: the checks
    // neither read a user's nor leave theirs behind. One place for the whole run, so that a
    // chooser opens with the widths the last language left, as it does for a player.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    const struct
    {
        const char *what;
        std::function<void()> open;
    } dialogs[] = {
        {"replace confirmation", [this] { confirmReplace(); }},
        {"close confirmation",
         [this] {
             confirmAction(this, T("Save settings"), T("Close without saving?"),
                           T("Close without saving"));
         }},
        {"folder chooser",
         [this, path] { choosePath(this, PathChoice::Folder, T("Choose DATA folder"), path); }},
        {"file chooser",
         [this, path] {
             choosePath(this, PathChoice::OpenFile, T("Choose Dolphin save (.bin)"), path);
         }},
        {"export chooser",
         [this, path] {
             choosePath(this, PathChoice::SaveFile, T("Choose export file"),
                        QDir(path).filePath(QStringLiteral("VQ3E88-save.bin")));
         }},
        {"folder viewer", [this, path] { openFolder("Save files", path); }},
    };
    for (const auto &dialog : dialogs) {
        const QString place = QStringLiteral("%1, %2").arg(QLatin1String(dialog.what), where);
        // The dialog runs its own event loop: it is measured and closed from inside it.
        bool measured = false;
        bool fits = false;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!modal)
                return;
            watch.stop();
            // Qt lays out and polishes what a dialog holds in events posted as it opens.
            QCoreApplication::processEvents();
            fits = checkFit(modal, place);
            measured = true;
            modal->reject();
        });
        watch.start();
        dialog.open();
        watch.stop();
        if (!measured) {
            previewFailure = place + QStringLiteral(": it did not open");
            return false;
        }
        if (!fits)
            return false;
    }
    return true;
}

} // namespace Quilt
