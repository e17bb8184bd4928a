#include "window.h"

#include "translations.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace Quilt {

namespace {

// Native scan codes as Windows reports them (set 1): right Shift has a code of its own,
// the right-hand Ctrl and Alt share the left keys' codes with the extended-key bit set.
// Other platforms number their keys differently and get the left-hand names.
constexpr quint32 rightShiftScanCode = 54;
constexpr quint32 extendedKeyBit = 0x100;

// The service's name for a key; modifiers held with it play no part.
QString keyName(const QKeyEvent *event)
{
    const quint32 scanCode = event->nativeScanCode();
    switch (event->key()) {
    case Qt::Key_Space:
        return QStringLiteral("Space");
    case Qt::Key_Escape:
        return QStringLiteral("Escape");
    case Qt::Key_Backtab: // Qt's name for Shift+Tab; Shift arrives as a key of its own
        return QStringLiteral("Tab");
    case Qt::Key_Backspace:
        return QStringLiteral("Backspace");
    case Qt::Key_Return:
        return QStringLiteral("Return");
    case Qt::Key_Enter:
        return QStringLiteral("Keypad Enter");
    case Qt::Key_Insert:
        return QStringLiteral("Insert");
    case Qt::Key_Delete:
        return QStringLiteral("Delete");
    case Qt::Key_PageUp:
        return QStringLiteral("PageUp");
    case Qt::Key_PageDown:
        return QStringLiteral("PageDown");
    case Qt::Key_Shift:
        return scanCode == rightShiftScanCode ? QStringLiteral("Right Shift")
                                              : QStringLiteral("Left Shift");
    case Qt::Key_Control:
        return scanCode & extendedKeyBit ? QStringLiteral("Right Ctrl")
                                         : QStringLiteral("Left Ctrl");
    case Qt::Key_Meta:
        return QStringLiteral("Left GUI");
    case Qt::Key_Alt:
        return scanCode & extendedKeyBit ? QStringLiteral("Right Alt") : QStringLiteral("Left Alt");
    case Qt::Key_AltGr:
        return QStringLiteral("Right Alt");
    default:
        return QKeySequence(event->key()).toString(QKeySequence::PortableText);
    }
}

// A binding cell's text: gamepad inputs and "Unmapped" are catalogue texts; keys are shown as
// the player's keyboard labels them, while the service keeps their English names.
QString bindingText(const QJsonArray &entry, int column)
{
    const QString name = entry.at(column).toString();
    return column == 2 && name != QLatin1String("Unmapped") ? keyLabel(name) : status(name);
}

// Sets a tool tip only when it changes: this runs after every reply, 50 times a second.
void setToolTipIfChanged(QWidget *widget, const QString &text)
{
    if (widget->toolTip() != text)
        widget->setToolTip(text);
}

} // namespace

void Window::buildControls()
{
    auto *tabs = new QuiltTabs;
    tabs->setAccessibleName(T("Controls"));
    tabs->addTab(T("Input settings"));
    tabs->addTab(T("Motion"));
    // Set before the connection, so showing the remembered sub-tab does not rebuild the page.
    tabs->setCurrentIndex(controlsTab != 0 ? 1 : 0);
    pageLayout->addWidget(tabs, 0, Qt::AlignLeft);
    // The page stays the controls page, so navigate sends no "cancel": a capture goes on.
    connect(tabs, &QTabBar::currentChanged, this, [this, tabs](int index) {
        const bool hadFocus = tabs->hasFocus();
        controlsTab = index;
        navigate(Page::Controls, false);
        // A keyboard user switching with the arrow keys keeps the focus on the new tab bar.
        if (hadFocus) {
            if (auto *rebuilt = pageWidget->findChild<QuiltTabs *>())
                rebuilt->setFocus(Qt::TabFocusReason);
        }
    });

    if (controlsTab != 0)
        buildMotion();
    else
        buildBindings();
}

void Window::buildBindings()
{
    // In-game button icons: the style choice only matters while the icons are on
    {
        QVBoxLayout *body = card("In-game button icons");
        SewnSwitch *prompts =
            check(body, "dynamicPrompts", "Use controller and keyboard icons", nullptr);
        auto *panel = new QWidget;
        auto *panelLayout = new QVBoxLayout(panel);
        panelLayout->setContentsMargins(0, 0, 0, 0);
        select(panelLayout, "buttonIcons", "Icon style",
               {T("Last used device"), QStringLiteral("Xbox"), QStringLiteral("PlayStation"),
                QStringLiteral("Nintendo Switch"), T("Keyboard")},
               {0, 1, 2, 3, 4});
        body->addWidget(panel);
        panel->setEnabled(prompts->isChecked());
        connect(prompts, &QCheckBox::toggled, panel, &QWidget::setEnabled);
    }

    // Button bindings: capture progress, its buttons and the table
    {
        QVBoxLayout *body =
            card("Button bindings",
                 "Select a binding, then press the new input. Gamepad bindings apply to all "
                 "players; keyboard bindings apply to player 1. Launcher navigation stays "
                 "unchanged.");
        // The service's messages are shown as plain text, never as markup.
        parts.captureMessage = label(QString());
        markLive(parts.captureMessage, false);
        body->addWidget(parts.captureMessage);

        auto *buttons = new QHBoxLayout;
        body->addLayout(buttons);
        parts.swapButton =
            action(buttons, "Swap bindings", [this] { request(QStringLiteral("swap"), {}); });
        parts.useEscapeButton =
            action(buttons, "Use Escape", [this] { request(QStringLiteral("escape"), {}); });
        parts.cancelCaptureButton =
            action(buttons, "Cancel capture", [this] { request(QStringLiteral("cancel"), {}); });

        auto *table = new QWidget;
        auto *grid = new QGridLayout(table);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->addWidget(new QLabel(T("Action")), 0, 0);
        grid->addWidget(new QLabel(T("Gamepad")), 0, 1);
        grid->addWidget(new QLabel(T("Keyboard")), 0, 2);
        // The action names keep their natural width; the two binding columns share the rest.
        grid->setColumnStretch(1, 2);
        grid->setColumnStretch(2, 2);
        body->addWidget(table);
        parts.bindingTable = table;

        // The row index is the action number the service knows the row by.
        const QJsonArray rows = state.value(Key::bindings).toArray();
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonArray entry = rows.at(i).toArray();
            QLabel *name = label(status(entry.at(0).toString()));
            grid->addWidget(name, i + 1, 0);
            QPushButton *pair[2] = {};
            for (int column = 1; column <= 2; ++column) {
                const bool keyboard = column == 2;
                auto *cell = new QHBoxLayout;
                cell->setSpacing(2);
                auto *binding = new FabricButton(bindingText(entry, column), false);
                binding->setMinimumWidth(30);
                // A long key name must never widen the table: it takes a second line instead.
                binding->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
                binding->setWraps(true);
                const QString accessible =
                    name->text() + QStringLiteral(" · ") + T(keyboard ? "Keyboard" : "Gamepad");
                binding->setAccessibleName(accessible);
                connect(binding, &QPushButton::clicked, this,
                        [this, i, keyboard] { bind(i, keyboard); });
                cell->addWidget(binding, 1);

                auto *clear = new QPushButton(QStringLiteral("×"));
                clear->setObjectName(QStringLiteral("help"));
                clear->setFixedSize(23, 23);
                clear->setToolTip(T("Clear"));
                clear->setAccessibleName(T("Clear") + QLatin1Char(' ') + accessible);
                connect(clear, &QPushButton::clicked, this, [this, i, keyboard] {
                    request(QStringLiteral("clear"), {{QStringLiteral("action"), i},
                                                      {QStringLiteral("keyboard"), keyboard}});
                });
                cell->addWidget(clear, 0);
                grid->addLayout(cell, i + 1, column);
                pair[column - 1] = binding;
            }
            parts.bindingButtons.append(qMakePair(pair[0], pair[1]));
        }
    }

    // Sticks and triggers
    {
        QVBoxLayout *body = card("Sticks and triggers",
                                 "For actions assigned to an axis, choose how far to move the "
                                 "stick or trigger before the action activates.");
        number(body, "stick", "Stick activation", 0.05, 0.95, 0.05);
        number(body, "trigger", "Trigger activation", 0.05, 0.95, 0.05);
    }

    // Reset controls, outside the cards at the left edge
    {
        auto *line = new QHBoxLayout;
        action(line, "Reset controls", [this] { request(QStringLiteral("resetControls"), {}); });
        line->addStretch();
        pageLayout->addLayout(line);
    }
}

void Window::buildControllerGuide()
{
    QVBoxLayout *body = card("How to play");

    // Read-only table of the current bindings
    {
        auto *grid = new QGridLayout;
        body->addLayout(grid);
        grid->addWidget(label(T("Action"), "soft"), 0, 0);
        grid->addWidget(label(T("Gamepad"), "soft"), 0, 1);
        grid->addWidget(label(T("Keyboard"), "soft"), 0, 2);
        const QJsonArray rows = state.value(Key::bindings).toArray();
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonArray entry = rows.at(i).toArray();
            for (int j = 0; j < 3; ++j)
                grid->addWidget(
                    label(j == 0 ? status(entry.at(0).toString()) : bindingText(entry, j)), i + 1,
                    j);
        }
    }

    // The editor always opens on its input settings
    action(body, "Customize controls", [this] {
        controlsTab = 0;
        navigate(Page::Controls, false);
    });
}

void Window::bind(int action, bool keyboard)
{
    // Set before the reply, so that the very next key event is forwarded.
    capturing = true;
    captureAction = action;
    captureKeyboard = keyboard;
    request(QStringLiteral("bind"),
            {{QStringLiteral("action"), action}, {QStringLiteral("keyboard"), keyboard}});
}

bool Window::eventFilter(QObject *watched, QEvent *event)
{
    // Every event of the application passes here: the cheap tests come first.
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn) {
        showHelpOnFocus(watched, event);
        return QWidget::eventFilter(watched, event);
    }
    // Without a service there is no capture to feed, whatever the flag still says: a service
    // that died mid-capture must not leave the page deaf to the keyboard.
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || page != Page::Controls ||
        !capturing || !ready || !isActiveWindow())
        return QWidget::eventFilter(watched, event);

    auto *key = static_cast<QKeyEvent *>(event);
    // In a conflict the player moves to "Swap bindings" or "Cancel capture" with the keyboard;
    // only Escape, or every key while a release is pending, still goes to the service.
    const MirrorView view = mirror();
    if (view.capturePhase() == CapturePhase::Conflict && !view.releasePending() &&
        key->key() != Qt::Key_Escape)
        return QWidget::eventFilter(watched, event);

    // Held keys: one press and one release reach the service, the repeats are swallowed.
    if (key->isAutoRepeat())
        return true;

    // Qt offers a key event to the native window first and then to the focused widget;
    // consuming it here means the service sees each key once and no widget sees it.
    request(QStringLiteral("key"), {{QStringLiteral("key"), keyName(key)},
                                    {QStringLiteral("down"), type == QEvent::KeyPress}});
    return true;
}

void Window::updateControls()
{
    if (!ready)
        return;

    const MirrorView view = mirror();
    const CapturePhase phase = view.capturePhase();
    const bool wasCapturing = capturing;
    capturing = view.capturing();
    const bool editable = view.editable();
    const bool release = view.releasePending();
    const bool keyboardCapture = view.keyboardCapture();

    // Capture state: table, capture buttons. What appears comes first and what goes last, so
    // that the focus always has a control of the card to go to.
    const std::pair<QWidget *, bool> shown[] = {
        {parts.swapButton, phase == CapturePhase::Conflict},
        {parts.useEscapeButton, phase == CapturePhase::Waiting && keyboardCapture},
        {parts.cancelCaptureButton, capturing}};
    for (const auto &[button, visible] : shown) {
        if (button && visible)
            button->setVisible(true);
    }
    if (parts.bindingTable) {
        const bool tableEnabled = !capturing && editable;
        if (!tableEnabled)
            handOffFocus(parts.bindingTable);
        parts.bindingTable->setEnabled(tableEnabled);
        // The capture is over: the cell just changed keeps the focus, so that the player
        // goes on from there rather than from the top of the window.
        QWidget *focused = focusWidget();
        if (wasCapturing && !capturing && tableEnabled && captureAction >= 0 &&
            captureAction < parts.bindingButtons.size() &&
            (!focused || focused == parts.swapButton || focused == parts.useEscapeButton ||
             focused == parts.cancelCaptureButton))
            (captureKeyboard ? parts.bindingButtons.at(captureAction).second
                             : parts.bindingButtons.at(captureAction).first)
                ->setFocus(Qt::OtherFocusReason);
    }
    if (parts.swapButton) {
        if (release)
            handOffFocus(parts.swapButton);
        parts.swapButton->setEnabled(!release);
    }
    for (const auto &[button, visible] : shown) {
        if (button && !visible) {
            handOffFocus(button);
            button->setVisible(false);
        }
    }

    // Capture message: a pending release, then the prompt, then the service's message
    if (parts.captureMessage) {
        QString text = status(input.value(Key::message).toString());
        if (release)
            text = T("Release the captured input to continue.");
        else if (phase == CapturePhase::Waiting)
            text = keyboardCapture ? T("Press a keyboard key. Escape cancels capture; Use Escape "
                                       "assigns that key.")
                                   : T("Press a gamepad button or move a centered stick/trigger. "
                                       "Escape or Cancel stops capture.");
        parts.captureMessage->setText(text);
        announce(parts.captureMessage, text);
        parts.captureMessage->setVisible(!text.isEmpty());
    }

    // Binding texts; rows that arrived after the page was built wait for the next rebuild
    const QJsonArray rows = state.value(Key::bindings).toArray();
    const qsizetype count = std::min(rows.size(), parts.bindingButtons.size());
    if (count > 0) {
        const QString change = QStringLiteral(" · ") + T("Change binding");
        for (qsizetype i = 0; i < count; ++i) {
            const QJsonArray entry = rows.at(i).toArray();
            QPushButton *buttons[2] = {parts.bindingButtons.at(i).first,
                                       parts.bindingButtons.at(i).second};
            for (int column = 1; column <= 2; ++column) {
                const QString text = bindingText(entry, column);
                QPushButton *button = buttons[column - 1];
                button->setText(text);
                // Binding names come from the service.
                setToolTipIfChanged(button, literalToolTip(text + change));
            }
        }
    }

    if (parts.deviceCombo)
        updateMotion(editable);
}

} // namespace Quilt
