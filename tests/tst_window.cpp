#include "support.h"
#include "translations.h"
#include "window.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace QuiltTest;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void greetsAndPollsOnceReady();
};

void TestWindow::greetsAndPollsOnceReady()
{
    ScriptedService service;
    service.serve(readyState());
    auto window = service.startWindow();
    QVERIFY(service.waitFor("hello"));
    QTRY_VERIFY(window->ready);
    QVERIFY(service.waitFor("poll", 3));
    QVERIFY(service.lines().first().startsWith(R"({"cmd":"hello","controls":false,"focused":)"));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
