#include "window.h"

#include "kept.h"
#include "translations.h"

#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <climits>
#include <cmath>
#include <optional>

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
// same texts. The key is made on every call, since Qt gives no notice when a label's text or
// font changes.
class WrappedLabel : public QLabel
{
public:
    using QLabel::QLabel;

    int heightForWidth(int width) const override
    {
        const std::optional<kept::LabelKey> key = measuredBy();
        if (!key)
            return QLabel::heightForWidth(width);
        return kept::labelHeight(*key, width, [&] { return QLabel::heightForWidth(width); });
    }

    QSize sizeHint() const override
    {
        const std::optional<kept::LabelKey> key = measuredBy();
        if (!key)
            return QLabel::sizeHint();
        return kept::labelHint(*key, kept::Hint::Preferred, [&] { return QLabel::sizeHint(); });
    }

    QSize minimumSizeHint() const override
    {
        const std::optional<kept::LabelKey> key = measuredBy();
        if (!key)
            return QLabel::minimumSizeHint();
        return kept::labelHint(*key, kept::Hint::Minimum,
                               [&] { return QLabel::minimumSizeHint(); });
    }

protected:
    // Qt keeps no glyphs of 64 px and more and fills each glyph's outline on every paint; a
    // plain-text label in such a font is painted once into a kept picture, the way QLabel
    // paints it, and blitted after that.
    void paintEvent(QPaintEvent *event) override
    {
        const int largestKeptGlyphs = 63;
        if (QFontInfo(font()).pixelSize() <= largestKeptGlyphs || !stylePaintsText() ||
            focusPolicy() != Qt::NoFocus) {
            QLabel::paintEvent(event);
            return;
        }
        const kept::LargeLabel key{
            text(),      font(),           palette().color(foregroundRole()).rgba(),
            isEnabled(), int(alignment()), wordWrap(),
            margin(),    indent(),         contentsMargins()};
        QPainter painter(this);
        kept::draw(painter, rect(), key, [this](QPainter &on) {
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
    // What this label is measured by as it stands; nothing for a picture label.
    std::optional<kept::LabelKey> measuredBy() const
    {
        if (!pixmap().isNull() || movie())
            return std::nullopt;
        // The style sheet sets the font when the label is polished.
        ensurePolished();
        return kept::LabelKey{
            text(),     font(),           contentsMargins(), margin(),
            indent(),   int(alignment()), int(textFormat()), int(textInteractionFlags()),
            wordWrap(), logicalDpiY()};
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
