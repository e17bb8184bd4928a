#include "window.h"

#include "translations.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace Quilt {

namespace {

// The build guide on the web, used when the installation carries no docs/building.md.
// tobble.example is a reserved placeholder domain until the project's site exists.
constexpr const char *onlineBuildGuide = "https://tobble.example/docs/building";

// Revisions are full commit hashes; their first 12 characters identify them well enough.
constexpr qsizetype revisionLength = 12;

// Tallest the build details box grows before it scrolls.
constexpr int detailsHeight = 180;

// "revision   ·   compiler" of a build record.
QString buildLine(const QJsonObject &record)
{
    const QString revision = record.value(QLatin1String("revision")).toString();
    const QString compiler = record.value(QLatin1String("compiler")).toString();
    return revision.left(revisionLength) + QStringLiteral("   \u00b7   ") + compiler;
}

} // namespace

void Window::buildDiagnostics()
{
    const QJsonObject build = state.value(Key::build).toObject();
    const QJsonObject runtime = state.value(Key::runtime).toObject();

    // Card: build information
    QVBoxLayout *info = card("Build information");
    {
        if (!build.isEmpty())
            field(info, "Launcher", buildLine(build));
        if (!runtime.isEmpty())
            field(info, "Native game", buildLine(runtime));
    }

    // Whether the two records agree; only meaningful once the game has one
    if (!runtime.isEmpty()) {
        const bool match = mirror().flag(Key::match);
        info->addWidget(label(T(match ? "Launcher and runtime build records match."
                                      : "Launcher and runtime build records differ."),
                              "soft"));
    }

    // The service's own wording of a build problem
    const QString buildError = mirror().text(Key::buildError);
    if (!buildError.isEmpty())
        info->addWidget(label(buildError, "notice"));

    // Details: both records as JSON, behind a toggle
    {
        auto *details = new QPlainTextEdit;
        details->setReadOnly(true);
        details->setMaximumHeight(detailsHeight);
        // Inserting an undefined value drops the key; a missing record reads as null instead.
        const auto recorded = [this](const char *key) {
            const QJsonValue value = state.value(QLatin1String(key));
            return value.isUndefined() ? QJsonValue(QJsonValue::Null) : value;
        };
        const QJsonObject records{
            {QStringLiteral("launcher"), recorded("build")},
            {QStringLiteral("runtime"), recorded("runtime")},
        };
        details->setPlainText(
            QString::fromUtf8(QJsonDocument(records).toJson(QJsonDocument::Indented)));
        // isHidden, not isVisible: the box counts as shown even while the window is not.
        action(info, "Source and dependency details", [details] {
            details->setHidden(!details->isHidden());
        })->setCheckable(true);
        info->addWidget(details);
        details->hide();
    }

    // Refresh: not while a check runs or the game holds the files
    {
        const bool busy = mirror().flag(Key::checking) || mirror().running();
        action(info, "Refresh build information", [this] {
            request(QStringLiteral("refresh"), {});
        })->setEnabled(!busy);
    }

    // Card: shared settings
    QVBoxLayout *shared = card("Shared settings");
    field(shared, "Native executable", mirror().text(Key::executable));
    field(shared, "Shared settings", mirror().text(Key::settings));
    const QString settingsError = mirror().settingsError();
    if (!settingsError.isEmpty())
        shared->addWidget(label(settingsError, "notice"));

    // Reload: the service drops unsaved changes, so the button says so
    action(shared, mirror().dirty() ? "Discard changes and reload" : "Reload settings",
           [this] { request(QStringLiteral("reload"), {}); });

    // Folders and the build guide
    {
        auto *opens = new QVBoxLayout;
        shared->addLayout(opens);
        action(opens, "Open Settings Folder", [this] {
            // No settings path: the viewer reports that there is no folder to show.
            const QString settings = mirror().text(Key::settings);
            openFolder("Shared settings",
                       settings.isEmpty() ? QString() : QFileInfo(settings).absolutePath());
        });
        action(opens, "Open Logs", [this] {
            openFolder("Open Logs", QDir(root).filePath(QStringLiteral("build-logs")));
        });
        action(opens, "Open Build Guide", [this] {
            const QString local = QDir(root).filePath(QStringLiteral("docs/building.md"));
            const QUrl guide =
                QFileInfo(local).isFile()
                    ? QUrl::fromLocalFile(local)
                    : QUrl(QString::fromLatin1(onlineBuildGuide), QUrl::TolerantMode);
            if (!openUrl(guide))
                notice(T("Could not open folder"));
        });
    }
}

} // namespace Quilt
