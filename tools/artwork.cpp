// Paints the launcher's embedded pictures and writes them into the resources directory, with the
// application icon for the desktop in icons/hicolor. Remake them with:
//   cmake --build build --target quilt-artwork && build/tools/quilt-artwork resources
// The stylesheets and the font are not made here.
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

// The launcher's fabric palette.
const QColor cream = QColor::fromString("#fff9eb");  // thread crosses, highlights
const QColor mint = QColor::fromString("#dceee1");   // mascot body, drop-down patch
const QColor pink = QColor::fromString("#ed9caf");   // brand button, ears
const QColor sage = QColor::fromString("#8bb69b");   // feet, small buttons
const QColor gold = QColor::fromString("#f6e5bc");   // belly patch
const QColor berry = QColor::fromString("#b75c7b");  // thread
const QColor ink = QColor::fromString("#46524b");    // eyes, chevron, exclamation mark
const QColor amber = QColor::fromString("#efc56b");  // warning patch
const QColor steel = QColor::fromString("#d3dad5");  // needle
const QColor shadow = QColor::fromString("#46524b"); // drop shadows, at low alpha

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

QImage canvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A dashed running stitch along a path; stitch and gap lengths are in pixels.
void runningStitch(QPainter &painter, const QPainterPath &path, const QColor &colour, qreal width,
                   qreal stitch, qreal gap)
{
    QPen pen(colour, width, Qt::CustomDashLine, Qt::RoundCap, Qt::RoundJoin);
    // Dash lengths are counted in pen widths, and round caps add one width to every stitch.
    pen.setDashPattern({std::max(0.01, (stitch - width) / width), (gap + width) / width});
    painter.strokePath(path, pen);
}

QPainterPath circle(QPointF centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A round button sewn on with a thread cross through four holes; small buttons lose the rim.
void sewnButton(QPainter &painter, QPointF centre, qreal radius, const QColor &colour,
                const QColor &thread = cream)
{
    const qreal outline = std::max(1.0, radius * 0.07);
    const qreal rimRadius = radius * 0.74;
    // Below about 12 px the holes vanish, so the cross grows to stay legible.
    const bool tiny = radius < 12;
    const qreal holeOffset = radius * (tiny ? 0.34 : 0.26);
    const qreal holeRadius = std::max(0.8, radius * 0.1);
    const qreal threadWidth = tiny ? std::max(1.6, radius * 0.2) : radius * 0.13;
    const QColor edge = colour.darker(135); // outer edge of the button
    const QColor rim = colour.darker(112);  // the raised rim
    const QColor hole = colour.darker(170); // holes behind the thread

    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(shadow, 60));
    painter.drawEllipse(centre + QPointF(0, radius * 0.1), radius, radius);
    painter.setBrush(colour);
    painter.setPen(QPen(edge, outline));
    painter.drawEllipse(centre, radius - outline / 2, radius - outline / 2);
    if (radius >= 9) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(rim, radius * 0.09));
        painter.drawEllipse(centre, rimRadius, rimRadius);
        // A soft highlight on the upper left of the rim.
        painter.setPen(QPen(withAlpha(cream, 120), radius * 0.07, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(centre - QPointF(rimRadius, rimRadius) * 1.12,
                               QSizeF(rimRadius, rimRadius) * 2.24),
                        100 * 16, 70 * 16);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(hole);
    if (!tiny)
        for (const QPointF corner :
             {QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1)})
            painter.drawEllipse(centre + corner * holeOffset, holeRadius, holeRadius);
    painter.setPen(QPen(thread, threadWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + QPointF(-holeOffset, -holeOffset),
                     centre + QPointF(holeOffset, holeOffset));
    painter.drawLine(centre + QPointF(holeOffset, -holeOffset),
                     centre + QPointF(-holeOffset, holeOffset));
    painter.restore();
}

// A triangle with its corners rounded off by quadratic curves of the given reach.
QPainterPath roundedTriangle(const QList<QPointF> &corners, qreal reach)
{
    QPainterPath path;
    for (qsizetype i = 0; i < 3; ++i) {
        const QPointF previous = corners[(i + 2) % 3];
        const QPointF corner = corners[i];
        const QPointF next = corners[(i + 1) % 3];
        const QPointF in =
            corner + (previous - corner) * (reach / QLineF(corner, previous).length());
        const QPointF out = corner + (next - corner) * (reach / QLineF(corner, next).length());
        if (i == 0)
            path.moveTo(in);
        else
            path.lineTo(in);
        path.quadTo(corner, out);
    }
    path.closeSubpath();
    return path;
}

// The triangle moved in by the same distance on every side (scaled about its incentre).
QList<QPointF> insetTriangle(const QList<QPointF> &corners, qreal distance)
{
    const qreal a = QLineF(corners[1], corners[2]).length();
    const qreal b = QLineF(corners[2], corners[0]).length();
    const qreal c = QLineF(corners[0], corners[1]).length();
    const QPointF incentre = (corners[0] * a + corners[1] * b + corners[2] * c) / (a + b + c);
    const qreal s = (a + b + c) / 2;
    const qreal inradius = std::sqrt((s - a) * (s - b) * (s - c) / s);
    const qreal scale = (inradius - distance) / inradius;
    QList<QPointF> inset;
    for (const QPointF corner : corners)
        inset.append(incentre + (corner - incentre) * scale);
    return inset;
}

// Launcher icon: the pink brand button, painted afresh for every size so small ones stay crisp.
QImage launcherMark(int size)
{
    const qreal radius = size * 0.47;
    const QPointF centre(size / 2.0, size / 2.0 - size * 0.02);

    QImage image = canvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    sewnButton(painter, centre, radius, pink); // "#ed9caf" face, cream thread cross
    if (size >= 48)
        runningStitch(painter, circle(centre, radius * 0.87), pink.darker(125), size / 64.0,
                      size / 22.0, size / 30.0);
    return image;
}

// Warning icon of the message boxes: a golden triangle patch with an exclamation mark.
QImage warningPatch()
{
    const int size = 144;
    const QList<QPointF> corners = {{72, 12}, {136, 126}, {8, 126}};
    const qreal cornerReach = 20;
    const qreal stitchInset = 9;
    const QRectF bar(64, 46, 16, 48); // the exclamation mark's stroke
    const QPointF dot(72, 109);
    const qreal dotRadius = 9.5;
    const QColor rim = amber.darker(128);    // "#efc56b" patch edge
    const QColor seam = amber.darker(165);   // stitched seam
    const QColor plaid = withAlpha(ink, 20); // faint weave

    QImage image = canvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath patch = roundedTriangle(corners, cornerReach);

    // Shadow, face and edge
    painter.fillPath(patch.translated(0, 4), withAlpha(shadow, 55));
    painter.fillPath(patch, amber);
    painter.save();
    painter.setClipPath(patch);
    painter.setPen(QPen(plaid, 2));
    for (int x = -size; x < 2 * size; x += 12) {
        painter.drawLine(QPointF(x, 0), QPointF(x + size, size));
        painter.drawLine(QPointF(x, size), QPointF(x + size, 0));
    }
    painter.restore();
    painter.strokePath(patch, QPen(rim, 3));

    // Seam
    runningStitch(painter, roundedTriangle(insetTriangle(corners, stitchInset), cornerReach * 0.6),
                  seam, 2.6, 8, 5);

    // Exclamation mark
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(bar, bar.width() / 2, bar.width() / 2);
    painter.drawEllipse(dot, dotRadius, dotRadius);
    painter.setBrush(withAlpha(cream, 110));
    painter.drawEllipse(QRectF(bar.left() + 4, bar.top() + 5, 4, 14));
    return image;
}

// Drop-down arrow of combo boxes: a small round sewn patch with a chevron.
QImage dropdownPatch()
{
    const int size = 80;
    const QPointF centre(40, 38.5);
    const qreal radius = 36;
    const qreal seamRadius = 29;
    const QList<QPointF> chevron = {{26, 32}, {40, 46}, {54, 32}};
    const QColor rim = mint.darker(132);  // "#dceee1" patch edge
    const QColor seam = mint.darker(165); // stitched seam

    QImage image = canvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Shadow, face and edge
    painter.fillPath(circle(centre + QPointF(0, 2.5), radius), withAlpha(shadow, 55));
    painter.fillPath(circle(centre, radius), mint);
    painter.strokePath(circle(centre, radius - 1.25), QPen(rim, 2.5));
    runningStitch(painter, circle(centre, seamRadius), seam, 2.4, 6.5, 4.5);

    // Chevron
    painter.setPen(QPen(ink, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(chevron.data(), chevron.size());
    return image;
}

// The home banner's mascot: a plump quilted cushion with button eyes, holding a needle.
QImage mascot()
{
    const int size = 512;
    const QRectF body(78, 118, 356, 344);
    const qreal bodyRadius = 128;
    const qreal seamInset = 15;
    const QPointF leftEar(132, 140), rightEar(380, 140);
    const qreal earRadius = 48;
    const QPointF leftFoot(180, 462), rightFoot(332, 462);
    const QSizeF footRadii(50, 26);
    const QPointF leftArm(84, 350), rightArm(428, 318);
    const QSizeF armRadii(40, 30);
    const QRectF belly(-104, -62, 208, 124); // around its own centre, then tilted
    const QPointF bellyCentre(256, 370);
    const qreal bellyTilt = -4;
    const QPointF leftEye(196, 240), rightEye(316, 240);
    const QSizeF eyeRadii(19, 24);
    const QPointF tuft(256, 136);
    const QPointF leftCheek(150, 296), rightCheek(362, 296);
    const QSizeF cheekRadii(27, 15);
    const QPointF needleTip(392, 420), needleEye(480, 150);
    const qreal needleWidth = 11;

    const QColor cloth = gold;                       // "#f6e5bc" body and arms
    const QColor patchCloth = mint;                  // "#dceee1" belly patch
    const QColor bodyEdge = cloth.darker(132);       // body outline
    const QColor bodySeam = cloth.darker(158);       // stitched body seam
    const QColor plaid = withAlpha(sage, 46);        // "#8bb69b" woven hatch
    const QColor earInner = pink.lighter(112);       // "#ed9caf" ear lining
    const QColor bellyEdge = patchCloth.darker(130); // patch outline
    const QColor bellySeam = patchCloth.darker(160); // stitched patch seam
    const QColor cheek = withAlpha(pink, 150);       // rosy cheeks
    const QColor needleEdge = steel.darker(170);     // "#d3dad5" needle outline

    QImage image = canvas(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Ground shadow
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(shadow, 42));
    painter.drawEllipse(QPointF(256, 482), 190, 20);

    // Thread, trailing from the needle's eye down to a loose curl
    QPainterPath thread(needleEye + QPointF(-2, 6));
    thread.cubicTo(QPointF(520, 230), QPointF(470, 290), QPointF(486, 360));
    thread.cubicTo(QPointF(500, 420), QPointF(470, 470), QPointF(440, 452));
    thread.cubicTo(QPointF(418, 440), QPointF(440, 414), QPointF(458, 432));
    painter.strokePath(thread, QPen(berry, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    // Ears, feet and the lowered arm, behind the body
    for (const QPointF ear : {leftEar, rightEar}) {
        painter.setBrush(pink);
        painter.setPen(QPen(pink.darker(130), 3));
        painter.drawEllipse(ear, earRadius, earRadius);
        painter.setBrush(earInner);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(ear, earRadius * 0.55, earRadius * 0.55);
        runningStitch(painter, circle(ear, earRadius * 0.78), pink.darker(150), 2.6, 8, 5);
    }
    for (const QPointF foot : {leftFoot, rightFoot}) {
        QPainterPath shape;
        shape.addEllipse(foot, footRadii.width(), footRadii.height());
        painter.fillPath(shape, sage);
        painter.strokePath(shape, QPen(sage.darker(135), 3));
        QPainterPath seam;
        seam.addEllipse(foot, footRadii.width() - 9, footRadii.height() - 8);
        runningStitch(painter, seam, sage.darker(165), 2.4, 7, 5);
    }
    {
        painter.save();
        painter.translate(leftArm);
        painter.rotate(28);
        QPainterPath arm;
        arm.addEllipse(QPointF(0, 0), armRadii.width(), armRadii.height());
        painter.fillPath(arm, cloth);
        painter.strokePath(arm, QPen(bodyEdge, 3));
        painter.restore();
    }

    // Body: a plump cushion with a woven hatch and a seam all round
    QPainterPath cushion;
    cushion.addRoundedRect(body, bodyRadius, bodyRadius);
    painter.fillPath(cushion, cloth);
    painter.save();
    painter.setClipPath(cushion);
    painter.setPen(QPen(plaid, 3));
    for (int x = -size; x < 2 * size; x += 30) {
        painter.drawLine(QPointF(x, 0), QPointF(x + size, size));
        painter.drawLine(QPointF(x, size), QPointF(x + size, 0));
    }
    // A soft sheen across the top and a shade along the bottom give it some plumpness.
    QRadialGradient sheen(QPointF(236, 200), 260);
    sheen.setColorAt(0, withAlpha(cream, 120));
    sheen.setColorAt(0.55, withAlpha(cream, 0));
    sheen.setColorAt(1, withAlpha(shadow, 40));
    painter.fillPath(cushion, sheen);
    painter.restore();
    painter.strokePath(cushion, QPen(bodyEdge, 3.5));
    QPainterPath bodySeamPath;
    bodySeamPath.addRoundedRect(body.adjusted(seamInset, seamInset, -seamInset, -seamInset),
                                bodyRadius - seamInset, bodyRadius - seamInset);
    runningStitch(painter, bodySeamPath, bodySeam, 3, 10, 7);

    // A tufting button at the top of the cushion
    sewnButton(painter, tuft, 16, sage);

    // Belly patch, sewn on slightly askew, with a pink button at its corner
    {
        painter.save();
        painter.translate(bellyCentre);
        painter.rotate(bellyTilt);
        QPainterPath patch;
        patch.addRoundedRect(belly, 26, 26);
        painter.fillPath(patch.translated(0, 3), withAlpha(shadow, 35));
        painter.fillPath(patch, patchCloth);
        painter.strokePath(patch, QPen(bellyEdge, 3));
        QPainterPath seam;
        seam.addRoundedRect(belly.adjusted(10, 10, -10, -10), 17, 17);
        runningStitch(painter, seam, bellySeam, 2.8, 9, 6);
        // A little stitched heart in the middle of the patch.
        QPainterPath heart(QPointF(0, 26));
        heart.cubicTo(QPointF(-40, -2), QPointF(-22, -34), QPointF(0, -14));
        heart.cubicTo(QPointF(22, -34), QPointF(40, -2), QPointF(0, 26));
        painter.fillPath(heart, withAlpha(pink, 200));
        runningStitch(painter, heart, berry, 2.4, 6, 4);
        painter.restore();
        sewnButton(painter, bellyCentre + QPointF(98, 54), 19, pink);
    }

    // Face: shiny eyes, rosy cheeks and an embroidered smile
    painter.setPen(Qt::NoPen);
    for (const QPointF eye : {leftEye, rightEye}) {
        painter.setBrush(ink);
        painter.drawEllipse(eye, eyeRadii.width(), eyeRadii.height());
        painter.setBrush(cream);
        painter.drawEllipse(eye + QPointF(-6, -9), 7, 8);
        painter.drawEllipse(eye + QPointF(7, 8), 3.5, 3.5);
    }
    painter.setBrush(cheek);
    painter.drawEllipse(leftCheek, cheekRadii.width(), cheekRadii.height());
    painter.drawEllipse(rightCheek, cheekRadii.width(), cheekRadii.height());
    QPainterPath smile(QPointF(226, 290));
    smile.cubicTo(QPointF(238, 314), QPointF(274, 314), QPointF(286, 290));
    painter.strokePath(smile, QPen(ink, 6, Qt::SolidLine, Qt::RoundCap));

    // Needle, held up in the raised arm
    {
        const QLineF axis(needleTip, needleEye);
        painter.save();
        painter.translate(needleTip);
        painter.rotate(-axis.angle());
        const qreal length = axis.length();
        QPainterPath needle(QPointF(0, 0));
        needle.cubicTo(QPointF(length * 0.3, -needleWidth / 2),
                       QPointF(length * 0.9, -needleWidth / 2), QPointF(length, -needleWidth / 2));
        needle.arcTo(QRectF(length - needleWidth / 2, -needleWidth / 2, needleWidth, needleWidth),
                     90, -180);
        needle.cubicTo(QPointF(length * 0.9, needleWidth / 2),
                       QPointF(length * 0.3, needleWidth / 2), QPointF(0, 0));
        painter.fillPath(needle, steel);
        painter.strokePath(needle,
                           QPen(needleEdge, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setPen(QPen(withAlpha(Qt::white, 200), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(length * 0.3, -needleWidth / 4),
                         QPointF(length * 0.85, -needleWidth / 4));
        // The eye, a slot near the blunt end.
        painter.setPen(QPen(needleEdge, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(length - 26, -2.5, 18, 5), 2.5, 2.5);
        painter.restore();
    }
    {
        painter.save();
        painter.translate(rightArm);
        painter.rotate(-36);
        QPainterPath arm;
        arm.addEllipse(QPointF(0, 0), armRadii.width(), armRadii.height());
        painter.fillPath(arm, cloth);
        painter.strokePath(arm, QPen(bodyEdge, 3));
        painter.restore();
    }
    return image;
}

void appendBe32(QByteArray &bytes, quint32 value)
{
    const quint32 be = qToBigEndian(value);
    bytes.append(reinterpret_cast<const char *>(&be), sizeof be);
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    const QByteArray body = QByteArray(type, 4) + data;
    appendBe32(png, quint32(data.size()));
    png.append(body);
    appendBe32(png, crc32(body));
}

// RGBA PNG whose rows all use the "none" filter, deflated at the highest level. Qt's writer
// lets libpng pick a filter per row, and undoing them (Paeth above all) made up a third of
// decoding the banner's mascot at start-up; these pictures come out smaller unfiltered anyway.
QByteArray pngBytes(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGBA8888);
    const qsizetype rowBytes = qsizetype(image.width()) * 4;
    QByteArray rows;
    rows.reserve((rowBytes + 1) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        rows.append(char(0)); // filter: none
        rows.append(reinterpret_cast<const char *>(image.constScanLine(y)), rowBytes);
    }

    QByteArray header;
    appendBe32(header, quint32(image.width()));
    appendBe32(header, quint32(image.height()));
    header.append(char(8));    // bits per channel
    header.append(char(6));    // colour type: RGBA
    header.append(3, char(0)); // deflate, adaptive filtering, no interlace

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", qCompress(rows, 9).mid(4)); // less qCompress's length prefix
    appendChunk(png, "IEND", {});
    return png;
}

void appendLe16(QByteArray &bytes, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char *>(&le), sizeof le);
}

void appendLe32(QByteArray &bytes, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char *>(&le), sizeof le);
}

// An icon image as a 32-bit device-independent bitmap: header, bottom-up BGRA rows, then the
// one-bit AND mask (set where fully transparent), each mask row padded to four bytes.
QByteArray bmpEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int maskStride = ((width + 31) / 32) * 4;

    QByteArray bytes;
    appendLe32(bytes, 40);         // header size
    appendLe32(bytes, width);      // width
    appendLe32(bytes, height * 2); // colour rows and mask rows together
    appendLe16(bytes, 1);          // planes
    appendLe16(bytes, 32);         // bits per pixel
    appendLe32(bytes, 0);          // uncompressed
    appendLe32(bytes, width * height * 4 + maskStride * height);
    for (int i = 0; i < 4; ++i)
        appendLe32(bytes, 0); // resolution and palette: unused
    for (int y = height - 1; y >= 0; --y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            appendLe32(bytes, row[x]); // ARGB32 little-endian is B, G, R, A in memory
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray mask(maskStride, '\0');
        for (int x = 0; x < width; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
        bytes.append(mask);
    }
    return bytes;
}

// An ICO container: the directory, one entry per image, then the payloads in order. Large
// images travel as PNG, which every current reader accepts and which keeps the file small.
QByteArray icoFile(const QList<QImage> &images)
{
    QList<QByteArray> payloads;
    for (const QImage &image : images)
        payloads.append(image.width() >= 256 ? pngBytes(image) : bmpEntry(image));

    QByteArray bytes;
    appendLe16(bytes, 0); // reserved
    appendLe16(bytes, 1); // type: icon
    appendLe16(bytes, quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QImage &image = images[i];
        bytes.append(char(image.width() >= 256 ? 0 : image.width())); // 0 stands for 256
        bytes.append(char(image.height() >= 256 ? 0 : image.height()));
        bytes.append(char(0)); // no palette
        bytes.append(char(0)); // reserved
        appendLe16(bytes, 1);  // planes
        appendLe16(bytes, 32); // bits per pixel
        appendLe32(bytes, quint32(payloads[i].size()));
        appendLe32(bytes, offset);
        offset += quint32(payloads[i].size());
    }
    for (const QByteArray &payload : payloads)
        bytes.append(payload);
    return bytes;
}

// The 7 x 7 linen tile behind dialogs: a crossing, grid lines along the top and left, cloth.
QByteArray linenXpm()
{
    QByteArray text = "/* XPM */\nstatic const char *const linen[] = {\n"
                      "\"7 7 3 1\",\n"
                      "\". c #f8f4e9\",\n"  // cloth
                      "\"+ c #f2ede0\",\n"  // grid line
                      "\"# c #ede6d8\",\n"; // crossing
    for (int y = 0; y < 7; ++y) {
        QByteArray row;
        for (int x = 0; x < 7; ++x)
            row += x == 0 && y == 0 ? '#' : (x == 0 || y == 0 ? '+' : '.');
        text += '"' + row + '"' + (y < 6 ? ",\n" : "\n");
    }
    return text + "};\n";
}

bool writeFile(const QDir &directory, const QString &name, const QByteArray &bytes)
{
    QFile file(directory.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "quilt-artwork: cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    std::printf("%s: %lld bytes\n", qPrintable(file.fileName()),
                static_cast<long long>(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quilt-artwork RESOURCE-DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!directory.exists()) {
        std::fprintf(stderr, "quilt-artwork: no directory %s\n", argv[1]);
        return 2;
    }

    QList<QImage> icons;
    for (const int size : {16, 20, 24, 32, 40, 48, 64, 128, 256})
        icons.append(launcherMark(size));

    // The desktop's application icon: the window icon's drawing at the freedesktop sizes.
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        if (!directory.mkpath(folder) ||
            !writeFile(QDir(directory.filePath(folder)), QStringLiteral("tobble-quilt.png"),
                       pngBytes(launcherMark(size))))
            return 1;
    }

    const bool written = writeFile(directory, "launcher.ico", icoFile(icons)) &&
                         writeFile(directory, "mascot.png", pngBytes(mascot())) &&
                         writeFile(directory, "warning-patch.png", pngBytes(warningPatch())) &&
                         writeFile(directory, "dropdown-patch.png", pngBytes(dropdownPatch())) &&
                         writeFile(directory, "linen.xpm", linenXpm());
    return written ? 0 : 1;
}
