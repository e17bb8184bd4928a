// The fabric widgets rendered offscreen and probed at the pixels that carry their state.
#include "fabric.h"
#include "kept.h"
#include "support.h"

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QPainter>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QStyleOptionSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace Quilt;

namespace {

QColor hex(const char *rgb)
{
    return QColor::fromString(QLatin1StringView(rgb));
}

// Renders a widget (and its children) at the given size onto a transparent image.
QImage snapshot(QWidget &widget, QSize size)
{
    widget.resize(size);
    widget.ensurePolished();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool near(QColor actual, QColor expected, int tolerance = 6)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

QByteArray describe(QColor actual, QColor expected)
{
    return QStringLiteral("got %1 (alpha %2), expected %3")
        .arg(actual.name())
        .arg(actual.alpha())
        .arg(expected.name())
        .toUtf8();
}

// The first pixel where two pictures of one size differ by more than `tolerance` in a colour
// channel, described; empty where they agree throughout.
QByteArray firstDifference(const QImage &got, const QImage &want, int tolerance)
{
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            const QColor a = got.pixelColor(x, y);
            const QColor b = want.pixelColor(x, y);
            if (!near(a, b, tolerance))
                return QByteArray::number(x) + "," + QByteArray::number(y) + ": " + describe(a, b);
        }
    }
    return {};
}

#define QVERIFY_COLOR(image, x, y, expected)                                                       \
    QVERIFY2(near((image).pixelColor((x), (y)), (expected)),                                       \
             describe((image).pixelColor((x), (y)), (expected)).constData())

// Number of pixels in a rectangle that satisfy a predicate.
template <typename Predicate> int count(const QImage &image, QRect area, Predicate predicate)
{
    int matches = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            matches += predicate(image.pixelColor(x, y)) ? 1 : 0;
    return matches;
}

bool ink(QColor c)
{
    return c.alpha() > 200 && c.lightness() < 160;
}

// Exposes the spin box's own style option, so the test finds the step buttons where it paints.
class ProbeSpinBox : public FabricSpinBox
{
public:
    using FabricSpinBox::initStyleOption;
};

class ProbeTabs : public QuiltTabs
{
public:
    using QuiltTabs::tabSizeHint;
};

// The launcher's stylesheet rules for the spin box: minus at the left, plus at the right.
const char *spinRules = "QDoubleSpinBox#fabricNumber {background:transparent;border:0;padding:5px;"
                        "min-height:30px;}"
                        "QDoubleSpinBox#fabricNumber::down-button {subcontrol-origin:border;"
                        "subcontrol-position:center left;left:5px;width:26px;height:28px;}"
                        "QDoubleSpinBox#fabricNumber::up-button {subcontrol-origin:border;"
                        "subcontrol-position:center right;right:5px;width:26px;height:28px;}"
                        "QDoubleSpinBox#fabricNumber QLineEdit {background:transparent;border:0;"
                        "padding:0;}";

} // namespace

class TestFabric : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir root;
    static constexpr QSize bannerSize{600, 300};

    // The square inside a banner's badge, clear of its seam and the two buttons beside it.
    static QRect badgeInterior(QSize banner)
    {
        const QPoint centre(banner.width() - 87, banner.height() / 2);
        return QRect(centre - QPoint(24, 24), QSize(49, 49));
    }

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void initTestCase()
    {
        QApplication::setStyle("Fusion");
        QVERIFY(root.isValid());
        // Tall, narrow concept art in a colour that appears nowhere else.
        QVERIFY(QDir(root.path()).mkpath("imgs"));
        QImage art(20, 200, QImage::Format_RGB32);
        art.fill(hex("#2040ff"));
        QVERIFY(art.save(QDir(root.path()).filePath("imgs/Tobbles_Grand_Quilt_Concept-Art.png")));
    }

    void switchShowsItsState()
    {
        SewnSwitch sw;
        QCOMPARE(sw.size(), QSize(58, 30));
        const QPoint rightKnob(47, 15); // 5 px right of the knob centre (42, 15), off the cross
        const QPoint leftKnob(21, 15);  // the same spot on the unchecked knob at (16, 15)

        // Unchecked: grey knob at the left, plain track at the right.
        QImage off = snapshot(sw, sw.size());
        QVERIFY_COLOR(off, leftKnob.x(), leftKnob.y(), hex("#bcbaaa"));
        QVERIFY_COLOR(off, rightKnob.x(), rightKnob.y(), hex("#e7e5d8"));

        // Checked: green knob at the right over a green track.
        sw.setChecked(true);
        QImage on = snapshot(sw, sw.size());
        QVERIFY_COLOR(on, rightKnob.x(), rightKnob.y(), hex("#77ad8a"));
        QVERIFY_COLOR(on, leftKnob.x(), leftKnob.y(), hex("#bcdac5"));

        // Disabled: same layout at 55 % opacity; the knob lies over the track, so there two
        // layers at 55 % add up to 1 - 0.45^2.
        sw.setEnabled(false);
        QImage faded = snapshot(sw, sw.size());
        const int trackAlpha = faded.pixelColor(leftKnob).alpha();
        const int knobAlpha = faded.pixelColor(rightKnob).alpha();
        QVERIFY2(std::abs(trackAlpha - 140) <= 2, QByteArray::number(trackAlpha));
        QVERIFY2(std::abs(knobAlpha - 203) <= 2, QByteArray::number(knobAlpha));
        QVERIFY_COLOR(faded, leftKnob.x(), leftKnob.y(), hex("#bcdac5"));

        // A click anywhere on the switch toggles it.
        sw.setEnabled(true);
        sw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sw));
        QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!sw.isChecked());
    }

    void switchFocusOutline()
    {
        SewnSwitch sw;
        sw.show();
        QVERIFY(QTest::qWaitForWindowActive(&sw));
        const QColor outline = hex("#a35e7c");

        sw.clearFocus();
        QImage plain = snapshot(sw, sw.size());
        QVERIFY(!near(plain.pixelColor(1, 15), outline, 20));

        sw.setFocus();
        QTRY_VERIFY(sw.hasFocus());
        QImage focused = snapshot(sw, sw.size());
        QVERIFY_COLOR(focused, 1, 15, outline);
    }

    void buttonSinksOnlyWhileHeld()
    {
        FabricButton button("Apply");
        const QSize size(140, 40);
        const int x = size.width() / 2;
        const int outline = 1;  // the raised face's top border row
        const int belowTop = 2; // inside a raised face

        QImage raised = snapshot(button, size);
        QCOMPARE(raised.pixelColor(x, outline).alpha(), 255);
        QVERIFY_COLOR(raised, x, belowTop, hex("#f5efdf"));

        button.setDown(true);
        QImage held = snapshot(button, size);
        QCOMPARE(held.pixelColor(x, outline).alpha(), 0);
        QVERIFY_COLOR(held, x, belowTop + 2, hex("#e3ebdc"));
        // The bottom edge stays where it was.
        QCOMPARE(held.pixelColor(x, size.height() - 3), raised.pixelColor(x, size.height() - 3));

        // Checked shows the pressed colour but keeps the raised position.
        button.setDown(false);
        button.setCheckable(true);
        button.setChecked(true);
        QImage checked = snapshot(button, size);
        QCOMPARE(checked.pixelColor(x, outline).alpha(), 255);
        QVERIFY_COLOR(checked, x, belowTop, hex("#e3ebdc"));
    }

    void primaryButtonPlayMark()
    {
        // With no label the play mark is the whole centred group: 27 px wide, starting 13.5 px
        // left of the face's centre.
        FabricButton primary("", true);
        FabricButton standard("");
        const QSize size(200, 66);
        const int faceBottom = size.height() - 5;
        const double cx = size.width() / 2.0;
        const int cy = (1 + faceBottom) / 2;
        const int tip = int(cx - 10); // 3.5 px into the triangle, on its axis

        QImage mark = snapshot(primary, size);
        QVERIFY_COLOR(mark, tip, cy, hex("#fff9ef"));
        QVERIFY_COLOR(mark, tip, cy - 7, hex("#bf607f")); // outside the narrowing triangle
        QVERIFY_COLOR(mark, int(cx + 6), cy, hex("#bf607f"));

        QImage plain = snapshot(standard, QSize(200, 40));
        QVERIFY_COLOR(plain, tip, 18, hex("#f5efdf"));

        primary.setEnabled(false);
        QImage disabled = snapshot(primary, size);
        QVERIFY_COLOR(disabled, tip, cy, hex("#888d80"));
    }

    void spinBoxGreysTheStepItCannotTake()
    {
        ProbeSpinBox spin;
        spin.setStyleSheet(spinRules);
        spin.setRange(0, 10);
        spin.setValue(10);
        const QSize size(160, 40);
        spin.resize(size);

        QStyleOptionSpinBox option;
        spin.initStyleOption(&option);
        const QRect minus = spin.style()->subControlRect(QStyle::CC_SpinBox, &option,
                                                         QStyle::SC_SpinBoxDown, &spin);
        const QRect plus =
            spin.style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, &spin);
        QVERIFY(minus.center().x() < plus.center().x());
        // The fill sits between the sign and the rim, 6 px right of each centre; the sign crosses
        // the centre row.
        auto fill = [](QRect r) {
            return QPoint(r.x() + r.width() / 2 + 6, r.y() + r.height() / 2);
        };
        auto sign = [](QRect r) {
            return QPoint(r.x() + r.width() / 2 + 2, r.y() + r.height() / 2);
        };
        auto signColor = [](const QImage &image, QPoint p) {
            // The 1.8 px line straddles two rows; take the darker of them.
            const QColor a = image.pixelColor(p);
            const QColor b = image.pixelColor(p - QPoint(0, 1));
            return a.lightness() < b.lightness() ? a : b;
        };

        // At the maximum: plus grey, minus live.
        QImage top = snapshot(spin, size);
        QVERIFY_COLOR(top, fill(plus).x(), fill(plus).y(), hex("#e6e4d9"));
        QVERIFY_COLOR(top, fill(minus).x(), fill(minus).y(), hex("#f1d6de"));
        QVERIFY(near(signColor(top, sign(plus)), hex("#a4a397"), 24));
        QVERIFY(near(signColor(top, sign(minus)), hex("#81485d"), 24));

        // In the middle of the range both are live.
        spin.setValue(5);
        QImage middle = snapshot(spin, size);
        QVERIFY_COLOR(middle, fill(plus).x(), fill(plus).y(), hex("#d4e7d7"));
        QVERIFY(near(signColor(middle, sign(plus)), hex("#41674c"), 24));

        // Disabled greys both.
        spin.setEnabled(false);
        QImage disabled = snapshot(spin, size);
        QVERIFY_COLOR(disabled, fill(plus).x(), fill(plus).y(), hex("#e6e4d9"));
        QVERIFY_COLOR(disabled, fill(minus).x(), fill(minus).y(), hex("#e6e4d9"));
    }

    void libraryCardWidthSwitchesLayout()
    {
        LibraryCard card(Page::Saves, "Saves", "Back up and restore your saves here");
        QCOMPARE(card.toolTip(), QString("Back up and restore your saves here"));
        const QColor tile = pageColor(Page::Saves);
        // Right of a short title, below the wide title line: only a description puts ink here.
        const QRect descriptionArea(130, 51, 70, 30);
        // Left of the wide icon box (x 16), inside the compact one (x 9).
        auto compactIcon = [&](const QImage &image) {
            return count(image, QRect(9, 30, 7, 36),
                         [&](QColor c) { return c.alpha() == 255 && near(c, tile, 3); });
        };

        QImage compact = snapshot(card, QSize(229, 96));
        QCOMPARE(count(compact, descriptionArea, ink), 0);
        QVERIFY(compactIcon(compact) > 20);

        QImage wide = snapshot(card, QSize(230, 96));
        QVERIFY(count(wide, descriptionArea, ink) > 10);
        QCOMPARE(compactIcon(wide), 0);
    }

    void glyphsShareDrawingsAndIgnoreUnknownPages()
    {
        // The badge interior is cream cloth plus the glyph, whatever the page colour.
        const QRect badge = badgeInterior(bannerSize);
        auto badgeOf = [&](Page page) {
            Banner banner(page, root.path());
            return snapshot(banner, bannerSize).copy(badge);
        };

        const QImage display = badgeOf(Page::Display);
        QVERIFY(count(display, display.rect(), ink) > 30);
        QCOMPARE(badgeOf(Page::Basic), display);
        QVERIFY(badgeOf(Page::Controls) != display);

        // Controls and the controller guide share colour as well: whole cards are identical.
        LibraryCard controls(Page::Controls, "Pad", "Buttons");
        LibraryCard guide(Page::ControllerGuide, "Pad", "Buttons");
        QCOMPARE(snapshot(guide, QSize(260, 96)), snapshot(controls, QSize(260, 96)));

        // Outside the page range: nothing but the badge cloth.
        for (const int value : {8, -1, 1000}) {
            const QImage unknown = badgeOf(Page(value));
            QCOMPARE(
                count(unknown, unknown.rect(), [](QColor c) { return near(c, hex("#fff9eb"), 0); }),
                unknown.width() * unknown.height());
            LibraryCard card(Page(value), "?", "?");
            QVERIFY(!snapshot(card, QSize(260, 96)).isNull());
        }
    }

    void bannerArtOnlyOnHomeAndInsideTheCard()
    {
        const QColor art = hex("#2040ff");
        auto isArt = [&](QColor c) { return near(c, art, 10) && c.alpha() == 255; };
        auto isBadge = [](QColor c) { return near(c, hex("#fff9eb"), 2); };
        const QRect badge = badgeInterior(bannerSize);
        const QRect whole(QPoint(0, 0), bannerSize);

        // Home: the art in the bottom-right corner, no badge.
        Banner home(Page::Play, root.path());
        const QImage homeImage = snapshot(home, bannerSize);
        QVERIFY(isArt(homeImage.pixelColor(574, 150)));
        QCOMPARE(count(homeImage, badge, isBadge), 0);

        // Any other page: a badge, never the art.
        Banner install(Page::Install, root.path());
        const QImage installImage = snapshot(install, bannerSize);
        QCOMPARE(count(installImage, whole, isArt), 0);
        QVERIFY(count(installImage, badge, isBadge) > 100);

        // Outside the card only the 2 px shadow: the art reaching above the card and a badge
        // too tall for a low banner are both cut.
        Banner low(Page::Saves, root.path());
        const QSize lowSize(600, 60);
        const QImage lowImage = snapshot(low, lowSize);
        for (const auto &[image, size, color] :
             {std::tuple{homeImage, bannerSize, pageColor(Page::Play)},
              std::tuple{lowImage, lowSize, pageColor(Page::Saves)}}) {
            const int w = size.width();
            const int h = size.height();
            auto clear = [](QColor c) { return c.alpha() == 0; };
            QCOMPARE(count(image, QRect(0, 0, w, 1), clear), w);        // top row
            QCOMPARE(count(image, QRect(0, h - 1, w, 1), clear), w);    // bottom row
            QCOMPARE(count(image, QRect(0, 0, 1, h), clear), h);        // left column
            QCOMPARE(count(image, QRect(w - 1, 0, 1, h), clear), h);    // right column
            QCOMPARE(count(image, QRect(w - 10, 0, 10, 4), clear), 40); // rounded corner
            QVERIFY_COLOR(image, w / 2, h - 2, color.darker(118));      // the shadow
        }
        QCOMPARE(homeImage.pixelColor(585, 1).alpha(), 0); // where the art would reach
    }

    // Banners and their pictures are cached; a replaced picture or a new size must still show.
    void bannerFollowsItsPictureAndSize()
    {
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkpath("imgs"));
        const QString path =
            QDir(other.path()).filePath("imgs/Tobbles_Grand_Quilt_Concept-Art.png");
        auto paintArt = [&](const char *color, int width) {
            QImage art(width, 200, QImage::Format_RGB32);
            art.fill(hex(color));
            return art.save(path);
        };
        const QPoint artSpot(574, 150);

        QVERIFY(paintArt("#2040ff", 20));
        Banner first(Page::Play, other.path());
        QVERIFY_COLOR(snapshot(first, bannerSize), artSpot.x(), artSpot.y(), hex("#2040ff"));

        // The same file name with other contents.
        QVERIFY(paintArt("#ff3010", 21));
        Banner second(Page::Play, other.path());
        QVERIFY_COLOR(snapshot(second, bannerSize), artSpot.x(), artSpot.y(), hex("#ff3010"));

        // Resized: the shadow follows the new bottom edge.
        const QSize taller = bannerSize + QSize(0, 40);
        const QImage grown = snapshot(second, taller);
        QVERIFY_COLOR(grown, taller.width() / 2, taller.height() - 2,
                      pageColor(Page::Play).darker(118));
        QCOMPARE(grown.pixelColor(taller.width() / 2, taller.height() - 1).alpha(), 0);
    }

    // The hatch is painted from one tile; its lines must still run where a drawn line would:
    // falling through (-h, 0) and rising through (0, 0), every 32 px.
    void bannerHatchLines()
    {
        Banner banner(Page::Install, root.path());
        const QImage image = snapshot(banner, QSize(700, 150)); // -150 mod 32 is 10
        const QColor cloth = pageColor(Page::Install);
        // Points one tile width (256) further right as well: the tile must repeat seamlessly.
        for (const QPoint onFalling : {QPoint(112, 70), QPoint(144, 70), QPoint(80, 38),
                                       QPoint(368, 70), QPoint(400, 70), QPoint(272, 6)}) {
            const QColor c = image.pixelColor(onFalling);
            QVERIFY2(c.red() < cloth.red() - 5, describe(c, cloth).constData());
        }
        const QPoint onRising(100, 60); // x + y = 160
        QVERIFY(image.pixelColor(onRising).red() < cloth.red() - 5);
        QVERIFY(image.pixelColor(onRising + QPoint(256, 0)).red() < cloth.red() - 5);
        for (const QPoint between :
             {QPoint(128, 70), QPoint(160, 70), QPoint(384, 70), QPoint(256, 70)})
            QVERIFY_COLOR(image, between.x(), between.y(), cloth);
    }

    void onlyTheCurrentTabIsRaised()
    {
        QuiltTabs tabs;
        tabs.addTab("Buttons");
        tabs.addTab("Motion");
        tabs.setCurrentIndex(1);
        const QImage image = snapshot(tabs, tabs.sizeHint());
        auto pink = [](QColor c) { return near(c, hex("#edbfcb"), 2); };
        QCOMPARE(count(image, tabs.tabRect(0), pink), 0);
        QVERIFY(count(image, tabs.tabRect(1), pink) > 100);
    }

    void choiceRowsHighlightOnlyTheSelected()
    {
        FabricCombo combo;
        combo.addItems({"Low", "High"});
        QAbstractItemDelegate *delegate = combo.list()->itemDelegate();
        QStyleOptionViewItem option;
        option.initFrom(combo.list());
        option.rect = QRect(0, 0, 200, 34);
        const QModelIndex index = combo.model()->index(0, 0);
        auto paint = [&](QStyle::State state) {
            QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            option.state = state;
            delegate->paint(&painter, option, index);
            return image;
        };

        const QImage selected = paint(QStyle::State_Enabled | QStyle::State_Selected);
        QVERIFY_COLOR(selected, 13, 16, hex("#b76c88"));  // the dot
        QVERIFY_COLOR(selected, 190, 16, hex("#f4dfe4")); // the highlight
        const QImage plain = paint(QStyle::State_Enabled);
        QCOMPARE(plain.pixelColor(13, 16).alpha(), 0);
        QCOMPARE(plain.pixelColor(190, 16).alpha(), 0);
        QVERIFY(count(plain, QRect(23, 0, 60, 34), ink) > 0); // the text starts at 23
        QCOMPARE(count(plain, QRect(0, 0, 23, 34), ink), 0);
    }

    void sizeHints()
    {
        // Tabs: room for the bold label plus 58 px, never lower than 47.
        ProbeTabs tabs;
        tabs.addTab("Buttons");
        tabs.addTab("A much longer tab label");
        QFont bold = tabs.font();
        bold.setWeight(QFont::Bold);
        for (int i = 0; i < tabs.count(); ++i) {
            const QSize hint = tabs.tabSizeHint(i);
            QCOMPARE(hint.width(), QFontMetrics(bold).horizontalAdvance(tabs.tabText(i)) + 58);
            QVERIFY(hint.height() >= 47);
        }

        // Buttons: the primary hint measures the label in its larger paint font.
        FabricButton standard("Start the game");
        FabricButton primary("Start the game", true);
        QCOMPARE(standard.sizeHint().height(), 40);
        QCOMPARE(primary.sizeHint().height(), 66);
        QFont paintFont = primary.font();
        paintFont.setPixelSize(22);
        paintFont.setWeight(QFont::Bold);
        QCOMPARE(primary.sizeHint().width(),
                 QFontMetrics(paintFont).horizontalAdvance("Start the game") + 85);
        QCOMPARE(standard.minimumHeight(), 39);
        QCOMPARE(primary.minimumHeight(), 64);

        // Combo boxes: 12 px wider than Qt's own, at least 40 high; popup rows at least 34.
        FabricCombo combo;
        QComboBox plainCombo;
        for (QComboBox *box : {static_cast<QComboBox *>(&combo), &plainCombo})
            box->addItems({"Off", "Quality", "Performance"});
        QCOMPARE(combo.sizeHint().width(), plainCombo.sizeHint().width() + 12);
        QVERIFY(combo.sizeHint().height() >= 40);
        QCOMPARE(combo.minimumHeight(), 39);
        QStyleOptionViewItem option;
        option.initFrom(combo.list());
        for (int row = 0; row < combo.count(); ++row) {
            const QModelIndex index = combo.model()->index(row, 0);
            QVERIFY(combo.list()->itemDelegate()->sizeHint(option, index).height() >= 34);
        }

        LibraryCard card(Page::Saves, "Saves", "");
        QCOMPARE(card.sizeHint(), QSize(260, 96));
        QCOMPARE(card.minimumHeight(), 96);
    }

    // Stitches are filled dash group by dash group, and then come from a cache of rasterised
    // outlines. Each paint must match Qt's own stroke of the dashed outline.
    void cachedStitchMatchesTheStroke_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<int>("radius");
        QTest::addColumn<QPointF>("shift");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QColor>("thread");
        const QColor brown = hex("#a4805c");
        QTest::newRow("large card") << QRectF(8, 8, 420, 150) << 18 << QPointF() << 1.0 << brown;
        QTest::newRow("short control") << QRectF(4, 4, 120, 22) << 7 << QPointF() << 1.0 << brown;
        QTest::newRow("half-pixel rect")
            << QRectF(5.5, 3.5, 200, 60) << 11 << QPointF() << 1.0 << brown;
        QTest::newRow("translated painter")
            << QRectF(8, 8, 300, 90) << 9 << QPointF(17.25, 3) << 1.0 << brown;
        QTest::newRow("double density")
            << QRectF(8, 8, 300, 90) << 18 << QPointF(1, 2) << 2.0 << brown;
        QTest::newRow("translucent thread")
            << QRectF(8, 8, 300, 90) << 9 << QPointF() << 1.0 << hex("#80a4805c");
        // Small outlines, where the last dash ends close to the first
        QTest::newRow("small square")
            << QRectF(3.25, 3.75, 42, 42) << 9 << QPointF() << 1.0 << brown;
        QTest::newRow("radius over half the width")
            << QRectF(4, 4, 12, 40) << 9 << QPointF(0.5, 0) << 1.0 << brown;
    }

    void cachedStitchMatchesTheStroke()
    {
        QFETCH(QRectF, rect);
        QFETCH(int, radius);
        QFETCH(QPointF, shift);
        QFETCH(double, ratio);
        QFETCH(QColor, thread);
        const QColor cloth = hex("#f4e2c4");
        const QSize size(480, 200);

        auto canvas = [&] {
            QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(cloth);
            return image;
        };
        auto sew = [&](QImage &image) {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(shift);
            drawStitch(painter, rect, thread, radius);
        };

        QImage reference = canvas();
        {
            QPainter painter(&reference);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(shift);
            QPen running(thread, 1.25, Qt::DashLine, Qt::RoundCap, Qt::BevelJoin);
            running.setDashPattern({3, 4});
            painter.setPen(running);
            painter.drawRoundedRect(rect, radius, radius);
        }
        // Four times: drawn directly, then three paints in which the first strokes, the second
        // fills the cache, the third comes from it.
        const auto restore = qScopeGuard([] { kept::setDirect(false); });
        for (int pass = 0; pass < 4; ++pass) {
            kept::setDirect(pass == 0);
            QImage cached = canvas();
            sew(cached);
            const QByteArray difference = firstDifference(cached, reference, 2);
            QVERIFY2(difference.isEmpty(), "pass " + QByteArray::number(pass) + ": " + difference);
            const int stitched =
                count(reference, reference.rect(), [&](QColor c) { return !near(c, cloth, 0); });
            // The dashes run all the way round: at least a third of the perimeter is thread.
            const double perimeter = 2 * (rect.width() + rect.height()) * ratio;
            QVERIFY2(stitched > perimeter / 3, QByteArray::number(stitched));
        }
    }

    // A kept picture looks like the drawing it stands for, and is drawn only once where the
    // painter allows a plain blit; other painters draw every time.
    void keptDrawingMatchesTheDirectOne_data()
    {
        QTest::addColumn<QTransform>("transform");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<bool>("kept");
        QTest::newRow("plain") << QTransform() << 1.0 << true;
        QTest::newRow("whole-pixel offset") << QTransform::fromTranslate(13, 7) << 1.0 << true;
        QTest::newRow("double density") << QTransform::fromTranslate(3, 5) << 2.0 << true;
        QTest::newRow("half-pixel offset") << QTransform::fromTranslate(13.5, 7) << 1.0 << false;
        QTest::newRow("rotated") << QTransform().rotate(3) << 1.0 << false;
    }

    void keptDrawingMatchesTheDirectOne()
    {
        QFETCH(QTransform, transform);
        QFETCH(double, ratio);
        QFETCH(bool, kept);
        const QColor cloth = hex("#f5efdf");
        const QRect area(10, 6, 150, 44);
        const kept::Picture key = kept::Field{};
        int drawn = 0;
        auto face = [&](QPainter &on) {
            ++drawn;
            on.setBrush(hex("#f6e5e6"));
            on.setPen(paint::pen(hex("#9b5670"), 2));
            on.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -3), 10, 10);
            drawStitch(on, QRectF(area).adjusted(6, 6, -6, -8), hex("#c5bca7"), 6);
        };
        auto paint = [&] {
            QImage image(QSize(200, 80) * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(cloth);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setTransform(transform);
            kept::draw(painter, area, key, face);
            return image;
        };

        const auto restore = qScopeGuard([] { kept::setDirect(false); });
        kept::setDirect(true);
        const QImage direct = paint();
        QCOMPARE(drawn, 1);
        kept::setDirect(false); // and nothing is kept from before
        for (int pass = 0; pass < 2; ++pass) {
            const QByteArray difference = firstDifference(paint(), direct, 2);
            QVERIFY2(difference.isEmpty(), difference.constData());
        }
        QCOMPARE(drawn, kept ? 2 : 3);

        // The same font may resolve to another face once the application's fonts change.
        const QFont font = QApplication::font();
        const auto restoreFont = qScopeGuard([&] { QApplication::setFont(font); });
        QFont larger = font;
        larger.setPixelSize(31);
        QApplication::setFont(larger);
        paint();
        QCOMPARE(drawn, kept ? 3 : 4);
    }

    // Kept text measures answer as the font metrics do, per text, width and font.
    void keptTextMeasuresFollowTheFont()
    {
        QWidget widget;
        QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
        const QStringList texts{QStringLiteral("Apply"), QStringLiteral("Restore defaults"),
                                QStringLiteral("还原默认设置"), QString()};
        for (const int pixels : {15, 22, 15}) {
            QFont font = widget.font();
            font.setPixelSize(pixels);
            widget.setFont(font);
            QPainter painter(&image);
            painter.setFont(font);
            for (const QString &text : texts) {
                QCOMPARE(kept::advance(widget, text),
                         QFontMetrics(font, &widget).horizontalAdvance(text));
                for (const int width : {0, 30, 60, 400}) {
                    QCOMPARE(kept::elided(painter, text, width),
                             painter.fontMetrics().elidedText(text, Qt::ElideRight, width));
                }
            }
        }
    }

    void brandMarks()
    {
        const QPixmap small = brandButton(true);
        const QPixmap large = brandButton(false);
        QCOMPARE(small.deviceIndependentSize().toSize(), QSize(18, 18));
        QCOMPARE(large.deviceIndependentSize().toSize(), QSize(34, 34));
        // Button faces in their colours, off the thread cross; corners stay transparent.
        const QImage s = small.toImage();
        const QImage l = large.toImage();
        // Device pixels at twice the logical centre, plus a band between rim and edge.
        QVERIFY_COLOR(s, 2 * 9 + 11, 2 * 8, hex("#8bb69b"));
        QVERIFY_COLOR(l, 2 * 17 + 25, 2 * 16, hex("#ed9caf"));
        QCOMPARE(s.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(l.pixelColor(l.width() - 1, l.height() - 1).alpha(), 0);
    }
};

QTEST_MAIN(TestFabric)
#include "tst_fabric.moc"
