// Kept pictures and measurements: everything the launcher draws or measures once and reuses.
// Each kind of kept thing has its own key type naming everything its value depends on, fonts
// included whole (families and all). Lookups hand out values, never pointers into a cache
// that may evict them. What is kept lives in one store, made on first use and dropped with
// the application or when its fonts change.
#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <variant>

class QPainter;
class QWidget;

namespace Quilt::kept {

// While direct, nothing is kept: every picture is drawn, every stitch stroked and every text
// measured on each request. Tests and the self-test compare against it. Switching drops
// whatever is kept.
void setDirect(bool on);
bool direct();
// Drops everything kept.
void clear();

// Pictures. Each family's key names what its picture shows; the area's size and the pixel
// ratio are added by the lookup.
struct CardIcon
{
    int page = 0;
    QRgb color = 0;
    int size = 0;
    bool operator==(const CardIcon &) const = default;
};
struct LinenTile
{
    bool operator==(const LinenTile &) const = default;
};
// The file is named by its path, size and time, so a replaced picture is read afresh. Only
// the latest one is kept: a resized window does not go back.
struct Art
{
    QString path;
    qint64 bytes = 0;
    qint64 modified = 0;
    QSize box;
    bool operator==(const Art &) const = default;
};
// The art as a banner places it: scaled to `box`, and smaller when it is wider than `room`.
struct PlacedArt
{
    QString path;
    qint64 bytes = 0;
    qint64 modified = 0;
    QSize box;
    int room = 0;
    bool operator==(const PlacedArt &) const = default;
};
struct Hatch
{
    int pitch = 0;
    int falling = 0;
    QRgb color = 0;
    bool operator==(const Hatch &) const = default;
};
struct Badge
{
    int page = 0;
    double phase = 0; // the centre's vertical offset from a whole pixel
    bool operator==(const Badge &) const = default;
};
struct LibraryFace
{
    bool hovered = false;
    bool focused = false;
    bool operator==(const LibraryFace &) const = default;
};
struct Field
{
    bool disabled = false;
    bool focused = false;
    bool operator==(const Field &) const = default;
};
struct ButtonFace
{
    bool primary = false;
    double top = 0;
    QRgb face = 0;
    QRgb border = 0;
    QRgb outline = 0;
    double outlineWidth = 0;
    bool operator==(const ButtonFace &) const = default;
};
struct LargeLabel
{
    QString text;
    QFont font;
    QRgb color = 0;
    bool enabled = true;
    int alignment = 0;
    bool wrap = false;
    int margin = 0;
    int indent = 0;
    QMargins contents;
    bool operator==(const LargeLabel &) const = default;
};
struct PreviewFrame
{
    bool crosshair = false;
    QRgb cloth = 0;
    QSize size; // a whole, opaque picture of the view
    bool operator==(const PreviewFrame &) const = default;
};
using Picture = std::variant<CardIcon, LinenTile, Art, PlacedArt, Hatch, Badge, LibraryFace, Field,
                             ButtonFace, LargeLabel, PreviewFrame>;

// The picture kept under `key` at `ratio`, made by `make` when there is none. A null picture
// is not kept.
QPixmap picture(const Picture &key, double ratio, const std::function<QPixmap()> &make);
// Paints what `draw` paints inside `area` (logical, whole pixels) from a picture kept under
// `key`. Antialiasing a rounded outline costs far more than blending a picture of it. Painters
// that cannot take a plain blit (scaled, rotated, at a fractional offset, at partial opacity,
// in another composition mode, or not raster) are drawn on directly.
void draw(QPainter &painter, QRect area, const Picture &key,
          const std::function<void(QPainter &)> &drawing);

// Stitches: the rim of a dashed outline, rasterised, in pieces placed in device pixels.
struct StitchKey
{
    int width64 = 0, height64 = 0; // size in 1/64 device pixels
    int phaseX = 0, phaseY = 0;    // sub-pixel offset in 1/8 device pixels
    QRgb rgba = 0;
    int radius = 0;
    int ratio64 = 0; // device pixel ratio in 1/64
    bool operator==(const StitchKey &) const = default;
};
struct StitchPiece
{
    QPoint offset; // device pixels from the picture's origin
    QImage image;
};
// The pieces of a stitch, made by `make` the second time it is asked for; none when the
// outline is to be stroked directly: the first time (an outline seen once, on the first
// frame or a page visited once, is not worth its memory), or when it is too large to keep.
QList<StitchPiece> stitch(const StitchKey &key, const std::function<QList<StitchPiece>()> &make);

// `text` elided at the right to `width` in the painter's font. Eliding shapes the whole text,
// and painted widgets elide the same few texts on every paint.
QString elided(const QPainter &painter, const QString &text, int width);
// The advance of `text` in the widget's font: size hints of new widgets ask for it on every
// page build.
int advance(const QWidget &widget, const QString &text);
// The advance of `text` in `font` at the default resolution, as QFontMetrics(font) measures it.
int advance(const QFont &font, const QString &text);
// The height of `text` laid out with `flags` in a box `width` wide, in the widget's font. A
// layout asks a wrapping control for its height at a few widths on every pass, and wrapping
// shapes the whole text.
int wrappedHeight(const QWidget &widget, const QString &text, int width, int flags);

// What a label is measured by: everything QLabel measures a text by.
struct LabelKey
{
    QString text;
    QFont font;
    QMargins contents;
    int margin = 0;
    int indent = 0;
    int alignment = 0;
    int format = 0;
    int interaction = 0;
    bool wrap = false;
    int dpi = 0; // the screen's resolution changes the metrics of the same font
    bool operator==(const LabelKey &) const = default;
};
enum class Hint { Preferred, Minimum };
// A label's size hint, measured by `measure` the first time it is asked for.
QSize labelHint(const LabelKey &key, Hint hint, const std::function<QSize()> &measure);
// A label's height at `width`; the last few widths asked for are kept.
int labelHeight(const LabelKey &key, int width, const std::function<int()> &measure);

// The icon in the file at `path`, loaded once.
QIcon icon(const QString &path);

} // namespace Quilt::kept
