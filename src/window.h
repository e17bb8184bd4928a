// The launcher's only top-level window: frame, pages, service link and the state mirror.
#pragma once

#include "fabric.h"
#include "mirror.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLayout;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// The tests' one door into the window (tests/support/probe.h).
namespace QuiltTest {
class WindowProbe;
}

namespace Quilt {

// Title keys of the pages, indexed by Page.
extern const char *const Titles[8];

class Window : public QWidget
{
public:
    Window(QString root, QString servicePath, bool selfTest);
    ~Window() override;

    // Self-test: shows every page with sample data, checks layout rules, writes screenshots.
    bool preview(const QString &directory);
    // What the self-test found wrong, when it can say: the page, language, size, widget and text.
    QString previewFailure;

    // The longest reply line kept; longer lines are dropped up to their line feed.
    static constexpr qsizetype maxReplyLine = ReplyFramer::maxLine;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class ::QuiltTest::WindowProbe;

    // Frame, pages and status
    void navigate(Page target, bool keepScroll);
    void refresh();
    void headerText();
    void notice(const QString &text);
    // The mirror, read through its typed view.
    MirrorView mirror() const { return MirrorView(state, config, input, ready); }

    // Keyboard focus: kept near the player when controls lock or the page is built again
    struct FocusMark
    {
        const QMetaObject *type = nullptr; // none: the focus was not on the page
        QString name;
        int index = -1; // among the page's keyboard stops
        int count = 0;
        bool link = false; // a link between the advanced pages
    };
    FocusMark focusMark() const;
    void restoreFocus(const FocusMark &mark, bool rebuilt);
    // Call before `leaving` is disabled or hidden.
    void handOffFocus(QWidget *leaving);
    QWidget *nearestUsable(QWidget *from, const QWidget *leaving) const;

    // Language
    void loadStandardText();
    void setLanguage(int index);

    // Service link
    void startService(const QString &servicePath);
    void request(QString cmd, QJsonObject extra);
    void poll();
    void receive();
    // Handles one reply line in the steps below, in this order.
    void handleLine(const QByteArray &line);
    // Clears what waited for this answer: the poll in flight, a language request, the
    // save on the way out.
    void settleRequest(const ReplyDigest &reply);
    // Applies the reply to the mirror (no widget is touched).
    ReplyDigest applyToMirror(const QByteArray &line);
    // An error reply: the notice, and the answer to a failed save on the way out.
    void answerError(const ReplyDigest &reply);
    // Takes the service's language unless the launcher's own choice is on the way;
    // true when that rebuilt the page.
    bool followLanguage(const ReplyDigest &reply);
    // Rebuilds the current page when the reply calls for it.
    void rebuildIfNeeded(const ReplyDigest &reply, bool languageRebuilt);
    // A saved reply ends a close in progress; the notice and the page's live parts follow.
    void finishReply(const ReplyDigest &reply);
    // Out of the way while the game runs, back in front when it ends.
    void followGame(const ReplyDigest &reply);
    // The service's controller navigation events move and press the focus.
    void navigateByController();
    void patch(const char *key, QJsonValue value);
    void saveOnCloseFailed();

    // Form builders
    static QLabel *label(const QString &text, const char *objectName = nullptr);
    // A tool tip that shows a service text as it is, markup included.
    static QString literalToolTip(const QString &text);
    // A help text as a tool tip that wraps at a readable width.
    static QString helpTip(const QString &text);
    // Shows a row's help when the keyboard moves onto its control (an application-wide filter).
    static void showHelpOnFocus(QObject *watched, QEvent *event);
    QVBoxLayout *card(const char *titleKey, const char *helpKey = nullptr);
    QWidget *row(QVBoxLayout *target, const QString &caption, QWidget *control,
                 const char *helpKey = nullptr);
    void field(QVBoxLayout *target, const char *captionKey, const QString &value);
    FabricButton *action(QLayout *target, const char *textKey, std::function<void()> onClick,
                         const char *helpKey = nullptr);
    void tracked(QWidget *control);
    SewnSwitch *check(QVBoxLayout *target, const char *key, const char *captionKey,
                      const char *helpKey = nullptr);
    FabricCombo *select(QVBoxLayout *target, const char *key, const char *captionKey,
                        QList<QString> texts, QList<int> values, const char *helpKey = nullptr);
    void number(QVBoxLayout *target, const char *key, const char *captionKey, double minimum,
                double maximum, double step, const char *helpKey = nullptr);

    // Pages, in page order
    void buildHome();
    void buildInstall();
    void buildDisplay();
    void buildControls();
    void buildBindings();
    void buildMotion();
    void buildSaves();
    bool confirmReplace();
    void buildDiagnostics();
    void buildBasic();
    void buildControllerGuide();
    void openFolder(const char *titleKey, const QString &path);

    // Self-test rules
    bool checkBackupForm();
    bool checkMotion(const QString &directory, const QString &name);
    bool checkFit(QWidget *top, const QString &where);
    bool checkStates(const QString &where, bool normalSize);
    bool checkDialogs(const QString &where);

    // Live parts of the controls page
    void bind(int action, bool keyboard);
    void updateControls();
    void updateMotion(bool editable);

    // Installation and flags
    QString root;
    bool selfTest = false;
    bool ready = false;
    bool pollPending = false;
    bool closeAfterSave = false;
    bool closing = false;
    bool dirty = false;
    bool discardOnQuit = false;
    bool compact = false;
    int language = 1;
    int languageRequests = 0; // "lang" requests not answered yet
    int controlsTab = 0;
    Page page = Page::Play;
    int pendingScroll = -1; // the position a rebuilt page still waits for; -1 none
    int scrollReset = 0;    // where the scroll bar stood right after that rebuild

    // Service, timers and translations
    QProcess process;
    QTranslator translator;
    QTimer pollTimer;
    QTimer autosaveTimer;
    QTimer closeSaveTimer; // bounds the wait for the answer to the save sent on the way out
    ReplyFramer replies;   // reply bytes not handled yet

    // The mirror of the service
    QJsonObject state;
    QJsonObject input;
    QJsonObject config;

    // Opens files, folders and web pages with the desktop; replaceable for tests.
    std::function<bool(const QUrl &)> openUrl;

    // Frame
    QScrollArea *scrollArea = nullptr;
    QWidget *pageWidget = nullptr;
    QVBoxLayout *pageLayout = nullptr;
    QWidget *footer = nullptr;
    QLabel *footerStatus = nullptr;
    FabricButton *saveButton = nullptr;
    QLabel *noticeLabel = nullptr;
    QLabel *brandLabel = nullptr;
    std::array<QPushButton *, 3> navButtons{};

    // Widgets of the shown page that the window updates later. All of them belong to the
    // page: navigate forgets them in one assignment before the page goes.
    struct PageParts
    {
        // Home, install, saves and basic settings pages
        FabricButton *playButton = nullptr;
        QLabel *dataStatusLabel = nullptr;
        QLabel *gameStatusLabel = nullptr;
        QLabel *saveImportStatusLabel = nullptr;
        QPointer<QComboBox> languageCombo;

        // Controls page: input settings
        QList<QPair<QPushButton *, QPushButton *>> bindingButtons;
        QPointer<QLabel> captureMessage;
        QPointer<QPushButton> swapButton;
        QPointer<QPushButton> useEscapeButton;
        QPointer<QPushButton> cancelCaptureButton;
        QPointer<QWidget> bindingTable;

        // Controls page: motion
        QPointer<FabricCombo> deviceCombo;
        QPointer<QLabel> motionStatus;
        QPointer<QPushButton> calibrateButton;
        QPointer<QWidget> pointerView;

        // Controls enabled only while settings can be edited
        QList<QWidget *> trackedControls;
    };
    PageParts parts;

    // A binding capture runs (controls page)
    bool capturing = false;
    int captureAction = -1; // the binding cell of the latest capture
    bool captureKeyboard = false;
};

} // namespace Quilt
