// Faults and bad input: what the launcher does when its service misbehaves.
#include "support.h"
#include "translations.h"
#include "window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <arpa/inet.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace QuiltTest;
using Quilt::Page;

namespace {

constexpr qint64 MiB = 1024 * 1024;

// AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing about
// the launcher's own buffers there: the figures are still printed, not asserted.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool measuresMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool measuresMemory = false;
#else
constexpr bool measuresMemory = true;
#endif
#else
constexpr bool measuresMemory = true;
#endif
// Generous bound for closing the window: the service gets 3 s to exit, then it is killed.
constexpr qint64 closeBoundMs = 6000;

// A figure from /proc/self/status, in KiB ("VmRSS", "VmHWM"); -1 when unreadable.
qint64 procStatusKiB(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts a fresh peak (VmHWM) measurement; false where the kernel does not allow it.
bool resetPeakRss()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1 && file.flush();
}

// Keeps the largest VmRSS seen while the event loop runs, as a second opinion beside VmHWM.
struct RssSampler
{
    QTimer timer;
    qint64 peak = 0;
    RssSampler()
    {
        peak = procStatusKiB("VmRSS");
        QObject::connect(&timer, &QTimer::timeout,
                         [this] { peak = std::max(peak, procStatusKiB("VmRSS")); });
        timer.start(2);
    }
};

// A state with something in every member that the header, footer and home page read.
QJsonObject baseState()
{
    QJsonObject state = readyState();
    state.insert(QStringLiteral("gameStatus"), QStringLiteral("Base status"));
    state.insert(QStringLiteral("dataStatus"), QStringLiteral("Base data"));
    state.insert(QStringLiteral("config"),
                 QJsonObject{{QStringLiteral("vsync"), true}, {QStringLiteral("volume"), 40}});
    return state;
}

QJsonObject baseInput()
{
    return {{QStringLiteral("phase"), 1}, {QStringLiteral("message"), QStringLiteral("Base")}};
}

// Every page, with the motion sub-tab of the controls page as a ninth stop.
struct Stop
{
    Page page;
    int controlsTab;
};
const Stop everyPage[] = {{Page::Play, 0},        {Page::Install, 0},  {Page::Display, 0},
                          {Page::Controls, 0},    {Page::Controls, 1}, {Page::Saves, 0},
                          {Page::Diagnostics, 0}, {Page::Basic, 0},    {Page::ControllerGuide, 0}};

// Clicks "Close without saving" (or "Cancel") in the confirmation box once one is open; the
// box opens when a reply arrives. The flag tells when it was answered.
std::shared_ptr<bool> answerConfirmation(bool confirm)
{
    auto answered = std::make_shared<bool>(false);
    const char *wanted = confirm ? "Close without saving" : "Cancel";
    answerModalWidget([wanted](QWidget *modal) { return button(modal, wanted) != nullptr; },
                      [answered, wanted](QWidget *modal) {
                          *answered = true;
                          button(modal, wanted)->click();
                      },
                      30000, true);
    return answered;
}

// A loopback port that counts who connects to it (plain sockets: the tests link no Qt Network).
class LoopbackListener
{
public:
    LoopbackListener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            ::listen(fd, 16) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        port = ntohs(address.sin_port);
    }
    ~LoopbackListener()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Connections accepted so far, taking any that wait.
    int connections()
    {
        for (int client; (client = ::accept(fd, nullptr, nullptr)) >= 0;) {
            ::close(client);
            ++accepted;
        }
        return accepted;
    }
    int port = 0;

private:
    int fd = -1;
    int accepted = 0;
};

// A service text shows literally when its label takes it as plain text and a tool tip
// holding it would not be read as rich text by Qt's tool tip.
QString shownToolTip(const QString &tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QuiltTest::resetShared(); }
    void init();

    // 1. Malformed reply lines
    void malformedLines_data();
    void malformedLines();
    void wrongTypesOnEveryPage_data();
    void wrongTypesOnEveryPage();
    void noiseThroughTheChild();
    // 2. Deep nesting and large states
    void deepNesting();
    void largeState();
    // 3. An over-long line
    void overlongLine();
    // 4. Framing
    void replySplitAtEveryByte();
    void replySplitAcrossWrites();
    void hundredRepliesInOneWrite();
    // 5. The service failing
    void serviceKilledMidLine();
    void serviceHung();
    void serviceMissing();
    void stderrFlood();
    // 6. Markup from the service
    void markupShownLiterally();
    // 7. Closing with unsaved changes
    void closeSaveSucceeds();
    void closeSaveFailsThenCancel();
    void closeSaveFailsThenConfirm();
    void closeSaveNeverAnswered();
    void closeSaveServiceGone();

private:
    // Self-test window that has taken baseState() as its first state.
    static std::unique_ptr<Quilt::Window> readyWindow();
    static void show(Quilt::Window &window, const Stop &stop);
    // Records the "seq" member of the state each time the current page is rebuilt.
    static std::unique_ptr<QObject> recordRebuilds(Quilt::Window &window, QList<int> &seen);
    // Destroys the window and returns how long that took.
    static qint64 destroyTimed(std::unique_ptr<Quilt::Window> &window);

    QTemporaryDir root;
};

std::unique_ptr<Quilt::Window> TestFaults::readyWindow()
{
    auto window = std::make_unique<Quilt::Window>(QString(), QString(), true);
    probe(window).handleLine(json(stateReply(QStringLiteral("hello"), baseState(), baseInput())));
    return window;
}

void TestFaults::show(Quilt::Window &window, const Stop &stop)
{
    probe(window).controlsTab() = stop.controlsTab;
    probe(window).navigate(stop.page, false);
}

namespace {

class RebuildRecorder : public QObject
{
public:
    RebuildRecorder(QObject *viewport, std::function<void()> onRebuild)
        : viewport(viewport), onRebuild(std::move(onRebuild))
    {
        viewport->installEventFilter(this);
    }

protected:
    // A rebuilt page is put into the scroll area's viewport once, when it is complete.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == viewport && event->type() == QEvent::ChildAdded) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            if (child->objectName() == QLatin1String("paper"))
                onRebuild();
        }
        return false;
    }

private:
    QObject *viewport;
    std::function<void()> onRebuild;
};

} // namespace

std::unique_ptr<QObject> TestFaults::recordRebuilds(Quilt::Window &window, QList<int> &seen)
{
    Quilt::Window *target = &window;
    return std::make_unique<RebuildRecorder>(
        probe(window).scrollArea()->viewport(), [target, &seen] {
            seen.append(probe(target).state().value(QLatin1String("seq")).toInt());
        });
}

qint64 TestFaults::destroyTimed(std::unique_ptr<Quilt::Window> &window)
{
    QElapsedTimer clock;
    clock.start();
    window.reset();
    return clock.elapsed();
}

void TestFaults::init()
{
    QuiltTest::resetShared();
    Quilt::language(1);
}

// ---------------------------------------------------------------------------------------------
// 1. Malformed reply lines

void TestFaults::malformedLines_data()
{
    QTest::addColumn<QByteArray>("line");
    // What the mirror holds afterwards.
    QTest::addColumn<QJsonObject>("expectState");
    QTest::addColumn<QJsonObject>("expectInput");
    QTest::addColumn<int>("expectLanguage");
    // The notice line afterwards; it held "Earlier error" before the line.
    QTest::addColumn<QString>("expectNotice");
    // Whether the line answered the outstanding poll.
    QTest::addColumn<bool>("pollAnswered");

    const QJsonObject base = baseState();
    const QJsonObject before = baseInput();
    const QString earlier = QStringLiteral("Earlier error");
    // Lines that are not a JSON object count as an empty reply: input emptied, state kept,
    // notice hidden, the outstanding poll still outstanding.
    auto unreadable = [&](const char *name, const QByteArray &line) {
        QTest::newRow(name) << line << base << QJsonObject() << 1 << QString() << false;
    };
    const QByteArray poll = R"({"cmd":"poll","input":{"phase":2}})";

    unreadable("not JSON", "hello there");
    unreadable("truncated", R"({"cmd":"poll","input":{"phase":2)");
    unreadable("truncated string", R"({"cmd":"poll","input":{"message":"ab)");
    unreadable("number", "42");
    unreadable("string", R"("poll")");
    unreadable("true", "true");
    unreadable("null", "null");
    unreadable("array of replies", "[" + poll + "]");
    unreadable("two documents", poll + poll);
    unreadable("two documents with a space", poll + ' ' + poll);
    unreadable("empty line", "");
    unreadable("lone carriage return", "\r");
    unreadable("blank", "   \t ");
    unreadable("NUL after the object", poll + QByteArray(1, '\0'));
    unreadable("NUL alone", QByteArray(1, '\0'));
    unreadable("invalid UTF-8", R"({"cmd":"poll","input":{"message":")"
                                "\xff\xfe"
                                R"("}})");
    unreadable("overlong UTF-8", R"({"cmd":"poll","input":{"message":")"
                                 "\xc0\xaf"
                                 R"("}})");
    unreadable("lone continuation byte", R"({"cmd":"poll","input":{"message":")"
                                         "\x80"
                                         R"("}})");
    unreadable("UTF-16 surrogate in UTF-8", R"({"cmd":"poll","input":{"message":")"
                                            "\xed\xa0\x80"
                                            R"("}})");
    // Qt's parser takes an unescaped NUL inside a string and skips a leading byte order mark;
    // such lines are replies like any other, and the NUL reaches the mirror intact.
    QTest::newRow("NUL inside a string")
        << QByteArray(R"({"cmd":"poll","input":{"message":"a)") + '\0' + QByteArray(R"(b"}})")
        << base << QJsonObject{{"message", QString::fromUtf8("a\0b", 3)}} << 1 << earlier << true;
    QTest::newRow("byte order mark")
        << "\xef\xbb\xbf" + poll << base << QJsonObject{{"phase", 2}} << 1 << earlier << true;
    QTest::newRow("CRLF") << poll + '\r' << base << QJsonObject{{"phase", 2}} << 1 << earlier
                          << true;

    // Wrong member types at the top of the reply
    QTest::newRow("cmd a number") << QByteArray(R"({"cmd":5,"input":{"phase":3}})") << base
                                  << QJsonObject{{"phase", 3}} << 1 << QString() << false;
    QTest::newRow("input an array") << QByteArray(R"({"cmd":"poll","input":[1,2]})") << base
                                    << QJsonObject() << 1 << earlier << true;
    QTest::newRow("input a string") << QByteArray(R"({"cmd":"poll","input":"phase"})") << base
                                    << QJsonObject() << 1 << earlier << true;
    QTest::newRow("input missing")
        << QByteArray(R"({"cmd":"verify"})") << base << QJsonObject() << 1 << QString() << false;
    // An error reply never touches the mirror; a non-string error hides the notice.
    QTest::newRow("error a number")
        << QByteArray(R"({"cmd":"poll","error":5})") << base << before << 1 << QString() << true;
    QTest::newRow("error null") << QByteArray(R"({"cmd":"poll","error":null,"input":{}})") << base
                                << before << 1 << QString() << true;
    QTest::newRow("error beside a state")
        << json(withMember(stateReply("data", readyState()), "error", "Missing DATA")) << base
        << before << 1 << QStringLiteral("Missing DATA") << false;

    // A "state" that is not an object replaces the state with an empty one, as any state does.
    QJsonObject empty;
    QTest::newRow("state a string") << QByteArray(R"({"cmd":"poll","input":{},"state":"x"})")
                                    << empty << QJsonObject() << 0 << earlier << true;
    QTest::newRow("state an array") << QByteArray(R"({"cmd":"poll","input":{},"state":[1]})")
                                    << empty << QJsonObject() << 0 << earlier << true;
    QTest::newRow("state null") << QByteArray(R"({"cmd":"poll","input":{},"state":null})") << empty
                                << QJsonObject() << 0 << earlier << true;

    // The language index: anything but a whole number from 0 to 2 reads as 0.
    auto language = [&](const char *name, const QJsonValue &lang, int expected) {
        const QJsonObject state = withMember(base, "lang", lang);
        QTest::newRow(name) << json(stateReply("refresh", state)) << state << QJsonObject()
                            << expected << QString() << false;
    };
    language("lang a string", "2", 0);
    language("lang a fraction", 1.5, 0);
    language("lang huge", 1e300, 0);
    language("lang too large", 7, 0);
    language("lang negative", -1, 0);
    language("lang a whole double", 2.0, 2);

    const QJsonObject badConfig = withMember(base, "config", QJsonArray{1, 2});
    QTest::newRow("config an array") << json(stateReply("refresh", badConfig)) << badConfig
                                     << QJsonObject() << 1 << QString() << false;
}

void TestFaults::malformedLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QJsonObject, expectState);
    QFETCH(QJsonObject, expectInput);
    QFETCH(int, expectLanguage);
    QFETCH(QString, expectNotice);
    QFETCH(bool, pollAnswered);

    auto window = readyWindow();
    QVERIFY(probe(window).ready());
    probe(window).pollPending() = true;
    probe(window).notice(QStringLiteral("Earlier error"));

    probe(window).handleLine(line);
    QCOMPARE(probe(window).state(), expectState);
    QCOMPARE(probe(window).config(), expectState.value(QLatin1String("config")).toObject());
    QCOMPARE(probe(window).input(), expectInput);
    QCOMPARE(probe(window).language(), expectLanguage);
    QCOMPARE(probe(window).noticeLabel()->text(), expectNotice);
    QCOMPARE(probe(window).noticeLabel()->isHidden(), expectNotice.isEmpty());
    QCOMPARE(probe(window).pollPending(), !pollAnswered);
    QVERIFY(probe(window).ready());

    // The next valid reply is handled as usual.
    QJsonObject next = withMember(baseState(), "gameStatus", "Next");
    probe(window).handleLine(json(stateReply("poll", next, {{"phase", 4}})));
    QCOMPARE(probe(window).state(), next);
    QCOMPARE(probe(window).input(), (QJsonObject{{"phase", 4}}));
    QCOMPARE(probe(window).language(), 1);
    QVERIFY(!probe(window).pollPending());
    QCOMPARE(probe(window).footerStatus()->text(), QStringLiteral("No unsaved changes"));
}

void TestFaults::wrongTypesOnEveryPage_data()
{
    QTest::addColumn<QJsonObject>("state");
    QTest::addColumn<QJsonObject>("input");
    // A wrong type reads as false, 0 or empty: only a string "settingsError" blocks editing,
    // and only right-typed "verified" and "installed" make the game data ready.
    QTest::addColumn<bool>("editable");
    QTest::addColumn<bool>("dataReady");

    const QStringList stateKeys = {"running",
                                   "saveFound",
                                   "config",
                                   "dirty",
                                   "settingsError",
                                   "verified",
                                   "installed",
                                   "installationError",
                                   "dataStatus",
                                   "gameStatus",
                                   "saveImportStatus",
                                   "data",
                                   "setupAvailable",
                                   "bindings",
                                   "saves",
                                   "backups",
                                   "build",
                                   "runtime",
                                   "match",
                                   "buildError",
                                   "checking",
                                   "executable",
                                   "settings"};
    const QStringList inputKeys = {
        "nav",     "phase",    "release",   "keyboardCapture", "message",
        "devices", "selected", "gyro",      "accel",           "previewPaused",
        "x",       "y",        "tiltAngle", "calibrating",     "motionMessage"};
    const QStringList configKeys = {"gameLanguage", "fullscreen",  "volume",      "scale",
                                    "aa",           "vsync",       "performance", "dynamicPrompts",
                                    "buttonIcons",  "stick",       "trigger",     "tilt",
                                    "invertTilt",   "gain",        "deadzone",    "keyboardMotion",
                                    "pointer",      "sensitivity", "invertX",     "invertY",
                                    "stickDeadzone"};

    // Every member the pages read, all of one wrong kind
    const QList<QPair<const char *, QJsonValue>> kinds = {
        {"strings", QStringLiteral("x")},
        {"numbers", 1e300},
        {"negative", -7},
        {"nulls", QJsonValue::Null},
        {"objects", QJsonObject{{"a", 1}}},
        {"arrays of numbers", QJsonArray{1, 2, 3}},
    };
    for (const auto &[name, value] : kinds) {
        QJsonObject config;
        for (const QString &key : configKeys)
            config.insert(key, value);
        QJsonObject state{{"lang", 1}};
        for (const QString &key : stateKeys)
            state.insert(key, value);
        state.insert("config", config);
        QJsonObject input;
        for (const QString &key : inputKeys)
            input.insert(key, value);
        const bool isString = QJsonValue(value).isString();
        QTest::newRow(name) << state << input << !isString << false;
    }

    // Right container, wrong elements
    {
        QJsonObject state = readyState();
        state.insert("bindings", QJsonArray{5, "x", QJsonValue::Null, QJsonArray(),
                                            QJsonArray{1, 2, 3}, QJsonArray{"only"},
                                            QJsonArray{"a", "b", "c", "d"}, QJsonObject{{"a", 1}},
                                            QJsonArray{QJsonArray{"a"}, QJsonObject(), true}});
        state.insert("backups", QJsonArray{5, "x", QJsonArray(), QJsonObject(),
                                           QJsonObject{{"name", 5},
                                                       {"label", QJsonObject()},
                                                       {"timestamp", QJsonArray{1}}},
                                           QJsonObject{{"name", ""}, {"label", ""}}});
        state.insert("build", QJsonObject{{"revision", 5}, {"compiler", QJsonArray{1}}});
        state.insert("runtime", QJsonObject{{"revision", QJsonObject()}, {"compiler", true}});
        state.insert("config", QJsonObject{{"volume", 1e9},
                                           {"scale", 7},
                                           {"aa", -1},
                                           {"buttonIcons", 99},
                                           {"pointer", 2.5},
                                           {"gain", -1e300},
                                           {"stick", 1e300},
                                           {"sensitivity", 1e-300},
                                           {"deadzone", -0.0},
                                           {"gameLanguage", 2}});
        QJsonObject input{
            {"devices", QJsonArray{5, "x", QJsonObject(), QJsonObject{{"id", "7"}, {"name", 5}},
                                   QJsonObject{{"id", 1e300}, {"name", QJsonValue::Null}},
                                   QJsonObject{{"id", -1}, {"name", ""}},
                                   QJsonObject{{"id", 3}, {"name", "Pad"}},
                                   QJsonObject{{"id", 3}, {"name", "Same id"}}}},
            {"selected", 3},
            {"gyro", true},
            {"accel", true},
            {"x", 1e300},
            {"y", -1e300},
            {"tiltAngle", 1e308},
            {"phase", 99},
            {"nav", QJsonArray{5, QJsonValue::Null, "sideways", QJsonArray()}}};
        QTest::newRow("wrong elements") << state << input << true << true;
    }
}

void TestFaults::wrongTypesOnEveryPage()
{
    QFETCH(QJsonObject, state);
    QFETCH(QJsonObject, input);
    QFETCH(bool, editable);
    QFETCH(bool, dataReady);

    for (int language : {1, 0, 2}) {
        auto window = readyWindow();
        probe(window).setLanguage(language);
        window->show();
        const QJsonObject localState = withMember(state, "lang", language);
        for (const Stop &stop : everyPage) {
            show(*window, stop);
            // Through the reply path: a rebuild, then polls that update the live parts.
            probe(window).handleLine(json(stateReply("reload", localState, input)));
            probe(window).handleLine(json(stateReply("poll", localState, input)));
            probe(window).handleLine(json(QJsonObject{{"cmd", "poll"}, {"input", input}}));
            QCOMPARE(probe(window).page(), stop.page);
            QCOMPARE(probe(window).state(), localState);
            QCOMPARE(probe(window).input(), input);
            QCOMPARE(probe(window).language(), language);
            QVERIFY(probe(window).pageWidget());
            window->grab(); // paints every widget of the page

            // What it shows follows from the values as they read
            QCOMPARE(probe(window).mirror().editable(), editable);
            for (QWidget *control : std::as_const(probe(window).parts().trackedControls))
                // Its own flag: a parent panel may be switched off on purpose.
                QVERIFY2(!control->testAttribute(Qt::WA_ForceDisabled) == editable,
                         qPrintable(QStringLiteral("page %1 tab %2: %3 %4")
                                        .arg(int(stop.page))
                                        .arg(stop.controlsTab)
                                        .arg(QLatin1String(control->metaObject()->className()),
                                             control->accessibleName())));
            QCOMPARE(probe(window).footerStatus()->text(),
                     editable ? Quilt::T("No unsaved changes")
                              : Quilt::T("Settings need attention. Open Diagnostics to fix them."));
            if (stop.page == Page::Play) {
                QVERIFY(probe(window).parts().playButton);
                QCOMPARE(probe(window).parts().playButton->text(),
                         dataReady ? Quilt::T("Start game") : Quilt::T("Choose game data"));
                QCOMPARE(probe(window).parts().playButton->isEnabled(), !dataReady || editable);
            }
        }
        // The pages survive the other replies too, and the next good state wins.
        probe(window).handleLine(
            json(stateReply("poll", withMember(baseState(), "lang", language))));
        QCOMPARE(probe(window).state().value("gameStatus").toString(),
                 QStringLiteral("Base status"));
    }
}

void TestFaults::noiseThroughTheChild()
{
    ScriptedService service;
    // Polls get the default answer without a state, so the state sent below stays.
    service.reply("hello", stateReply("hello", baseState()));
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).notice(QStringLiteral("Earlier error"));

    QByteArray noise;
    noise += "not json\n";
    noise += "\r\n";
    noise += "\n";
    noise += R"({"cmd":"verify","input":{"pha)"
             "\n";
    noise += "\xff\xfe\xfd\n";
    noise += QByteArray("{\"cmd\":\"a\0b\"}\n", 15);
    noise += R"({"cmd":"refresh","input":{}}{"cmd":"refresh","input":{}})"
             "\n";
    noise += R"([1,2,3])"
             "\n";
    noise += json(stateReply("refresh", withMember(baseState(), "gameStatus", "After the noise"),
                             {{"phase", 5}})) +
             "\r\n";
    service.sendRaw(noise);
    QTRY_COMPARE(probe(window).state().value("gameStatus").toString(),
                 QStringLiteral("After the noise"));
    QVERIFY(probe(window).noticeLabel()->isHidden());

    // A million levels of nesting through the pipe, then a good reply.
    service.push({{"rawRepeat", "["}, {"count", 1000000}});
    service.push({{"rawRepeat", "]"}, {"count", 1000000}});
    service.sendRaw("\n");
    service.send(stateReply("refresh", withMember(baseState(), "gameStatus", "After the depth")));
    QTRY_COMPARE(probe(window).state().value("gameStatus").toString(),
                 QStringLiteral("After the depth"));
    QVERIFY(probe(window).replies().pending().isEmpty());

    // Polling still goes on, one at a time.
    const int polls = service.count("poll");
    QVERIFY(service.waitFor("poll", polls + 2));
    QVERIFY(destroyTimed(window) < closeBoundMs);
    QCOMPARE(service.commands().last(), QStringLiteral("quit"));
}

// ---------------------------------------------------------------------------------------------
// 2. Deep nesting and large states

void TestFaults::deepNesting()
{
    auto window = readyWindow();
    probe(window).navigate(Page::Controls, false);
    for (int depth : {1025, 1000000}) {
        const QByteArray arrays = QByteArray(depth, '[') + QByteArray(depth, ']');
        const QByteArray objects =
            QByteArray(R"({"a":)").repeated(depth) + "1" + QByteArray(depth, '}');
        const QByteArray inInput = R"({"cmd":"poll","input":{"x":)" + arrays + "}}";
        for (const QByteArray &line : {arrays, objects, inInput}) {
            probe(window).pollPending() = true;
            probe(window).handleLine(line);
            // Too deep for the parser: an unreadable line, which leaves the poll unanswered.
            QCOMPARE(probe(window).state(), baseState());
            QCOMPARE(probe(window).input(), QJsonObject());
            QVERIFY(probe(window).pollPending());
        }
        qInfo("%d levels of nesting: handled as an unreadable line", depth);
    }

    // Deep but within the parser's limit: taken as it is, and every page copes with it.
    const int depth = 1000;
    const QByteArray deep = QByteArray(depth, '[') + QByteArray(depth, ']');
    const QByteArray line = R"({"cmd":"poll","input":{"devices":)" + deep + R"(,"nav":)" + deep +
                            R"(},"state":{"lang":1,"bindings":)" + deep + R"(,"backups":)" + deep +
                            R"(,"config":{"gain":)" + deep + "}}}";
    for (const Stop &stop : everyPage) {
        show(*window, stop);
        probe(window).handleLine(line);
        QVERIFY(probe(window).ready());
        QCOMPARE(probe(window).input().value("devices").toArray().size(), 1);
        QCOMPARE(probe(window).state().value("bindings").toArray().size(), 1);
    }
}

void TestFaults::largeState()
{
    QJsonArray bindings;
    for (int i = 0; i < 2000; ++i)
        bindings.append(QJsonArray{QStringLiteral("Action %1").arg(i),
                                   QStringLiteral("Button %1").arg(i),
                                   QStringLiteral("Key %1").arg(i)});
    QJsonArray devices;
    for (int i = 0; i < 2000; ++i)
        devices.append(QJsonObject{{"id", i}, {"name", QStringLiteral("Controller %1").arg(i)}});
    QJsonArray backups;
    for (int i = 0; i < 2000; ++i)
        backups.append(QJsonObject{{"name", QStringLiteral("backup-%1").arg(i)},
                                   {"label", QStringLiteral("Backup %1").arg(i)},
                                   {"timestamp", QStringLiteral("2026-12-07 21:%1").arg(i % 60)}});
    QJsonObject state = baseState();
    state.insert("bindings", bindings);
    state.insert("backups", backups);
    state.insert("saveFound", true);
    state.insert("saves", QStringLiteral("/home/player/saves"));
    const QJsonObject input{{"devices", devices}, {"selected", 1999}, {"gyro", true}};
    const QByteArray reply = json(stateReply("poll", state, input));
    qInfo("large state reply: %lld bytes, %lld bindings rows, %lld devices, %lld backups",
          qint64(reply.size()), qint64(bindings.size()), qint64(devices.size()),
          qint64(backups.size()));

    auto window = readyWindow();
    window->show();
    probe(window).handleLine(reply);
    QCOMPARE(probe(window).state().value("bindings").toArray().size(), 2000);
    QCOMPARE(probe(window).input().value("devices").toArray().size(), 2000);
    for (const Stop &stop : everyPage) {
        QElapsedTimer clock;
        clock.start();
        show(*window, stop);
        const qint64 rebuild = clock.elapsed();
        clock.restart();
        probe(window).handleLine(reply);
        const qint64 handled = clock.elapsed();
        qInfo("large state, page %d tab %d: rebuild %lld ms, one poll reply %lld ms",
              int(stop.page), stop.controlsTab, rebuild, handled);
        QCOMPARE(probe(window).page(), stop.page);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// ---------------------------------------------------------------------------------------------
// 3. An over-long line

void TestFaults::overlongLine()
{
    ScriptedService service;
    service.reply("hello", stateReply("hello", baseState()));
    auto window = service.startReady();
    QVERIFY(window);

    const bool peakReset = resetPeakRss();
    const qint64 before = procStatusKiB("VmRSS");
    RssSampler sampler;
    service.push({{"rawRepeat", "x"}, {"count", 64 * MiB}});
    service.sendRaw("\n");
    service.send(stateReply("refresh", withMember(baseState(), "gameStatus", "After the flood"),
                            {{"phase", 6}}));
    QTRY_VERIFY_WITH_TIMEOUT(probe(window).state().value("gameStatus").toString() ==
                                 QLatin1String("After the flood"),
                             60000);
    const qint64 peak = peakReset ? std::max(procStatusKiB("VmHWM"), sampler.peak) : sampler.peak;
    const qint64 growthMiB = (peak - before) / 1024;
    qInfo("64 MiB line without a line feed: peak RSS growth %lld MiB (line cap %lld MiB, %s)",
          growthMiB, qint64(Quilt::Window::maxReplyLine / MiB),
          peakReset ? "VmHWM" : "sampled VmRSS");
    // Without the cap the whole 64 MiB line would be held (and the buffer's growth on top);
    // with it, one capped line and the allocator's slack for it.
    QVERIFY2(!measuresMemory || growthMiB < 3 * Quilt::Window::maxReplyLine / MiB,
             qPrintable(QStringLiteral("grew by %1 MiB").arg(growthMiB)));
    QVERIFY(!probe(window).replies().skipping());
    QVERIFY(probe(window).replies().pending().size() < 1024);
}

// ---------------------------------------------------------------------------------------------
// 4. Framing

void TestFaults::replySplitAtEveryByte()
{
    auto window = readyWindow();
    // On the diagnostics page every reply with a state rebuilds the page exactly once.
    probe(window).navigate(Page::Diagnostics, false);
    QList<int> seen;
    auto recorder = recordRebuilds(*window, seen);

    const QByteArray sample = json(stateReply("refresh", withMember(baseState(), "seq", 1))) + '\n';
    for (int split = 1; split < sample.size(); ++split) {
        const QByteArray whole =
            json(stateReply("refresh", withMember(baseState(), "seq", split + 1))) + '\n';
        const qsizetype at = std::min<qsizetype>(split, whole.size() - 1);
        probe(window).replies().append(whole.left(at));
        probe(window).receive();
        QCOMPARE(seen.size(), split - 1); // a partial line waits
        probe(window).replies().append(whole.mid(at));
        probe(window).receive();
        QCOMPARE(seen.size(), split);
        QCOMPARE(seen.last(), split + 1);
        QVERIFY(probe(window).replies().pending().isEmpty());
        if (split % 50 == 0)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    for (int i = 0; i < seen.size(); ++i)
        QCOMPARE(seen.at(i), i + 2);
}

void TestFaults::replySplitAcrossWrites()
{
    ScriptedService service;
    service.reply("hello", stateReply("hello", baseState()));
    // Unanswered polls keep the peer quiet between the two halves.
    service.rule({{"on", "poll"}, {"silent", true}});
    auto window = service.startReady();
    QVERIFY(window);
    QVERIFY(service.waitFor("poll"));

    const QByteArray line =
        json(stateReply("refresh", withMember(baseState(), "gameStatus", "Joined"))) + '\n';
    for (qsizetype at : {qsizetype(1), line.size() / 2, line.size() - 1}) {
        probe(window).handleLine(json(stateReply("refresh", baseState())));
        service.sendRaw(line.left(at));
        QTRY_COMPARE(probe(window).replies().pending(), line.left(at));
        QCOMPARE(probe(window).state().value("gameStatus").toString(),
                 QStringLiteral("Base status"));
        service.sendRaw(line.mid(at));
        QTRY_COMPARE(probe(window).state().value("gameStatus").toString(),
                     QStringLiteral("Joined"));
        QVERIFY(probe(window).replies().pending().isEmpty());
    }
}

void TestFaults::hundredRepliesInOneWrite()
{
    ScriptedService service;
    service.reply("hello", stateReply("hello", baseState()));
    service.rule({{"on", "poll"}, {"silent", true}});
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).navigate(Page::Diagnostics, false);
    QList<int> seen;
    auto recorder = recordRebuilds(*window, seen);

    QByteArray burst;
    for (int seq = 1; seq <= 100; ++seq)
        burst += json(stateReply("refresh", withMember(baseState(), "seq", seq))) + '\n';
    qInfo("100 replies in one write: %lld bytes", qint64(burst.size()));
    service.sendRaw(burst);
    QTRY_COMPARE(seen.size(), 100);
    // A marker after the burst: once it is in, nothing of the burst can still come twice.
    service.send(stateReply("refresh", withMember(baseState(), "seq", 101)));
    QTRY_COMPARE(seen.size(), 101);
    for (int i = 0; i < seen.size(); ++i)
        QCOMPARE(seen.at(i), i + 1);
}

// ---------------------------------------------------------------------------------------------
// 5. The service failing

void TestFaults::serviceKilledMidLine()
{
    ScriptedService service;
    auto window = service.readyWindow(baseState(), baseInput());
    QVERIFY(window);
    QVERIFY(probe(window).saveButton());

    service.push(
        {{"raw", R"({"cmd":"refresh","input":{"phase":9},"state":{"gameSta)"}, {"crash", true}});
    QTRY_VERIFY(!probe(window).ready());
    QCOMPARE(probe(window).noticeLabel()->text(), Quilt::T("Launcher connection closed"));
    QVERIFY(!probe(window).noticeLabel()->isHidden());
    QVERIFY(!probe(window).pollTimer().isActive());
    // The half line never counts, and the mirror keeps the last state.
    QCOMPARE(probe(window).input(), baseInput());
    QCOMPARE(probe(window).state(), baseState());
    QVERIFY(!probe(window).saveButton()->isEnabled());

    // Nothing more is sent, and a close goes through at once.
    const int requests = service.lines().size();
    QSignalSpy ticks(&probe(window).pollTimer(), &QTimer::timeout);
    probe(window).patch("vsync", false);
    QCOMPARE(service.lines().size(), requests);
    QVERIFY(window->close());
    const qint64 ms = destroyTimed(window);
    qInfo("closing after the service crashed: %lld ms", ms);
    QVERIFY(ms < closeBoundMs);
    QCOMPARE(ticks.count(), 0);
}

void TestFaults::serviceHung()
{
    ScriptedService service;
    service.reply("hello", stateReply("hello", baseState()));
    // The first poll hangs the peer: it reads on but never answers, and ignores end of input.
    service.rule({{"on", "poll"}, {"hang", true}});
    auto window = service.startReady();
    QVERIFY(window);
    QVERIFY(service.waitFor("poll"));

    QSignalSpy ticks(&probe(window).pollTimer(), &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 5);
    probe(window).request(QStringLiteral("refresh"), {});
    QVERIFY(service.waitFor("refresh"));
    QCOMPARE(service.count("poll"), 1); // one outstanding poll, never a second
    QVERIFY(probe(window).pollPending());
    QVERIFY(probe(window).noticeLabel()->isHidden());

    QVERIFY(window->close()); // nothing unsaved
    const qint64 ms = destroyTimed(window);
    qInfo("closing with a hung service: %lld ms", ms);
    QVERIFY(ms < closeBoundMs);
    const QJsonObject quit = service.requests().last();
    QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
    QCOMPARE(quit.value("discard").toBool(true), false);
}

void TestFaults::serviceMissing()
{
    const QString missing = root.filePath(QStringLiteral("no-such-service"));
    auto window = std::make_unique<Quilt::Window>(root.path(), missing, false);
    window->show();
    QTRY_VERIFY(!probe(window).noticeLabel()->isHidden());
    QVERIFY(!probe(window).noticeLabel()->text().isEmpty());
    const QString firstNotice = probe(window).noticeLabel()->text();
    QSignalSpy ticks(&probe(window).pollTimer(), &QTimer::timeout);
    QVERIFY(!probe(window).ready());
    QVERIFY(!probe(window).pollTimer().isActive());
    QVERIFY(probe(window).parts().dataStatusLabel);
    QCOMPARE(probe(window).parts().dataStatusLabel->text(),
             Quilt::T("Checking native executable..."));
    QVERIFY(probe(window).parts().playButton);
    QVERIFY(!probe(window).parts().playButton->isEnabled());

    // Every page builds without a service and keeps its editable controls disabled.
    for (const Stop &stop : everyPage) {
        show(*window, stop);
        for (QWidget *control : std::as_const(probe(window).parts().trackedControls))
            QVERIFY(!control->isEnabled());
    }
    QCOMPARE(probe(window).noticeLabel()->text(), firstNotice);
    probe(window).dirty() = true;
    QVERIFY(window->close()); // nothing can be saved, so nothing blocks
    const qint64 ms = destroyTimed(window);
    QVERIFY(ms < closeBoundMs);
    QCOMPARE(ticks.count(), 0);
}

void TestFaults::stderrFlood()
{
    ScriptedService service;
    service.reply("hello", stateReply("hello", baseState()));
    auto window = service.startReady();
    QVERIFY(window);
    QVERIFY(service.waitFor("poll"));

    const bool peakReset = resetPeakRss();
    const qint64 before = procStatusKiB("VmRSS");
    RssSampler sampler;
    service.push({{"flood", 200 * MiB}});
    service.send(stateReply("refresh", withMember(baseState(), "gameStatus", "After the flood")));
    QTRY_VERIFY_WITH_TIMEOUT(probe(window).state().value("gameStatus").toString() ==
                                 QLatin1String("After the flood"),
                             120000);
    const qint64 peak = peakReset ? std::max(procStatusKiB("VmHWM"), sampler.peak) : sampler.peak;
    const qint64 growthKiB = peak - before;
    qInfo("200 MiB of standard error: peak RSS growth %lld KiB (%s)", growthKiB,
          peakReset ? "VmHWM" : "sampled VmRSS");
    QVERIFY2(!measuresMemory || growthKiB < 16 * 1024,
             qPrintable(QStringLiteral("grew by %1 KiB").arg(growthKiB)));
    QVERIFY(probe(window).noticeLabel()->isHidden());

    // Polls go on afterwards, one at a time.
    const int polls = service.count("poll");
    QVERIFY(service.waitFor("poll", polls + 2));

    // Closing in the middle of another flood still ends in time.
    QSignalSpy errorOutput(&probe(window).process(), &QProcess::readyReadStandardError);
    service.push({{"flood", 200 * MiB}});
    QTRY_VERIFY(errorOutput.count() > 0);
    QVERIFY(window->close());
    const qint64 ms = destroyTimed(window);
    qInfo("closing during a standard error flood: %lld ms", ms);
    QVERIFY(ms < closeBoundMs);
}

// ---------------------------------------------------------------------------------------------
// 6. Markup from the service

void TestFaults::markupShownLiterally()
{
    LoopbackListener server;
    QVERIFY(server.port > 0);
    const QString image = QStringLiteral(R"(<img src="http://127.0.0.1:%1/x">)").arg(server.port);
    const QString link = QStringLiteral(R"(<a href="file:///etc/passwd">x</a>)");
    const QString bold = QStringLiteral("<b>bold</b> & <i>more</i>");
    const QStringList markups = {image, link, bold};

    auto texts = [&](int i) { return markups.at(i % markups.size()); };
    QJsonArray bindings;
    for (int i = 0; i < 6; ++i)
        bindings.append(QJsonArray{texts(i), texts(i + 1), texts(i + 2)});
    QJsonArray backups;
    for (int i = 0; i < 3; ++i)
        backups.append(
            QJsonObject{{"name", texts(i)}, {"label", texts(i + 1)}, {"timestamp", texts(i + 2)}});
    QJsonArray devices;
    for (int i = 0; i < 3; ++i)
        devices.append(QJsonObject{{"id", i}, {"name", texts(i)}});
    const QJsonObject record{{"revision", image}, {"compiler", link}, {"extra", bold}};

    QJsonObject state = readyState();
    state.insert("dataStatus", image);
    state.insert("gameStatus", link);
    state.insert("saveImportStatus", QStringLiteral("Missing ") + image);
    state.insert("installationError", bold);
    state.insert("data", image);
    state.insert("bindings", bindings);
    state.insert("saves", link);
    state.insert("saveFound", true);
    state.insert("backups", backups);
    state.insert("build", record);
    state.insert("runtime", record);
    state.insert("buildError", image);
    state.insert("executable", link);
    state.insert("settings", bold);
    state.insert("setupAvailable", true);
    const QJsonObject input{{"message", image}, {"motionMessage", link}, {"devices", devices},
                            {"selected", 1},    {"gyro", true},          {"accel", true},
                            {"phase", 1}};
    // With a settings error the diagnostics page shows it; without, the other pages show more.
    const QList<QJsonObject> states = {state, withMember(state, "settingsError", link)};

    auto checkLiteral = [&](Quilt::Window &window, const char *where) {
        for (QLabel *label : window.findChildren<QLabel *>()) {
            if (label->text().contains(QLatin1Char('<')))
                QVERIFY2(label->textFormat() == Qt::PlainText,
                         qPrintable(QStringLiteral("%1: label reads markup: %2")
                                        .arg(QLatin1String(where), label->text())));
        }
        for (QWidget *widget : window.findChildren<QWidget *>()) {
            const QString tip = widget->toolTip();
            if (tip.contains(QLatin1String("<img")) || tip.contains(QLatin1String("<a ")) ||
                tip.contains(QLatin1String("<b>")))
                QVERIFY2(!Qt::mightBeRichText(tip),
                         qPrintable(QStringLiteral("%1: tool tip reads markup: %2")
                                        .arg(QLatin1String(where), tip)));
        }
    };

    for (int language : {0, 1, 2}) {
        auto window = readyWindow();
        probe(window).setLanguage(language);
        window->show();
        for (const QJsonObject &base : states) {
            const QJsonObject localState = withMember(base, "lang", language);
            for (const Stop &stop : everyPage) {
                show(*window, stop);
                probe(window).handleLine(json(stateReply("reload", localState, input)));
                probe(window).handleLine(json(stateReply("poll", localState, input)));
                window->grab();
                checkLiteral(*window, qPrintable(QStringLiteral("language %1 page %2 tab %3")
                                                     .arg(language)
                                                     .arg(int(stop.page))
                                                     .arg(stop.controlsTab)));
                if (QTest::currentTestFailed())
                    return;
                if (probe(window).parts().gameStatusLabel)
                    QCOMPARE(probe(window).parts().gameStatusLabel->text(), link);
                if (probe(window).parts().saveImportStatusLabel)
                    QCOMPARE(probe(window).parts().saveImportStatusLabel->text(),
                             Quilt::T("Missing ") + image);
                if (probe(window).parts().dataStatusLabel)
                    QCOMPARE(shownToolTip(probe(window).parts().dataStatusLabel->toolTip()), image);
            }
        }
        // An error reply goes to the notice line, literally.
        probe(window).handleLine(json(QJsonObject{{"cmd", "verify"}, {"error", image}}));
        QCOMPARE(probe(window).noticeLabel()->text(), image);
        QCOMPARE(probe(window).noticeLabel()->textFormat(), Qt::PlainText);
        probe(window).handleLine(
            json(QJsonObject{{"cmd", "verify"}, {"error", QStringLiteral("Missing ") + link}}));
        QCOMPARE(probe(window).noticeLabel()->text(), Quilt::T("Missing ") + link);
        window->grab();
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    QCOMPARE(server.connections(), 0);
}

// ---------------------------------------------------------------------------------------------
// 7. Closing with unsaved changes

void TestFaults::closeSaveSucceeds()
{
    ScriptedService service;
    service.serve(withMember(baseState(), "dirty", true));
    service.reply("save", stateReply("save", baseState()));
    auto window = service.startReady();
    QVERIFY(window);

    QVERIFY(!window->close()); // refused until the save is answered
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(service.count("save"), 1);
    QVERIFY(!probe(window).dirty());
    QVERIFY(!probe(window).discardOnQuit());
    QVERIFY(destroyTimed(window) < closeBoundMs);
    const QJsonObject quit = service.requests().last();
    QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
    QCOMPARE(quit.value("discard"), QJsonValue(false));
}

void TestFaults::closeSaveFailsThenCancel()
{
    ScriptedService service;
    service.serve(baseState());
    service.reply("save", {{"cmd", "save"}, {"error", "Could not save settings"}}, 1);
    service.reply("save", stateReply("save", baseState()));
    auto window = service.startReady();
    QVERIFY(window);
    probe(window).patch("vsync", false); // unsaved here, not yet in the service's state

    {
        auto answer = answerConfirmation(false);
        QVERIFY(!window->close());
        QTRY_VERIFY(*answer);
    }
    QVERIFY(window->isVisible());
    QVERIFY(!probe(window).closeAfterSave());
    QVERIFY(probe(window).dirty());
    QCOMPARE(probe(window).noticeLabel()->text(), Quilt::T("Could not save settings"));
    QCOMPARE(service.count("save"), 1);

    // A later close starts over, and this time the save goes through.
    QVERIFY(!window->close());
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(service.count("save"), 2);
    QVERIFY(destroyTimed(window) < closeBoundMs);
    const QJsonObject quit = service.requests().last();
    QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
    QCOMPARE(quit.value("discard"), QJsonValue(false));
}

void TestFaults::closeSaveFailsThenConfirm()
{
    ScriptedService service;
    service.serve(withMember(baseState(), "dirty", true));
    service.reply("save", {{"cmd", "save"}, {"error", "Could not save settings"}});
    auto window = service.startReady();
    QVERIFY(window);

    auto answer = answerConfirmation(true);
    QVERIFY(!window->close());
    QTRY_VERIFY(!window->isVisible());
    QVERIFY(probe(window).discardOnQuit());
    QVERIFY(destroyTimed(window) < closeBoundMs);
    const QJsonObject quit = service.requests().last();
    QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
    QCOMPARE(quit.value("discard"), QJsonValue(true));
    QCOMPARE(service.count("save"), 1);
}

void TestFaults::closeSaveNeverAnswered()
{
    ScriptedService service;
    service.serve(withMember(baseState(), "dirty", true));
    service.rule({{"on", "save"}, {"silent", true}});
    auto window = service.startReady();
    QVERIFY(window);

    // While the save is out, a second close neither closes nor sends another save.
    QVERIFY(!window->close());
    QVERIFY(service.waitFor("save"));
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());

    // After a while the silence counts as a failed save: the player decides.
    {
        QElapsedTimer clock;
        clock.start();
        auto answer = answerConfirmation(false);
        QTRY_VERIFY_WITH_TIMEOUT(*answer, 15000);
        qInfo("unanswered save on the way out: asked after %lld ms", clock.elapsed());
    }
    QVERIFY(window->isVisible());
    QVERIFY(!probe(window).closeAfterSave());
    QCOMPARE(probe(window).noticeLabel()->text(), Quilt::T("Could not save settings"));
    QCOMPARE(service.count("save"), 1);

    // The window is not stuck: a later close tries again, and the player may give up.
    auto answer = answerConfirmation(true);
    QVERIFY(!window->close());
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 15000);
    QCOMPARE(service.count("save"), 2);
    QVERIFY(destroyTimed(window) < closeBoundMs);
    const QJsonObject quit = service.requests().last();
    QCOMPARE(quit.value("cmd").toString(), QStringLiteral("quit"));
    QCOMPARE(quit.value("discard"), QJsonValue(true));
}

void TestFaults::closeSaveServiceGone()
{
    ScriptedService service;
    service.serve(withMember(baseState(), "dirty", true));
    service.rule({{"on", "save"}, {"exit", 0}});
    auto window = service.startReady();
    QVERIFY(window);

    QVERIFY(!window->close());
    QTRY_VERIFY(!probe(window).ready());
    // The player is told, and the window stays open until they close it again.
    QVERIFY(window->isVisible());
    QVERIFY(!probe(window).closeAfterSave());
    QVERIFY(!probe(window).closeSaveTimer().isActive()); // no late "Close without saving?" either
    QCOMPARE(probe(window).noticeLabel()->text(), Quilt::T("Launcher connection closed"));
    QVERIFY(window->close());
    QVERIFY(destroyTimed(window) < closeBoundMs);
    // Nothing could be sent after the service went away.
    QCOMPARE(service.commands().last(), QStringLiteral("save"));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
