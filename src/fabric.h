// The fabric widget kit: painting primitives, painted controls and themed dialogs.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QPixmap>
#include <QPushButton>
#include <QTabBar>
#include <QWidget>

#include <QColor>
#include <QFont>
#include <QPen>
#include <QRectF>

#include <functional>

class QAbstractButton;
class QLabel;
class QPainter;

namespace Quilt {

// Shared by the kit's painting code: colours come as the design's hexadecimal strings, and
// every pen is built from a solid brush of its colour.
namespace paint {
inline QColor hex(const char *rgb)
{
    return QColor::fromString(QLatin1StringView(rgb));
}
inline QPen pen(QColor color, double width, Qt::PenStyle style = Qt::SolidLine,
                Qt::PenCapStyle cap = Qt::SquareCap, Qt::PenJoinStyle join = Qt::BevelJoin)
{
    return QPen(QBrush(color, Qt::SolidPattern), width, style, cap, join);
}
} // namespace paint

// A text that a painted control draws, as the self-test's fit rule measures it: the box it is
// drawn in (widget coordinates), its font and drawText flags, and the width of a mark drawn
// beside it in the same box. The whole text and its mark must fit the box.
struct ShownText
{
    QString text;
    QRectF box;
    QFont font;
    int flags = Qt::AlignCenter;
    double mark = 0;
};

// Qt's stylesheet replaces a widget's minimum height with its own whenever it polishes the
// widget; the kit's controls put theirs back. Call after the base class has seen the event.
void holdMinimumHeight(QWidget &widget, const QEvent &event, int height);

// The window's pages. The value indexes the page titles, glyphs, colours and preview names.
enum class Page : int {
    Play = 0,
    Install = 1,
    Display = 2,
    Controls = 3,
    Saves = 4,
    Diagnostics = 5,
    Basic = 6,
    ControllerGuide = 7,
};

// Running stitch along a rounded rectangle.
void drawStitch(QPainter &painter, QRectF rect, QColor color, int radius);
// Round sewn-on button with a thread cross.
void drawButtonPatch(QPainter &painter, QPointF centre, double radius, QColor color);
// Background colour of a page's banner and library card.
QColor pageColor(Page page);
// The sewn-button brand mark; small for the home page's brand row.
QPixmap brandButton(bool small);

// Cream background cloth with a faint woven grid.
class Linen : public QWidget
{
    Q_OBJECT
public:
    Linen();
    ~Linen() override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The rounded plaid patch at the top of every page.
class Banner : public QFrame
{
    Q_OBJECT
public:
    Banner(Page page, const QString &root, QWidget *parent = nullptr);
    ~Banner() override;

    // The home page's picture and its top-left corner; a null picture elsewhere.
    struct Art
    {
        QPixmap picture;
        QPointF origin;
    };
    Art art() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Page page;
    // Right edge of what the banner's own widgets show; the picture keeps clear of it.
    int textRight() const;

    // The home page's picture: the concept art, or the mascot once that failed; empty on other
    // pages.
    mutable QString artPath;
    // Which file that is, by its size and time, read when the path is set: a new banner shows
    // a replaced picture, and a repaint does not ask the file system.
    mutable qint64 artBytes = 0;
    mutable qint64 artModified = 0;
    void setArtPath(const QString &path) const;
};

// Clickable card of the home page's game library.
class LibraryCard : public QPushButton
{
    Q_OBJECT
public:
    LibraryCard(Page page, QString title, QString description);
    ~LibraryCard() override;
    QSize sizeHint() const override;
    // The title as painted. The description is shortened on purpose and not listed.
    ShownText shownTitle() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Page page;
    QString description;
};

// Tab bar drawn as a notched ribbon with a ball of thread beside every label.
class QuiltTabs : public QTabBar
{
    Q_OBJECT
public:
    QuiltTabs();
    ~QuiltTabs() override;
    ShownText shownTab(int index) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    QSize tabSizeHint(int index) const override;
};

// On/off switch drawn as a stitched pill with a sewn-on knob.
class SewnSwitch : public QCheckBox
{
    Q_OBJECT
public:
    SewnSwitch();
    ~SewnSwitch() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

// Push button drawn as a padded fabric patch on a darker lip.
class FabricButton : public QPushButton
{
    Q_OBJECT
public:
    explicit FabricButton(const QString &text, bool primary = false);
    ~FabricButton() override;
    QSize sizeHint() const override;
    bool isPrimary() const { return primary; }
    // A standard label that does not fit one line takes two, and the button grows in height.
    void setWraps(bool wraps);
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    ShownText shownText() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF face() const;
    QFont labelFont() const;
    bool primary;
    bool wraps = false;
};

// Drop-down drawn as a stitched field with a sewn-patch arrow.
class FabricCombo : public QComboBox
{
    Q_OBJECT
public:
    FabricCombo();
    ~FabricCombo() override;
    QSize sizeHint() const override;
    void showPopup() override;
    ShownText shownText() const;
    // The drop-down list in the kit's look. Made on first use: building a popup costs more
    // than the rest of the combo box, and most are never opened.
    QAbstractItemView *list();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // Changes the choice only while the box has the focus; otherwise the page scrolls.
    void wheelEvent(QWheelEvent *event) override;

private:
    bool dressed = false;
};

// Number field with round sewn minus and plus buttons.
class FabricSpinBox : public QDoubleSpinBox
{
    Q_OBJECT
public:
    FabricSpinBox();
    ~FabricSpinBox() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // Steps only while the box has the focus; otherwise the page scrolls.
    void wheelEvent(QWheelEvent *event) override;
};

// Screen readers: a checkable button that opens a page is a page tab, selected while checked.
void markPageTab(QAbstractButton *button);
// Makes a label a live line: its news reach assistive technology through `announce`. An alert
// for errors, a notification otherwise.
void markLive(QLabel *line, bool alert);
// Reports the line's news when it differs from the last; the line shows it already.
void announce(QLabel *line, const QString &news);

enum class PathChoice : int { Folder = 0, OpenFile = 1, SaveFile = 2 };

// Qt's own file dialog, themed; returns an empty string when cancelled.
QString choosePath(QWidget *parent, PathChoice choice, const QString &caption,
                   const QString &directory);
// A yes/no question whose safe answer is the default; true only for the confirm button.
bool confirmAction(QWidget *parent, const QString &title, const QString &text,
                   const QString &confirmLabel);

} // namespace Quilt
