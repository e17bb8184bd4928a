#include "window.h"

#include "translations.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace Quilt {

const char *const Titles[8] = {"Play",  "Install",     "Display",        "Controls",
                               "Saves", "Diagnostics", "Basic settings", "Controls"};

namespace {

// Windows narrower than this get the compact layout.
constexpr int compactWidth = 860;
// The smallest window, unless its header needs more.
constexpr QSize minimumWindow(640, 520);
// Gaps between the header's brand and tabs; the compact header closes them up.
constexpr int headerSpacing = 10;
constexpr int compactHeaderSpacing = 4;
// How long a close waits for the answer to its save before treating it as failed.
constexpr int closeSaveTimeout = 5000;

bool isAdvanced(Page page)
{
    return page == Page::Display || page == Page::Controls || page == Page::Diagnostics;
}

// Header tab lit for a page: home, basic settings or advanced settings.
int litTab(Page page)
{
    if (page == Page::Play)
        return 0;
    return isAdvanced(page) ? 2 : 1;
}

const QString fullBrand = QStringLiteral("Tobble\u2019s Grand Quilt");

// A header tab, which keeps its own minimum height over the stylesheet's.
class HeaderTab : public QPushButton
{
public:
    bool event(QEvent *event) override
    {
        const bool handled = QPushButton::event(event);
        holdMinimumHeight(*this, *event, minimumTabHeight);
        return handled;
    }
    static constexpr int minimumTabHeight = 36;
};

} // namespace

QString Window::literalToolTip(const QString &text)
{
    // Tool tips read anything that looks like markup as rich text.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text;
}

Window::Window(QString root, QString servicePath, bool selfTest)
    : root(std::move(root)), selfTest(selfTest),
      openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    autosaveTimer.setSingleShot(true);
    autosaveTimer.setInterval(400);
    closeSaveTimer.setSingleShot(true);
    closeSaveTimer.setInterval(closeSaveTimeout);

    // Language, before any text is made
    if (!selfTest) {
        const QString directory = QDir::toNativeSeparators(this->root);
        language = Launcher::ReadLanguage(
            std::filesystem::path(QFile::encodeName(directory).toStdString()) / "local" / "user");
    }
    Quilt::language(language);
    loadStandardText();

    setWindowTitle(QStringLiteral("Tobble's Grand Quilt"));
    setMinimumSize(minimumWindow);
    resize(1120, 685);

    // Linen background holding the whole frame
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *linen = new Linen;
    outer->addWidget(linen);
    auto *frame = new QVBoxLayout(linen);
    frame->setContentsMargins(32, 12, 32, 22);
    frame->setSpacing(13);

    // Header: brand mark, brand name and the three tabs
    {
        auto *header = new QWidget;
        header->setFixedHeight(52);
        auto *row = new QHBoxLayout(header);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(headerSpacing);
        auto *mark = new QLabel;
        mark->setPixmap(brandButton(false));
        row->addWidget(mark);
        brandLabel = label(fullBrand, "brand");
        brandLabel->setWordWrap(false);
        row->addWidget(brandLabel);
        row->addStretch();
        const Page targets[3] = {Page::Play, Page::Basic, Page::Display};
        for (int i = 0; i < 3; ++i) {
            auto *tab = new HeaderTab;
            tab->setObjectName(QStringLiteral("nav"));
            markPageTab(tab);
            tab->setCheckable(true);
            tab->setMinimumHeight(HeaderTab::minimumTabHeight);
            tab->setCursor(Qt::PointingHandCursor);
            const Page target = targets[i];
            connect(tab, &QPushButton::clicked, this, [this, target] { navigate(target, false); });
            row->addWidget(tab);
            navButtons[i] = tab;
        }
        frame->addWidget(header);
    }

    // Body: notice line, scrolling page and footer
    {
        auto *body = new QVBoxLayout;
        body->setSpacing(8);
        frame->addLayout(body, 1);

        noticeLabel = label(QString(), "notice");
        noticeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        noticeLabel->hide();
        markLive(noticeLabel, true);
        body->addWidget(noticeLabel);

        scrollArea = new QScrollArea;
        scrollArea->viewport()->setObjectName(QStringLiteral("viewport"));
        scrollArea->setWidgetResizable(true);
        scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        body->addWidget(scrollArea, 1);

        footer = new QWidget;
        auto *bar = new QHBoxLayout(footer);
        bar->setContentsMargins(0, 0, 0, 0);
        footerStatus = label(QString(), "soft");
        bar->addWidget(footerStatus, 1);
        saveButton = action(bar, "Save settings", [this] { request(QStringLiteral("save"), {}); });
        body->addWidget(footer);
    }

    connect(&autosaveTimer, &QTimer::timeout, this, [this] {
        if (dirty)
            request(QStringLiteral("save"), {});
    });
    // A service that never answers the save on the way out must not keep the window open
    // for ever: after a while it counts as a failed save.
    connect(&closeSaveTimer, &QTimer::timeout, this, [this] {
        if (!closeAfterSave || closing)
            return;
        notice(T("Could not save settings"));
        saveOnCloseFailed();
    });

    headerText();
    navigate(Page::Play, false);
    // Key events of every widget pass through the window during a binding capture.
    qApp->installEventFilter(this);
    if (!selfTest)
        startService(servicePath);
}

Window::~Window()
{
    qApp->removeEventFilter(this);
    closing = true;
    pollTimer.stop();
    // From here on the service's signals must not reach the window: waitForFinished emits
    // them, and a late reply could rebuild the page or open a message box inside this
    // destructor. The timers and the mirror also go before the process, and ~QProcess kills
    // a service that is still running, which emits finished into the half-destroyed window.
    disconnect(&process, nullptr, this, nullptr);
    if (process.state() == QProcess::Running) {
        request(QStringLiteral("quit"), {{QStringLiteral("discard"), discardOnQuit}});
        process.closeWriteChannel();
        process.waitForFinished(3000);
    }
}

void Window::navigate(Page target, bool keepScroll)
{
    // One reply may rebuild the page twice; the second rebuild must not read the position the
    // first has just reset, unless something has scrolled since.
    QScrollBar *bar = scrollArea->verticalScrollBar();
    int scroll = 0;
    if (keepScroll)
        scroll = pendingScroll >= 0 && bar->value() == scrollReset ? pendingScroll : bar->value();
    const FocusMark focus = focusMark();
    if (page == Page::Controls && target != Page::Controls && capturing) {
        request(QStringLiteral("cancel"), {});
        // Only the controls page follows the capture's phase; elsewhere a flag left set would
        // keep ignoring the controller's navigation until the player came back.
        capturing = false;
    }
    page = target;

    // Forget the old page before anything new refers to the window's pointers
    parts = PageParts();
    if (QWidget *old = scrollArea->takeWidget()) {
        old->hide();
        old->deleteLater();
    }

    pageWidget = new QWidget;
    pageWidget->setObjectName(QStringLiteral("paper"));
    pageLayout = new QVBoxLayout(pageWidget);
    pageLayout->setContentsMargins(0, 2, 0, 2);
    pageLayout->setSpacing(14);

    const bool advanced = isAdvanced(page);
    const QString title = advanced ? T("Advanced settings") : T(Titles[int(page)]);
    // The scroll area is a keyboard stop of its own (arrow keys scroll the page): it is the page.
    scrollArea->setAccessibleName(title);
    if (page == Page::Play) {
        buildHome();
    } else {
        // Banner with the page title
        {
            auto *banner = new Banner(page, root);
            banner->setMinimumHeight(compact ? 86 : 99);
            auto *layout = new QVBoxLayout(banner);
            layout->setContentsMargins(25, 9, 135, 9);
            layout->addWidget(label(title, "title"));
            pageLayout->addWidget(banner);
        }
        // Quick links between the advanced settings pages
        if (advanced) {
            auto *links = new QHBoxLayout;
            pageLayout->addLayout(links);
            const struct
            {
                const char *key;
                Page target;
            } entries[] = {{"Graphics and performance", Page::Display},
                           {"Button mapping", Page::Controls},
                           {"Diagnostics", Page::Diagnostics}};
            for (const auto &entry : entries) {
                const Page linkTarget = entry.target;
                FabricButton *link =
                    action(links, entry.key, [this, linkTarget] { navigate(linkTarget, false); });
                markPageTab(link);
                link->setCheckable(true);
                link->setChecked(linkTarget == page);
            }
        }
        switch (page) {
        case Page::Install:
            buildInstall();
            break;
        case Page::Display:
            buildDisplay();
            break;
        case Page::Controls:
            buildControls();
            break;
        case Page::Saves:
            buildSaves();
            break;
        case Page::Diagnostics:
            buildDiagnostics();
            break;
        case Page::Basic:
            buildBasic();
            break;
        case Page::ControllerGuide:
            buildControllerGuide();
            break;
        default:
            break;
        }
    }
    pageLayout->addStretch();
    scrollArea->setWidget(pageWidget);
    footer->setVisible(advanced);

    headerText();
    refresh();
    restoreFocus(focus, keepScroll);

    // The new page has no height until it is laid out, so restore the scroll position later.
    pendingScroll = scroll;
    scrollReset = bar->value();
    QWidget *built = pageWidget;
    QTimer::singleShot(0, built, [this, built, scroll] {
        if (built != pageWidget)
            return;
        scrollArea->verticalScrollBar()->setValue(scroll);
        pendingScroll = -1;
    });
}

void Window::headerText()
{
    static const char *const keys[3] = {"Home page", "Basic settings", "Advanced settings"};
    const int lit = litTab(page);
    for (int i = 0; i < 3; ++i) {
        navButtons[i]->setText(T(keys[i]));
        navButtons[i]->setAccessibleName(T(keys[i]));
        navButtons[i]->setChecked(i == lit);
    }
    brandLabel->setText(compact ? QStringLiteral("Grand Quilt") : fullBrand);
    // A compact header closes up its gaps, and the window never gets narrower than that header
    // needs in this language.
    {
        QWidget *header = brandLabel->parentWidget();
        header->ensurePolished(); // the stylesheet sets the brand's font
        header->layout()->setSpacing(compact ? compactHeaderSpacing : headerSpacing);
        const int gaps = header->layout()->count() - 1;
        const int brandWidth = brandLabel->minimumSizeHint().width();
        const int compactBrandWidth =
            brandWidth - brandLabel->fontMetrics().horizontalAdvance(brandLabel->text()) +
            brandLabel->fontMetrics().horizontalAdvance(QStringLiteral("Grand Quilt"));
        const int need = header->layout()->minimumSize().width() - brandWidth + compactBrandWidth -
                         gaps * (header->layout()->spacing() - compactHeaderSpacing);
        const QMargins frame = header->parentWidget()->layout()->contentsMargins();
        setMinimumWidth(std::max(minimumWindow.width(), need + frame.left() + frame.right()));
    }
    if (parts.languageCombo)
        parts.languageCombo->setCurrentIndex(language);
    saveButton->setText(T("Save settings"));
}

void Window::refresh()
{
    const MirrorView view = mirror();
    const bool editable = view.editable();
    for (QWidget *control : std::as_const(parts.trackedControls)) {
        if (!editable)
            handOffFocus(control);
        control->setEnabled(editable);
    }

    const bool stateDirty = view.dirty();
    if (!(editable && stateDirty))
        handOffFocus(saveButton);
    saveButton->setEnabled(editable && stateDirty);
    if (!view.settingsError().isEmpty())
        footerStatus->setText(T("Settings need attention. Open Diagnostics to fix them."));
    else
        footerStatus->setText(stateDirty ? T("Unsaved changes") : T("No unsaved changes"));

    const bool running = view.running();
    const bool dataReady = view.dataReady();

    // Play button: leads to the install page while the game data is not ready
    if (parts.playButton) {
        if (running)
            parts.playButton->setText(T("Game running"));
        else
            parts.playButton->setText(dataReady ? T("Start game") : T("Choose game data"));
        bool enabled = false;
        if (ready && !running)
            enabled = dataReady ? editable : true;
        if (!enabled)
            handOffFocus(parts.playButton);
        parts.playButton->setEnabled(enabled);
    }
    if (parts.dataStatusLabel) {
        if (!ready)
            parts.dataStatusLabel->setText(T("Checking native executable..."));
        else if (!view.installed())
            parts.dataStatusLabel->setText(T("Install the game to play"));
        else
            parts.dataStatusLabel->setText(dataReady ? T("Game data verified")
                                                     : T("Game data needs attention"));
        parts.dataStatusLabel->setToolTip(literalToolTip(status(view.text(Key::dataStatus))));
    }
    if (parts.gameStatusLabel) {
        const QString text = status(view.text(Key::gameStatus));
        parts.gameStatusLabel->setText(text);
        parts.gameStatusLabel->setVisible(!text.isEmpty());
    }
    if (parts.saveImportStatusLabel) {
        const QString text = status(view.text(Key::saveImportStatus));
        parts.saveImportStatusLabel->setText(text);
        parts.saveImportStatusLabel->setVisible(!text.isEmpty());
    }
    if (page == Page::Controls)
        updateControls();
}

void Window::notice(const QString &text)
{
    noticeLabel->setText(text);
    announce(noticeLabel, text);
    noticeLabel->setVisible(!text.isEmpty());
}

void Window::loadStandardText()
{
    QCoreApplication::removeTranslator(&translator);
    if (Language(language) == Language::English)
        return;
    const QString code =
        Language(language) == Language::Chinese ? QStringLiteral("zh_CN") : QStringLiteral("es");
    const QString own = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    const QString qtOwn = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator.load(QStringLiteral("qt_") + code, own) ||
        translator.load(QStringLiteral("qtbase_") + code, own) ||
        translator.load(QStringLiteral("qtbase_") + code, qtOwn))
        QCoreApplication::installTranslator(&translator);
}

void Window::setLanguage(int index)
{
    language = index;
    Quilt::language(index);
    loadStandardText();
    headerText();
    navigate(page, true);
    if (!selfTest && process.state() == QProcess::Running) {
        ++languageRequests;
        request(QStringLiteral("lang"), {{QStringLiteral("value"), index}});
    }
}

void Window::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const bool nowCompact = event->size().width() < compactWidth;
    if (nowCompact == compact)
        return;
    compact = nowCompact;
    if (scrollArea && pageWidget)
        navigate(page, true);
}

void Window::closeEvent(QCloseEvent *event)
{
    if (selfTest) {
        if (closeAfterSave && !closing) {
            event->ignore();
            return;
        }
        closing = true;
        QWidget::closeEvent(event);
        return;
    }
    if (closing) {
        QWidget::closeEvent(event);
        return;
    }
    // A save on the way out is still unanswered.
    if (closeAfterSave) {
        event->ignore();
        return;
    }
    // Without a service state there is nothing that could be saved.
    if (!ready) {
        closing = true;
        QWidget::closeEvent(event);
        return;
    }
    if (dirty || mirror().dirty()) {
        closeAfterSave = true;
        request(QStringLiteral("save"), {});
        closeSaveTimer.start();
        event->ignore();
        return;
    }
    closing = true;
    QWidget::closeEvent(event);
}

} // namespace Quilt
