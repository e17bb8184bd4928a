#include "kept.h"

#include <QCache>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace Quilt::kept {

namespace {

// Keys compare their fonts whole. Hashing a whole font (families and all) costs more than the
// rest of a lookup, and the launcher draws in a handful of fonts, so the hash takes only the
// parts that are cheap to read.
size_t fontHash(const QFont &font)
{
    return qHashMulti(0, font.pixelSize(), font.pointSizeF(), font.weight(), int(font.style()));
}

// The resolution a measurement in `font` on `widget` depends on. A font sized in pixels (all
// of the launcher's) measures the same at any resolution, and asking a widget for its
// resolution costs more than the rest of a lookup.
int resolution(const QWidget &widget, const QFont &font)
{
    return font.pixelSize() > 0 ? 0 : widget.logicalDpiY();
}

} // namespace

// QCache finds these through the key types' namespace.
size_t qHash(const StitchKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.width64, key.height64, key.phaseX, key.phaseY, key.rgba, key.radius,
                      key.ratio64);
}

size_t qHash(const LabelKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.text, fontHash(key.font), key.contents.left(), key.contents.top(),
                      key.contents.right(), key.contents.bottom(), key.margin, key.indent,
                      key.alignment, key.format, key.interaction, key.wrap, key.dpi);
}

namespace {

size_t hashOf(const CardIcon &key, size_t seed)
{
    return qHashMulti(seed, key.page, key.color, key.size);
}
size_t hashOf(const LinenTile &, size_t seed)
{
    return seed;
}
size_t hashOf(const Art &key, size_t seed)
{
    return qHashMulti(seed, key.path, key.bytes, key.modified, key.box.width(), key.box.height());
}
size_t hashOf(const PlacedArt &key, size_t seed)
{
    return qHashMulti(seed, key.path, key.bytes, key.modified, key.box.width(), key.box.height(),
                      key.room);
}
size_t hashOf(const Hatch &key, size_t seed)
{
    return qHashMulti(seed, key.pitch, key.falling, key.color);
}
size_t hashOf(const Badge &key, size_t seed)
{
    return qHashMulti(seed, key.page, key.phase);
}
size_t hashOf(const LibraryFace &key, size_t seed)
{
    return qHashMulti(seed, key.hovered, key.focused);
}
size_t hashOf(const Field &key, size_t seed)
{
    return qHashMulti(seed, key.disabled, key.focused);
}
size_t hashOf(const ButtonFace &key, size_t seed)
{
    return qHashMulti(seed, key.primary, key.top, key.face, key.border, key.outline,
                      key.outlineWidth);
}
size_t hashOf(const LargeLabel &key, size_t seed)
{
    return qHashMulti(seed, key.text, fontHash(key.font), key.color, key.enabled, key.alignment,
                      key.wrap, key.margin, key.indent, key.contents.left(), key.contents.top(),
                      key.contents.right(), key.contents.bottom());
}
size_t hashOf(const PreviewFrame &key, size_t seed)
{
    return qHashMulti(seed, key.crosshair, key.cloth, key.size.width(), key.size.height());
}

// A picture as kept: what it shows, the size of its area (empty for a whole picture) and the
// pixel ratio.
struct Placed
{
    Picture picture;
    QSize area;
    double ratio = 1;
    bool operator==(const Placed &) const = default;
};

size_t qHash(const Placed &key, size_t seed = 0)
{
    const size_t shown =
        std::visit([seed](const auto &picture) { return hashOf(picture, seed); }, key.picture);
    return qHashMulti(shown, key.picture.index(), key.area.width(), key.area.height(), key.ratio);
}

// What measuring a text depends on.
struct TextKey
{
    QString text;
    QFont font;
    int width = 0; // the width to elide or wrap to; 0 for an advance
    int dpi = 0;   // the device's resolution, where it changes the metrics of the font; else 0
    int flags = 0; // how a wrapped text is laid out
    bool operator==(const TextKey &) const = default;
};

size_t qHash(const TextKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.text, fontHash(key.font), key.width, key.dpi, key.flags);
}

// An advance by the very string it was measured for. A widget asks for the advance of its own
// text again and again, and comparing where two strings are stored costs far less than
// hashing one.
struct RecentAdvance
{
    QString text;
    QFont font;
    int dpi = -1;
    int value = 0;
};

struct LabelMeasures
{
    QSize hint;
    QSize minimum;
    std::array<std::pair<int, int>, 4> heights{{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}};
};

// About 2.5 MiB of pictures are kept once every page has been shown; the rest is room for
// the sizes of a resized window.
constexpr int picturesKiB = 8 * 1024;
// Enough for the outlines of the page on show and its neighbours; evicted ones are redrawn.
constexpr int stitchesKiB = 2 * 1024;

// Everything kept. Made on first use, dropped from the application's destructor while the
// GUI still stands, and emptied when the application's fonts change: the same font may
// then resolve to another face.
class Store : public QObject
{
public:
    Store()
    {
        qApp->installEventFilter(this);
        if (qGuiApp)
            connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, this, &Store::drop);
    }

    void drop()
    {
        pictures.clear();
        latestArt.reset();
        stitches.clear();
        seenStitches.clear();
        elisions.clear();
        advances.clear();
        recentAdvances.fill(RecentAdvance());
        heights.clear();
        labels.clear();
        icons.clear();
    }

    QCache<Placed, QPixmap> pictures{picturesKiB};
    std::optional<Placed> latestArt;
    QCache<StitchKey, QList<StitchPiece>> stitches{stitchesKiB};
    QCache<StitchKey, bool> seenStitches{1024};
    QCache<TextKey, QString> elisions{1024};
    QCache<TextKey, int> advances{1024};
    std::array<RecentAdvance, 256> recentAdvances;
    QCache<TextKey, int> heights{1024};
    QCache<LabelKey, LabelMeasures> labels{4096};
    QHash<QString, QIcon> icons;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ApplicationFontChange && watched == qApp)
            drop();
        return false;
    }
};

Store *instance = nullptr;
bool directly = false;

void dropStore()
{
    delete instance;
    instance = nullptr;
}

Store &store()
{
    if (!instance) {
        instance = new Store;
        qAddPostRoutine(dropStore);
    }
    return *instance;
}

QPixmap keep(const Placed &key, const std::function<QPixmap()> &make)
{
    Store &kept = store();
    if (const QPixmap *known = kept.pictures.object(key))
        return *known;
    // Nothing of the cache is held while making: making may keep other things.
    QPixmap made = make();
    if (made.isNull())
        return made;
    if (std::holds_alternative<Art>(key.picture)) {
        if (kept.latestArt)
            kept.pictures.remove(*kept.latestArt);
        kept.latestArt = key;
    }
    const qint64 bytes = qint64(made.width()) * made.height() * made.depth() / 8;
    kept.pictures.insert(key, new QPixmap(made), int(bytes / 1024) + 1);
    return made;
}

LabelMeasures &measuresOf(const LabelKey &key)
{
    QCache<LabelKey, LabelMeasures> &labels = store().labels;
    if (LabelMeasures *known = labels.object(key))
        return *known;
    auto *made = new LabelMeasures;
    labels.insert(key, made);
    return *made;
}

} // namespace

void setDirect(bool on)
{
    if (directly == on)
        return;
    directly = on;
    if (instance)
        instance->drop();
}

bool direct()
{
    return directly;
}

void clear()
{
    if (instance)
        instance->drop();
}

QPixmap picture(const Picture &key, double ratio, const std::function<QPixmap()> &make)
{
    if (directly)
        return make();
    return keep(Placed{key, QSize(), ratio}, make);
}

void draw(QPainter &painter, QRect area, const Picture &key,
          const std::function<void(QPainter &)> &drawing)
{
    const QTransform &world = painter.worldTransform();
    const bool blittable =
        painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster &&
        painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
        painter.opacity() == 1.0 && world.type() <= QTransform::TxTranslate &&
        world.dx() == std::trunc(world.dx()) && world.dy() == std::trunc(world.dy());
    if (directly || !blittable || area.isEmpty()) {
        drawing(painter);
        return;
    }
    const double ratio = painter.device()->devicePixelRatio();
    const QPixmap picture = keep(Placed{key, area.size(), ratio}, [&] {
        QPixmap pixmap(area.size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter on(&pixmap);
        on.setRenderHints(painter.renderHints());
        on.setFont(painter.font());
        on.translate(-area.topLeft());
        drawing(on);
        on.end();
        return pixmap;
    });
    painter.drawPixmap(area.topLeft(), picture);
}

QList<StitchPiece> stitch(const StitchKey &key, const std::function<QList<StitchPiece>()> &make)
{
    if (directly)
        return {};
    Store &kept = store();
    if (const QList<StitchPiece> *known = kept.stitches.object(key))
        return *known;
    if (!kept.seenStitches.remove(key)) {
        kept.seenStitches.insert(key, new bool(true));
        return {};
    }
    QList<StitchPiece> made = make();
    qsizetype bytes = 0;
    for (const StitchPiece &piece : made)
        bytes += piece.image.sizeInBytes();
    // A stitch costlier than the whole cache is stroked rather than made on every paint.
    const int cost = int(bytes / 1024) + 1;
    if (cost > kept.stitches.maxCost())
        return {};
    kept.stitches.insert(key, new QList<StitchPiece>(made), cost);
    return made;
}

QString elided(const QPainter &painter, const QString &text, int width)
{
    const auto measure = [&] {
        return painter.fontMetrics().elidedText(text, Qt::ElideRight, width);
    };
    if (directly)
        return measure();
    QCache<TextKey, QString> &elisions = store().elisions;
    TextKey key{text, painter.font(), width, painter.device()->logicalDpiY()};
    if (const QString *known = elisions.object(key))
        return *known;
    const QString result = measure();
    elisions.insert(std::move(key), new QString(result));
    return result;
}

int advance(const QWidget &widget, const QString &text)
{
    if (directly)
        return widget.fontMetrics().horizontalAdvance(text);
    Store &kept = store();
    const QFont font = widget.font();
    const int dpi = resolution(widget, font);
    // The same string as before holds the same text while it is held here: its storage is
    // shared and copied before any change.
    RecentAdvance &recent =
        kept.recentAdvances[(quintptr(text.constData()) >> 4) % kept.recentAdvances.size()];
    if (recent.text.constData() == text.constData() && recent.text.size() == text.size() &&
        recent.dpi == dpi && recent.font == font)
        return recent.value;
    TextKey key{text, font, 0, dpi};
    int result = 0;
    if (const int *known = kept.advances.object(key)) {
        result = *known;
    } else {
        result = widget.fontMetrics().horizontalAdvance(text);
        kept.advances.insert(std::move(key), new int(result));
    }
    recent = RecentAdvance{text, font, dpi, result};
    return result;
}

int advance(const QFont &font, const QString &text)
{
    if (directly)
        return QFontMetrics(font).horizontalAdvance(text);
    QCache<TextKey, int> &advances = store().advances;
    TextKey key{text, font, 0, 0};
    if (const int *known = advances.object(key))
        return *known;
    const int result = QFontMetrics(font).horizontalAdvance(text);
    advances.insert(std::move(key), new int(result));
    return result;
}

int wrappedHeight(const QWidget &widget, const QString &text, int width, int flags)
{
    const auto measure = [&] {
        return widget.fontMetrics().boundingRect(QRect(0, 0, width, 1 << 16), flags, text).height();
    };
    if (directly)
        return measure();
    QCache<TextKey, int> &heights = store().heights;
    const QFont font = widget.font();
    TextKey key{text, font, width, resolution(widget, font), flags};
    if (const int *known = heights.object(key))
        return *known;
    const int result = measure();
    heights.insert(std::move(key), new int(result));
    return result;
}

QSize labelHint(const LabelKey &key, Hint hint, const std::function<QSize()> &measure)
{
    if (directly)
        return measure();
    if (const LabelMeasures *known = store().labels.object(key)) {
        const QSize found = hint == Hint::Preferred ? known->hint : known->minimum;
        if (found.isValid())
            return found;
    }
    const QSize measured = measure();
    LabelMeasures &entry = measuresOf(key);
    (hint == Hint::Preferred ? entry.hint : entry.minimum) = measured;
    return measured;
}

int labelHeight(const LabelKey &key, int width, const std::function<int()> &measure)
{
    if (directly)
        return measure();
    if (const LabelMeasures *known = store().labels.object(key)) {
        for (const auto &[keptWidth, height] : known->heights) {
            if (keptWidth == width)
                return height;
        }
    }
    const int height = measure();
    LabelMeasures &entry = measuresOf(key);
    std::rotate(entry.heights.rbegin(), entry.heights.rbegin() + 1, entry.heights.rend());
    entry.heights.front() = {width, height};
    return height;
}

QIcon icon(const QString &path)
{
    if (directly)
        return QIcon(path);
    QHash<QString, QIcon> &icons = store().icons;
    auto found = icons.constFind(path);
    if (found == icons.cend())
        found = icons.insert(path, QIcon(path));
    return *found;
}

} // namespace Quilt::kept
