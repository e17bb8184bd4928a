// What the launcher benchmarks and their floor program share.
#pragma once

#include <QByteArray>

class QApplication;
class QWidget;

namespace QuiltBench {

// The launcher's own application set-up (style, icon, fonts, stylesheets), as main() does it.
void setUpLikeLauncher(QApplication &app);

// A page of exactly `widgets` widgets (the page itself included) built plainly from stock
// widgets: cards of rows, each row a caption and a button. The application's stylesheet
// applies to it as it does to the launcher's pages, and its texts are the launcher's own in
// the given language (0 Chinese, 1 English, 2 Spanish), so the same fonts and shaping are used.
QWidget *plainPage(int widgets, int language);

// Writes one line to standard output at once, once the current paint pass has finished,
// and ends the process without tearing anything down: the start-up benchmark's marker.
void reportFirstFrame(QWidget *window);

// The peak resident set of this process in KiB (VmHWM).
qint64 peakMemoryKiB();

} // namespace QuiltBench
