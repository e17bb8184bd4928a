// The embedded artwork: every picture decodes at its size and the stylesheets dress widgets.
#include "startup.h"
#include "support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>

namespace {

const QStringList resourcePaths = {
    ":/quilt/launcher.ico",      ":/quilt/font.ttf",           ":/quilt/fabric.qss",
    ":/quilt/dialogs.qss",       ":/quilt/linen.xpm",          ":/quilt/mascot.png",
    ":/quilt/warning-patch.png", ":/quilt/dropdown-patch.png",
};

// Linen tile colours: background, grid line, and the corner where the lines cross.
const QColor linenCloth = QColor::fromString("#f8f4e9");
const QColor linenLine = QColor::fromString("#f2ede0");
const QColor linenCrossing = QColor::fromString("#ede6d8");

QColor linenAt(int x, int y)
{
    if (x % 7 == 0 && y % 7 == 0)
        return linenCrossing;
    if (x % 7 == 0 || y % 7 == 0)
        return linenLine;
    return linenCloth;
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The row filter bytes of a PNG with 8-bit RGBA rows, or nothing when it is not one.
QByteArray rowFilters(const QByteArray &png, int width, int height)
{
    QByteArray deflated;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const auto length = qFromBigEndian<quint32>(png.constData() + at);
        if (png.mid(at + 4, 4) == "IDAT")
            deflated += png.mid(at + 8, length);
        at += 12 + qsizetype(length);
    }
    const qsizetype stride = qsizetype(width) * 4 + 1;
    QByteArray expected;
    expected.resize(4);
    qToBigEndian(quint32(stride * height), expected.data());
    const QByteArray rows = qUncompress(expected + deflated);
    if (rows.size() != stride * height)
        return {};
    QByteArray filters;
    for (int y = 0; y < height; ++y)
        filters.append(rows.at(y * stride));
    return filters;
}

QColor colourAt(QWidget &widget, QPoint point)
{
    return widget.grab().toImage().pixelColor(point);
}

} // namespace

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void initTestCase();
    void init();
    void resourcesOpen();
    void launcherIconHoldsNineSizes();
    void picturesHaveTheirSizes_data();
    void picturesHaveTheirSizes();
    void linenTileIsAGrid();
    void noticeLabelIsStyled();
    void dialogsWearTheLinen();
    void desktopIconsMatchTheWindowIcon();
    void desktopIdentity();
};

void TestArtwork::initTestCase()
{
    QDir::addSearchPath("quiltTheme", ":/quilt");
    const QString fabric = readText(":/quilt/fabric.qss");
    const QString dialogs = readText(":/quilt/dialogs.qss");
    QVERIFY(fabric.endsWith('\n'));
    QVERIFY(dialogs.endsWith('\n'));
    qApp->setStyleSheet(fabric + dialogs);
}

void TestArtwork::init()
{
    QuiltTest::resetShared();
    // Qt reports a rule it cannot parse only as a warning, when a widget first uses the sheet.
    QTest::failOnWarning(
        QRegularExpression("style ?sheet", QRegularExpression::CaseInsensitiveOption));
}

void TestArtwork::resourcesOpen()
{
    for (const QString &path : resourcePaths) {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    }
}

void TestArtwork::launcherIconHoldsNineSizes()
{
    const QList<int> expected = {16, 20, 24, 32, 40, 48, 64, 128, 256};
    QImageReader reader(":/quilt/launcher.ico");
    QCOMPARE(reader.imageCount(), expected.size());
    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        // The button sits on a transparent square.
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 255);
        sizes.append(image.width());
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, expected);

    // The window icon is built from the same file and offers every size.
    QCOMPARE(QIcon(":/quilt/launcher.ico").availableSizes().size(), expected.size());
}

void TestArtwork::picturesHaveTheirSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("mascot") << ":/quilt/mascot.png" << 512;
    QTest::newRow("warning") << ":/quilt/warning-patch.png" << 144;
    QTest::newRow("drop-down") << ":/quilt/dropdown-patch.png" << 80;
}

void TestArtwork::picturesHaveTheirSizes()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    const QImage image(path);
    QCOMPARE(image.size(), QSize(size, size));
    // Drawn on a transparent background, with the patch itself opaque in the middle.
    QVERIFY(image.hasAlphaChannel());
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
        QCOMPARE(image.pixelColor(corner).alpha(), 0);
    QCOMPARE(image.pixelColor(size / 2, size * 2 / 3).alpha(), 255);

    // Rows are stored unfiltered, which is cheaper to decode.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(rowFilters(file.readAll(), size, size), QByteArray(size, '\0'));
}

void TestArtwork::linenTileIsAGrid()
{
    const QImage tile(":/quilt/linen.xpm");
    QCOMPARE(tile.size(), QSize(7, 7));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            QCOMPARE(tile.pixelColor(x, y), linenAt(x, y));
}

void TestArtwork::noticeLabelIsStyled()
{
    QLabel notice("Service stopped");
    notice.setObjectName("notice");
    notice.resize(240, 40);
    // The middle of the label, clear of the rounded corners and the text.
    QCOMPARE(colourAt(notice, QPoint(3, 20)), QColor::fromString("#fbe3d7"));

    QLabel plain("Service stopped");
    plain.setAutoFillBackground(false);
    plain.resize(240, 40);
    QVERIFY(colourAt(plain, QPoint(3, 20)) != QColor::fromString("#fbe3d7"));
}

void TestArtwork::dialogsWearTheLinen()
{
    QMessageBox box(QMessageBox::Warning, "Replace save", "Replace save", QMessageBox::Ok);
    box.resize(box.sizeHint());
    box.ensurePolished();
    // The tile repeats from the box's top-left corner, where the layout leaves a margin.
    for (const QPoint point :
         {QPoint(0, 0), QPoint(3, 0), QPoint(0, 4), QPoint(3, 3), QPoint(7, 7)})
        QCOMPARE(colourAt(box, point), linenAt(point.x(), point.y()));

    // Its warning icon is the sewn patch, not the style's stock triangle.
    const QPixmap icon = box.iconPixmap();
    QVERIFY(!icon.isNull());
    const QImage patch = QIcon(":/quilt/warning-patch.png").pixmap(icon.size()).toImage();
    QCOMPARE(icon.toImage().convertToFormat(patch.format()), patch);
}

void TestArtwork::desktopIconsMatchTheWindowIcon()
{
    // The window icon's images by size.
    QHash<int, QImage> window;
    QImageReader reader(":/quilt/launcher.ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        window.insert(image.width(), image);
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString path = QStringLiteral(QUILT_SOURCE_DIR "/resources/icons/hicolor/%1x%1/apps/"
                                                             "tobble-quilt.png")
                                 .arg(size);
        const QImage icon = QImage(path).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!icon.isNull(), qPrintable(path));
        QCOMPARE(icon.size(), QSize(size, size));
        QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(icon.pixelColor(size / 2, size / 2).alpha(), 255);
        // Where both have the size, the desktop shows exactly what the window shows.
        if (window.contains(size))
            QVERIFY2(icon == window.value(size), qPrintable(path));
    }
}

void TestArtwork::desktopIdentity()
{
    QString failed;
    QVERIFY2(Quilt::prepareApplication(failed), qPrintable(failed));
    const QString id = QGuiApplication::desktopFileName();
    QCOMPARE(id, QStringLiteral("tobble-quilt"));

    // The packaged entry carries that name and claims windows of that class.
    QFile entry(QStringLiteral(QUILT_SOURCE_DIR "/packaging/%1.desktop").arg(id));
    QVERIFY2(entry.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(entry.fileName()));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    QVERIFY(lines.contains(QStringLiteral("StartupWMClass=") + id));
    QVERIFY(lines.contains(QStringLiteral("Icon=") + id));
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
