#include "channel.h"

#include <cerrno>
#include <unistd.h>

namespace Service {

Channel::Channel(std::function<void(const QByteArray &)> onLine, std::function<void()> onEnd)
    : onLine(std::move(onLine)), onEnd(std::move(onEnd)),
      notifier(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&notifier, &QSocketNotifier::activated, this, &Channel::readable);
}

void Channel::send(const QByteArray &line)
{
    QByteArray bytes = line + '\n';
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return; // the launcher has gone; its end of input follows
        }
        at += written;
        left -= written;
    }
}

void Channel::readable()
{
    char buffer[65536];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        notifier.setEnabled(false);
        onEnd();
        return;
    }
    pending.append(buffer, count);
    qsizetype start = 0;
    for (qsizetype end; (end = pending.indexOf('\n', start)) >= 0; start = end + 1) {
        if (skipping)
            skipping = false;
        else
            onLine(pending.mid(start, end - start));
    }
    pending.remove(0, start);
    if (pending.size() > MaximumLine) {
        if (!skipping)
            onLine(QByteArray()); // answered as a malformed request
        skipping = true;
        pending.clear();
    }
}

} // namespace Service
