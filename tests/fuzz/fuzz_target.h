// Feeds arbitrary bytes to the window exactly as if the service had written them.
#pragma once

#include <QByteArray>
#include <QTimer>

#include <memory>

namespace Quilt {
class Window;
}

class QApplication;

// Creates the offscreen application with the launcher's style, fonts and stylesheets.
// argc must outlive the application.
QApplication *startFuzzApplication(int &argc, char **argv);

class FuzzTarget
{
public:
    // Needs a running QApplication.
    FuzzTarget();
    ~FuzzTarget();

    // Number of starting conditions: page, controls sub-tab, window size and language.
    static constexpr int variants = 8 * 2 * 2 * 3;

    // One input on the starting condition picked from the bytes themselves, so that
    // the fuzzer's mutations wander over every page.
    void run(const QByteArray &bytes);
    // One input on a given starting condition (0 to variants - 1).
    void run(const QByteArray &bytes, int variant);

private:
    void reset(int variant);
    void settle();

    std::unique_ptr<Quilt::Window> window;
    // Answers any modal dialog or popup a fuzzed reply opens: nothing may block.
    QTimer modalGuard;
};
