// The floor of the launcher's benchmarks: what Qt alone costs for the same work.
//   quilt-bench-floor first-frame bare          a bare QApplication and one QWidget
//   quilt-bench-floor first-frame styled N      the launcher's set-up and stylesheets,
//                                               a plain page of N widgets in a scroll area
//   quilt-bench-floor memory L:N...             plain pages of these languages and sizes
//                                               shown in turn under the stylesheets; prints
//                                               peak memory
#include "bench_common.h"

#include <QApplication>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>

namespace {

// The launcher starts in English when it has no language file.
constexpr int englishIndex = 1;

int usage()
{
    std::fputs("usage: quilt-bench-floor first-frame bare | first-frame styled N | memory L:N...\n",
               stderr);
    return 2;
}

// A window shaped like the launcher's: a scroll area holding the page.
struct Frame
{
    QWidget window;
    QScrollArea *scrollArea = new QScrollArea;

    Frame()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(scrollArea);
        scrollArea->setWidgetResizable(true);
        window.resize(1120, 685);
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);

    if (args.value(0) == QLatin1String("first-frame") && args.value(1) == QLatin1String("bare")) {
        QWidget window;
        window.resize(1120, 685);
        QuiltBench::reportFirstFrame(&window);
        window.show();
        return QApplication::exec();
    }
    if (args.value(0) == QLatin1String("first-frame") && args.value(1) == QLatin1String("styled")) {
        QuiltBench::setUpLikeLauncher(app);
        Frame frame;
        frame.scrollArea->setWidget(QuiltBench::plainPage(args.value(2).toInt(), englishIndex));
        QuiltBench::reportFirstFrame(&frame.window);
        frame.window.show();
        return QApplication::exec();
    }
    if (args.value(0) == QLatin1String("memory")) {
        QuiltBench::setUpLikeLauncher(app);
        Frame frame;
        frame.window.show();
        for (const QString &page : args.mid(1)) {
            if (QWidget *old = frame.scrollArea->takeWidget())
                old->deleteLater();
            const QStringList languageAndCount = page.split(QLatin1Char(':'));
            frame.scrollArea->setWidget(QuiltBench::plainPage(languageAndCount.value(1).toInt(),
                                                              languageAndCount.value(0).toInt()));
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        std::printf("peak %lld\n", qlonglong(QuiltBench::peakMemoryKiB()));
        return 0;
    }
    return usage();
}
