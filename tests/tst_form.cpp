#include "support.h"
#include "translations.h"
#include "window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

using namespace Quilt;
using namespace QuiltTest;

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void labelIsPlainText();
    void labelHeightFollowsItsText();
    void largeLabelLooksLikeAPlainOne_data();
    void largeLabelLooksLikeAPlainOne();
    void cardHeader();
    void rowAndHelp();
    void fieldAndAction();
    void checkReadsAndSends();
    void selectReadsConfiguredValue_data();
    void selectReadsConfiguredValue();
    void selectSendsEveryChoice();
    void numberBox();
    void wheelNeedsTheFocus();
    void trackedEnabling_data();
    void trackedEnabling();

private:
    std::unique_ptr<Window> w;
    QVBoxLayout *body = nullptr;
    qsizetype pageTracked = 0; // controls tracked by the page's own builder
};

void TestForm::init()
{
    QuiltTest::resetShared();
    // A self-test window has no service: every patch shows in the mirror and `dirty` only.
    w = std::make_unique<Window>(QStringLiteral("/nonexistent"), QString(), true);
    probe(w).navigate(Page::Display, false);
    body = probe(w).card("Display");
    pageTracked = probe(w).parts().trackedControls.size();
}

void TestForm::cleanup()
{
    QuiltTest::resetShared();
    w.reset();
}

void TestForm::labelIsPlainText()
{
    std::unique_ptr<QLabel> plain(WindowProbe::label(QStringLiteral("<b>5 < 6</b>")));
    QCOMPARE(plain->textFormat(), Qt::PlainText);
    QCOMPARE(plain->text(), QStringLiteral("<b>5 < 6</b>"));
    QVERIFY(plain->wordWrap());
    QVERIFY(plain->objectName().isEmpty());
    std::unique_ptr<QLabel> named(WindowProbe::label(QStringLiteral("x"), "soft"));
    QCOMPARE(named->objectName(), QStringLiteral("soft"));
}

// Labels share their measurements; after any change that moves the text a label must answer
// as a plain one would, at every width it was asked before, and a twin with the old settings
// must keep its own answers.
void TestForm::labelHeightFollowsItsText()
{
    const QString words = QStringLiteral("Point the launcher at the folder that holds the game.");
    std::unique_ptr<QLabel> cached(WindowProbe::label(words));
    std::unique_ptr<QLabel> twin(WindowProbe::label(words));
    QLabel fresh;
    fresh.setTextFormat(Qt::PlainText);
    fresh.setWordWrap(true);
    const int widths[] = {60, 140, 320, 900, 140, 60};
    auto sameHeights = [&](const char *what) {
        for (int width : widths) {
            if (cached->heightForWidth(width) != fresh.heightForWidth(width))
                qWarning("%s at width %d", what, width);
            QCOMPARE(cached->heightForWidth(width), fresh.heightForWidth(width));
        }
        QCOMPARE(cached->sizeHint(), fresh.sizeHint());
        QCOMPARE(cached->minimumSizeHint(), fresh.minimumSizeHint());
    };
    auto change = [&](auto &&edit) {
        edit(*cached);
        edit(fresh);
    };

    change([&](QLabel &l) { l.setText(words); });
    sameHeights("first text");
    const QSize twinHint = twin->sizeHint();
    const int twinHeight = twin->heightForWidth(140);
    QCOMPARE(twinHint, cached->sizeHint());
    change([&](QLabel &l) { l.setText(words + QLatin1Char(' ') + words); });
    sameHeights("longer text");
    change([](QLabel &l) {
        QFont font = l.font();
        font.setPixelSize(31);
        l.setFont(font);
    });
    sameHeights("larger font");
    change([](QLabel &l) { l.setMargin(9); });
    sameHeights("margin");
    change([](QLabel &l) { l.setContentsMargins(4, 12, 30, 2); });
    sameHeights("contents margins");
    change([](QLabel &l) { l.setIndent(40); });
    sameHeights("indent");
    change([](QLabel &l) {
        l.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    });
    sameHeights("selectable");
    change([](QLabel &l) { l.setWordWrap(false); });
    sameHeights("no wrap");
    QCOMPARE(twin->sizeHint(), twinHint);
    QCOMPARE(twin->heightForWidth(140), twinHeight);
}

// Labels in fonts too large for Qt's glyph cache are painted from a kept picture; it must look
// like a plain QLabel with the same settings, also after the text changes.
void TestForm::largeLabelLooksLikeAPlainOne_data()
{
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("margin");
    QTest::addColumn<int>("indent");
    QTest::addColumn<bool>("enabled");
    const int leftCentre = int(Qt::AlignLeft | Qt::AlignVCenter);
    QTest::newRow("title") << 68 << leftCentre << 0 << -1 << true;
    QTest::newRow("small text, painted directly") << 30 << leftCentre << 0 << -1 << true;
    QTest::newRow("centred with margin") << 68 << int(Qt::AlignCenter) << 7 << -1 << true;
    QTest::newRow("right with indent")
        << 70 << int(Qt::AlignRight | Qt::AlignBottom) << 0 << 25 << true;
    QTest::newRow("disabled") << 68 << leftCentre << 0 << 12 << false;
}

void TestForm::largeLabelLooksLikeAPlainOne()
{
    QFETCH(int, pixels);
    QFETCH(int, alignment);
    QFETCH(int, margin);
    QFETCH(int, indent);
    QFETCH(bool, enabled);
    std::unique_ptr<QLabel> kept(WindowProbe::label(QStringLiteral("Grand Quilt")));
    QLabel plain(QStringLiteral("Grand Quilt"));
    plain.setTextFormat(Qt::PlainText);
    plain.setWordWrap(true);
    for (QLabel *label : {kept.get(), &plain}) {
        QFont font = label->font();
        font.setPixelSize(pixels);
        label->setFont(font);
        label->setAlignment(Qt::Alignment(alignment));
        label->setMargin(margin);
        label->setIndent(indent);
        label->setEnabled(enabled);
        label->resize(560, 150);
    }
    auto compare = [&] {
        const QImage want = plain.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage got = kept->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(got.size(), want.size());
        int inked = 0;
        for (int y = 0; y < want.height(); ++y) {
            for (int x = 0; x < want.width(); ++x) {
                const QColor a = got.pixelColor(x, y);
                const QColor b = want.pixelColor(x, y);
                // Antialiased glyph edges blend a little differently through a picture.
                const int worst =
                    std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue())});
                QVERIFY2(worst <= 12, QByteArray::number(x) + "," + QByteArray::number(y));
                inked += b != want.pixelColor(0, 0) ? 1 : 0;
            }
        }
        QVERIFY(inked > 500);
    };
    compare();
    kept->setText(QStringLiteral("Tobble\u2019s Quilt"));
    plain.setText(QStringLiteral("Tobble\u2019s Quilt"));
    compare();
}

void TestForm::cardHeader()
{
    // Without help: the title alone
    auto *frame = qobject_cast<QFrame *>(body->parentWidget());
    QVERIFY(frame);
    QCOMPARE(frame->objectName(), QStringLiteral("card"));
    QCOMPARE(frame->parentWidget(), probe(w).pageWidget());
    QVERIFY(!find<QPushButton>(frame, QStringLiteral("help")));
    auto *title = find<QLabel>(frame, QStringLiteral("section"));
    QVERIFY(title);
    QCOMPARE(title->text(), T("Display"));
    QCOMPARE(body->contentsMargins(), QMargins(19, 14, 19, 16));

    // With help: a "?" that shows its text on hover and on click
    QVBoxLayout *helped = probe(w).card("Display", "Help");
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto *button = find<QPushButton>(helped->parentWidget(), QStringLiteral("help"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("?"));
    QCOMPARE(button->size(), QSize(23, 23));
    QCOMPARE(button->toolTip(), WindowProbe::helpTip(T("Help")));
    QCOMPARE(button->accessibleDescription(), T("Help"));
    QCOMPARE(button->accessibleName(), T("Help") + " · " + T("Display"));
    QTRY_VERIFY(button->isVisible());
    button->click();
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), WindowProbe::helpTip(T("Help")));
    QToolTip::hideText();
}

void TestForm::rowAndHelp()
{
    auto *control = new QPushButton;
    QWidget *line = probe(w).row(body, QStringLiteral("<i>Caption</i>"), control, "Help");
    QCOMPARE(control->accessibleName(), QStringLiteral("<i>Caption</i>"));
    auto *caption = line->findChild<QLabel *>();
    QVERIFY(caption);
    QCOMPARE(caption->textFormat(), Qt::PlainText);
    QCOMPARE(caption->buddy(), control);
    for (QWidget *widget :
         {line, static_cast<QWidget *>(caption), static_cast<QWidget *>(control)}) {
        QCOMPARE(widget->toolTip(), WindowProbe::helpTip(T("Help")));
        QCOMPARE(widget->accessibleDescription(), T("Help"));
    }
    QCOMPARE(line->parentWidget(), body->parentWidget());

    // The keyboard brings the help up too, wrapped at a readable width however long it is
    Quilt::language(2);
    const auto english = qScopeGuard([] { Quilt::language(1); });
    auto *spin = new FabricSpinBox;
    const char *longest = "Renders geometry at a higher resolution for sharper edges. Higher "
                          "multipliers use more GPU time and memory; original texture detail is "
                          "unchanged.";
    probe(w).row(body, QStringLiteral("Spin"), spin, longest);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    spin->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), WindowProbe::helpTip(T(longest)));
    QWidget *tip = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->inherits("QTipLabel") && top->isVisible())
            tip = top;
    QVERIFY(tip);
    QVERIFY2(tip->width() < 700, qPrintable(QString::number(tip->width())));
    QToolTip::hideText();

    // No help key: no tool tip, no description, but still a name
    auto *bare = new QPushButton;
    QWidget *plain = probe(w).row(body, QStringLiteral("Bare"), bare);
    QVERIFY(plain->toolTip().isEmpty());
    QVERIFY(bare->toolTip().isEmpty());
    QVERIFY(bare->accessibleDescription().isEmpty());
    QCOMPARE(bare->accessibleName(), QStringLiteral("Bare"));
}

void TestForm::fieldAndAction()
{
    const QString path = QStringLiteral("/a/very/long/path/") + QString(300, QLatin1Char('x'));
    probe(w).field(body, "Display", path);
    QLabel *value = nullptr;
    for (QLabel *label : body->parentWidget()->findChildren<QLabel *>()) {
        if (label->text() == path)
            value = label;
    }
    QVERIFY(value);
    QVERIFY(value->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    QVERIFY(value->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    QCOMPARE(value->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    QCOMPARE(value->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);

    int clicks = 0;
    FabricButton *button = probe(w).action(
        body, "Diagnostics", [&clicks] { ++clicks; }, "Help");
    QCOMPARE(button->text(), T("Diagnostics"));
    QVERIFY(!button->isPrimary());
    QCOMPARE(button->toolTip(), WindowProbe::helpTip(T("Help")));
    button->click();
    QCOMPARE(clicks, 1);
    // Actions are not tracked: pages decide when they may be used.
    QVERIFY(!probe(w).parts().trackedControls.contains(button));
}

void TestForm::checkReadsAndSends()
{
    probe(w).config() = {{"on", true}, {"one", 1}, {"text", "true"}};
    SewnSwitch *on = probe(w).check(body, "on", "VSync");
    SewnSwitch *one = probe(w).check(body, "one", "VSync");
    SewnSwitch *text = probe(w).check(body, "text", "VSync");
    SewnSwitch *missing = probe(w).check(body, "missing", "VSync");
    QVERIFY(on->isChecked());
    QVERIFY(!one->isChecked());
    QVERIFY(!text->isChecked());
    QVERIFY(!missing->isChecked());
    QCOMPARE(on->accessibleName(), T("VSync"));
    QCOMPARE(probe(w).parts().trackedControls.mid(pageTracked),
             (QList<QWidget *>{on, one, text, missing}));
    // Building sends nothing.
    QVERIFY(!probe(w).dirty());

    missing->click();
    QVERIFY(probe(w).dirty());
    QCOMPARE(probe(w).config().value("missing"), QJsonValue(true));
    on->click();
    QCOMPARE(probe(w).config().value("on"), QJsonValue(false));
}

void TestForm::selectReadsConfiguredValue_data()
{
    QTest::addColumn<QJsonValue>("configured");
    QTest::addColumn<int>("index");
    // Values {5, 0, 7, 7, INT_MAX}: a value that reads as 0 lands on index 1, a value not in
    // the list on index 0.
    QTest::newRow("listed") << QJsonValue(7) << 2;
    QTest::newRow("whole double") << QJsonValue(7.0) << 2;
    QTest::newRow("largest int") << QJsonValue(double(INT_MAX)) << 4;
    QTest::newRow("not listed") << QJsonValue(3) << 0;
    QTest::newRow("fraction") << QJsonValue(7.5) << 1;
    QTest::newRow("above int") << QJsonValue(double(INT_MAX) + 1.0) << 1;
    QTest::newRow("below int") << QJsonValue(-3e10) << 1;
    QTest::newRow("string") << QJsonValue(QStringLiteral("7")) << 1;
    QTest::newRow("boolean") << QJsonValue(true) << 1;
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << 1;
}

void TestForm::selectReadsConfiguredValue()
{
    QFETCH(QJsonValue, configured);
    QFETCH(int, index);
    if (!configured.isUndefined())
        probe(w).config().insert("aa", configured);
    const QJsonObject before = probe(w).config();
    FabricCombo *combo = probe(w).select(body, "aa", "Anti-aliasing", {"a", "b", "c", "d", "e"},
                                         {5, 0, 7, 7, INT_MAX});
    QCOMPARE(combo->count(), 5);
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(combo->accessibleName(), T("Anti-aliasing"));
    QVERIFY(probe(w).parts().trackedControls.contains(combo));
    // Shown, not sent
    QVERIFY(!probe(w).dirty());
    QCOMPARE(probe(w).config(), before);
}

void TestForm::selectSendsEveryChoice()
{
    probe(w).config() = {{"aa", 1}};
    FabricCombo *combo = probe(w).select(body, "aa", "Anti-aliasing", {"Off", "FXAA"}, {0, 1});
    QCOMPARE(combo->currentIndex(), 1);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    // Picking the current item from the list still sends it.
    probe(w).config().remove("aa");
    combo->setFocus();
    combo->showPopup();
    // The popup is dressed in the kit's list on its first showing.
    QVERIFY(combo->view()->testAttribute(Qt::WA_MouseTracking));
    QTRY_VERIFY(combo->list()->isVisible());
    QTest::keyClick(combo->list(), Qt::Key_Return);
    QTRY_VERIFY(probe(w).dirty());
    QCOMPARE(probe(w).config().value("aa"), QJsonValue(1));
    QVERIFY(probe(w).config().value("aa").isDouble());

    // A programmatic change is not the player's and sends nothing.
    probe(w).dirty() = false;
    combo->setCurrentIndex(0);
    QVERIFY(!probe(w).dirty());
    // The keyboard is.
    combo->setCurrentIndex(1);
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(probe(w).dirty());
    QCOMPARE(probe(w).config().value("aa"), QJsonValue(0));
}

void TestForm::numberBox()
{
    probe(w).config() = {{"gain", 7.25}, {"deadzone", 0.1234}};
    probe(w).number(body, "gain", "Gain", 0.0, 2.0, 0.05);
    probe(w).number(body, "deadzone", "Dead zone", 0.0, 1.0, 0.005);
    probe(w).number(body, "missing", "Dead zone", 0.5, 1.0, 0.01);
    const QList<FabricSpinBox *> boxes = body->parentWidget()->findChildren<FabricSpinBox *>();
    QCOMPARE(boxes.size(), 3);
    FabricSpinBox *gain = boxes[0], *deadzone = boxes[1], *missing = boxes[2];

    QCOMPARE(gain->decimals(), 2);
    QCOMPARE(deadzone->decimals(), 3);
    QCOMPARE(missing->decimals(), 2);
    QCOMPARE(gain->singleStep(), 0.05);
    QCOMPARE(deadzone->singleStep(), 0.005);
    // Clamped into the range; a missing value reads as 0, so it sits at the minimum.
    QCOMPARE(gain->value(), 2.0);
    QCOMPARE(deadzone->value(), 0.123);
    QCOMPARE(missing->value(), 0.5);
    for (FabricSpinBox *box : boxes) {
        QVERIFY(!box->keyboardTracking());
        QVERIFY(probe(w).parts().trackedControls.contains(box));
    }
    QCOMPARE(gain->accessibleName(), T("Gain"));
    // Clamping while building is not a change.
    QVERIFY(!probe(w).dirty());
    QCOMPARE(probe(w).config().value("gain"), QJsonValue(7.25));

    // A step goes out at once, as a JSON number.
    deadzone->stepBy(1);
    QVERIFY(probe(w).dirty());
    QCOMPARE(probe(w).config().value("deadzone").toDouble(), 0.128);
}

// Scrolling the page past a box must not change it; a focused box takes the wheel at once.
void TestForm::wheelNeedsTheFocus()
{
    probe(w).ready() = true; // settings can be edited
    probe(w).config() = {{"gain", 1.0}, {"pointer", 1}};
    probe(w).controlsTab() = 1;
    probe(w).navigate(Page::Controls, false);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QScrollBar *bar = probe(w).scrollArea()->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    const auto named = [this](const char *caption) {
        for (QWidget *control : std::as_const(probe(w).parts().trackedControls))
            if (control->accessibleName() == T(caption))
                return control;
        return static_cast<QWidget *>(nullptr);
    };
    auto *gain = qobject_cast<FabricSpinBox *>(named("Tilt sensitivity"));
    auto *pointer = qobject_cast<FabricCombo *>(named("Pointer source"));
    QVERIFY(gain && pointer && gain->isEnabled() && pointer->isEnabled());
    const auto wheelDown = [](QWidget *target) {
        const QPointF at(8, 8);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        // Only a wheel from the window system goes on to the parents when ignored; QTest
        // delivers its own input the same way.
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(target, &event);
    };

    for (QWidget *box : {static_cast<QWidget *>(gain), static_cast<QWidget *>(pointer)}) {
        const int scrolled = bar->value();
        wheelDown(box);
        QVERIFY(bar->value() > scrolled);
    }
    QCOMPARE(gain->value(), 1.0);
    QCOMPARE(pointer->currentIndex(), 1);
    QVERIFY(!probe(w).dirty());

    gain->setFocus();
    const int scrolled = bar->value();
    wheelDown(gain);
    QCOMPARE(probe(w).config().value("gain").toDouble(), 0.95);
    QCOMPARE(bar->value(), scrolled);
    pointer->setFocus();
    wheelDown(pointer);
    QCOMPARE(probe(w).config().value("pointer").toInt(), 2);
}

void TestForm::trackedEnabling_data()
{
    QTest::addColumn<bool>("ready");
    QTest::addColumn<QJsonObject>("state");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("editable") << true << QJsonObject() << true;
    QTest::newRow("not ready") << false << QJsonObject() << false;
    QTest::newRow("settings error")
        << true << QJsonObject{{"settingsError", "line 3: bad value"}} << false;
    QTest::newRow("empty error") << true << QJsonObject{{"settingsError", ""}} << true;
    QTest::newRow("running") << true << QJsonObject{{"running", true}} << false;
    QTest::newRow("stopped") << true << QJsonObject{{"running", false}} << true;
}

void TestForm::trackedEnabling()
{
    QFETCH(bool, ready);
    QFETCH(QJsonObject, state);
    QFETCH(bool, enabled);
    QWidget *toggle = probe(w).check(body, "vsync", "VSync");
    QWidget *combo = probe(w).select(body, "aa", "Anti-aliasing", {"Off"}, {0});
    probe(w).number(body, "gain", "Gain", 0, 1, 0.1);
    auto *plainButton = probe(w).action(body, "Diagnostics", [] {});
    plainButton->setEnabled(false);
    probe(w).ready() = ready;
    probe(w).state() = state;
    probe(w).refresh();
    QCOMPARE(probe(w).parts().trackedControls.size(), pageTracked + 3);
    for (QWidget *control : std::as_const(probe(w).parts().trackedControls))
        QCOMPARE(control->isEnabled(), enabled);
    QVERIFY(probe(w).parts().trackedControls.contains(toggle));
    QVERIFY(probe(w).parts().trackedControls.contains(combo));
    // Untracked widgets keep what their page gave them.
    QVERIFY(!plainButton->isEnabled());

    // A rebuild starts a fresh list.
    probe(w).navigate(Page::Display, true);
    QVERIFY(!probe(w).parts().trackedControls.contains(toggle));
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
