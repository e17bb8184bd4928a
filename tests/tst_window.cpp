#include "support.h"
#include "translations.h"
#include "window.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>

using namespace Quilt;
using namespace QuiltTest;

namespace {

const Page allPages[] = {Page::Play,  Page::Install,     Page::Display, Page::Controls,
                         Page::Saves, Page::Diagnostics, Page::Basic,   Page::ControllerGuide};

bool advanced(Page page)
{
    return page == Page::Display || page == Page::Controls || page == Page::Diagnostics;
}

// Gives every page put into the scroll area a large height, so that scroll positions
// survive rebuilds whatever the page builders make.
class TallPages : public QObject
{
public:
    explicit TallPages(QWidget *viewport) { viewport->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            if (child->objectName() == QLatin1String("paper"))
                static_cast<QWidget *>(child)->setMinimumHeight(4000);
        }
        return false;
    }
};

// The buttons of the row right below the banner: the quick links on the advanced pages.
QList<QPushButton *> quickLinks(QVBoxLayout *pageLayout)
{
    QList<QPushButton *> links;
    QLayoutItem *item = pageLayout->count() > 1 ? pageLayout->itemAt(1) : nullptr;
    auto *row = item ? qobject_cast<QHBoxLayout *>(item->layout()) : nullptr;
    for (int j = 0; row && j < row->count(); ++j) {
        if (auto *button = qobject_cast<QPushButton *>(row->itemAt(j)->widget()))
            links.append(button);
    }
    return links;
}

// Checkable buttons anywhere on the page that carry a quick link's text.
int linkLookalikes(QWidget *page)
{
    int count = 0;
    for (QPushButton *button : page->findChildren<QPushButton *>()) {
        for (const char *key : {"Graphics and performance", "Button mapping", "Diagnostics"})
            count += button->isCheckable() && button->text() == T(key);
    }
    return count;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QuiltTest::resetShared(); }
    void cleanup();
    void greetsAndPollsOnceReady();
    void frame();
    void headerAndAdvancedGroup();
    void compactSwitch();
    void scrollPosition();
    void navigateForgetsOldPage();
    void focusStaysWithThePlayer();
    void screenReadersTellControlsApart();
    void liveLinesAnnounceTheirNews();
    void closeWithoutService();
};

void TestWindow::cleanup()
{
    QuiltTest::resetShared();
    // The language is global to the catalogue.
    Quilt::language(1);
}

void TestWindow::greetsAndPollsOnceReady()
{
    ScriptedService service;
    service.serve(readyState());
    auto window = service.startWindow();
    QVERIFY(service.waitFor("hello"));
    QTRY_VERIFY(probe(window).ready());
    QVERIFY(service.waitFor("poll", 3));
    QVERIFY(service.lines().first().startsWith(R"({"cmd":"hello","controls":false,"focused":)"));
}

void TestWindow::frame()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    QCOMPARE(w.windowTitle(), QStringLiteral("Tobble's Grand Quilt"));
    QCOMPARE(w.minimumSize(), QSize(640, 520));
    QCOMPARE(w.size(), QSize(1120, 685));
    QCOMPARE(probe(w).language(), 1);
    QCOMPARE(probe(w).page(), Page::Play);
    QCOMPARE(probe(w).brandLabel()->text(), QStringLiteral("Tobble\u2019s Grand Quilt"));
    QVERIFY(!probe(w).brandLabel()->wordWrap());
    QCOMPARE(probe(w).brandLabel()->objectName(), QStringLiteral("brand"));
    QVERIFY(probe(w).noticeLabel()->isHidden());
    QCOMPARE(probe(w).noticeLabel()->objectName(), QStringLiteral("notice"));
    QCOMPARE(probe(w).scrollArea()->viewport()->objectName(), QStringLiteral("viewport"));
    QCOMPARE(probe(w).scrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(probe(w).pageWidget()->objectName(), QStringLiteral("paper"));
    QCOMPARE(probe(w).saveButton()->text(), T("Save settings"));
    // Nothing is ready without a service: no saving, and the footer says so.
    QVERIFY(!probe(w).saveButton()->isEnabled());
    QCOMPARE(probe(w).footerStatus()->text(), T("No unsaved changes"));

    // The notice line shows exactly while it has text.
    probe(w).notice(QStringLiteral("<b>Broken</b>"));
    QVERIFY(!probe(w).noticeLabel()->isHidden());
    QCOMPARE(probe(w).noticeLabel()->textFormat(), Qt::PlainText);
    probe(w).notice(QString());
    QVERIFY(probe(w).noticeLabel()->isHidden());

    // The footer's status follows the mirror on the next refresh.
    probe(w).ready() = true;
    probe(w).state() = {{"dirty", true}};
    probe(w).refresh();
    QVERIFY(probe(w).saveButton()->isEnabled());
    QCOMPARE(probe(w).footerStatus()->text(), T("Unsaved changes"));
    probe(w).state() = {{"dirty", true}, {"settingsError", "bad line 3"}};
    probe(w).refresh();
    QVERIFY(!probe(w).saveButton()->isEnabled());
    QCOMPARE(probe(w).footerStatus()->text(),
             T("Settings need attention. Open Diagnostics to fix them."));
    probe(w).state() = {{"dirty", true}, {"running", true}};
    probe(w).refresh();
    QVERIFY(!probe(w).saveButton()->isEnabled());
}

void TestWindow::headerAndAdvancedGroup()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    const char *const tabKeys[3] = {"Home page", "Basic settings", "Advanced settings"};
    for (Page page : allPages) {
        const QByteArray name = "page " + QByteArray::number(int(page));
        probe(w).navigate(page, false);
        QCOMPARE(probe(w).page(), page);
        const int lit = page == Page::Play ? 0 : advanced(page) ? 2 : 1;
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(probe(w).navButtons()[i]->isChecked() == (i == lit), name.constData());
            QCOMPARE(probe(w).navButtons()[i]->text(), T(tabKeys[i]));
            QCOMPARE(probe(w).navButtons()[i]->accessibleName(), T(tabKeys[i]));
        }
        QVERIFY2(probe(w).footer()->isHidden() == !advanced(page), name.constData());

        // Quick links between the advanced pages, the current one checked
        const QList<QPushButton *> links = quickLinks(probe(w).pageLayout());
        if (!advanced(page)) {
            QVERIFY2(linkLookalikes(probe(w).pageWidget()) == 0, name.constData());
        } else {
            QCOMPARE(links.size(), 3);
            QCOMPARE(links[0]->text(), T("Graphics and performance"));
            QCOMPARE(links[1]->text(), T("Button mapping"));
            QCOMPARE(links[2]->text(), T("Diagnostics"));
            QCOMPARE(links[0]->isChecked(), page == Page::Display);
            QCOMPARE(links[1]->isChecked(), page == Page::Controls);
            QCOMPARE(links[2]->isChecked(), page == Page::Diagnostics);
        }

        // Every page but home (which has its own) opens with a banner holding its title.
        if (page != Page::Play) {
            auto *banner = qobject_cast<Banner *>(probe(w).pageLayout()->itemAt(0)->widget());
            QVERIFY2(banner, name.constData());
            const QString title = advanced(page) ? T("Advanced settings") : T(Titles[int(page)]);
            auto *titleLabel = banner->findChild<QLabel *>(QStringLiteral("title"));
            QVERIFY(titleLabel);
            QCOMPARE(titleLabel->text(), title);
        }
    }

    // The header tabs and the quick links move between pages.
    probe(w).navigate(Page::Install, false);
    probe(w).navButtons()[2]->click();
    QCOMPARE(probe(w).page(), Page::Display);
    quickLinks(probe(w).pageLayout())[1]->click();
    QCOMPARE(probe(w).page(), Page::Controls);
    quickLinks(probe(w).pageLayout())[2]->click();
    QCOMPARE(probe(w).page(), Page::Diagnostics);
    probe(w).navButtons()[1]->click();
    QCOMPARE(probe(w).page(), Page::Basic);
    QVERIFY(probe(w).navButtons()[1]->isChecked());
    probe(w).navButtons()[0]->click();
    QCOMPARE(probe(w).page(), Page::Play);
    QVERIFY(probe(w).navButtons()[0]->isChecked());
    QVERIFY(!probe(w).navButtons()[1]->isChecked());

    // A language switch changes the tab texts but never the brand.
    probe(w).setLanguage(2);
    QCOMPARE(probe(w).navButtons()[1]->text(), T("Basic settings"));
    QVERIFY(probe(w).navButtons()[1]->text() != QLatin1String("Basic settings"));
    QCOMPARE(probe(w).brandLabel()->text(), QStringLiteral("Tobble\u2019s Grand Quilt"));
}

void TestWindow::compactSwitch()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    probe(w).navigate(Page::Install, false);
    w.resize(900, 600);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(w.width(), 900);
    QVERIFY(!probe(w).compact());
    auto bannerHeight = [&w] {
        auto *banner = find<Banner>(probe(w).pageWidget(), QString());
        return banner ? banner->minimumHeight() : -1;
    };
    QCOMPARE(bannerHeight(), 99);

    QPointer<QWidget> before = probe(w).pageWidget();
    w.resize(859, 600);
    QTRY_VERIFY(probe(w).compact());
    QCOMPARE(probe(w).brandLabel()->text(), QStringLiteral("Grand Quilt"));
    QVERIFY(probe(w).pageWidget() != before.data());
    QCOMPARE(probe(w).page(), Page::Install);
    QCOMPARE(bannerHeight(), 86);

    // Staying compact does not rebuild the page.
    before = probe(w).pageWidget();
    w.resize(700, 600);
    QTRY_COMPARE(w.width(), 700);
    QCOMPARE(probe(w).pageWidget(), before.data());

    w.resize(860, 600);
    QTRY_VERIFY(!probe(w).compact());
    QCOMPARE(probe(w).brandLabel()->text(), QStringLiteral("Tobble\u2019s Grand Quilt"));
    QCOMPARE(bannerHeight(), 99);
}

void TestWindow::scrollPosition()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    TallPages tall(probe(w).scrollArea()->viewport());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QScrollBar *bar = probe(w).scrollArea()->verticalScrollBar();
    auto scrollDown = [&] {
        QTRY_VERIFY(bar->maximum() >= 500);
        bar->setValue(500);
        QCOMPARE(bar->value(), 500);
    };
    auto settled = [&](QWidget *oldPage) {
        // The old page goes with the event loop, after the zero-delay restore.
        QPointer<QWidget> old = oldPage;
        QTRY_VERIFY(old.isNull());
        QCoreApplication::processEvents();
    };

    probe(w).navigate(Page::Basic, false);
    scrollDown();

    // A language switch rebuilds in place and keeps the position.
    QWidget *page = probe(w).pageWidget();
    probe(w).setLanguage(0);
    QVERIFY(probe(w).pageWidget() != page);
    settled(page);
    QCOMPARE(bar->value(), 500);

    // A rebuild that keeps the scroll position.
    page = probe(w).pageWidget();
    probe(w).navigate(Page::Basic, true);
    settled(page);
    QCOMPARE(bar->value(), 500);

    // The header tab of the current page rebuilds it and goes to the top.
    page = probe(w).pageWidget();
    probe(w).navButtons()[1]->click();
    QCOMPARE(probe(w).page(), Page::Basic);
    QVERIFY(probe(w).pageWidget() != page);
    settled(page);
    QCOMPARE(bar->value(), 0);

    // So does a page change.
    scrollDown();
    page = probe(w).pageWidget();
    probe(w).navigate(Page::Saves, false);
    settled(page);
    QCOMPARE(bar->value(), 0);

    // One reply that rebuilds the page twice keeps the position too.
    scrollDown();
    page = probe(w).pageWidget();
    probe(w).navigate(Page::Saves, true);
    probe(w).navigate(Page::Saves, true);
    settled(page);
    QCOMPARE(bar->value(), 500);
}

// Controls that lock under the focus hand it to their neighbour, rebuilds give it back, and
// the page never scrolls on its own.
void TestWindow::focusStaysWithThePlayer()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    probe(w).ready() = true;
    probe(w).state() = readyState();
    probe(w).state().insert("bindings", QJsonArray{QJsonArray{"Move up", "D-pad Up", "Up"},
                                                   QJsonArray{"Jump / Confirm", "South", "Space"}});
    probe(w).config() = {{"gain", 1.0}};
    probe(w).input() = {{"devices", QJsonArray{QJsonObject{{"id", 1}, {"name", "Pad"}}}},
                        {"selected", 1},
                        {"gyro", true},
                        {"accel", true}};
    probe(w).controlsTab() = 1;
    probe(w).navigate(Page::Controls, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QScrollBar *bar = probe(w).scrollArea()->verticalScrollBar();
    const auto cardOf = [](QWidget *widget) {
        while (widget && widget->objectName() != QLatin1String("card"))
            widget = widget->parentWidget();
        return widget;
    };

    // Calibrating locks "Calibrate gyro": the focus stays in its card, not on a switch below
    QPointer<QWidget> calibrate = probe(w).parts().calibrateButton.data();
    calibrate->setFocus();
    const int scrolled = bar->value();
    probe(w).input().insert("calibrating", true);
    probe(w).refresh();
    QVERIFY(!calibrate->isEnabled());
    QVERIFY(w.focusWidget() && w.focusWidget() != calibrate);
    QCOMPARE(cardOf(w.focusWidget()), cardOf(calibrate));
    QCOMPARE(bar->value(), scrolled);

    // A rebuild gives the focus back to the same setting
    auto *gain = qobject_cast<FabricSpinBox *>(probe(w).parts().trackedControls.at(2));
    QCOMPARE(gain->accessibleName(), T("Tilt sensitivity"));
    gain->setFocus();
    probe(w).navigate(Page::Controls, true);
    QVERIFY(w.focusWidget() != gain);
    QCOMPARE(w.focusWidget()->accessibleName(), T("Tilt sensitivity"));

    // A capture keeps the focus in its card, and its end gives it to the changed cell
    probe(w).controlsTab() = 0;
    probe(w).navigate(Page::Controls, false);
    QPushButton *cell = probe(w).parts().bindingButtons.at(1).second;
    cell->setFocus();
    cell->click();
    probe(w).input() = {{"phase", 1}, {"keyboardCapture", true}};
    probe(w).refresh();
    QVERIFY(w.focusWidget() && !probe(w).parts().bindingTable->isAncestorOf(w.focusWidget()));
    QCOMPARE(cardOf(w.focusWidget()), cardOf(cell));
    probe(w).input() = {{"message", "Binding updated"}};
    probe(w).refresh();
    QCOMPARE(w.focusWidget(), cell);
}

// Every keyboard stop of every page, in every language, has a name and the role of what it is,
// and no two stops of a page share both.
void TestWindow::screenReadersTellControlsApart()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    probe(w).ready() = true;
    probe(w).state() = readyState();
    probe(w).state().insert("saveFound", true);
    probe(w).state().insert("saves", "local/user/saves");
    probe(w).state().insert("settings", "local/user/settings.toml");
    probe(w).state().insert("bindings", QJsonArray{QJsonArray{"Move up", "D-pad Up", "Up"},
                                                   QJsonArray{"Jump / Confirm", "South", "Space"}});
    probe(w).state().insert(
        "backups", QJsonArray{QJsonObject{{"name", "1"}, {"label", "Boss"}, {"timestamp", "T1"}},
                              QJsonObject{{"name", "2"}, {"timestamp", "T2"}}});
    probe(w).input() = {{"devices", QJsonArray{QJsonObject{{"id", 1}, {"name", "Pad"}}}},
                        {"selected", 1},
                        {"gyro", true},
                        {"accel", true}};
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto expectedRole = [](QWidget *widget) {
        if (widget->property("pageTab").toBool())
            return QAccessible::PageTab;
        if (qobject_cast<QCheckBox *>(widget))
            return QAccessible::CheckBox;
        if (qobject_cast<QComboBox *>(widget))
            return QAccessible::ComboBox;
        if (qobject_cast<QAbstractSpinBox *>(widget))
            return QAccessible::SpinBox;
        if (qobject_cast<QAbstractSlider *>(widget))
            return QAccessible::Slider;
        if (qobject_cast<QLineEdit *>(widget))
            return QAccessible::EditableText;
        if (qobject_cast<QTabBar *>(widget))
            return QAccessible::PageTabList;
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            return button->isCheckable() ? QAccessible::CheckBox : QAccessible::Button;
        return QAccessible::NoRole; // the scroll area: whatever Qt calls it
    };
    for (int language : {0, 1, 2}) {
        probe(w).setLanguage(language);
        for (int stop = 0; stop < 9; ++stop) {
            probe(w).controlsTab() = stop == 8 ? 1 : 0;
            probe(w).navigate(stop == 8 ? Page::Controls : allPages[stop], false);
            const QString where = QStringLiteral("language %1, page %2: ").arg(language).arg(stop);
            QSet<QPair<QString, int>> seen;
            QList<QAccessibleInterface *> pending{QAccessible::queryAccessibleInterface(&w)};
            while (!pending.isEmpty()) {
                QAccessibleInterface *node = pending.takeLast();
                auto *widget = qobject_cast<QWidget *>(node->object());
                if (!widget || !widget->isVisible())
                    continue;
                if (node->role() != QAccessible::ComboBox) {
                    for (int i = 0; i < node->childCount(); ++i)
                        pending.append(node->child(i));
                }
                if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
                    continue;
                // A combo box's name is its text on Linux; its caption comes as a relation.
                QString name = node->text(QAccessible::Name);
                for (const auto &[caption, relation] : node->relations(QAccessible::Label))
                    name = caption->text(QAccessible::Name) + QLatin1Char('/') + name;
                const QString what = where + widget->metaObject()->className() + " " + name;
                QVERIFY2(!name.trimmed().isEmpty(), qPrintable(what));
                if (const QAccessible::Role role = expectedRole(widget);
                    role != QAccessible::NoRole) {
                    QVERIFY2(node->role() == role, qPrintable(what));
                }
                if (node->role() == QAccessible::PageTab)
                    QCOMPARE(node->state().selected,
                             static_cast<QAbstractButton *>(widget)->isChecked());
                QVERIFY2(!seen.contains({name, int(node->role())}), qPrintable(what));
                seen.insert({name, int(node->role())});
            }
        }
    }
}

// The lines whose changes are news are live objects for assistive technology.
void TestWindow::liveLinesAnnounceTheirNews()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    probe(w).ready() = true;
    probe(w).state() = readyState();
    probe(w).input() = {{"devices", QJsonArray{QJsonObject{{"id", 1}, {"name", "Pad"}}}}};
    const auto role = [](QWidget *line) {
        return QAccessible::queryAccessibleInterface(line)->role();
    };
    QCOMPARE(role(probe(w).noticeLabel()), QAccessible::AlertMessage);
    probe(w).notice(T("Could not save settings"));
    QCOMPARE(QAccessible::queryAccessibleInterface(probe(w).noticeLabel())->text(QAccessible::Name),
             T("Could not save settings"));
    probe(w).controlsTab() = 1;
    probe(w).navigate(Page::Controls, false);
    QCOMPARE(role(probe(w).parts().motionStatus), QAccessible::Notification);
    probe(w).controlsTab() = 0;
    probe(w).navigate(Page::Controls, false);
    QCOMPARE(role(probe(w).parts().captureMessage), QAccessible::Notification);
}

void TestWindow::navigateForgetsOldPage()
{
    Window w(QStringLiteral("/nonexistent"), QString(), true);
    probe(w).navigate(Page::Controls, false);

    // Stand-ins that outlive the page, so a pointer that is not cleared stays visible.
    QLabel gameStatus, dataStatus, importStatus, capture, motion;
    FabricButton play(QStringLiteral("Play")), swap(QStringLiteral("Swap")),
        calibrate(QStringLiteral("Calibrate"));
    QComboBox language;
    FabricCombo device;
    QWidget table, pointer;
    probe(w).parts().playButton = &play;
    probe(w).parts().gameStatusLabel = &gameStatus;
    probe(w).parts().dataStatusLabel = &dataStatus;
    probe(w).parts().saveImportStatusLabel = &importStatus;
    probe(w).parts().languageCombo = &language;
    probe(w).parts().bindingButtons.append(qMakePair(&swap, &calibrate));
    probe(w).parts().captureMessage = &capture;
    probe(w).parts().swapButton = &swap;
    probe(w).parts().useEscapeButton = &swap;
    probe(w).parts().cancelCaptureButton = &swap;
    probe(w).parts().bindingTable = &table;
    probe(w).parts().deviceCombo = &device;
    probe(w).parts().motionStatus = &motion;
    probe(w).parts().calibrateButton = &calibrate;
    probe(w).parts().pointerView = &pointer;
    probe(w).tracked(&table);

    QPointer<QWidget> oldPage = probe(w).pageWidget();
    probe(w).navigate(Page::Diagnostics, false);
    QVERIFY(!probe(w).parts().playButton);
    QVERIFY(!probe(w).parts().gameStatusLabel);
    QVERIFY(!probe(w).parts().dataStatusLabel);
    QVERIFY(!probe(w).parts().saveImportStatusLabel);
    QVERIFY(!probe(w).parts().languageCombo);
    QVERIFY(probe(w).parts().bindingButtons.isEmpty());
    QVERIFY(!probe(w).parts().captureMessage);
    QVERIFY(!probe(w).parts().swapButton);
    QVERIFY(!probe(w).parts().useEscapeButton);
    QVERIFY(!probe(w).parts().cancelCaptureButton);
    QVERIFY(!probe(w).parts().bindingTable);
    QVERIFY(!probe(w).parts().deviceCombo);
    QVERIFY(!probe(w).parts().motionStatus);
    QVERIFY(!probe(w).parts().calibrateButton);
    QVERIFY(!probe(w).parts().pointerView);
    QVERIFY(!probe(w).parts().trackedControls.contains(&table));
    // The old page is hidden at once and deleted later, never in the middle of a handler.
    QVERIFY(oldPage);
    QVERIFY(oldPage->isHidden());
    QVERIFY(probe(w).scrollArea()->widget() == probe(w).pageWidget());
    QTRY_VERIFY(oldPage.isNull());
}

void TestWindow::closeWithoutService()
{
    // Self-test mode: only a pending save on the way out holds the window.
    {
        Window w(QStringLiteral("/nonexistent"), QString(), true);
        w.show();
        probe(w).dirty() = true;
        probe(w).closeAfterSave() = true;
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(!probe(w).closing());
        probe(w).closing() = true;
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }
    {
        Window w(QStringLiteral("/nonexistent"), QString(), true);
        w.show();
        probe(w).ready() = true;
        probe(w).dirty() = true;
        probe(w).state() = {{"dirty", true}};
        QVERIFY(w.close());
        QVERIFY(probe(w).closing());
    }
    // A service that never started: nothing can be saved, so unsaved changes do not block.
    {
        QTemporaryDir root;
        Window w(root.path(), root.filePath(QStringLiteral("missing/tobble-launcher")), false);
        w.show();
        QTRY_VERIFY(!probe(w).noticeLabel()->isHidden());
        probe(w).dirty() = true;
        probe(w).state() = {{"dirty", true}};
        QVERIFY(w.close());
        QVERIFY(probe(w).closing());
        QVERIFY(!probe(w).closeAfterSave());
    }
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
