#include "window.h"

#include "translations.h"

#include <QCache>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace Quilt {

namespace {

// Tool tip and accessible description from a help key; nothing without one. The tool tip is
// rich text only so that Qt wraps it at a readable width: plain tool tips run as one line, over
// a thousand pixels for some of the Spanish help.
QString wrappedTip(const QString &text)
{
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void help(QWidget *widget, const char *helpKey)
{
    if (!helpKey)
        return;
    widget->setToolTip(wrappedTip(T(helpKey)));
    widget->setAccessibleDescription(T(helpKey));
}

// Shows a widget's own tool tip under it now, as the pointer would after a while.
void showToolTip(QWidget *widget)
{
    QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), widget->toolTip(), widget);
}

// The "?" button: its help shows on hover and, for touch and keyboard users, on click.
QPushButton *helpButton(const char *helpKey)
{
    auto *button = new QPushButton(QStringLiteral("?"));
    button->setObjectName(QStringLiteral("help"));
    button->setFixedSize(23, 23);
    help(button, helpKey);
    button->setAccessibleName(T("Help"));
    QObject::connect(button, &QPushButton::clicked, button, [button] { showToolTip(button); });
    return button;
}

// A configured choice: whole numbers within int only, anything else reads as 0.
int configuredInt(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < double(INT_MIN) ||
        number > double(INT_MAX))
        return 0;
    return int(number);
}

// A label that shares its measurements with every label of the same text and settings.
// Layouts ask a wrapped label for its size hints and for its height at several widths, and
// QLabel shapes the text anew for each answer; a rebuilt page asks all of it again for the
// same texts. The answers depend only on what `Measured` holds, which is compared on every
// call, since Qt gives no notice when a label's text or font changes.
class WrappedLabel : public QLabel
{
public:
    explicit WrappedLabel(const QString &text, bool keepsLines = false)
        : QLabel(text), keepsLines(keepsLines)
    {
    }

    int heightForWidth(int width) const override
    {
        Measures *known = measures();
        if (!known)
            return QLabel::heightForWidth(width);
        for (const auto &[cachedWidth, height] : known->heights) {
            if (cachedWidth == width)
                return height;
        }
        const int height = QLabel::heightForWidth(width);
        std::rotate(known->heights.rbegin(), known->heights.rbegin() + 1, known->heights.rend());
        known->heights.front() = {width, height};
        return height;
    }

    QSize sizeHint() const override
    {
        Measures *known = measures();
        if (!known)
            return QLabel::sizeHint();
        if (!known->hint.isValid())
            known->hint = QLabel::sizeHint();
        return known->hint;
    }

    QSize minimumSizeHint() const override
    {
        Measures *known = measures();
        if (!known)
            return QLabel::minimumSizeHint();
        if (!known->minimum.isValid())
            known->minimum = QLabel::minimumSizeHint();
        return known->minimum;
    }

protected:
    // Qt keeps no glyphs of 64 px and more and fills each glyph's outline on every paint; a
    // plain-text label in such a font is painted once into a kept picture, the way QLabel
    // paints it, and blitted after that.
    void paintEvent(QPaintEvent *event) override
    {
        if (keepsLines && paintKeptLine())
            return;
        const int largestKeptGlyphs = 63;
        if (QFontInfo(font()).pixelSize() <= largestKeptGlyphs || !stylePaintsText() ||
            focusPolicy() != Qt::NoFocus) {
            QLabel::paintEvent(event);
            return;
        }
        const QMargins m = contentsMargins();
        const QString key = QStringList{QStringLiteral("quilt-large-label"),
                                        text(),
                                        font().key(),
                                        QString::number(palette().color(foregroundRole()).rgba()),
                                        QString::number(isEnabled()),
                                        QString::number(int(alignment())),
                                        QString::number(wordWrap()),
                                        QString::number(margin()),
                                        QString::number(indent()),
                                        QStringLiteral("%1,%2,%3,%4")
                                            .arg(m.left())
                                            .arg(m.top())
                                            .arg(m.right())
                                            .arg(m.bottom())}
                                .join(QLatin1Char(':'));
        QPainter painter(this);
        paint::drawKept(painter, rect(), key, [this](QPainter &on) {
            drawFrame(&on);
            paintPlainText(on);
        });
    }

    // Whether QLabel paints this label's text through its style rather than a text control.
    bool stylePaintsText() const
    {
        return textFormat() == Qt::PlainText && pixmap().isNull() && !movie() &&
               !(textInteractionFlags() &
                 (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard));
    }

    // What QLabel paints for plain text without a text control: the contents, less the margin
    // and indent, through the style in the foreground colour.
    void paintPlainText(QPainter &painter) const
    {
        const QString shown = text();
        const Qt::LayoutDirection direction =
            shown.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
        const Qt::Alignment align = QStyle::visualAlignment(direction, alignment());
        QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        if (const int m = indent(); m > 0) {
            if (align & Qt::AlignLeft)
                box.setLeft(box.left() + m);
            if (align & Qt::AlignRight)
                box.setRight(box.right() - m);
            if (align & Qt::AlignTop)
                box.setTop(box.top() + m);
            if (align & Qt::AlignBottom)
                box.setBottom(box.bottom() - m);
        }
        const int flags =
            int(align) | (wordWrap() ? Qt::TextWordWrap : 0) |
            (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
        QStyleOption option;
        option.initFrom(this);
        style()->drawItemText(&painter, box, flags, option.palette, isEnabled(), shown,
                              foregroundRole());
    }

private:
    // Shaping is most of what a line of text costs to draw. A live label draws a plain line
    // that fits from its kept layout, where QLabel would, and leaves everything else to QLabel.
    bool paintKeptLine()
    {
        const QString shown = text();
        const Qt::Alignment align = alignment();
        const bool simple = !shown.isEmpty() && stylePaintsText() && isEnabled() && !buddy() &&
                            margin() == 0 && indent() <= 0 && frameWidth() == 0 &&
                            (align & Qt::AlignHorizontal_Mask) == Qt::AlignLeft &&
                            !shown.isRightToLeft() &&
                            std::none_of(shown.begin(), shown.end(), [](QChar c) {
                                return c == u'\n' || c == u'\r' || c == u'\t' ||
                                       c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
                            });
        if (!simple)
            return false;

        const QTextLayout *layout = paint::keptLine(*this, shown);
        if (!layout)
            return false;
        // One line that fits in the box, or QLabel would wrap it.
        const QRect box = contentsRect();
        const QTextLine line = layout->lineAt(0);
        if (layout->lineCount() != 1 || line.textLength() != shown.size() ||
            line.naturalTextWidth() >= box.width())
            return false;

        const double height = line.ascent() + line.descent();
        double top = box.top();
        if (align & Qt::AlignBottom)
            top += box.height() - height;
        else if (align & Qt::AlignVCenter)
            top += (box.height() - height) / 2;
        QPainter painter(this);
        drawFrame(&painter);
        QStyleOption option;
        option.initFrom(this);
        painter.setPen(QPen(option.palette.brush(foregroundRole()), painter.pen().widthF()));
        if (!QRectF(box).contains(QRectF(box.left(), top, line.naturalTextWidth(), height)))
            painter.setClipRect(box, Qt::IntersectClip);
        layout->draw(&painter, QPointF(box.left(), top));
        return true;
    }

    bool keepsLines = false;

    // Everything QLabel measures a text label by.
    struct Measured
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
        int dpi = 0;
        bool operator==(const Measured &) const = default;
    };
    friend size_t qHash(const Measured &m, size_t seed = 0)
    {
        return qHashMulti(seed, m.text, m.font, m.contents.left(), m.contents.top(),
                          m.contents.right(), m.contents.bottom(), m.margin, m.indent, m.alignment,
                          m.format, m.interaction, m.wrap, m.dpi);
    }
    struct Measures
    {
        QSize hint;
        QSize minimum;
        std::array<std::pair<int, int>, 4> heights{{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}}};
    };

    // The shared measurements of this label as it stands; none for a picture label.
    Measures *measures() const
    {
        if (!pixmap().isNull() || movie())
            return nullptr;
        // The style sheet sets the font when the label is polished.
        ensurePolished();
        // The screen's resolution changes the metrics of the same font.
        Measured key{text(),     font(),           contentsMargins(), margin(),
                     indent(),   int(alignment()), int(textFormat()), int(textInteractionFlags()),
                     wordWrap(), logicalDpiY()};
        static QCache<Measured, Measures> shared(4096);
        if (Measures *found = shared.object(key))
            return found;
        auto *made = new Measures;
        shared.insert(std::move(key), made);
        return made;
    }
};

} // namespace

QString Window::helpTip(const QString &text)
{
    return wrappedTip(text);
}

void Window::showHelpOnFocus(QObject *watched, QEvent *event)
{
    // A row's help is its tool tip, which only the pointer brings up; a keyboard (or
    // controller) user moving onto the row's control gets it too.
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
    if ((reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) ||
        !watched->isWidgetType() || !watched->property("rowHelp").toBool())
        return;
    // After the focus has settled: a tool tip opened while focus events are still being
    // delivered would take part in their delivery.
    auto *control = static_cast<QWidget *>(watched);
    QTimer::singleShot(0, control, [control] {
        if (control->hasFocus())
            showToolTip(control);
    });
}

QLabel *Window::label(const QString &text, const char *objectName)
{
    auto *result = new WrappedLabel(text);
    // Texts from the service may hold angle brackets; they are never markup.
    result->setTextFormat(Qt::PlainText);
    if (objectName)
        result->setObjectName(QString::fromLatin1(objectName));
    result->setWordWrap(true);
    return result;
}

QLabel *Window::liveLabel()
{
    auto *result = new WrappedLabel(QString(), true);
    result->setTextFormat(Qt::PlainText);
    result->setWordWrap(true);
    return result;
}

QVBoxLayout *Window::card(const char *titleKey, const char *helpKey)
{
    auto *frame = new QFrame;
    frame->setObjectName(QStringLiteral("card"));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(19, 14, 19, 16);
    layout->setSpacing(10);
    auto *header = new QHBoxLayout;
    header->addWidget(label(T(titleKey), "section"), 1);
    if (helpKey) {
        QPushButton *button = helpButton(helpKey);
        // Several cards of a page have help: the screen reader names whose.
        button->setAccessibleName(T("Help") + QStringLiteral(" · ") + T(titleKey));
        header->addWidget(button, 0);
    }
    layout->addLayout(header);
    pageLayout->addWidget(frame);
    return layout;
}

QWidget *Window::row(QVBoxLayout *target, const QString &caption, QWidget *control,
                     const char *helpKey)
{
    auto *line = new QWidget;
    auto *layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 2, 0, 2);
    QLabel *captionLabel = label(caption);
    captionLabel->setBuddy(control);
    layout->addWidget(captionLabel, 1);
    control->setAccessibleName(caption);
    help(line, helpKey);
    help(captionLabel, helpKey);
    help(control, helpKey);
    if (helpKey)
        control->setProperty("rowHelp", true);
    layout->addWidget(control, 0);
    target->addWidget(line);
    return line;
}

void Window::field(QVBoxLayout *target, const char *captionKey, const QString &value)
{
    QLabel *valueLabel = label(value);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A long path wraps instead of widening the window.
    valueLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QLabel *caption = label(T(captionKey), "soft");
    // Relates the value to its caption for screen readers.
    caption->setBuddy(valueLabel);
    target->addWidget(caption);
    target->addWidget(valueLabel);
}

FabricButton *Window::action(QLayout *target, const char *textKey, std::function<void()> onClick,
                             const char *helpKey)
{
    auto *button = new FabricButton(T(textKey), false);
    help(button, helpKey);
    connect(button, &QPushButton::clicked, this, [onClick = std::move(onClick)] { onClick(); });
    target->addWidget(button);
    return button;
}

void Window::tracked(QWidget *control)
{
    parts.trackedControls.append(control);
}

SewnSwitch *Window::check(QVBoxLayout *target, const char *key, const char *captionKey,
                          const char *helpKey)
{
    auto *toggle = new SewnSwitch;
    toggle->setChecked(config.value(QLatin1String(key)).toBool());
    row(target, T(captionKey), toggle, helpKey);
    tracked(toggle);
    // Connected after the initial state, so building the page sends nothing.
    connect(toggle, &QCheckBox::toggled, this,
            [this, key](bool on) { patch(key, QJsonValue(on)); });
    return toggle;
}

FabricCombo *Window::select(QVBoxLayout *target, const char *key, const char *captionKey,
                            QList<QString> texts, QList<int> values, const char *helpKey)
{
    auto *combo = new FabricCombo;
    combo->addItems(texts);
    const qsizetype index = values.indexOf(configuredInt(config.value(QLatin1String(key))));
    combo->setCurrentIndex(index < 0 ? 0 : int(index));
    row(target, T(captionKey), combo, helpKey);
    tracked(combo);
    // activated fires for user choices only, including the item that is already current.
    connect(combo, &QComboBox::activated, this, [this, key, values](int chosen) {
        if (chosen >= 0 && chosen < values.size())
            patch(key, QJsonValue(values.at(chosen)));
    });
    return combo;
}

void Window::number(QVBoxLayout *target, const char *key, const char *captionKey, double minimum,
                    double maximum, double step, const char *helpKey)
{
    auto *spin = new FabricSpinBox;
    spin->setDecimals(step < 0.01 ? 3 : 2);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(step);
    spin->setValue(config.value(QLatin1String(key)).toDouble());
    // Typing sends nothing until the edit is committed; steps and the wheel send at once.
    spin->setKeyboardTracking(false);
    row(target, T(captionKey), spin, helpKey);
    tracked(spin);
    connect(spin, &QDoubleSpinBox::valueChanged, this,
            [this, key](double value) { patch(key, QJsonValue(value)); });
}

} // namespace Quilt
