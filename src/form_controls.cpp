#include "fabric.h"
#include "kept.h"

#include <QCursor>
#include <QEvent>
#include <QIcon>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSpinBox>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>

namespace Quilt {

namespace {

using kept::elided;
using paint::hex;
using paint::pen;

// The stitched field behind a combo box and a spin box; returns the frame rectangle.
QRectF drawField(QPainter &painter, const QWidget &widget)
{
    const QRectF frame(1, 1, widget.width() - 2, widget.height() - 3);
    const double radius = 10;
    const bool disabled = widget.testAttribute(Qt::WA_Disabled);
    const bool focused = widget.hasFocus();

    kept::draw(painter, widget.rect(), kept::Field{disabled, focused}, [&](QPainter &on) {
        on.setBrush(hex(disabled ? "#eeeae0" : "#fffcf1"));
        on.setPen(focused ? pen(hex("#b4778d"), 2) : pen(hex("#cbc2aa"), 1));
        on.drawRoundedRect(frame, radius, radius);
        drawStitch(on, frame.adjusted(4, 4, -4, -4), hex("#d9cfb8"), 7);
    });
    return frame;
}

// Popup rows of FabricCombo: a pink rounded highlight with a dot on the selected row.
class FabricChoice : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    ~FabricChoice() override = default;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QRect r = option.rect;
        const int textLeft = 23;
        const int dotLeft = 13;
        const double dotRadius = 3;

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);

        // Highlight of the row under the pointer or chosen with the keys.
        if (option.state & QStyle::State_Selected) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(hex("#f4dfe4"));
            painter->drawRoundedRect(
                QRectF(r.left() + 3, r.top() + 1, r.width() - 6, r.height() - 2), 7, 7);
            const int cy = (r.top() + r.bottom()) / 2;
            painter->setBrush(hex("#b76c88"));
            painter->drawEllipse(QRectF(r.left() + dotLeft - dotRadius, cy - dotRadius,
                                        2 * dotRadius, 2 * dotRadius));
        }

        // Row text, never elided.
        const QString text = index.model() ? index.data(Qt::DisplayRole).toString() : QString();
        painter->setPen(hex("#3e5145"));
        painter->drawText(QRect(r.left() + textLeft, r.top() + 1, r.width() - 34, r.height() - 2),
                          Qt::AlignVCenter, text);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        return QSize(base.width() + 34, std::max(base.height() + 10, 34));
    }
};

} // namespace

QuiltTabs::QuiltTabs()
{
    setDrawBase(false);
    setExpanding(false);
    setAttribute(Qt::WA_MouseTracking, true);
    setCursor(Qt::PointingHandCursor);
}

QuiltTabs::~QuiltTabs() = default;

QSize QuiltTabs::tabSizeHint(int index) const
{
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    const QFontMetrics metrics(bold);
    return QSize(metrics.horizontalAdvance(tabText(index)) + 58,
                 std::max(metrics.height() + 23, 47));
}

namespace {

// A tab's patch within its tab rectangle, and its label within the patch.
QRectF tabPatch(QRect tab)
{
    return QRectF(tab).adjusted(6, 2, -6, -4);
}
QRectF tabLabelBox(QRectF patch)
{
    const double labelLeft = 33;
    return QRectF(patch.x() + labelLeft, patch.y(), patch.width() - 40, patch.height());
}

} // namespace

ShownText QuiltTabs::shownTab(int index) const
{
    QFont bold = font();
    bold.setWeight(QFont::Bold); // the widest the label gets, as the current tab
    return {tabText(index), tabLabelBox(tabPatch(tabRect(index))), bold, Qt::AlignCenter, 0};
}

void QuiltTabs::paintEvent(QPaintEvent *)
{
    const double w = width();
    const double h = height();
    const double midY = 0.5 * (h - 14) + 7;
    const double notch = 5;  // depth of the V cut into each end of the ribbon
    const double inset = 7;  // ribbon distance from the top and bottom edges
    const double ballX = 18; // ball centre from a patch's left edge

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Ribbon with a notch at each end.
    const QPointF ribbon[] = {
        QPointF(1, inset),         QPointF(w - 1, inset), QPointF(w - 1 - notch, midY),
        QPointF(w - 1, h - inset), QPointF(1, h - inset), QPointF(1 + notch, midY),
    };
    painter.setPen(pen(hex("#c8b998"), 1));
    painter.setBrush(hex("#f0e5ca"));
    painter.drawPolygon(ribbon, 6, Qt::OddEvenFill);

    // Ribbon seams, in Qt's default dash.
    painter.setPen(pen(hex("#bfae8d"), 1, Qt::DashLine, Qt::RoundCap, Qt::BevelJoin));
    painter.drawLine(QLineF(7, 10, w - 7, 10));
    painter.drawLine(QLineF(7, h - 10, w - 7, h - 10));

    const int hovered =
        testAttribute(Qt::WA_UnderMouse) ? tabAt(mapFromGlobal(QCursor::pos())) : -1;

    for (int i = 0; i < count(); ++i) {
        const QRectF patch = tabPatch(tabRect(i));
        const bool current = i == currentIndex();
        const QColor ball = hex(current ? "#b75c7b" : "#89a193");

        // Raised face of the current tab.
        if (current) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(hex("#c5a596"));
            painter.drawRoundedRect(patch.translated(0, 2), 10, 10);
            painter.setBrush(hex(i == hovered ? "#f2c9d2" : "#edbfcb"));
            painter.setPen(hasFocus() ? pen(hex("#82435c"), 2) : pen(hex("#b27a8c"), 1));
            painter.drawRoundedRect(patch, 10, 10);
            drawStitch(painter, patch.adjusted(4, 4, -4, -4), hex("#fff4e7"), 7);
        }

        // Ball of thread on the ribbon's middle line.
        {
            painter.save();
            painter.translate(patch.x() + ballX, midY);
            const QPen thread = pen(ball.darker(126), 1.6, Qt::SolidLine, Qt::RoundCap);

            // Loose end.
            QPainterPath end;
            end.moveTo(4, 6);
            end.cubicTo(8, 12, 11, 4, 14, 7);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(thread);
            painter.drawPath(end);

            // Ball, then the wound strands clipped to it.
            QPainterPath body;
            body.addEllipse(QRectF(-8.5, -8.5, 17, 17));
            painter.setBrush(ball);
            painter.drawPath(body);
            painter.setClipPath(body, Qt::IntersectClip);
            QPainterPath strands;
            for (const double b : {-4.0, 0.0, 4.0}) {
                strands.moveTo(-10, b);
                strands.quadTo(-2, b - 1, b + 3, -9);
                strands.moveTo(b - 5, 9);
                strands.quadTo(b - 4, 4, b + 7, -2);
            }
            painter.setBrush(Qt::NoBrush);
            painter.setPen(pen(ball.lighter(155), 1.25, Qt::SolidLine, Qt::RoundCap));
            painter.drawPath(strands);
            painter.restore();
        }

        // Label, never elided: the size hint leaves room for the bold text.
        QFont font = this->font();
        font.setWeight(current ? QFont::Bold : QFont::Normal);
        painter.setFont(font);
        painter.setPen(hex(current ? "#603646" : i == hovered ? "#324c3e" : "#566357"));
        painter.drawText(tabLabelBox(patch), Qt::AlignCenter, tabText(i));
    }
}

SewnSwitch::SewnSwitch()
{
    setFixedSize(58, 30);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

SewnSwitch::~SewnSwitch() = default;

bool SewnSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void SewnSwitch::paintEvent(QPaintEvent *)
{
    const QRectF track(1, 1, 56, 28);
    const QRectF seam(4, 4, 50, 22);
    const QPointF knobOn(42, 15);
    const QPointF knobOff(16, 15);
    const double knobRadius = 10;
    const double disabledOpacity = 0.55;
    const bool on = isChecked();
    const QColor trackColor = hex(on ? "#bcdac5" : "#e7e5d8");
    const QColor knobColor = hex(on ? "#77ad8a" : "#bcbaaa");

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (testAttribute(Qt::WA_Disabled))
        painter.setOpacity(disabledOpacity);

    // Pill track and its seam.
    painter.setPen(hasFocus() ? pen(hex("#a35e7c"), 2) : pen(trackColor.darker(119), 1));
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, 14, 14);
    drawStitch(painter, seam, trackColor.darker(123), 11);

    // Knob: jumps between the two ends, no animation.
    drawButtonPatch(painter, on ? knobOn : knobOff, knobRadius, knobColor);
}

namespace {

// Painting constants of FabricButton that its measurements share.
constexpr int standardMinimum = 39;
constexpr int primaryMinimum = 64;
constexpr double labelInset = 10;  // label box from the face's sides
constexpr double seamInset = 5;    // stitching from the face's edge
constexpr double playGroup = 27;   // the play mark and its gap widen the centred group by this
constexpr int primaryExtra = 85;   // hint width beyond the primary label
constexpr int standardHeight = 40; // hint height of a standard button on one line
constexpr int faceMargins = 4;     // face top (1) and bottom inset (3) of a standard button
constexpr int wrappedPadding = 14; // room above and below a two-line label, inside the face

} // namespace

void holdMinimumHeight(QWidget &widget, const QEvent &event, int height)
{
    if (event.type() == QEvent::Polish || event.type() == QEvent::StyleChange)
        widget.setMinimumHeight(height);
}

FabricButton::FabricButton(const QString &text, bool primary) : QPushButton(text), primary(primary)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMinimumHeight(primary ? primaryMinimum : standardMinimum);
}

FabricButton::~FabricButton() = default;

bool FabricButton::event(QEvent *event)
{
    const bool handled = QPushButton::event(event);
    holdMinimumHeight(*this, *event, primary ? primaryMinimum : standardMinimum);
    return handled;
}

QFont FabricButton::labelFont() const
{
    QFont font = this->font();
    if (primary) {
        font.setPixelSize(22);
        font.setWeight(QFont::Bold);
    }
    return font;
}

QRectF FabricButton::face() const
{
    // A held-down button lowers its top edge; its bottom edge stays put.
    const double bottomInset = primary ? 5 : 3;
    const double top = isDown() ? 3 : 1;
    return QRectF(1, top, width() - 2, height() - bottomInset - top);
}

QSize FabricButton::sizeHint() const
{
    // The primary label is measured in the font it is painted in, so the button grows with it
    // and keeps its play mark and stitching clear of the text.
    if (primary)
        return QSize(kept::advance(labelFont(), text()) + primaryExtra, 66);
    return QSize(kept::advance(*this, text()) + 36, standardHeight);
}

void FabricButton::setWraps(bool on)
{
    wraps = on && !primary;
    updateGeometry();
}

bool FabricButton::hasHeightForWidth() const
{
    return wraps;
}

int FabricButton::heightForWidth(int width) const
{
    if (!wraps)
        return QPushButton::heightForWidth(width);
    const int room = int(width - 2 - 2 * labelInset);
    // Layouts ask this on every pass, for every binding cell: only a label that does not fit
    // on one line is measured wrapped.
    if (room <= 0 || kept::advance(*this, text()) <= room)
        return standardHeight;
    const int needed = kept::wrappedHeight(*this, text(), room, Qt::AlignCenter | Qt::TextWordWrap);
    return std::max(standardHeight, needed + wrappedPadding + faceMargins);
}

ShownText FabricButton::shownText() const
{
    const QRectF frame = face();
    if (primary) {
        // The play mark and the label stay inside the stitching.
        const double clear = seamInset + 6;
        return {text(), frame.adjusted(clear, 0, -clear, 0), labelFont(), Qt::AlignCenter,
                playGroup};
    }
    const QRectF box = frame.adjusted(labelInset, 0, -labelInset, 0);
    int flags = Qt::AlignCenter;
    if (wraps && kept::advance(*this, text()) > int(box.width()))
        flags |= Qt::TextWordWrap;
    return {text(), box, font(), flags, 0};
}

void FabricButton::paintEvent(QPaintEvent *)
{
    const double radius = primary ? 17 : 10;
    const int seamRadius = primary ? 13 : 6;
    const double lipDepth = primary ? 4 : 2;
    const double playHalfHeight = 8;
    const double playLength = 12;
    const double labelOffset = 25; // label start from the mark's left edge

    const bool enabled = isEnabled();
    const QColor faceColor = hex(!enabled                  ? "#eeeae0"
                                 : isDown() || isChecked() ? (primary ? "#a34d68" : "#e3ebdc")
                                 : underMouse()            ? (primary ? "#b55575" : "#f6e5e6")
                                                           : (primary ? "#bf607f" : "#f5efdf"));
    const QColor border = hex(!enabled ? "#d4d0c4" : primary ? "#a75470" : "#cac2aa");
    const QColor seam = hex(primary ? "#f2c1d0" : "#c5bca7");
    const QColor ink = hex(!enabled ? "#888d80" : primary ? "#fff9ef" : "#3d5143");
    const QPen outline = hasFocus() ? pen(hex("#9b5670"), 2) : pen(border, 1);
    const QRectF frame = face();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Lip, face and seam.
    const kept::ButtonFace key{
        primary,         frame.top(), faceColor.rgba(), border.rgba(), outline.color().rgba(),
        outline.widthF()};
    kept::draw(painter, rect(), key, [&](QPainter &on) {
        on.setPen(Qt::NoPen);
        on.setBrush(border);
        on.drawRoundedRect(frame.translated(0, lipDepth), radius, radius);
        on.setPen(outline);
        on.setBrush(faceColor);
        on.drawRoundedRect(frame, radius, radius);
        drawStitch(on, frame.adjusted(seamInset, seamInset, -seamInset, -seamInset), seam,
                   seamRadius);
    });

    painter.setFont(labelFont());
    QRectF textBox = frame.adjusted(labelInset, 0, -labelInset, 0);

    if (!primary) {
        // Standard label, elided to the face unless it may take a second line.
        painter.setPen(ink);
        if (wraps && kept::advance(*this, text()) > int(textBox.width()))
            painter.drawText(textBox, Qt::AlignCenter | Qt::TextWordWrap, text());
        else
            painter.drawText(textBox, Qt::AlignCenter,
                             elided(painter, text(), int(textBox.width())));
        return;
    }

    // Primary: play mark and label centred together, never elided.
    const int advance = painter.fontMetrics().horizontalAdvance(text());
    const QPointF centre = frame.center();
    const double left = centre.x() - (advance + playGroup) / 2.0;
    const QPointF play[] = {QPointF(left, centre.y() - playHalfHeight),
                            QPointF(left, centre.y() + playHalfHeight),
                            QPointF(left + playLength, centre.y())};
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPolygon(play, 3, Qt::OddEvenFill);
    textBox.setLeft(left + labelOffset);
    painter.setPen(ink);
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, text());
}

namespace {

constexpr int comboMinimum = 39;

// Where FabricCombo draws its current text, within its frame.
QRectF comboTextBox(QRectF frame)
{
    return QRectF(frame.x() + 13, frame.y(), frame.width() - 45, frame.height());
}

} // namespace

FabricCombo::FabricCombo()
{
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(comboMinimum);
    // Not Qt's wheel focus: a wheel turned over the page must not pick the box up.
    setFocusPolicy(Qt::StrongFocus);
}

FabricCombo::~FabricCombo() = default;

bool FabricCombo::event(QEvent *event)
{
    const bool handled = QComboBox::event(event);
    holdMinimumHeight(*this, *event, comboMinimum);
    return handled;
}

ShownText FabricCombo::shownText() const
{
    const QRectF frame(1, 1, width() - 2, height() - 3);
    return {currentText(), comboTextBox(frame), font(), int(Qt::AlignVCenter | Qt::AlignLeft), 0};
}

QAbstractItemView *FabricCombo::list()
{
    if (!dressed) {
        dressed = true;
        auto *choices = new QListView;
        choices->setAttribute(Qt::WA_MouseTracking);
        choices->setStyleSheet("QListView {background:#fffbf1;border:1px solid #cfc6ae;"
                               "padding:3px;outline:0;}");
        setView(choices);
        // After setView: the view takes the combo box's delegate.
        setItemDelegate(new FabricChoice(this));
    }
    return view();
}

void FabricCombo::showPopup()
{
    list();
    QComboBox::showPopup();
}

void FabricCombo::wheelEvent(QWheelEvent *event)
{
    // A player scrolling the page past the box must not change the setting under the pointer;
    // an ignored wheel goes on to the scroll area.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

QSize FabricCombo::sizeHint() const
{
    QSize hint = QComboBox::sizeHint();
    hint.rwidth() += 12;
    hint.setHeight(std::max(hint.height(), 40));
    return hint;
}

void FabricCombo::paintEvent(QPaintEvent *)
{
    const int arrowSize = 20;
    const int arrowRight = 8; // gap between the arrow box and the widget's right edge
    const QRect arrowBox(width() - arrowSize - arrowRight, (height() - arrowSize) / 2, arrowSize,
                         arrowSize);
    const QIcon arrow = kept::icon(QStringLiteral(":/quilt/dropdown-patch.png"));

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = drawField(painter, *this);

    // Sewn-patch arrow.
    arrow.paint(&painter, arrowBox, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled,
                QIcon::Off);

    // Current text keeps its colour even when disabled; the field shows the state.
    const QRectF textBox = comboTextBox(frame);
    painter.setPen(hex("#405347"));
    painter.drawText(textBox, Qt::AlignVCenter,
                     elided(painter, currentText(), int(textBox.width())));
}

FabricSpinBox::FabricSpinBox()
{
    setObjectName("fabricNumber");
    setAlignment(Qt::AlignCenter);
    setButtonSymbols(QAbstractSpinBox::PlusMinus);
    setMinimumWidth(136);
    // Repaint as the pointer moves from one step button to the other.
    setAttribute(Qt::WA_Hover, true);
    // Not Qt's wheel focus: a wheel turned over the page must not pick the box up.
    setFocusPolicy(Qt::StrongFocus);
}

FabricSpinBox::~FabricSpinBox() = default;

void FabricSpinBox::wheelEvent(QWheelEvent *event)
{
    // As for the combo box: without the focus the wheel scrolls the page.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QDoubleSpinBox::wheelEvent(event);
}

void FabricSpinBox::paintEvent(QPaintEvent *)
{
    const double outerRadius = 10.5;
    const double rimRadius = 8;
    const double signHalf = 3.5;

    struct Step
    {
        QStyle::SubControl control;
        QAbstractSpinBox::StepEnabledFlag flag;
        const char *base;
        const char *sign;
        bool plus;
    };
    const Step steps[] = {
        {QStyle::SC_SpinBoxDown, QAbstractSpinBox::StepDownEnabled, "#f1d6de", "#81485d", false},
        {QStyle::SC_SpinBoxUp, QAbstractSpinBox::StepUpEnabled, "#d4e7d7", "#41674c", true},
    };
    const QColor idle = hex("#e6e4d9");     // fill of a button that cannot step
    const QColor idleSign = hex("#a4a397"); // its sign

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawField(painter, *this);

    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QPoint pointer = mapFromGlobal(QCursor::pos());

    for (const Step &step : steps) {
        const QRect r = style()->subControlRect(QStyle::CC_SpinBox, &option, step.control, this);
        const QColor base = hex(step.base);
        const bool live = isEnabled() && (option.stepEnabled & step.flag);
        const bool pressed =
            (option.activeSubControls & step.control) && (option.state & QStyle::State_Sunken);
        const QColor fill = !live                                 ? idle
                            : pressed                             ? base.darker(112)
                            : underMouse() && r.contains(pointer) ? base.darker(105)
                                                                  : base;
        const QPointF c(r.x() + r.width() / 2.0, r.y() + r.height() / 2.0);

        // Round button with a sewn rim.
        painter.setPen(pen(fill.darker(120), 1));
        painter.setBrush(fill);
        painter.drawEllipse(c, outerRadius, outerRadius);
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(c, rimRadius, rimRadius);

        // Minus or plus sign.
        painter.setPen(pen(live ? hex(step.sign) : idleSign, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QLineF(c.x() - signHalf, c.y(), c.x() + signHalf, c.y()));
        if (step.plus)
            painter.drawLine(QLineF(c.x(), c.y() - signHalf, c.x(), c.y() + signHalf));
    }
}

} // namespace Quilt
