#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <functional>

// The request channel: lines on standard input, read whenever the event loop sees data so the
// timers of the game and the calibration keep running, and reply lines on standard output.
namespace Service {

class Channel : public QObject
{
public:
    Channel(std::function<void(const QByteArray &)> onLine, std::function<void()> onEnd);

    // Writes one line and flushes it, so the launcher sees it at once.
    static void send(const QByteArray &line);

    // Lines longer than this are answered with an error and dropped unread.
    static constexpr qsizetype MaximumLine = 1024 * 1024;

private:
    void readable();

    std::function<void(const QByteArray &)> onLine;
    std::function<void()> onEnd;
    QSocketNotifier notifier;
    QByteArray pending;
    bool skipping = false; // inside an overlong line, until its end
};

} // namespace Service
