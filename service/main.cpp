// tobble-launcher: the launcher service. The launcher starts it with "--ui-service" in the
// installation root and speaks to it in JSON lines over standard input and output.

#include "channel.h"
#include "service.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char Usage[] =
    "usage: tobble-launcher --ui-service\n"
    "\n"
    "The launcher service of Tobble's Grand Quilt. It is started by the launcher (tobble-quilt)\n"
    "with the installation root as its working directory, reads one JSON request per line on\n"
    "standard input and answers each with one JSON line on standard output.\n";

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--ui-service") != 0) {
        std::fputs(Usage, stderr);
        return 2;
    }
    // A launcher that goes away must not kill us in the middle of writing a reply; the end of
    // input tells us it is gone.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit must fail a write, which leaves the old file in place, rather than kill
    // the service in the middle of one.
    std::signal(SIGXFSZ, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tobble-launcher"));

    Service::LauncherService service(QDir::currentPath());
    Service::Channel channel(
        [&](const QByteArray &line) {
            if (service.finished())
                return; // nothing is answered after "quit"
            Service::Channel::send(service.handle(line));
            if (service.finished())
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
        },
        [&] {
            service.shutdown(false);
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        });
    return app.exec();
}
