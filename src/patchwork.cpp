#include "fabric.h"
#include "kept.h"

#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

namespace Quilt {

namespace {

using kept::elided;
using paint::hex;
using paint::pen;

// One integer line through the line-list overload, so every glyph stroke rasterises the same way.
void line(QPainter &painter, int x1, int y1, int x2, int y2)
{
    const QLine segment(x1, y1, x2, y2);
    painter.drawLines(&segment, 1);
}

void monitor(QPainter &painter)
{
    painter.drawRoundedRect(QRectF(8, 11, 32, 23), 4, 4, Qt::AbsoluteSize);
    line(painter, 24, 35, 24, 39);
    line(painter, 16, 39, 32, 39);
}

void gamepad(QPainter &painter)
{
    painter.drawRoundedRect(QRectF(7, 15, 34, 20), 9, 9, Qt::AbsoluteSize);
    // Cross pad, then two face buttons as dots of the round pen.
    line(painter, 12, 24, 20, 24);
    line(painter, 16, 20, 16, 28);
    const QPoint faceButtons[] = {QPoint(32, 21), QPoint(28, 26)};
    painter.drawPoints(faceButtons, 2);
}

// Outline icon of a page in a 48 x 48 box at the painter's origin. Values outside the page
// range draw nothing: only the pen and brush are set.
void glyph(QPainter &painter, Page page)
{
    painter.setPen(pen(hex("#46524b"), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);

    switch (page) {
    case Page::Play: {
        QPainterPath house;
        house.moveTo(8, 23); // roof
        house.lineTo(24, 10);
        house.lineTo(40, 23);
        house.moveTo(13, 22); // walls
        house.lineTo(13, 38);
        house.lineTo(35, 38);
        house.lineTo(35, 22);
        house.moveTo(21, 37); // door
        house.lineTo(21, 28);
        house.lineTo(27, 28);
        house.lineTo(27, 37);
        painter.drawPath(house);
        break;
    }
    case Page::Install:
        painter.drawRoundedRect(QRectF(10, 26, 28, 11), 3, 3, Qt::AbsoluteSize);
        line(painter, 24, 10, 24, 29);
        line(painter, 18, 22, 24, 29);
        line(painter, 30, 22, 24, 29);
        break;
    case Page::Display:
    case Page::Basic:
        monitor(painter);
        break;
    case Page::Controls:
    case Page::ControllerGuide:
        gamepad(painter);
        break;
    case Page::Saves: {
        QPainterPath folder;
        folder.moveTo(9, 36);
        folder.lineTo(9, 13);
        folder.lineTo(21, 13);
        folder.lineTo(25, 18);
        folder.lineTo(39, 18);
        folder.lineTo(39, 36);
        folder.closeSubpath();
        painter.drawPath(folder);
        break;
    }
    case Page::Diagnostics:
        painter.drawEllipse(QRectF(9, 9, 22, 22));
        line(painter, 28, 28, 39, 39); // handle
        line(painter, 14, 20, 18, 20); // pulse trace inside the lens
        line(painter, 18, 20, 21, 16);
        line(painter, 21, 16, 25, 22);
        break;
    }
}

// Icon of a library card: the page glyph on a stitched tile of the page colour, at a card's
// icon size. Kept, since cards are repainted far more often than their icons change.
QPixmap cardIcon(Page page, QColor color, int size, double ratio)
{
    const QRectF tile(1, 1, 46, 46); // inside the 48 x 48 design box
    const QRectF seam(4, 4, 40, 40);

    return kept::picture(kept::CardIcon{int(page), color.rgba(), size}, ratio, [&] {
        QPixmap pixmap(96, 96); // the design box at twice its size
        pixmap.setDevicePixelRatio(2);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(color);
        painter.setPen(pen(color.darker(116), 1));
        painter.drawRoundedRect(tile, 13, 13);
        drawStitch(painter, seam, color.darker(128), 9);
        glyph(painter, page);
        painter.end();
        const int pixels = int(std::lround(size * ratio));
        QPixmap icon = pixmap.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        icon.setDevicePixelRatio(ratio);
        return icon;
    });
}

// The outline exactly as QPainter::drawRoundedRect builds it (same start, same direction, the
// radius clamped to half the side), so that its dashes fall where the painter's own would.
QPainterPath roundedOutline(QRectF rect, double radius)
{
    const double kappa = 0.5522847498; // control-point distance of a quarter circle
    const double rx = std::min(radius, rect.width() / 2);
    const double ry = std::min(radius, rect.height() / 2);
    const double x1 = rect.left();
    const double x2 = rect.right();
    const double y1 = rect.top();
    const double y2 = rect.bottom();
    const double cx = (1 - kappa) * rx;
    const double cy = (1 - kappa) * ry;
    QPainterPath outline;
    outline.moveTo(x1 + rx, y1);
    outline.lineTo(x2 - rx, y1);
    outline.cubicTo(x2 - cx, y1, x2, y1 + cy, x2, y1 + ry);
    outline.lineTo(x2, y2 - ry);
    outline.cubicTo(x2, y2 - cy, x2 - cx, y2, x2 - rx, y2);
    outline.lineTo(x1 + rx, y2);
    outline.cubicTo(x1 + cx, y2, x1, y2 - cy, x1, y2 - ry);
    outline.lineTo(x1, y1 + ry);
    outline.cubicTo(x1, y1 + cy, x1 + cx, y1, x1 + rx, y1);
    return outline;
}

// Splits a stroke into groups of a few consecutive dashes. No two groups overlap, so filling
// them one by one blends every pixel exactly once, as filling the whole stroke does.
QList<QPainterPath> dashGroups(const QPainterPath &stroke)
{
    const int perGroup = 6;
    const double reach = 3; // a dash's antialiased fringe, with room to spare
    QList<QPainterPath> groups;
    QRectF first, last;
    int inGroup = 0;
    QPainterPath dash;
    const auto close = [&] {
        if (dash.isEmpty())
            return;
        const QRectF box = dash.controlPointRect();
        if (groups.isEmpty() ||
            (inGroup >= perGroup && !box.adjusted(-reach, -reach, reach, reach).intersects(last))) {
            groups.append(QPainterPath());
            inGroup = 0;
        }
        if (groups.size() == 1 && inGroup == 0)
            first = box;
        groups.last().addPath(dash);
        ++inGroup;
        last = box;
        dash.clear();
    };
    for (int i = 0; i < stroke.elementCount(); ++i) {
        const QPainterPath::Element e = stroke.elementAt(i);
        if (e.isMoveTo()) {
            close();
            dash.moveTo(e);
        } else if (e.isLineTo()) {
            dash.lineTo(e);
        } else if (i + 2 < stroke.elementCount()) {
            dash.cubicTo(e, stroke.elementAt(i + 1), stroke.elementAt(i + 2));
            i += 2;
        }
    }
    close();
    // The outline is closed: its last dash may end against its first.
    if (groups.size() > 1 && last.adjusted(-reach, -reach, reach, reach).intersects(first))
        groups.first().addPath(groups.takeLast());
    for (QPainterPath &group : groups)
        group.setFillRule(Qt::WindingFill);
    return groups;
}

// The running stitch itself: a dashed, round-capped outline. The dash pattern is in units of
// the pen width: 3.75 px dashes, 5 px gaps.
void strokeStitch(QPainter &painter, QRectF rect, QColor color, int radius)
{
    QPen thread = pen(color, 1.25, Qt::DashLine, Qt::RoundCap, Qt::BevelJoin);
    thread.setDashPattern({3, 4});
    // Under any other transform the painter dashes the outline differently from the stroker.
    const bool translated = painter.paintEngine() &&
                            painter.paintEngine()->type() == QPaintEngine::Raster &&
                            painter.deviceTransform().type() <= QTransform::TxTranslate;
    if (!translated || radius <= 0 || rect.width() <= 0 || rect.height() <= 0) {
        painter.setPen(thread);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect, double(radius), double(radius), Qt::AbsoluteSize);
        return;
    }
    // Qt's antialiased rasteriser works in bands of a few rows and walks the whole outline
    // again for every band, so one long dashed outline costs its length times its height.
    // The same dashes, made by the same dasher and filled a few at a time, cost a fraction.
    QPainterPathStroker stroker(thread);
    for (const QPainterPath &group : dashGroups(stroker.createStroke(roundedOutline(rect, radius))))
        painter.fillPath(group, color);
}

// Dashing and antialiasing a long outline costs far more than blending a picture of it, and
// the same outlines are painted over and over (every repaint, every rebuild of a page). So a
// stitch is rasterised once per size, colour, radius, sub-pixel offset and pixel ratio, and
// then blitted. Only its rim is kept: the corners, and a narrow strip along each edge; the
// inside is transparent anyway.
using StitchPieces = QList<kept::StitchPiece>;

StitchPieces rasteriseStitch(QSizeF size, QPointF phase, QColor color, int radius, double ratio,
                             int margin)
{
    // The thread's coverage of the whole outline, one byte a pixel: stroked in one go, as the
    // dasher shifts the dashes of a stroke that leaves its device.
    const QSize full(int(std::ceil(phase.x() + size.width() * ratio)) + 2 * margin,
                     int(std::ceil(phase.y() + size.height() * ratio)) + 2 * margin);
    QImage coverage(full, QImage::Format_Alpha8);
    coverage.fill(Qt::transparent);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(
            QTransform(ratio, 0, 0, ratio, margin + phase.x(), margin + phase.y()));
        strokeStitch(painter, QRectF(QPointF(0, 0), size), Qt::black, radius);
    }

    // The rim pieces in the thread's colour: four corners, and four edges a straight line deep.
    const int corner = int(std::ceil(radius * ratio)) + 2 * margin + 1;
    const int line = 2 * margin + 1;
    const int w = full.width();
    const int h = full.height();
    QList<QRect> rims;
    if (w <= 2 * corner || h <= 2 * corner) {
        rims = {QRect(QPoint(0, 0), full)};
    } else {
        rims = {QRect(0, 0, corner, corner),
                QRect(w - corner, 0, corner, corner),
                QRect(0, h - corner, corner, corner),
                QRect(w - corner, h - corner, corner, corner),
                QRect(corner, 0, w - 2 * corner, line),
                QRect(corner, h - line, w - 2 * corner, line),
                QRect(0, corner, line, h - 2 * corner),
                QRect(w - line, corner, line, h - 2 * corner)};
    }
    const QRgb thread = color.rgba();
    StitchPieces pieces;
    for (const QRect &rim : rims) {
        QImage piece(rim.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < rim.height(); ++y) {
            const uchar *alpha = coverage.constScanLine(rim.y() + y) + rim.x();
            auto *out = reinterpret_cast<QRgb *>(piece.scanLine(y));
            for (int x = 0; x < rim.width(); ++x)
                out[x] = qPremultiply(qRgba(qRed(thread), qGreen(thread), qBlue(thread),
                                            qAlpha(thread) * alpha[x] / 255));
        }
        piece.setDevicePixelRatio(ratio);
        pieces.append({rim.topLeft(), piece});
    }
    return pieces;
}

// Paints the stitch from the cache when the painter only translates onto a raster device;
// returns false when the outline must be stroked directly (rotated or scaled painters, pictures
// and printers, other composition modes), where a blit would not match.
bool drawCachedStitch(QPainter &painter, QRectF rect, QColor color, int radius)
{
    const bool raster =
        painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster;
    if (!raster || painter.worldTransform().type() > QTransform::TxTranslate ||
        !painter.testRenderHint(QPainter::Antialiasing) ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const double ratio = painter.device()->devicePixelRatio();
    const QTransform device = painter.deviceTransform();
    if (device.type() > QTransform::TxScale || !qFuzzyCompare(device.m11(), ratio) ||
        !qFuzzyCompare(device.m22(), ratio) || rect.width() <= 0 || rect.height() <= 0)
        return false;

    // Where the outline starts in device pixels, split into whole pixels and a phase.
    const QPointF start = device.map(rect.topLeft());
    const QPointF whole(std::floor(start.x()), std::floor(start.y()));
    const QPointF phase(std::round((start.x() - whole.x()) * 8) / 8,
                        std::round((start.y() - whole.y()) * 8) / 8);
    const int margin = int(std::ceil(2 * ratio)); // room for the round caps and antialiasing

    const kept::StitchKey key{int(std::lround(rect.width() * 64)),
                              int(std::lround(rect.height() * 64)),
                              int(phase.x() * 8),
                              int(phase.y() * 8),
                              color.rgba(),
                              radius,
                              int(std::lround(ratio * 64))};
    const StitchPieces pieces = kept::stitch(
        key, [&] { return rasteriseStitch(rect.size(), phase, color, radius, ratio, margin); });
    if (pieces.isEmpty())
        return false;

    // Each piece goes where its device pixels line up one to one with the target's.
    const QTransform toLogical = device.inverted();
    const QPoint origin = whole.toPoint() - QPoint(margin, margin);
    for (const kept::StitchPiece &piece : pieces)
        painter.drawImage(toLogical.map(QPointF(origin + piece.offset)), piece.image);
    return true;
}

// The concept art scaled to a banner's picture box, kept across rebuilds of the home page so
// that neither the decoding nor the smooth scaling is repeated.
QPixmap scaledArt(const QString &path, QSize box, double ratio)
{
    const QFileInfo file(path);
    const kept::Art key{path, file.size(), file.lastModified().toMSecsSinceEpoch(), box};
    return kept::picture(key, ratio, [&] {
        QPixmap art;
        if (!art.load(path))
            return art;
        art = art.scaled(art.size().scaled(box * ratio, Qt::KeepAspectRatio), Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
        art.setDevicePixelRatio(ratio);
        return art;
    });
}

// The share of a picture's width, from its left edge, in which no pixel is opaque enough to
// hide a text.
double clearLead(const QPixmap &picture)
{
    const int opaque = 48;
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qAlpha(image.pixel(x, y)) >= opaque)
                return double(x) / image.width();
        }
    }
    return 0;
}

// One tile of the banner's hatch, a pitch high and several pitches wide: Qt blends a tiled
// fill one tile width at a time. The lines are drawn on past the tile's edges, so that the
// antialiased fringes of its neighbours' lines are in it too.
QPixmap hatchTile(int pitch, int falling, const QPen &thread, double ratio)
{
    const int across = 8;
    return kept::picture(kept::Hatch{pitch, falling, thread.color().rgba()}, ratio, [&] {
        const int side = int(std::lround(pitch * ratio));
        QImage image(side * across, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(ratio, ratio);
        painter.setPen(thread);
        for (int x0 = -2 * pitch; x0 <= (across + 1) * pitch; x0 += pitch) {
            // x - y = x0 + falling and x + y = x0, across three tiles' height
            painter.drawLine(
                QLineF(x0 + falling - pitch, -pitch, x0 + falling + 2 * pitch, 2 * pitch));
            painter.drawLine(QLineF(x0 + pitch, -pitch, x0 - 2 * pitch, 2 * pitch));
        }
        painter.end();
        return QPixmap::fromImage(image);
    });
}

} // namespace

void drawStitch(QPainter &painter, QRectF rect, QColor color, int radius)
{
    if (!drawCachedStitch(painter, rect, color, radius))
        strokeStitch(painter, rect, color, radius);
}

void drawButtonPatch(QPainter &painter, QPointF centre, double radius, QColor color)
{
    const double rim = radius - 3; // the sewn ring just inside the edge
    const double cross = 0.22 * radius;
    const QPointF c = centre;

    // Button face and rim.
    painter.setBrush(color);
    painter.setPen(pen(color.darker(120), 1.25));
    painter.drawEllipse(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(c.x() - rim, c.y() - rim, 2 * rim, 2 * rim));

    // Thread cross.
    painter.setPen(pen(hex("#fff8eb"), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
    painter.drawLine(QLineF(c.x() - cross, c.y() - cross, c.x() + cross, c.y() + cross));
    painter.drawLine(QLineF(c.x() - cross, c.y() + cross, c.x() + cross, c.y() - cross));
}

QColor pageColor(Page page)
{
    static constexpr std::array colors{
        "#dceee1", // Play (home)
        "#f4e2c4", // Install
        "#f6e5bc", // Display (graphics)
        "#e0eaf2", // Controls (button mapping)
        "#f4dfe1", // Saves
        "#e0e7ee", // Diagnostics
        "#e2eee1", // Basic settings
        "#e0eaf2", // Controller guide
    };
    const auto index = static_cast<std::size_t>(page);
    // A value outside the page range gets the plain linen cream rather than a read past the
    // table.
    if (index >= colors.size())
        return hex("#f8f4e9");
    return hex(colors[index]);
}

QPixmap brandButton(bool small)
{
    const int side = small ? 18 : 34; // logical pixels
    const double radius = small ? 7 : 14;
    const QColor color = hex(small ? "#8bb69b" : "#ed9caf"); // green small mark, pink large one

    QPixmap pixmap(2 * side, 2 * side);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawButtonPatch(painter, QPointF(side / 2, side / 2 - 1), radius, color);
    painter.end();
    return pixmap;
}

Linen::Linen() = default;
Linen::~Linen() = default;

void Linen::paintEvent(QPaintEvent *event)
{
    const int pitch = 7; // the same grid as the dialogs' linen tile
    const QColor cloth = hex("#f8f4e9");
    const QColor weave(152, 118, 76, 15); // a brown at alpha 15
    // The tile holds many cells of the weave: Qt blends a tiled fill one tile width at a
    // time, so a tile one cell wide cost a call per 7 pixels of every row.
    const QSize cells(40, 4);
    const QSize tileSize = cells * pitch;

    // One tile of the weave, repeated: every live update of a page widget repaints the linen
    // behind it, and drawing a hundred translucent lines each time made polling costly.
    const qreal ratio = devicePixelRatioF();
    const QPixmap tile = kept::picture(kept::LinenTile{}, ratio, [&] {
        QPixmap pixmap(tileSize * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(cloth);
        QPainter painter(&pixmap);
        painter.setPen(weave);
        for (int x = 0; x < tileSize.width(); x += pitch)
            painter.drawLine(QLine(x, 0, x, tileSize.height()));
        for (int y = 0; y < tileSize.height(); y += pitch)
            painter.drawLine(QLine(0, y, tileSize.width(), y));
        painter.end();
        return pixmap;
    });
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.drawTiledPixmap(
        exposed, tile,
        QPoint(exposed.left() % tileSize.width(), exposed.top() % tileSize.height()));
}

Banner::Banner(Page page, const QString &root, QWidget *parent) : QFrame(parent), page(page)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    if (page == Page::Play)
        setArtPath(QDir(root).filePath("imgs/Tobbles_Grand_Quilt_Concept-Art.png"));
}

Banner::~Banner() = default;

void Banner::setArtPath(const QString &path) const
{
    const QFileInfo file(path);
    artPath = path;
    artBytes = file.size();
    artModified = file.lastModified().toMSecsSinceEpoch();
}

bool Banner::event(QEvent *event)
{
    const bool handled = QFrame::event(event);
    // The page gives the banner a minimum height; what it holds may need more, for example a
    // status line that appears, and is never squeezed.
    if (event->type() == QEvent::LayoutRequest && layout())
        setMinimumHeight(std::max(minimumHeight(), layout()->totalMinimumSize().height()));
    return handled;
}

int Banner::textRight() const
{
    int right = 0;
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isHidden())
            continue;
        int extent = child->width();
        if (auto *label = qobject_cast<QLabel *>(child); label && label->pixmap().isNull()) {
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            const QRect inside = label->contentsRect();
            extent = label->fontMetrics().boundingRect(inside, flags, label->text()).right() + 1;
        }
        right = std::max(right, child->x() + extent);
    }
    return right;
}

Banner::Art Banner::art() const
{
    if (page != Page::Play)
        return {};
    // Concept art in the bottom-right corner; it may reach above the card, where the clip cuts
    // it. It shrinks rather than reach over the banner's texts. A missing or unreadable
    // picture falls back to the mascot without a word; if that fails as well the banner simply
    // has no picture.
    const int w = width();
    const int h = height();
    const int right = 10;     // from the card's right edge
    const int bottom = 4;     // from the widget's bottom edge
    const int clearance = 12; // between the texts and the picture
    const int room = w - right - clearance - textRight();
    const double ratio = devicePixelRatio();
    const QSize box(int(w * 0.59), int(h * 1.065));
    const QString mascot = QStringLiteral(":/quilt/mascot.png");
    // Shrinking takes two scalings and a look through the picture; a repaint of the same banner
    // reuses the answer.
    const kept::PlacedArt key{artPath, artBytes, artModified, box, room};
    const QPixmap picture = kept::picture(key, ratio, [&] {
        QPixmap made = scaledArt(artPath, box, ratio);
        if (made.isNull() && artPath != mascot) {
            setArtPath(mascot); // not tried again on every paint
            made = scaledArt(artPath, box, ratio);
        }
        // Too wide for the room beside the texts: smaller, with only its clear left margin
        // reaching under them.
        if (!made.isNull() && made.deviceIndependentSize().width() > room) {
            const int narrower = int(room / (1 - clearLead(made)));
            if (narrower <= 0)
                return QPixmap();
            made = scaledArt(artPath, QSize(std::min(box.width(), narrower), box.height()), ratio);
        }
        return made;
    });
    if (picture.isNull())
        return {};
    const QSizeF shown = picture.deviceIndependentSize();
    return {picture, QPointF(w - shown.width() - right, h - shown.height() - bottom)};
}

void Banner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const QColor color = pageColor(page);
    const double cardRadius = 23;
    const double shadowDrop = 2;
    const int hatchPitch = 32;
    const QColor hatchColor(70, 110, 85, 15); // a green at alpha 15
    const QPointF badgeCentre(w - 87, h * 0.5);
    const double badgeScale = 68.0 / 48.0; // the 48 px design box becomes a 68 px badge
    const double badgeTilt = 7;            // degrees, clockwise

    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);

    // Card and its shadow; everything after stays inside the card.
    QPainterPath card;
    card.addRoundedRect(QRectF(1, 1, w - 2, h - 4), cardRadius, cardRadius);
    painter.fillPath(card.translated(0, shadowDrop), color.darker(118));
    painter.fillPath(card, color);
    painter.setClipPath(card, Qt::ReplaceClip);

    // Plaid hatch: two families of 45 degree lines, one pitch apart, the falling ones through
    // (-h, 0) and the rising ones through (0, 0). The pattern repeats every pitch both ways, so
    // one tile of it fills the card.
    {
        const double ratio = devicePixelRatio();
        const int falling = ((-h) % hatchPitch + hatchPitch) % hatchPitch;
        QBrush hatch(hatchTile(hatchPitch, falling, pen(hatchColor, 1.5), ratio));
        hatch.setTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
        painter.fillRect(rect(), hatch);
    }

    if (page == Page::Play) {
        const Art picture = art();
        if (!picture.picture.isNull())
            painter.drawPixmap(picture.origin, picture.picture);
    } else {
        // Tilted sewn-on badge with the page glyph, and two buttons beside it, pink above
        // right and yellow below left. The group reaches at most 56 px across and 45 px up or
        // down from the badge's centre; it is kept as a picture since the tilt rules out the
        // stitch cache.
        const QRect group(QPoint(int(badgeCentre.x()) - 60, int(std::floor(badgeCentre.y())) - 48),
                          QSize(120, 96));
        const kept::Badge key{int(page), badgeCentre.y() - std::floor(badgeCentre.y())};
        kept::draw(painter, group, key, [&](QPainter &on) {
            on.save();
            on.translate(badgeCentre);
            on.rotate(badgeTilt);
            on.translate(-34, -34);
            on.scale(badgeScale, badgeScale);
            on.setBrush(hex("#fff9eb"));
            on.setPen(pen(color.darker(120), 1));
            on.drawRoundedRect(QRectF(0, 0, 48, 48), 12, 12);
            drawStitch(on, QRectF(3, 3, 42, 42), color.darker(145), 9);
            glyph(on, page);
            on.restore();

            drawButtonPatch(on, badgeCentre + QPointF(42, -20), 10, hex("#edb3bf"));
            drawButtonPatch(on, badgeCentre + QPointF(-45, 17), 7, hex("#e5c079"));
        });
    }

    // Edge seam, 7 px inside the card.
    drawStitch(painter, QRectF(8, 8, w - 16, h - 18), color.darker(127), 18);
}

LibraryCard::LibraryCard(Page page, QString title, QString description)
    : QPushButton(title), page(page), description(description)
{
    setCursor(Qt::PointingHandCursor);
    setToolTip(description);
    setAccessibleDescription(description);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setMinimumHeight(96);
}

LibraryCard::~LibraryCard() = default;

namespace {

constexpr int cardMinimum = 96;

} // namespace

bool LibraryCard::event(QEvent *event)
{
    const bool handled = QPushButton::event(event);
    holdMinimumHeight(*this, *event, cardMinimum);
    return handled;
}

ShownText LibraryCard::shownTitle() const
{
    const int w = width();
    const int h = height();
    const bool wide = w >= 230; // narrower cards drop the description
    const int textLeft = wide ? 90 : 55;
    const int titleTop = wide ? 18 : 0;
    const int textRight = w - 25; // inclusive, clear of the chevron
    QFont font = this->font();
    font.setPixelSize(wide ? 19 : 15);
    font.setWeight(QFont::Bold);
    const QRect box(QPoint(textLeft, titleTop), QPoint(textRight, h - 1));
    int flags = Qt::AlignLeft | (wide ? Qt::AlignTop : Qt::AlignVCenter);
    // A narrow card has the height for a second line of its title, rather than lose words.
    if (!wide) {
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(text()) > box.width()) {
            const QRect wrapped = metrics.boundingRect(box, flags | Qt::TextWordWrap, text());
            if (wrapped.width() <= box.width() && wrapped.height() <= box.height())
                flags |= Qt::TextWordWrap;
        }
    }
    return {text(), QRectF(box), font, flags, 0};
}

QSize LibraryCard::sizeHint() const
{
    return QSize(260, 96);
}

void LibraryCard::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    const QColor color = pageColor(page);
    const bool wide = w >= 230; // narrower cards drop the description
    const int iconX = wide ? 16 : 9;
    const int iconSize = wide ? 61 : 39;
    const int textLeft = wide ? 90 : 55;
    const int descriptionTop = 51;
    const int textRight = w - 25; // inclusive, clear of the chevron
    const int textWidth = std::max(0, textRight - textLeft + 1);
    const QRectF face(1, 1, w - 2, h - 3);
    const double faceRadius = 15;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Face: warmer while hovered, pink outline with keyboard focus.
    const bool hovered = testAttribute(Qt::WA_UnderMouse);
    const bool focused = hasFocus();
    kept::draw(painter, rect(), kept::LibraryFace{hovered, focused}, [&](QPainter &on) {
        on.setBrush(hex(hovered ? "#fcf4ea" : "#fffdf5"));
        on.setPen(focused ? pen(hex("#b87f94"), 2) : pen(hex("#d9d5c8"), 1));
        on.drawRoundedRect(face, faceRadius, faceRadius);
    });

    // Icon tile.
    painter.drawPixmap(QPointF(iconX, (h - iconSize) / 2),
                       cardIcon(page, color, iconSize, devicePixelRatio()));

    // Title, on two lines or elided when it is too long for one.
    const ShownText title = shownTitle();
    painter.setFont(title.font);
    painter.setPen(hex("#35433a"));
    if (title.flags & Qt::TextWordWrap)
        painter.drawText(title.box, title.flags, title.text);
    else
        painter.drawText(title.box.toRect(), title.flags, elided(painter, title.text, textWidth));

    // Description, wide cards only.
    if (wide) {
        QFont font = title.font;
        font.setPixelSize(13);
        font.setWeight(QFont::Normal);
        painter.setFont(font);
        painter.setPen(hex("#657264"));
        const QRect box(QPoint(textLeft, descriptionTop), QPoint(textRight, h - 1));
        painter.drawText(box, Qt::AlignTop | Qt::AlignLeft,
                         elided(painter, description, textWidth));
    }

    // Chevron.
    const double x = w - 19;
    const double y = h * 0.5;
    painter.setPen(pen(hex("#839383"), 1.7, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
    const QPointF chevron[] = {QPointF(x - 2, y - 4), QPointF(x + 2, y), QPointF(x - 2, y + 4)};
    painter.drawPolyline(chevron, 3);
}

} // namespace Quilt
