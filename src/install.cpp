#include "window.h"

#include "translations.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Quilt {

void Window::buildInstall()
{
    const QString data = mirror().text(Key::data);
    const bool running = mirror().running();
    const bool setupAvailable = mirror().flag(Key::setupAvailable);

    // Game data card: the chosen folder, its status, choosing and verifying
    {
        QVBoxLayout *body = card("Game data", "Choose the extracted DATA folder from your own "
                                              "VQ3E88 Rev 0 (USA) copy, then open Play.");
        parts.dataStatusLabel = label(QString());
        body->addWidget(parts.dataStatusLabel);
        field(body, "Game data folder", data);
        // Only a real verdict from the service is worth a notice; before it there is none.
        if (ready && !mirror().verified())
            body->addWidget(label(status(mirror().text(Key::dataStatus)), "notice"));

        auto *buttons = new QHBoxLayout;
        body->addLayout(buttons);
        FabricButton *choose = action(buttons, "Choose DATA folder", [this, data] {
            // The chooser runs its own event loop, in which a reply may rebuild this page:
            // only the window and the copied folder are used once it returns.
            const QString chosen =
                choosePath(this, PathChoice::Folder, T("Choose DATA folder"), data);
            if (!chosen.isEmpty())
                request(QStringLiteral("data"), {{QStringLiteral("path"), chosen}});
        });
        choose->setEnabled(!running);
        action(buttons, "Verify selected folder",
               [this] { request(QStringLiteral("verify"), {}); });
    }

    // Installed game card: installation errors and the separate setup application
    {
        QVBoxLayout *body =
            card("Installed game",
                 "Tobble Setup handles installation and updates in a separate window.");
        // The service's own words: an installation error is not a catalogue text.
        const QString error = mirror().installationError();
        if (!error.isEmpty())
            body->addWidget(label(error, "notice"));
        if (!setupAvailable)
            body->addWidget(
                label(T("Open your Tobble Setup AppImage or Windows setup application to "
                        "install the game."),
                      "soft"));
        FabricButton *setup =
            action(body, "Open Tobble Setup", [this] { request(QStringLiteral("setup"), {}); });
        setup->setEnabled(setupAvailable && !running);
    }
}

} // namespace Quilt
