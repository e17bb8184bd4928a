#include "bench_common.h"

#include "startup.h"
#include "translations.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

namespace QuiltBench {

void setUpLikeLauncher(QApplication &)
{
    // The launcher's own look: style, icon, fonts and stylesheets.
    QString failedPath;
    Quilt::prepareApplication(failedPath);
}

QWidget *plainPage(int widgets, int language)
{
    // Catalogue texts in turn, in the page's language.
    const auto messages = Quilt::catalogue();
    std::size_t next = 0;
    auto text = [&] {
        const Quilt::Message &message = messages[next++ % messages.size()];
        return QString::fromUtf8(language == 0   ? message.chinese
                                 : language == 2 ? message.spanish
                                                 : message.english);
    };

    // Every card takes one frame and one title; every row a row widget, a caption and a button.
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("paper"));
    auto *layout = new QVBoxLayout(page);
    int left = widgets - 1;
    while (left > 0) {
        auto *card = new QFrame;
        card->setObjectName(QStringLiteral("card"));
        auto *cardLayout = new QVBoxLayout(card);
        layout->addWidget(card);
        --left;
        if (left > 0) {
            cardLayout->addWidget(new QLabel(text()));
            --left;
        }
        for (int row = 0; row < 6 && left > 0; ++row) {
            auto *line = new QWidget;
            auto *lineLayout = new QHBoxLayout(line);
            lineLayout->setContentsMargins(0, 0, 0, 0);
            cardLayout->addWidget(line);
            --left;
            if (left > 0) {
                lineLayout->addWidget(new QLabel(text()), 1);
                --left;
            }
            if (left > 0) {
                lineLayout->addWidget(new QPushButton(text()));
                --left;
            }
        }
    }
    layout->addStretch();
    return page;
}

void reportFirstFrame(QWidget *window)
{
    // The first paint event starts the frame; the queued call runs once the whole
    // synchronous paint pass over the window's widgets has finished.
    struct Watch : QObject
    {
        bool seen = false;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !seen) {
                seen = true;
                QMetaObject::invokeMethod(
                    qApp,
                    [] {
                        std::fputs("painted\n", stdout);
                        std::fflush(stdout);
                        _exit(0);
                    },
                    Qt::QueuedConnection);
            }
            return false;
        }
    };
    auto *watch = new Watch;
    watch->setParent(window);
    qApp->installEventFilter(watch);
}

qint64 peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace QuiltBench
