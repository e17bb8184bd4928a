#include "support.h"
#include "translations.h"
#include "window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace Quilt;
using namespace QuiltTest;

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The first request line whose command is `cmd`, byte for byte.
QByteArray lineOf(const ScriptedService &service, const QString &cmd, bool lastOne = false)
{
    const QByteArray needle = "\"cmd\":\"" + cmd.toUtf8() + '"';
    QByteArray found;
    for (const QByteArray &line : service.lines()) {
        if (line.contains(needle)) {
            found = line;
            if (!lastOne)
                break;
        }
    }
    return found;
}

// A channel that stays silent unless the test speaks: the greeting gets a state, polls
// never get an answer (so exactly one is outstanding).
void quiet(ScriptedService &service, const QJsonObject &state = readyState())
{
    service.reply(QStringLiteral("hello"), stateReply(QStringLiteral("hello"), state));
    service.rule({{"on", "poll"}, {"silent", true}});
}

// A reply without state that marks the input, to know when the window has handled it.
QJsonObject marker(const QString &cmd, int mark, const QJsonObject &more = {})
{
    QJsonObject input = more;
    input.insert(QStringLiteral("mark"), mark);
    return {{QStringLiteral("cmd"), cmd}, {QStringLiteral("input"), input}};
}

// Counts pages put into the scroll area: one per navigate.
class RebuildCounter : public QObject
{
public:
    explicit RebuildCounter(Window *window)
    {
        window->findChild<QScrollArea *>()->viewport()->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded &&
            static_cast<QChildEvent *>(event)->child()->objectName() == QLatin1String("paper"))
            ++count;
        return false;
    }
};

bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// Answers the next message box with `answer`, counting the boxes and keeping the last text.
struct BoxAnswers
{
    int seen = 0;
    QString text;
    void next(std::function<void(QMessageBox *)> answer)
    {
        answerModal<QMessageBox>([this, answer](QMessageBox *box) {
            ++seen;
            text = box->text() + QLatin1Char('\n') + box->informativeText();
            answer(box);
        });
    }
};

} // namespace

class TestChannel : public QObject
{
    Q_OBJECT

private slots:
    void init() { QuiltTest::resetShared(); }
    void cleanup();
    void wireFormat();
    void greetingThenPolling();
    void oneOutstandingPoll();
    void pollInterval();
    void patchAndAutosave();
    void replyFraming();
    void overlongLine();
    void mirrorWithoutWindow();
    void errorReplies();
    void languageFromService();
    void languageChoiceOutlivesStaleStates();
    void rebuildRules();
    void cancelCaptureOnLeavingControls();
    void closeSavesFirst();
    void failedSaveWhileClosing();
    void serviceFailures();
    void destructionWithHungService();
    void gameStartAndStop();
    void controllerNavigation();

private:
    // The mark of the last handled reply's input, or -1.
    static int markOf(const Window *window)
    {
        return probe(window).input().value(QLatin1String("mark")).toInt(-1);
    }
};

void TestChannel::cleanup()
{
    QuiltTest::resetShared();
    Quilt::language(1);
}

void TestChannel::wireFormat()
{
    ScriptedService s;
    s.serve(readyState());
    auto w = s.startWindow();
    QVERIFY(activate(w.get()));
    QTRY_VERIFY(probe(w).ready());

    const QByteArray hello = s.lines().value(0);
    QVERIFY2(hello.startsWith(R"({"cmd":"hello","controls":false,"focused":)"), hello);
    QCOMPARE(QJsonDocument::fromJson(hello).object().size(), 3);

    // A poll sent while the window is active
    QVERIFY(s.waitFor("poll", s.count("poll") + 1));
    QCOMPARE(lineOf(s, "poll", true),
             QByteArray(R"({"cmd":"poll","controls":false,"focused":true})"));

    // The caller's own "cmd", "focused" and "controls" are overwritten.
    const QJsonObject extra{
        {"cmd", "bogus"}, {"focused", false}, {"controls", true}, {"path", "/x"}};
    probe(w).request(QStringLiteral("data"), extra);
    QVERIFY(s.waitFor("data"));
    QCOMPARE(lineOf(s, "data"),
             QByteArray(R"({"cmd":"data","controls":false,"focused":true,"path":"/x"})"));

    // patch: the mirror, the dirty flag and a "change" request
    probe(w).patch("vsync", true);
    QVERIFY(probe(w).dirty());
    QCOMPARE(probe(w).config().value("vsync"), QJsonValue(true));
    QVERIFY(s.waitFor("change"));
    QCOMPARE(lineOf(s, "change"),
             QByteArray(
                 R"({"cmd":"change","controls":false,"focused":true,"key":"vsync","value":true})"));
    probe(w).patch("gain", 0.25);
    QVERIFY(s.waitFor("change", 2));
    QCOMPARE(lineOf(s, "change", true),
             QByteArray(
                 R"({"cmd":"change","controls":false,"focused":true,"key":"gain","value":0.25})"));

    // On the controls page every request says so.
    probe(w).navigate(Page::Controls, false);
    probe(w).request(QStringLiteral("verify"), {});
    QVERIFY(s.waitFor("verify"));
    QCOMPARE(lineOf(s, "verify"), QByteArray(R"({"cmd":"verify","controls":true,"focused":true})"));
    probe(w).navigate(Page::ControllerGuide, false);
    probe(w).request(QStringLiteral("refresh"), {});
    QVERIFY(s.waitFor("refresh"));
    QVERIFY(lineOf(s, "refresh").contains(R"("controls":false)"));

    // Destruction ends with "quit", which the service sees last.
    w.reset();
    const QByteArrayList lines = s.lines();
    const QJsonObject quit = QJsonDocument::fromJson(lines.last()).object();
    QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
    QCOMPARE(quit.value("discard"), QJsonValue(false));
    QCOMPARE(s.count("quit"), 1);
    for (const QByteArray &line : lines)
        QVERIFY2(!line.contains('\r') && !line.contains(' '), line);
}

void TestChannel::greetingThenPolling()
{
    // The greeting is answered without a state: the launcher must wait.
    ScriptedService s;
    auto w = s.startWindow();
    RebuildCounter rebuilds(w.get());
    QVERIFY(s.waitFor("hello"));
    QSignalSpy ticks(&probe(w).pollTimer(), &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 4);
    QCOMPARE(s.commands(), QStringList{QStringLiteral("hello")});
    QCOMPARE(probe(w).pollTimer().interval(), 65);
    QVERIFY(!probe(w).ready());

    // A poll answer without a state rebuilds the page but does not make the launcher ready.
    const int before = rebuilds.count;
    s.send(marker(QStringLiteral("poll"), 1));
    QTRY_COMPARE(markOf(w.get()), 1);
    QVERIFY(!probe(w).ready());
    QVERIFY(rebuilds.count > before);

    // The first state: polling begins at the idle rate.
    s.send(stateReply(QStringLiteral("refresh"), readyState()));
    QTRY_VERIFY(probe(w).ready());
    QVERIFY(s.waitFor("poll", 2));
    QCOMPARE(probe(w).pollTimer().interval(), 200);
    QCOMPARE(s.commands().first(), QStringLiteral("hello"));
}

void TestChannel::oneOutstandingPoll()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startReady();
    QVERIFY(w);
    QVERIFY(s.waitFor("poll"));
    QSignalSpy ticks(&probe(w).pollTimer(), &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 4);
    QVERIFY(probe(w).pollPending());
    QCOMPARE(s.count("poll"), 1);

    // User actions are not held back by the unanswered poll.
    probe(w).patch("vsync", false);
    QVERIFY(s.waitFor("change"));
    QCOMPARE(s.count("poll"), 1);

    // An error answer to the poll still releases it.
    s.send({{"cmd", "poll"}, {"error", "busy"}});
    QVERIFY(s.waitFor("poll", 2));
    QCOMPARE(probe(w).noticeLabel()->text(), QStringLiteral("busy"));
    s.send(marker(QStringLiteral("poll"), 1));
    QVERIFY(s.waitFor("poll", 3));
}

void TestChannel::pollInterval()
{
    ScriptedService s;
    s.serve(readyState());
    auto w = s.startWindow();
    QVERIFY(activate(w.get()));
    QTRY_VERIFY(probe(w).ready());
    QTRY_COMPARE(probe(w).pollTimer().interval(), 200);

    // Live readings on the controls page of the active window
    probe(w).navigate(Page::Controls, false);
    QTRY_COMPARE(probe(w).pollTimer().interval(), 20);
    QTRY_VERIFY(lineOf(s, "poll", true).contains(R"("controls":true)"));

    QWidget other;
    other.show();
    QVERIFY(activate(&other));
    QTRY_COMPARE(probe(w).pollTimer().interval(), 200);
    QVERIFY(activate(w.get()));
    QTRY_COMPARE(probe(w).pollTimer().interval(), 20);

    // The controller guide is not the controls page.
    probe(w).navigate(Page::ControllerGuide, false);
    QTRY_COMPARE(probe(w).pollTimer().interval(), 200);
    QVERIFY(probe(w).pollTimer().isActive());
}

void TestChannel::patchAndAutosave()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startReady();
    QVERIFY(w);

    // Other pages wait for the footer's button.
    probe(w).navigate(Page::Display, false);
    probe(w).patch("vsync", true);
    QVERIFY(!probe(w).autosaveTimer().isActive());

    // The basic settings page saves once, after the last of several changes.
    probe(w).navigate(Page::Basic, false);
    probe(w).patch("volume", 3);
    QVERIFY(probe(w).autosaveTimer().isActive());
    QCOMPARE(probe(w).autosaveTimer().interval(), 400);
    probe(w).patch("volume", 4);
    QVERIFY(s.waitFor("save"));
    QVERIFY(s.waitFor("change", 3));
    QVERIFY(s.commands().indexOf(QStringLiteral("save")) > s.commands().lastIndexOf("change"));
    probe(w).request(QStringLiteral("verify"), {});
    QVERIFY(s.waitFor("verify"));
    QCOMPARE(s.count("save"), 1);

    // Nothing to save once the save was answered.
    s.send(marker(QStringLiteral("save"), 1));
    QTRY_VERIFY(!probe(w).dirty());
    probe(w).autosaveTimer().start();
    QTRY_VERIFY(!probe(w).autosaveTimer().isActive());
    probe(w).request(QStringLiteral("refresh"), {});
    QVERIFY(s.waitFor("refresh"));
    QCOMPARE(s.count("save"), 1);
}

void TestChannel::replyFraming()
{
    QJsonObject first = readyState();
    first.insert("gameStatus", "first");
    ScriptedService s;
    quiet(s);
    auto w = s.startReady();
    QVERIFY(w);

    // Two replies in one write, handled in order
    s.sendRaw(compact(stateReply(QStringLiteral("one"), first, {{"mark", 1}})) + '\n' +
              compact(marker(QStringLiteral("two"), 2)) + '\n');
    QTRY_COMPARE(markOf(w.get()), 2);
    QCOMPARE(probe(w).state().value("gameStatus").toString(), QStringLiteral("first"));

    // One reply over two writes; a carriage return before the line feed is harmless.
    const QByteArray third = compact(marker(QStringLiteral("three"), 3));
    s.sendRaw(third.left(10));
    QTRY_VERIFY(!probe(w).replies().pending().isEmpty());
    QCOMPARE(markOf(w.get()), 2);
    s.sendRaw(third.mid(10) + "\r\n");
    QTRY_COMPARE(markOf(w.get()), 3);
    QVERIFY(probe(w).replies().pending().isEmpty());

    // An unreadable line is an empty reply: the input goes, the state stays.
    probe(w).notice(QStringLiteral("old"));
    s.sendRaw("not json at all\n");
    QTRY_VERIFY(probe(w).noticeLabel()->isHidden());
    QVERIFY(probe(w).input().isEmpty());
    QCOMPARE(probe(w).state().value("gameStatus").toString(), QStringLiteral("first"));
    QVERIFY(probe(w).ready());
}

void TestChannel::overlongLine()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startReady();
    QVERIFY(w);

    // A little over the cap without a line feed, then its end and a valid reply
    const qint64 length = Window::maxReplyLine + 100000;
    s.push({{"rawRepeat", "x"}, {"count", length}});
    s.sendRaw("tail\n" + compact(marker(QStringLiteral("after"), 7)) + '\n');
    qsizetype largest = 0;
    bool skipped = false;
    const bool handled = QTest::qWaitFor(
        [&] {
            largest = std::max(largest, probe(w).replies().pending().size());
            skipped = skipped || probe(w).replies().skipping();
            return markOf(w.get()) == 7;
        },
        20000);
    QVERIFY2(handled, "the reply after the over-long line was not handled");
    QVERIFY(skipped);
    QVERIFY2(largest <= Window::maxReplyLine + 64 * 1024, QByteArray::number(largest));
    QVERIFY(!probe(w).replies().skipping());
    QVERIFY(probe(w).replies().pending().isEmpty());
    QVERIFY(probe(w).ready());
}

void TestChannel::mirrorWithoutWindow()
{
    // Framing and applying replies need no window: the fuzzer and these checks use them bare.
    Quilt::ReplyFramer framer;
    QJsonObject state, config, input;
    bool ready = false;
    QByteArray line;

    framer.append(R"({"cmd":"poll","input":{"a":1}})"
                  "\n"
                  R"({"cmd":"hello","state":{"runn)");
    QVERIFY(framer.next(line));
    Quilt::ReplyDigest digest =
        Quilt::applyReply(Quilt::parseReply(line), state, config, input, ready);
    QCOMPARE(digest.cmd, QStringLiteral("poll"));
    QCOMPARE(input.value("a").toInt(), 1);
    QVERIFY(!ready);
    QVERIFY(!framer.next(line)); // the greeting is not complete yet

    framer.append(R"(ing":true,"saveFound":true,"config":{"vsync":true}}})"
                  "\n");
    QVERIFY(framer.next(line));
    digest = Quilt::applyReply(Quilt::parseReply(line), state, config, input, ready);
    QVERIFY(ready && digest.hasState && !digest.wasReady);
    QVERIFY(!digest.wasRunning && digest.running && digest.saveFound);
    QCOMPARE(input, QJsonObject());
    QCOMPARE(config.value("vsync"), QJsonValue(true));
    QVERIFY(Quilt::MirrorView(state, config, input, ready).running());
    QVERIFY(!Quilt::MirrorView(state, config, input, ready).editable());

    // An error reply leaves the mirror whole; an unreadable line empties only the input.
    const QJsonObject before = state;
    input = {{"kept", true}};
    digest = Quilt::applyReply(Quilt::parseReply(R"({"cmd":"save","error":"Disk full"})"), state,
                               config, input, ready);
    QVERIFY(digest.error);
    QCOMPARE(digest.errorText, QStringLiteral("Disk full"));
    QCOMPARE(input.value("kept"), QJsonValue(true));
    digest = Quilt::applyReply(Quilt::parseReply("[1,2"), state, config, input, ready);
    QVERIFY(!digest.error && !digest.hasState && digest.cmd.isEmpty());
    QCOMPARE(state, before);
    QCOMPARE(input, QJsonObject());
}

void TestChannel::errorReplies()
{
    QJsonObject state = readyState();
    state.insert("config", QJsonObject{{"vsync", true}});
    ScriptedService s;
    s.reply(QStringLiteral("hello"), stateReply(QStringLiteral("hello"), state, {{"mark", 1}}));
    s.rule({{"on", "poll"}, {"silent", true}});
    auto w = s.startReady();
    QVERIFY(w);
    QTRY_COMPARE(markOf(w.get()), 1);
    const QJsonObject stateBefore = probe(w).state();

    // An error carries nothing into the mirror, whatever else it holds.
    s.send({{"cmd", "verify"},
            {"error", "Game data needs attention"},
            {"input", QJsonObject{{"mark", 9}}},
            {"state", QJsonObject{{"dirty", true}, {"config", QJsonObject()}}}});
    QTRY_VERIFY(!probe(w).noticeLabel()->isHidden());
    QCOMPARE(probe(w).noticeLabel()->text(), status(QStringLiteral("Game data needs attention")));
    QCOMPARE(probe(w).state(), stateBefore);
    QCOMPARE(probe(w).config().value("vsync"), QJsonValue(true));
    QCOMPARE(markOf(w.get()), 1);

    // Polls and the greeting leave the notice; any other answer clears it.
    s.send(marker(QStringLiteral("hello"), 2));
    QTRY_COMPARE(markOf(w.get()), 2);
    QVERIFY(!probe(w).noticeLabel()->isHidden());
    s.send(marker(QStringLiteral("verify"), 3));
    QTRY_VERIFY(probe(w).noticeLabel()->isHidden());

    // A failed save with no close pending only shows its notice.
    s.send({{"cmd", "save"}, {"error", "Could not save settings"}});
    QTRY_VERIFY(!probe(w).noticeLabel()->isHidden());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(w->isVisible());
    QVERIFY(!probe(w).closing());

    // A non-string error hides the line.
    s.send({{"cmd", "verify"}, {"error", 5}});
    QTRY_VERIFY(probe(w).noticeLabel()->isHidden());
    QCOMPARE(probe(w).state(), stateBefore);
}

void TestChannel::languageFromService()
{
    QJsonObject spanish = readyState();
    spanish.insert("lang", 2);
    ScriptedService s;
    quiet(s, spanish);
    auto w = s.startWindow();
    RebuildCounter rebuilds(w.get());
    QTRY_VERIFY(probe(w).ready());
    QCOMPARE(probe(w).language(), 2);
    QCOMPARE(rebuilds.count, 1);
    QCOMPARE(probe(w).navButtons()[0]->text(), T("Home page"));
    QVERIFY(probe(w).navButtons()[0]->text() != QLatin1String("Home page"));
    QCOMPARE(probe(w).brandLabel()->text(), QStringLiteral("Tobble\u2019s Grand Quilt"));

    // The same language again changes nothing.
    s.send(stateReply(QStringLiteral("refresh"), spanish, {{"mark", 1}}));
    QTRY_COMPARE(markOf(w.get()), 1);
    QCOMPARE(rebuilds.count, 1);

    // A state without "lang" means language 0.
    QJsonObject unnamed = readyState();
    unnamed.remove("lang");
    s.send(stateReply(QStringLiteral("refresh"), unnamed, {{"mark", 2}}));
    QTRY_COMPARE(markOf(w.get()), 2);
    QCOMPARE(probe(w).language(), 0);
    QCOMPARE(rebuilds.count, 2);
    QCOMPARE(probe(w).navButtons()[0]->text(), T("Home page"));

    // A reply without a state keeps the language; the launcher never echoes it back.
    s.send(marker(QStringLiteral("refresh"), 3));
    QTRY_COMPARE(markOf(w.get()), 3);
    QCOMPARE(probe(w).language(), 0);
    QCOMPARE(s.count("lang"), 0);
}

void TestChannel::languageChoiceOutlivesStaleStates()
{
    ScriptedService s;
    quiet(s);
    s.rule({{"on", "lang"}, {"silent", true}});
    auto w = s.startReady();
    QVERIFY(w);
    probe(w).navigate(Page::Basic, false);
    probe(w).setLanguage(2);
    QVERIFY(s.waitFor("lang"));
    QCOMPARE(s.last("lang").value("value").toInt(), 2);

    // A state already on its way still names English: the choice stands.
    s.send(stateReply(QStringLiteral("poll"), readyState(), {{"mark", 1}}));
    QTRY_COMPARE(markOf(w.get()), 1);
    QCOMPARE(probe(w).language(), 2);
    QCOMPARE(probe(w).page(), Page::Basic);

    // The answer to "lang" carries the new language.
    QJsonObject spanish = readyState();
    spanish.insert("lang", 2);
    s.send(stateReply(QStringLiteral("lang"), spanish, {{"mark", 2}}));
    QTRY_COMPARE(markOf(w.get()), 2);
    QCOMPARE(probe(w).language(), 2);

    // Afterwards the launcher follows the service again.
    s.send(stateReply(QStringLiteral("refresh"), readyState(), {{"mark", 3}}));
    QTRY_COMPARE(markOf(w.get()), 3);
    QCOMPARE(probe(w).language(), 1);
}

void TestChannel::rebuildRules()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startReady();
    QVERIFY(w);
    RebuildCounter rebuilds(w.get());
    const QJsonObject state = readyState();
    int mark = 0;
    // Sends a reply and returns the rebuilds it caused.
    auto rebuildsFor = [&](QJsonObject reply) {
        const int before = rebuilds.count;
        QJsonObject input = reply.value("input").toObject();
        input.insert("mark", ++mark);
        reply.insert("input", input);
        s.send(reply);
        [&] { QTRY_COMPARE(markOf(w.get()), mark); }();
        return rebuilds.count - before;
    };

    // Diagnostics: every state but the answer to "change"
    probe(w).navigate(Page::Diagnostics, false);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("refresh"), state)), 1);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("poll"), state)), 1);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("change"), state)), 0);
    QCOMPARE(rebuildsFor(marker(QStringLiteral("refresh"), 0)), 0);

    // Elsewhere: only the named commands and the end of the game
    probe(w).navigate(Page::Install, false);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("refresh"), state)), 0);
    for (const char *cmd : {"reload", "resetControls", "resetMotion", "data"})
        QCOMPARE(rebuildsFor(stateReply(QString::fromLatin1(cmd), state)), 1);
    QJsonObject running = state;
    running.insert("running", true);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("poll"), running)), 0);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("poll"), state)), 1);
    w->showNormal();

    // Saves page: its own commands and changes of the save, on top of the rules above
    probe(w).navigate(Page::Saves, false);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("createBackup"), state)), 1);
    QJsonObject saved = state;
    saved.insert("saveFound", true);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("poll"), saved)), 1);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("poll"), saved)), 0);
    QCOMPARE(rebuildsFor(stateReply(QStringLiteral("data"), state)), 2);
}

void TestChannel::cancelCaptureOnLeavingControls()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startReady();
    QVERIFY(w);
    probe(w).navigate(Page::Controls, false);
    // A capture as the service reports it
    s.send(marker(QStringLiteral("bind"), 1, {{"phase", 1}}));
    QTRY_VERIFY(probe(w).capturing());
    probe(w).navigate(Page::Controls, true);
    QVERIFY(probe(w).capturing());
    probe(w).navigate(Page::Display, false);
    probe(w).capturing() = false;
    probe(w).request(QStringLiteral("verify"), {});
    QVERIFY(s.waitFor("verify"));
    QCOMPARE(s.count("cancel"), 1);
    // Sent before the page changed
    QVERIFY(lineOf(s, "cancel").contains(R"("controls":true)"));
}

void TestChannel::closeSavesFirst()
{
    ScriptedService s;
    quiet(s);
    s.rule({{"on", "save"}, {"silent", true}});
    auto w = s.startReady();
    QVERIFY(w);
    probe(w).patch("vsync", true);

    // The close waits for the save, and a second close does not ask again.
    QVERIFY(!w->close());
    QVERIFY(probe(w).closeAfterSave());
    QVERIFY(s.waitFor("save"));
    QVERIFY(!w->close());
    probe(w).request(QStringLiteral("verify"), {});
    QVERIFY(s.waitFor("verify"));
    QCOMPARE(s.count("save"), 1);
    QVERIFY(w->isVisible());

    // The save succeeds: the window closes for good.
    s.send(marker(QStringLiteral("save"), 1));
    QTRY_VERIFY(!w->isVisible());
    QVERIFY(probe(w).closing());
    QVERIFY(!probe(w).dirty());
    w.reset();
    QCOMPARE(QJsonDocument::fromJson(s.lines().last()).object().value("discard"),
             QJsonValue(false));
}

void TestChannel::failedSaveWhileClosing()
{
    QJsonObject dirtyState = readyState();
    dirtyState.insert("dirty", true);
    const QJsonObject failure{{"cmd", "save"}, {"error", "Could not save settings"}};

    // Declining keeps the window open with its changes; a later close starts over.
    {
        ScriptedService s;
        quiet(s, dirtyState);
        s.reply(QStringLiteral("save"), failure);
        auto w = s.startReady();
        QVERIFY(w);
        const auto escape = [](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); };
        BoxAnswers decline;
        decline.next(escape);
        QVERIFY(!w->close());
        QTRY_COMPARE(decline.seen, 1);
        QTRY_VERIFY(!probe(w).closeAfterSave());
        QVERIFY(decline.text.contains(T("Close without saving?")));
        QCOMPARE(probe(w).noticeLabel()->text(), status(QStringLiteral("Could not save settings")));
        QVERIFY(w->isVisible());
        QVERIFY(!probe(w).closing());
        QVERIFY(!probe(w).discardOnQuit());

        decline.next(escape);
        QVERIFY(!w->close());
        QVERIFY(s.waitFor("save", 2));
        QTRY_COMPARE(decline.seen, 2);
        QTRY_VERIFY(!probe(w).closeAfterSave());
        QVERIFY(w->isVisible());
        w.reset();
        QCOMPARE(QJsonDocument::fromJson(s.lines().last()).object().value("discard"),
                 QJsonValue(false));
    }

    // Confirming closes, and the service is told to drop the changes.
    {
        ScriptedService s;
        quiet(s, dirtyState);
        s.reply(QStringLiteral("save"), failure);
        auto w = s.startReady();
        QVERIFY(w);
        BoxAnswers confirm;
        confirm.next([](QMessageBox *box) {
            if (QAbstractButton *close = button(box, "Close without saving"))
                close->click();
        });
        QVERIFY(!w->close());
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(confirm.seen, 1);
        QVERIFY(probe(w).closing());
        QVERIFY(probe(w).discardOnQuit());
        w.reset();
        const QJsonObject quit = QJsonDocument::fromJson(s.lines().last()).object();
        QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
        QCOMPARE(quit.value("discard"), QJsonValue(true));
    }
}

void TestChannel::serviceFailures()
{
    // A service that cannot start: Qt's reason, and nothing becomes editable.
    {
        QTemporaryDir root;
        Window w(root.path(), root.filePath(QStringLiteral("missing/tobble-launcher")), false);
        w.show();
        SewnSwitch *toggle = probe(w).check(probe(w).card("Display"), "vsync", "VSync");
        probe(w).refresh();
        QTRY_VERIFY(!probe(w).noticeLabel()->isHidden());
        QCOMPARE(probe(w).noticeLabel()->text(), probe(w).process().errorString());
        QVERIFY(!probe(w).noticeLabel()->text().isEmpty());
        QVERIFY(!probe(w).ready());
        QVERIFY(!toggle->isEnabled());
        QVERIFY(!probe(w).pollTimer().isActive());
    }

    // A service that exits: polling stops, every control is disabled, the player is told in
    // the current language.
    {
        QJsonObject spanish = readyState();
        spanish.insert("lang", 2);
        ScriptedService s;
        auto w = s.readyWindow(spanish);
        QVERIFY(w);
        probe(w).navigate(Page::Display, false);
        probe(w).check(probe(w).card("Display"), "vsync", "VSync");
        probe(w).refresh();
        const QList<QWidget *> controls = probe(w).parts().trackedControls;
        for (QWidget *control : controls)
            QVERIFY(control->isEnabled());
        s.push({{"exit", 3}});
        QTRY_COMPARE(probe(w).noticeLabel()->text(), T("Launcher connection closed"));
        QVERIFY(T("Launcher connection closed") != QLatin1String("Launcher connection closed"));
        QVERIFY(!probe(w).ready());
        QVERIFY(!probe(w).pollTimer().isActive());
        for (QWidget *control : controls)
            QVERIFY(!control->isEnabled());
        QVERIFY(w->close());
    }

    // A crash ends the same way, after Qt's own notice.
    {
        ScriptedService s;
        auto w = s.readyWindow();
        QVERIFY(w);
        s.push({{"crash", true}});
        QTRY_VERIFY(!probe(w).ready());
        QCOMPARE(probe(w).noticeLabel()->text(), T("Launcher connection closed"));
    }

    // A service that exits while a save on the way out is pending: the window can close.
    {
        ScriptedService s;
        quiet(s);
        s.rule({{"on", "save"}, {"silent", true}});
        auto w = s.startReady();
        QVERIFY(w);
        probe(w).patch("vsync", true);
        QVERIFY(!w->close());
        QVERIFY(s.waitFor("save"));
        s.push({{"exit", 0}});
        QTRY_VERIFY(!probe(w).ready());
        QVERIFY(!probe(w).closeAfterSave());
        QVERIFY(w->close());
    }
}

void TestChannel::destructionWithHungService()
{
    // The service ignores the end of its input: the window waits its 3 s, then ~QProcess
    // kills the service. Its finished signal must not reach the half-destroyed window
    // (a build with QUILT_SANITIZE catches that).
    ScriptedService s;
    auto w = s.readyWindow();
    QVERIFY(w);
    s.push({{"send", marker(QStringLiteral("hung"), 5)}, {"hang", true}});
    QTRY_COMPARE(markOf(w.get()), 5);
    QElapsedTimer clock;
    clock.start();
    w.reset();
    QVERIFY2(clock.elapsed() < 10000, QByteArray::number(clock.elapsed()));
    QCOMPARE(QJsonDocument::fromJson(s.lines().last()).object().value("cmd").toString(),
             QStringLiteral("quit"));
}

void TestChannel::gameStartAndStop()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startWindow();
    QVERIFY(activate(w.get()));
    QTRY_VERIFY(probe(w).ready());
    RebuildCounter rebuilds(w.get());
    probe(w).navigate(Page::Basic, false);
    probe(w).patch("volume", 5);
    QVERIFY(probe(w).autosaveTimer().isActive());

    // The game starts: out of the way, and the pending autosave is dropped.
    QJsonObject running = readyState();
    running.insert("running", true);
    s.send(stateReply(QStringLiteral("play"), running));
    QTRY_VERIFY(w->isMinimized());
    QVERIFY(!probe(w).dirty());
    QVERIFY(!probe(w).autosaveTimer().isActive());
    for (QWidget *control : std::as_const(probe(w).parts().trackedControls))
        QVERIFY(!control->isEnabled());

    // The game ends: back in front, and the page is built again.
    const int before = rebuilds.count;
    s.send(stateReply(QStringLiteral("poll"), readyState()));
    QTRY_VERIFY(!w->isMinimized());
    QVERIFY(w->isVisible());
    QCOMPARE(rebuilds.count, before + 1);
    for (QWidget *control : std::as_const(probe(w).parts().trackedControls))
        QVERIFY(control->isEnabled());
    QCOMPARE(s.count("save"), 0);
}

void TestChannel::controllerNavigation()
{
    ScriptedService s;
    quiet(s);
    auto w = s.startWindow();
    QVERIFY(activate(w.get()));
    QTRY_VERIFY(probe(w).ready());
    probe(w).navButtons()[0]->setFocus();
    QTRY_COMPARE(w->focusWidget(), probe(w).navButtons()[0]);
    int mark = 0;
    auto sendNav = [&](QJsonArray events) {
        s.send(marker(QStringLiteral("nav"), ++mark, {{"nav", events}}));
        [&] { QTRY_COMPARE(markOf(w.get()), mark); }();
    };

    // Twice on, then press: the third header tab opens the advanced settings.
    sendNav({"dpdown", "dpdown", "south"});
    QCOMPARE(w->focusWidget(), probe(w).navButtons()[2]);
    QCOMPARE(probe(w).page(), Page::Display);

    sendNav({"dpup", "dpleft", "north", 5});
    QCOMPARE(w->focusWidget(), probe(w).navButtons()[0]);
    sendNav({"dpright"});
    QCOMPARE(w->focusWidget(), probe(w).navButtons()[1]);

    // Ignored during a binding capture
    probe(w).capturing() = true;
    sendNav({"dpdown", "south"});
    QCOMPARE(w->focusWidget(), probe(w).navButtons()[1]);
    QCOMPARE(probe(w).page(), Page::Display);
    probe(w).capturing() = false;

    // Ignored while another window is active
    QWidget other;
    other.show();
    QVERIFY(activate(&other));
    sendNav({"dpdown", "south"});
    QCOMPARE(w->focusWidget(), probe(w).navButtons()[1]);
    QCOMPARE(probe(w).page(), Page::Display);

    // Back in front it works again.
    QVERIFY(activate(w.get()));
    sendNav({"south"});
    QCOMPARE(probe(w).page(), Page::Basic);
}

QTEST_MAIN(TestChannel)
#include "tst_channel.moc"
