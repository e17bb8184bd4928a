// The linen background is drawn from a cached cell of its weave; whole or in part it must
// look exactly like the weave drawn line by line.
#include "fabric.h"
#include "support.h"

#include <QImage>
#include <QPainter>
#include <QTest>

class TestLinen : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void matchesTheWeaveDrawnLineByLine();
};

namespace {

// The weave as drawn line by line over the whole widget.
QImage reference(QSize size)
{
    const int pitch = 7;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor::fromString("#f8f4e9"));
    QPainter painter(&image);
    painter.setPen(QColor(152, 118, 76, 15));
    for (int x = 0; x <= size.width() - 1; x += pitch)
        painter.drawLine(QLine(x, 0, x, size.height()));
    for (int y = 0; y <= size.height() - 1; y += pitch)
        painter.drawLine(QLine(0, y, size.width(), y));
    return image;
}

} // namespace

void TestLinen::matchesTheWeaveDrawnLineByLine()
{
    Quilt::Linen linen;
    linen.resize(301, 203);
    const QImage expected = reference(linen.size());

    QImage whole(linen.size(), QImage::Format_ARGB32_Premultiplied);
    whole.fill(Qt::black);
    linen.render(&whole);
    QCOMPARE(whole, expected);

    // A repaint of a part that starts off the grid, as a live update behind a page widget does
    const QRect part(52, 45, 101, 64);
    QImage partial(linen.size(), QImage::Format_ARGB32_Premultiplied);
    partial.fill(Qt::black);
    linen.render(&partial, part.topLeft(), QRegion(part));
    QCOMPARE(partial.copy(part), expected.copy(part));
}

QTEST_MAIN(TestLinen)
#include "tst_linen.moc"
