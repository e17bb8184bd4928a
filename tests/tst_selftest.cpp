#include "kept.h"
#include "probe.h"
#include "startup.h"
#include "support.h"
#include "translations.h"
#include "window.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QJsonArray>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using QuiltTest::probe;

namespace {

const QString sampleBackupName = QString::fromUtf8("Before the boss / 中文 <backup>");

QStringList expectedPreviews()
{
    const QStringList codes{"zh", "en", "es"};
    const QStringList stems{"home",  "install",     "graphics", "bindings",
                            "saves", "diagnostics", "basic",    "controller"};
    QStringList names;
    for (const QString &code : codes) {
        for (const QString &suffix : {QString(), QStringLiteral("-compact")}) {
            for (const QString &stem : stems) {
                const QString name = QStringLiteral("%1-%2%3.png").arg(code, stem, suffix);
                names << name;
                if (stem == QLatin1String("saves"))
                    names << QStringLiteral("backups-") + name;
            }
            names << QStringLiteral("%1-motion%2.png").arg(code, suffix);
        }
    }
    names.sort();
    return names;
}

// Breaks one layout rule from the outside whenever a matching widget is shown.
class Saboteur : public QObject
{
public:
    explicit Saboteur(std::function<void(QWidget *)> harm) : harm(std::move(harm))
    {
        qApp->installEventFilter(this);
    }
    ~Saboteur() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            harm(static_cast<QWidget *>(watched));
        return false;
    }

private:
    std::function<void(QWidget *)> harm;
};

} // namespace

class TestSelfTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init() { QuiltTest::resetShared(); }
    void initTestCase();
    void passesAndWritesEveryPreview();
    void checksWithoutWritingWhenNoDirectory();
    void failsOnRichTextBackupLabel();
    void failsOnClippedSpinBox();
    void failsOnClippedTextAndNamesIt();
    void minimumHeightsHoldUnderTheStylesheet();
    void formerlyClippedStatesFit();
    void failsBeforeAnyPageWhenDirectoryCannotBeMade();
    void executableReportsItsVerdict();

private:
    QTemporaryDir root;
};

void TestSelfTest::initTestCase()
{
    QString failed;
    QVERIFY2(Quilt::prepareApplication(failed), qPrintable(failed));
}

// Also against the same previews drawn with nothing kept: a kept picture or measurement
// whose key misses something it depends on shows up as a difference.
void TestSelfTest::passesAndWritesEveryPreview()
{
    QTemporaryDir out;
    const QString directory = out.filePath(QStringLiteral("previews/nested"));
    {
        Quilt::kept::clear();
        Quilt::Window window(root.path(), QString(), true);
        QVERIFY(window.preview(directory));
    }
    QStringList written = QDir(directory).entryList(QDir::Files);
    written.sort();
    QCOMPARE(written, expectedPreviews());
    QCOMPARE(written.size(), 60);

    const QString plain = out.filePath(QStringLiteral("direct"));
    {
        const auto restore = qScopeGuard([] { Quilt::kept::setDirect(false); });
        Quilt::kept::setDirect(true);
        Quilt::Window window(root.path(), QString(), true);
        QVERIFY(window.preview(plain));
    }
    // Antialiased edges blend a little differently through a picture.
    const int tolerance = 2;
    for (const QString &name : written) {
        const QImage kept =
            QImage(QDir(directory).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        const QImage direct =
            QImage(QDir(plain).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(kept.size() == direct.size(), qPrintable(name));
        int worst = 0;
        for (int y = 0; y < kept.height(); ++y) {
            const auto *a = reinterpret_cast<const QRgb *>(kept.constScanLine(y));
            const auto *b = reinterpret_cast<const QRgb *>(direct.constScanLine(y));
            for (int x = 0; x < kept.width(); ++x) {
                worst = std::max({worst, std::abs(qRed(a[x]) - qRed(b[x])),
                                  std::abs(qGreen(a[x]) - qGreen(b[x])),
                                  std::abs(qBlue(a[x]) - qBlue(b[x])),
                                  std::abs(qAlpha(a[x]) - qAlpha(b[x]))});
            }
        }
        QVERIFY2(worst <= tolerance, qPrintable(name + QStringLiteral(": %1").arg(worst)));
    }
}

void TestSelfTest::checksWithoutWritingWhenNoDirectory()
{
    QTemporaryDir out;
    QDir::setCurrent(out.path());
    Quilt::Window window(root.path(), QString(), true);
    QVERIFY(window.preview(QString()));
    QVERIFY(QDir(out.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

void TestSelfTest::failsOnRichTextBackupLabel()
{
    Saboteur saboteur([](QWidget *widget) {
        if (auto *label = qobject_cast<QLabel *>(widget);
            label && label->text() == sampleBackupName)
            label->setTextFormat(Qt::RichText);
    });
    Quilt::Window window(root.path(), QString(), true);
    QVERIFY(!window.preview(QString()));
    // It stopped at the saves page of the first language, before the motion pass.
    QCOMPARE(probe(window).page(), Quilt::Page::Saves);
}

void TestSelfTest::failsOnClippedSpinBox()
{
    Saboteur saboteur([](QWidget *widget) {
        if (auto *spin = qobject_cast<QDoubleSpinBox *>(widget))
            spin->setFixedWidth(70);
    });
    Quilt::Window window(root.path(), QString(), true);
    QVERIFY(!window.preview(QString()));
    QCOMPARE(probe(window).page(), Quilt::Page::Controls);
    QCOMPARE(probe(window).controlsTab(), 1);
}

void TestSelfTest::failsOnClippedTextAndNamesIt()
{
    // The library's heading squeezed to a sliver from outside.
    Saboteur saboteur([](QWidget *widget) {
        if (widget->objectName() == QLatin1String("libraryTitle"))
            widget->setFixedSize(40, 12);
    });
    Quilt::Window window(root.path(), QString(), true);
    QVERIFY(!window.preview(QString()));
    QCOMPARE(probe(window).page(), Quilt::Page::Play);
    const QString failure = window.previewFailure;
    QVERIFY2(failure.startsWith(QStringLiteral("home page, zh, 1120 x 685: ")),
             qPrintable(failure));
    QVERIFY2(failure.contains(QStringLiteral("QLabel#libraryTitle \"游戏库\" needs ")),
             qPrintable(failure));
}

void TestSelfTest::minimumHeightsHoldUnderTheStylesheet()
{
    // The stylesheet's min-height replaces a widget's own when it polishes the widget.
    Quilt::Window window(root.path(), QString(), true);
    window.show();
    for (QPushButton *tab : probe(window).navButtons())
        QCOMPARE(tab->minimumHeight(), 36);
    QCOMPARE(probe(window).parts().playButton->minimumHeight(), 64);
    const auto cards = probe(window).pageWidget()->findChildren<Quilt::LibraryCard *>();
    QCOMPARE(cards.size(), 3);
    for (Quilt::LibraryCard *card : cards)
        QCOMPARE(card->minimumHeight(), 96);
    probe(window).navigate(Quilt::Page::Display, false);
    probe(window).pageWidget()->ensurePolished();
    for (Quilt::FabricCombo *combo :
         probe(window).pageWidget()->findChildren<Quilt::FabricCombo *>())
        QCOMPARE(combo->minimumHeight(), 39);
    for (Quilt::FabricButton *button :
         probe(window).pageWidget()->findChildren<Quilt::FabricButton *>())
        QCOMPARE(button->minimumHeight(), 39);
}

// Two states that used to clip their texts, in Spanish at the smallest size. With
// QUILT_README_PICTURES set to a folder, their pictures go there for the README.
void TestSelfTest::formerlyClippedStatesFit()
{
    const QString pictures = qEnvironmentVariable("QUILT_README_PICTURES");
    Quilt::Window window(root.path(), QString(), true);
    window.show();
    probe(window).setLanguage(2);
    window.resize(640, 520);
    QTRY_VERIFY(probe(window).compact());

    // First run: no state yet, the play button leads to choosing the game data
    probe(window).navigate(Quilt::Page::Play, false);
    QCoreApplication::processEvents();
    QCOMPARE(probe(window).parts().playButton->text(), Quilt::T("Choose game data"));
    QVERIFY2(probe(window).checkFit(&window, QStringLiteral("first run")),
             qPrintable(window.previewFailure));
    if (!pictures.isEmpty())
        QVERIFY(window.grab().save(QDir(pictures).filePath("es-home-first-run-compact.png")));

    // Long gamepad names in the bindings table
    probe(window).ready() = true;
    probe(window).state().insert(
        QStringLiteral("bindings"),
        QJsonArray{QJsonArray{"Jump / Confirm", "Left bumper (LB / L1)", "Space"},
                   QJsonArray{"Quilt / Cancel", "Right trigger (RT / R2)", "Left Shift"},
                   QJsonArray{"Pause / Plus", "Right bumper (RB / R1)", "Keypad Enter"}});
    probe(window).navigate(Quilt::Page::Controls, false);
    QCoreApplication::processEvents();
    probe(window).scrollArea()->ensureWidgetVisible(probe(window).parts().bindingTable, 0, 0);
    QCoreApplication::processEvents();
    QVERIFY2(probe(window).checkFit(&window, QStringLiteral("bindings")),
             qPrintable(window.previewFailure));
    if (!pictures.isEmpty())
        QVERIFY(window.grab().save(QDir(pictures).filePath("es-bindings-compact-gamepad.png")));
}

void TestSelfTest::failsBeforeAnyPageWhenDirectoryCannotBeMade()
{
    QTemporaryDir out;
    QFile blocker(out.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Quilt::Window window(root.path(), QString(), true);
    QVERIFY(!window.preview(out.filePath(QStringLiteral("file/previews"))));
    QVERIFY(!window.isVisible());
    QVERIFY(!probe(window).ready());
    QCOMPARE(probe(window).page(), Quilt::Page::Play);
}

void TestSelfTest::executableReportsItsVerdict()
{
    QTemporaryDir out;
    QFile blocker(out.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    // A directory that cannot be made is a failed run.
    QProcess failing;
    failing.start(QStringLiteral(QUILT_LAUNCHER_PATH),
                  {QStringLiteral("--self-test"), QStringLiteral("--previews"),
                   out.filePath(QStringLiteral("file/previews"))});
    QVERIFY(failing.waitForFinished(60000));
    QCOMPARE(failing.exitCode(), 1);

    // "--previews" as the last argument: every check, no files, success.
    QProcess passing;
    passing.setWorkingDirectory(out.path());
    passing.start(QStringLiteral(QUILT_LAUNCHER_PATH),
                  {QStringLiteral("--self-test"), QStringLiteral("--previews")});
    QVERIFY(passing.waitForFinished(120000));
    QCOMPARE(passing.exitStatus(), QProcess::NormalExit);
    QCOMPARE(passing.exitCode(), 0);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{QStringLiteral("file")});
}

QTEST_MAIN(TestSelfTest)
#include "tst_selftest.moc"
