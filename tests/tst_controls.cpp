#include "support.h"
#include "translations.h"
#include "window.h"

#include <QGridLayout>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

using namespace QuiltTest;
using Quilt::Page;
using Quilt::T;

namespace {

QJsonObject bindingsState(const QJsonArray &rows)
{
    QJsonObject state = readyState();
    state.insert(QStringLiteral("bindings"), rows);
    return state;
}

const QJsonArray sampleRows{QJsonArray{"Move up", "D-pad Up", "Up"},
                            QJsonArray{"Jump / Confirm", "South (A / Cross)", "Space"}};

// Answers polls and the requests of a capture with this state and input, so that no reply
// drops the capture in between. Before the window starts the rules are appended; later ones
// go in front, so the latest call wins.
void answerWith(ScriptedService &service, const QJsonObject &state, const QJsonObject &input,
                bool started = true)
{
    for (const char *cmd : {"hello", "poll", "bind", "key", "swap", "marker"}) {
        const QJsonObject rule{{"on", cmd},
                               {"send", stateReply(QString::fromLatin1(cmd), state, input)}};
        if (started)
            service.push({{"rule", rule}});
        else
            service.rule(rule);
    }
}

void sendKey(QObject *target, QEvent::Type type, int key, quint32 scanCode = 0, bool repeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, scanCode, 0, 0, QString(), repeat);
    QCoreApplication::sendEvent(target, &event);
}

// The "key" requests so far, as "name+" for a press and "name-" for a release.
QStringList sentKeys(const ScriptedService &service)
{
    QStringList keys;
    for (const QJsonObject &request : service.requests()) {
        if (request.value("cmd") == QLatin1String("key"))
            keys << request.value("key").toString() +
                        (request.value("down").toBool() ? QLatin1Char('+') : QLatin1Char('-'));
    }
    return keys;
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void captureFollowsThePhases();
    void keysDuringCapture();
    void keysStayWithWidgetsOutsideCapture();
    void conflictLetsKeysThrough();
    void serviceGoneReleasesKeyboard();
    void rowsFollowTheState();
    void guideShowsRowsAndOpensEditor();
    void runningGameLocksSettingsOnly();

private:
    // A request the peer answers at once; everything sent before it is then logged.
    static void mark(Quilt::Window &window, ScriptedService &service);
};

void TestControls::mark(Quilt::Window &window, ScriptedService &service)
{
    const int before = service.count("marker");
    probe(window).request(QStringLiteral("marker"), {});
    QVERIFY(service.waitFor("marker", before + 1));
}

void TestControls::captureFollowsThePhases()
{
    ScriptedService service;
    const QJsonObject state = bindingsState(sampleRows);
    answerWith(service, state, {}, false);
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Page::Controls, false);
    QCOMPARE(probe(window).parts().bindingButtons.size(), 2);
    QVERIFY(probe(window).parts().cancelCaptureButton->isHidden());
    QVERIFY(probe(window).parts().captureMessage->isHidden());

    // Keyboard capture of the second row
    probe(window).parts().bindingButtons[1].second->click();
    QVERIFY(probe(window).capturing());
    QVERIFY(service.waitFor("bind"));
    QCOMPARE(service.last("bind").value("action"), 1);
    QCOMPARE(service.last("bind").value("keyboard"), true);
    answerWith(service, state, {{"phase", 1}, {"keyboardCapture", true}});
    QTRY_VERIFY(!probe(window).parts().useEscapeButton->isHidden());
    QCOMPARE(probe(window).parts().captureMessage->text(),
             T("Press a keyboard key. Escape cancels capture; Use Escape assigns that key."));
    QVERIFY(!probe(window).parts().bindingTable->isEnabled());
    QVERIFY(!probe(window).parts().cancelCaptureButton->isHidden());
    QVERIFY(probe(window).parts().swapButton->isHidden());

    // A gamepad capture has no "Use Escape"
    answerWith(service, state, {{"phase", 1}});
    QTRY_VERIFY(probe(window).parts().useEscapeButton->isHidden());
    QCOMPARE(probe(window).parts().captureMessage->text(),
             T("Press a gamepad button or move a centered stick/trigger. Escape or Cancel stops "
               "capture."));

    // Conflict while the input is still held
    const QString conflict = QStringLiteral("Already assigned to Move up");
    answerWith(service, state, {{"phase", 3}, {"release", true}, {"message", conflict}});
    QTRY_VERIFY(!probe(window).parts().swapButton->isHidden());
    QVERIFY(!probe(window).parts().swapButton->isEnabled());
    QCOMPARE(probe(window).parts().captureMessage->text(),
             T("Release the captured input to continue."));

    // Conflict once released: the service's message and a usable "Swap bindings"
    answerWith(service, state, {{"phase", 3}, {"message", conflict}});
    QTRY_VERIFY(probe(window).parts().swapButton->isEnabled());
    QCOMPARE(probe(window).parts().captureMessage->text(), Quilt::status(conflict));
    QVERIFY(!probe(window).parts().cancelCaptureButton->isHidden());
    probe(window).parts().swapButton->click();
    QVERIFY(service.waitFor("swap"));

    // Done: the table is back with the new binding
    const QJsonObject swapped =
        bindingsState({sampleRows[0], QJsonArray{"Jump / Confirm", "South (A / Cross)", "Return"}});
    answerWith(service, swapped, {{"message", "Binding updated"}});
    QTRY_VERIFY(!probe(window).capturing());
    QTRY_VERIFY(probe(window).parts().bindingTable->isEnabled());
    QVERIFY(probe(window).parts().cancelCaptureButton->isHidden());
    QVERIFY(probe(window).parts().swapButton->isHidden());
    QCOMPARE(probe(window).parts().captureMessage->text(), Quilt::status("Binding updated"));
    QCOMPARE(probe(window).parts().bindingButtons[1].second->text(), "Return");
    QCOMPARE(probe(window).parts().bindingButtons[1].second->toolTip(),
             "Return · " + T("Change binding"));
}

void TestControls::keysDuringCapture()
{
    ScriptedService service;
    const QJsonObject state = bindingsState(sampleRows);
    answerWith(service, state, {{"phase", 1}, {"keyboardCapture", true}}, false);
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Page::Controls, false);
    QTRY_VERIFY(probe(window).capturing());
    QTRY_VERIFY(window->isActiveWindow());
    QWidget *target = probe(window).parts().bindingButtons[0].first;

    // A held key: the repeats in between are swallowed
    sendKey(target, QEvent::KeyPress, Qt::Key_A);
    sendKey(target, QEvent::KeyRelease, Qt::Key_A, 0, true);
    sendKey(target, QEvent::KeyPress, Qt::Key_A, 0, true);
    sendKey(target, QEvent::KeyRelease, Qt::Key_A);
    // Shift+Tab arrives as Shift and Backtab
    sendKey(target, QEvent::KeyPress, Qt::Key_Shift, 42);
    sendKey(target, QEvent::KeyPress, Qt::Key_Backtab);
    // Ctrl+S: the letter under its own name
    sendKey(target, QEvent::KeyPress, Qt::Key_Control, 0x11d);
    sendKey(target, QEvent::KeyPress, Qt::Key_S);
    // Right-hand modifiers by scan code, AltGr always right
    sendKey(target, QEvent::KeyPress, Qt::Key_Shift, 54);
    sendKey(target, QEvent::KeyPress, Qt::Key_Control, 0x1d);
    sendKey(target, QEvent::KeyPress, Qt::Key_Alt, 0x138);
    sendKey(target, QEvent::KeyPress, Qt::Key_Alt, 0x38);
    sendKey(target, QEvent::KeyPress, Qt::Key_AltGr, 0x38);
    sendKey(target, QEvent::KeyPress, Qt::Key_Enter);
    sendKey(target, QEvent::KeyPress, Qt::Key_Tab);
    sendKey(target, QEvent::KeyPress, Qt::Key_F5);

    // The switch to the motion sub-tab keeps the capture (and sends no "cancel")
    probe(window).pageWidget()->findChild<QTabBar *>()->setCurrentIndex(1);
    QCOMPARE(probe(window).controlsTab(), 1);
    QVERIFY(probe(window).parts().deviceCombo);
    sendKey(window.get(), QEvent::KeyPress, Qt::Key_Escape);

    const QStringList expected{"A+",          "A-",        "Left Shift+",  "Tab+",
                               "Right Ctrl+", "S+",        "Right Shift+", "Left Ctrl+",
                               "Right Alt+",  "Left Alt+", "Right Alt+",   "Keypad Enter+",
                               "Tab+",        "F5+",       "Escape+"};
    QTRY_COMPARE(sentKeys(service), expected);
    mark(*window, service);
    QCOMPARE(service.count("cancel"), 0);

    // Leaving the page cancels the capture once
    probe(window).navigate(Page::Display, false);
    probe(window).navigate(Page::Basic, false);
    mark(*window, service);
    QCOMPARE(service.count("cancel"), 1);
    // ... and ends it for the launcher too: the controller navigates the other pages again.
    QVERIFY(!probe(window).capturing());
}

void TestControls::keysStayWithWidgetsOutsideCapture()
{
    ScriptedService service;
    const QJsonObject state = bindingsState(sampleRows);
    answerWith(service, state, {}, false);
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Page::Controls, false);
    QTRY_VERIFY(window->isActiveWindow());

    // No capture
    sendKey(window.get(), QEvent::KeyPress, Qt::Key_A);
    mark(*window, service);
    QCOMPARE(service.count("key"), 0);

    // A capture, but another window is active
    answerWith(service, state, {{"phase", 1}, {"keyboardCapture", true}});
    QTRY_VERIFY(probe(window).capturing());
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(!window->isActiveWindow());
    sendKey(window.get(), QEvent::KeyPress, Qt::Key_B);
    mark(*window, service);
    QCOMPARE(service.count("key"), 0);

    // Back in front the same key goes through
    window->activateWindow();
    QTRY_VERIFY(window->isActiveWindow());
    QTRY_VERIFY(probe(window).capturing());
    sendKey(window.get(), QEvent::KeyPress, Qt::Key_B);
    QVERIFY(service.waitFor("key"));

    // Another page: keys stay with its widgets
    probe(window).navigate(Page::Display, false);
    sendKey(window.get(), QEvent::KeyPress, Qt::Key_C);
    mark(*window, service);
    QCOMPARE(sentKeys(service), QStringList{"B+"});
}

void TestControls::conflictLetsKeysThrough()
{
    ScriptedService service;
    const QJsonObject state = bindingsState(sampleRows);
    answerWith(service, state, {{"phase", 3}, {"message", "Already assigned to Home"}}, false);
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Page::Controls, false);
    QTRY_VERIFY(!probe(window).parts().swapButton->isHidden());
    QTRY_VERIFY(window->isActiveWindow());

    // Space presses the focused button; Escape still goes to the service
    QPushButton *swap = probe(window).parts().swapButton;
    swap->setFocus();
    sendKey(swap, QEvent::KeyPress, Qt::Key_Space);
    sendKey(swap, QEvent::KeyRelease, Qt::Key_Space);
    QVERIFY(service.waitFor("swap"));
    sendKey(swap, QEvent::KeyPress, Qt::Key_Escape);
    QTRY_COMPARE(sentKeys(service), QStringList{"Escape+"});

    // While a release is pending every key goes to the service
    answerWith(service, state, {{"phase", 3}, {"release", true}});
    QTRY_VERIFY(!probe(window).parts().swapButton->isEnabled());
    sendKey(probe(window).parts().swapButton, QEvent::KeyPress, Qt::Key_Space);
    QTRY_COMPARE(sentKeys(service), (QStringList{"Escape+", "Space+"}));
    QCOMPARE(service.count("swap"), 1);
}

void TestControls::serviceGoneReleasesKeyboard()
{
    ScriptedService service;
    answerWith(service, bindingsState(sampleRows), {{"phase", 1}}, false);
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Page::Controls, false);
    QTRY_VERIFY(probe(window).capturing());
    QTRY_VERIFY(window->isActiveWindow());

    // The service exits in the middle of the capture: keys reach the widgets again
    service.push({{"exit", 0}});
    QTRY_VERIFY(!probe(window).ready());
    QVERIFY(probe(window).capturing());
    QPushButton *reset = qobject_cast<QPushButton *>(
        buttonWithText(probe(window).pageWidget(), T("Reset controls")));
    QSignalSpy clicked(reset, &QPushButton::clicked);
    sendKey(reset, QEvent::KeyPress, Qt::Key_Space);
    sendKey(reset, QEvent::KeyRelease, Qt::Key_Space);
    QCOMPARE(clicked.count(), 1);
}

void TestControls::rowsFollowTheState()
{
    Quilt::Window window(QString(), QString(), true);
    probe(window).ready() = true;

    // No rows: the header only
    probe(window).state() = bindingsState({});
    probe(window).navigate(Page::Controls, false);
    QVERIFY(probe(window).parts().bindingButtons.isEmpty());
    QCOMPARE(probe(window).parts().bindingTable->findChild<QGridLayout *>()->rowCount(), 1);
    QVERIFY(buttonWithText(probe(window).pageWidget(), T("Reset controls")));

    // Malformed rows give empty texts
    probe(window).state() = bindingsState(
        {sampleRows[0], "junk", QJsonArray{"Home"}, QJsonArray{"Jump / Confirm", 5, "Space"}});
    probe(window).navigate(Page::Controls, false);
    QCOMPARE(probe(window).parts().bindingButtons.size(), 4);
    QCOMPARE(probe(window).parts().bindingButtons[1].first->text(), QString());
    QCOMPARE(probe(window).parts().bindingButtons[2].second->text(), QString());
    QCOMPARE(probe(window).parts().bindingButtons[3].first->text(), QString());
    QCOMPARE(probe(window).parts().bindingButtons[3].second->text(), "Space");
    QPushButton *up = probe(window).parts().bindingButtons[0].second;
    QCOMPARE(up->accessibleName(), "Move up · " + T("Keyboard"));
    QCOMPARE(up->toolTip(), "Up · " + T("Change binding"));
    bool clearFound = false;
    for (QPushButton *button : probe(window).parts().bindingTable->findChildren<QPushButton *>())
        clearFound |= button->accessibleName() == T("Clear") + " Move up · " + T("Keyboard");
    QVERIFY(clearFound);

    // Later rows wait for a rebuild; lost rows keep their old texts
    probe(window).state() = bindingsState({QJsonArray{"Move up", "D-pad Up", "W"}, sampleRows[1],
                                           sampleRows[1], sampleRows[1], sampleRows[1]});
    probe(window).updateControls();
    QCOMPARE(probe(window).parts().bindingButtons.size(), 4);
    QCOMPARE(up->text(), "W");
    probe(window).state() = bindingsState({sampleRows[0]});
    probe(window).updateControls();
    QCOMPARE(probe(window).parts().bindingButtons[3].second->text(), "Space");
}

void TestControls::guideShowsRowsAndOpensEditor()
{
    Quilt::Window window(QString(), QString(), true);
    probe(window).ready() = true;
    probe(window).state() = bindingsState(sampleRows);
    probe(window).controlsTab() = 1;
    probe(window).navigate(Page::ControllerGuide, false);
    QVERIFY(labelWithText(probe(window).pageWidget(), "South (A / Cross)"));
    QVERIFY(labelWithText(probe(window).pageWidget(), "Space"));
    QCOMPARE(probe(window).pageWidget()->findChild<QGridLayout *>()->rowCount(), 3);

    // Keys as the player's keyboard labels them; a key named like a catalogue text stays a key
    const QJsonObject spanish = bindingsState(
        {QJsonArray{"Home", "Unmapped", "Home"}, QJsonArray{"Map / Minus", "D-pad Up", "Return"}});
    probe(window).setLanguage(2);
    probe(window).state() = spanish;
    probe(window).navigate(Page::ControllerGuide, false);
    for (const char *text : {"HOME", "Inicio", "Sin asignar", "Cruceta arriba", "Intro"})
        QVERIFY2(labelWithText(probe(window).pageWidget(), text), text);
    probe(window).controlsTab() = 0;
    probe(window).navigate(Page::Controls, false);
    probe(window).updateControls();
    QCOMPARE(probe(window).parts().bindingButtons[0].first->text(), "Sin asignar");
    QCOMPARE(probe(window).parts().bindingButtons[0].second->text(), "Inicio");
    QCOMPARE(probe(window).parts().bindingButtons[1].second->text(), "Intro");
    probe(window).setLanguage(1);
    probe(window).state() = bindingsState(sampleRows);
    probe(window).controlsTab() = 1;
    probe(window).navigate(Page::ControllerGuide, false);

    auto *customize = qobject_cast<QPushButton *>(
        buttonWithText(probe(window).pageWidget(), T("Customize controls")));
    QVERIFY(customize);
    customize->click();
    QCOMPARE(probe(window).page(), Page::Controls);
    QCOMPARE(probe(window).controlsTab(), 0);
    QVERIFY(probe(window).parts().bindingTable);
}

void TestControls::runningGameLocksSettingsOnly()
{
    Quilt::Window window(QString(), QString(), true);
    probe(window).ready() = true;
    QJsonObject state = bindingsState(sampleRows);
    state.insert("running", true);
    probe(window).state() = state;
    probe(window).input() = {{"phase", 1}, {"keyboardCapture", true}};
    probe(window).navigate(Page::Controls, false);

    const auto settings = [&window] {
        QList<QWidget *> found;
        for (QWidget *widget : probe(window).pageWidget()->findChildren<QWidget *>()) {
            if (qobject_cast<Quilt::SewnSwitch *>(widget) ||
                qobject_cast<Quilt::FabricCombo *>(widget) ||
                qobject_cast<Quilt::FabricSpinBox *>(widget))
                found << widget;
        }
        return found;
    };
    QCOMPARE(settings().size(), 4);
    for (QWidget *control : settings())
        QVERIFY(!control->isEnabled());
    QVERIFY(!probe(window).parts().bindingTable->isEnabled());
    QVERIFY(buttonWithText(probe(window).pageWidget(), T("Reset controls"))->isEnabled());
    QVERIFY(probe(window).parts().useEscapeButton->isEnabled());
    QVERIFY(probe(window).parts().cancelCaptureButton->isEnabled());

    // Game over: the icon style still follows its switch at once
    probe(window).state() = bindingsState(sampleRows);
    probe(window).input() = {};
    probe(window).refresh();
    QVERIFY(probe(window).parts().bindingTable->isEnabled());
    auto *icons = probe(window).pageWidget()->findChild<Quilt::SewnSwitch *>();
    auto *style = probe(window).pageWidget()->findChild<Quilt::FabricCombo *>();
    QVERIFY(!icons->isChecked());
    QVERIFY(!style->isEnabled());
    icons->setChecked(true);
    QVERIFY(style->isEnabled());
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
