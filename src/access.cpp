// Keyboard and screen-reader access: where the focus goes when controls lock or the page is
// built again under it, and what assistive technology is told about the window's own controls.
#include "window.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QLabel>
#include <QScrollArea>

#include <algorithm>
#include <tuple>

namespace Quilt {

namespace {

// The page's keyboard stops, in the order of the widget tree, whatever their state.
QList<QWidget *> stops(QWidget *page)
{
    QList<QWidget *> found = page->findChildren<QWidget *>();
    found.removeIf([](const QWidget *widget) {
        return !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy();
    });
    return found;
}

// What a control is known by on its page: its accessible name, else its text. Names are unique
// per page (a setting's caption, a binding cell's action and column, a backup's label and
// time), so together with the class they find the same control on a rebuilt page.
QString controlName(const QWidget *widget)
{
    QString name = widget->accessibleName();
    if (name.isEmpty()) {
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            name = button->text();
    }
    return name;
}

// The card, or the footer, that a widget sits in; null elsewhere.
const QWidget *section(const QWidget *widget, const QWidget *footer)
{
    for (const QWidget *above = widget; above; above = above->parentWidget()) {
        if (above == footer || above->objectName() == QLatin1String("card"))
            return above;
    }
    return nullptr;
}

// Squared gap between two rectangles; 0 when they touch or overlap.
qint64 gap(const QRect &a, const QRect &b)
{
    const qint64 dx = std::max({0, a.left() - b.right(), b.left() - a.right()});
    const qint64 dy = std::max({0, a.top() - b.bottom(), b.top() - a.bottom()});
    return dx * dx + dy * dy;
}

// A checkable button that opens a page (the header tabs, the links between the advanced
// pages): a page tab that is selected while its page is shown, not a check box.
class PageTabAccess : public QAccessibleWidget
{
public:
    explicit PageTabAccess(QWidget *button) : QAccessibleWidget(button, QAccessible::PageTab) {}

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = button()->text();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = false;
        state.checked = false;
        state.selectable = true;
        state.selected = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

// A line whose changes are news: the notice line (an alert), the capture prompt and the motion
// status (notifications). Screen readers speak such an object when it is shown; `announce`
// reports it shown again whenever its news changes.
class LiveLineAccess : public QAccessibleWidget
{
public:
    LiveLineAccess(QLabel *line, QAccessible::Role role) : QAccessibleWidget(line, role) {}

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = static_cast<QLabel *>(widget())->text();
        return text;
    }
};

// Gives a widget `made` in place of the interface Qt would make for it. Qt's own factory comes
// before any other for the classes it knows, so registering is the only way in.
void replaceAccess(QWidget *widget, QAccessibleInterface *made)
{
    if (QAccessibleInterface *current = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
    QAccessible::registerAccessibleInterface(made);
}

} // namespace

void markPageTab(QAbstractButton *button)
{
    button->setProperty("pageTab", true);
    replaceAccess(button, new PageTabAccess(button));
}

void markLive(QLabel *line, bool alert)
{
    replaceAccess(line, new LiveLineAccess(line, alert ? QAccessible::AlertMessage
                                                       : QAccessible::Notification));
}

void announce(QLabel *line, const QString &news)
{
    // Qt 6.4 passes no announcements to AT-SPI; a live object shown again is what it delivers.
    if (line->property("news").toString() == news)
        return;
    line->setProperty("news", news);
    if (news.isEmpty() || !line->isVisible())
        return;
    QAccessibleEvent shown(line, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

QWidget *Window::nearestUsable(QWidget *from, const QWidget *leaving) const
{
    const auto place = [this](const QWidget *widget) {
        return QRect(widget->mapTo(this, QPoint(0, 0)), widget->size());
    };
    const QRect origin = place(from);
    const QWidget *home = section(from, footer);
    const QWidget *viewport = scrollArea->viewport();
    const QRect seen = place(viewport);

    // Best first: the same card, in sight (so that nothing scrolls), on the same line, closest.
    QWidget *best = nullptr;
    std::tuple<bool, bool, bool, qint64> bestRank;
    for (QWidget *candidate : findChildren<QWidget *>()) {
        if (!(candidate->focusPolicy() & Qt::TabFocus) || candidate->focusProxy() ||
            !candidate->isEnabled() || !candidate->isVisibleTo(this) || candidate == from ||
            candidate->isAncestorOf(from) || candidate == leaving ||
            (leaving && leaving->isAncestorOf(candidate)))
            continue;
        const QRect at = place(candidate);
        const bool inSight = !viewport->isAncestorOf(candidate) || seen.intersects(at);
        const bool sameLine = at.top() <= origin.bottom() && at.bottom() >= origin.top();
        const auto rank = std::tuple(home == nullptr || section(candidate, footer) != home,
                                     !inSight, !sameLine, gap(origin, at));
        if (!best || rank < bestRank) {
            best = candidate;
            bestRank = rank;
        }
    }
    return best;
}

void Window::handOffFocus(QWidget *leaving)
{
    // Qt would pass the focus along the tab chain, which can land far down the page (and the
    // scroll area then scrolls there), on a control the player's next key press changes.
    QWidget *focused = focusWidget();
    if (!focused || !leaving || (focused != leaving && !leaving->isAncestorOf(focused)))
        return;
    if (QWidget *next = nearestUsable(focused, leaving))
        next->setFocus(Qt::OtherFocusReason);
}

Window::FocusMark Window::focusMark() const
{
    FocusMark mark;
    QWidget *focused = focusWidget();
    if (!focused || !pageWidget || !pageWidget->isAncestorOf(focused))
        return mark;
    const QList<QWidget *> controls = stops(pageWidget);
    mark.type = focused->metaObject();
    mark.name = controlName(focused);
    mark.index = int(controls.indexOf(focused));
    mark.count = int(controls.size());
    mark.link = focused->property("pageTab").toBool();
    return mark;
}

void Window::restoreFocus(const FocusMark &mark, bool rebuilt)
{
    // A page the player opened starts from the top, unless they came by a link between pages.
    if (!mark.type || (!rebuilt && !mark.link))
        return;
    const QList<QWidget *> controls = stops(pageWidget);
    QWidget *target = nullptr;
    for (QWidget *control : controls) {
        if (control->metaObject() == mark.type && controlName(control) == mark.name) {
            target = control;
            break;
        }
    }
    // The same page in another language or layout: the same place in the same structure.
    if (!target && rebuilt && mark.count == controls.size() && mark.index >= 0 &&
        controls.at(mark.index)->metaObject() == mark.type)
        target = controls.at(mark.index);
    if (!target) {
        // Its control is gone (a deleted backup): the page itself, where the next key press
        // changes nothing.
        if (rebuilt)
            scrollArea->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!target->isEnabled() || !target->isVisibleTo(this))
        target = nearestUsable(target, nullptr);
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

} // namespace Quilt
