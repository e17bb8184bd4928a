#include "window.h"

#include "translations.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Quilt {

namespace {

// The title is never translated, except that Chinese readers get it whole as the kicker.
const QString fullTitle = QStringLiteral("Tobble\u2019s Grand Quilt");

// The stylesheet sizes the home title for the normal layout only.
const QString compactTitleStyle = QStringLiteral("font-size:47px;font-weight:bold;color:#314c40;");

// Between the play button and the game status.
constexpr int gameStatusGap = 8;

} // namespace

void Window::buildHome()
{
    // Banner: title, data status, edition and the play button, centred vertically
    {
        auto *banner = new Banner(Page::Play, root, nullptr);
        banner->setMinimumHeight(compact ? 302 : 405);
        auto *layout = new QVBoxLayout(banner);
        layout->setContentsMargins(compact ? 23 : 48, 20, 14, 22);
        layout->setSpacing(0);
        layout->addStretch();

        // Kicker and title
        {
            const bool chinese = Language(language) == Language::Chinese;
            layout->addWidget(
                label(chinese ? fullTitle : QStringLiteral("Tobble\u2019s"), "kicker"));
            QLabel *title = label(
                chinese ? T("Tobble's Grand Quilt") : QStringLiteral("Grand Quilt"), "homeTitle");
            if (compact)
                title->setStyleSheet(compactTitleStyle);
            layout->addWidget(title);
            layout->addSpacing(compact ? 5 : 13);
        }

        // Brand row with the data status, filled by refresh
        {
            auto *brandRow = new QHBoxLayout;
            brandRow->setSpacing(8);
            auto *mark = new QLabel;
            mark->setPixmap(brandButton(true));
            brandRow->addWidget(mark);
            parts.dataStatusLabel = label(QString());
            brandRow->addWidget(parts.dataStatusLabel);
            brandRow->addStretch();
            layout->addLayout(brandRow);
            layout->addSpacing(11);
        }

        // Edition of the supported disc
        // The region follows the language; the disc id and revision are the disc's own.
        layout->addWidget(
            label(QStringLiteral("VQ3E88    /    ") + T("USA") + QStringLiteral("    /    Rev. 0"),
                  "edition"));
        layout->addSpacing(compact ? 13 : 24);

        // Play button: its text and enabled state come from refresh
        {
            parts.playButton = new FabricButton(QString(), true);
            parts.playButton->setMinimumWidth(compact ? 165 : 210);
            layout->addWidget(parts.playButton, 0, Qt::AlignLeft);
        }

        // Game status under the play button, shown by refresh when there is one. In the
        // banner it takes none of the page's height, so the library stays in sight.
        {
            parts.gameStatusLabel = label(QString());
            parts.gameStatusLabel->hide();
            // A margin, not a spacing, so that the hidden line takes no room at all.
            parts.gameStatusLabel->setContentsMargins(0, gameStatusGap, 0, 0);
            layout->addWidget(parts.gameStatusLabel);
            layout->addStretch();
        }

        pageLayout->addWidget(banner);
        connect(parts.playButton, &QPushButton::clicked, this, [this] {
            // Decided from the mirror at click time: a reply may have changed it since refresh.
            if (mirror().dataReady())
                request(QStringLiteral("play"), {});
            else
                navigate(Page::Install, false);
        });
    }

    pageLayout->addSpacing(compact ? 0 : 14);

    // Game library: three cards leading to other pages
    {
        pageLayout->addWidget(label(T("Game library"), "libraryTitle"));
        auto *cards = new QHBoxLayout;
        cards->setSpacing(16);
        pageLayout->addLayout(cards);
        const struct
        {
            Page target;
            Page look; // colour and glyph of the card
            const char *titleKey;
            const char *descriptionKey;
        } entries[] = {
            {Page::Basic, Page::Display, "Display and sound", "Picture and volume"},
            {Page::ControllerGuide, Page::ControllerGuide, "Controls", "Buttons and motion"},
            {Page::Saves, Page::Saves, "Saves", "Open your save folder"},
        };
        for (const auto &entry : entries) {
            auto *card = new LibraryCard(entry.look, T(entry.titleKey), T(entry.descriptionKey));
            cards->addWidget(card, 1);
            const Page target = entry.target;
            connect(card, &QPushButton::clicked, this, [this, target] { navigate(target, false); });
        }
    }
}

} // namespace Quilt
