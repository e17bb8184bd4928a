#include "fabric.h"

#include <QPainter>

namespace Quilt {

void drawStitch(QPainter &, QRectF, QColor, int) {}
void drawButtonPatch(QPainter &, QPointF, double, QColor) {}
QColor pageColor(Page) { return QColor(); }
QPixmap brandButton(bool small)
{
    QPixmap pixmap(small ? 36 : 68, small ? 36 : 68);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

Linen::Linen() = default;
Linen::~Linen() = default;
void Linen::paintEvent(QPaintEvent *) {}

Banner::Banner(Page page, const QString &, QWidget *parent) : QFrame(parent), page(page) {}
Banner::~Banner() = default;
void Banner::paintEvent(QPaintEvent *) {}

LibraryCard::LibraryCard(Page page, QString title, QString description)
    : QPushButton(title), page(page), description(description)
{
}
LibraryCard::~LibraryCard() = default;
QSize LibraryCard::sizeHint() const { return QSize(260, 96); }
void LibraryCard::paintEvent(QPaintEvent *) {}

} // namespace Quilt
