// The tests' one door into the window: named access to its private parts.
// Header-only, so that the fuzz target and the benchmarks use it without the test library.
// To reach something new, add one accessor here rather than another friend to the window.
#pragma once

#include "window.h"

#include <memory>
#include <utility>

namespace QuiltTest {

class WindowProbe
{
public:
    explicit WindowProbe(Quilt::Window &window) : w(window) {}

    Quilt::Window &window() const { return w; }

    // Flags, timers, the mirror and the frame
    auto &root() const { return w.root; }
    auto &selfTest() const { return w.selfTest; }
    auto &ready() const { return w.ready; }
    auto &pollPending() const { return w.pollPending; }
    auto &closeAfterSave() const { return w.closeAfterSave; }
    auto &closing() const { return w.closing; }
    auto &dirty() const { return w.dirty; }
    auto &discardOnQuit() const { return w.discardOnQuit; }
    auto &compact() const { return w.compact; }
    auto &language() const { return w.language; }
    auto &languageRequests() const { return w.languageRequests; }
    auto &controlsTab() const { return w.controlsTab; }
    auto &page() const { return w.page; }
    auto &process() const { return w.process; }
    auto &translator() const { return w.translator; }
    auto &pollTimer() const { return w.pollTimer; }
    auto &autosaveTimer() const { return w.autosaveTimer; }
    auto &closeSaveTimer() const { return w.closeSaveTimer; }
    auto &replies() const { return w.replies; }
    auto &state() const { return w.state; }
    auto &input() const { return w.input; }
    auto &config() const { return w.config; }
    auto &openUrl() const { return w.openUrl; }
    auto &scrollArea() const { return w.scrollArea; }
    auto &pageWidget() const { return w.pageWidget; }
    auto &pageLayout() const { return w.pageLayout; }
    auto &footer() const { return w.footer; }
    auto &footerStatus() const { return w.footerStatus; }
    auto &saveButton() const { return w.saveButton; }
    auto &noticeLabel() const { return w.noticeLabel; }
    auto &brandLabel() const { return w.brandLabel; }
    auto &navButtons() const { return w.navButtons; }
    auto &parts() const { return w.parts; }
    auto &capturing() const { return w.capturing; }
    auto &captureAction() const { return w.captureAction; }
    auto &captureKeyboard() const { return w.captureKeyboard; }
    auto &pendingScroll() const { return w.pendingScroll; }
    auto &scrollReset() const { return w.scrollReset; }

    // Steps and builders
    template <typename... A> decltype(auto) navigate(A &&...a) const
    {
        return w.navigate(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) refresh(A &&...a) const
    {
        return w.refresh(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) headerText(A &&...a) const
    {
        return w.headerText(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) notice(A &&...a) const
    {
        return w.notice(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) focusMark(A &&...a) const
    {
        return w.focusMark(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) restoreFocus(A &&...a) const
    {
        return w.restoreFocus(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) handOffFocus(A &&...a) const
    {
        return w.handOffFocus(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) nearestUsable(A &&...a) const
    {
        return w.nearestUsable(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) mirror(A &&...a) const
    {
        return w.mirror(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) loadStandardText(A &&...a) const
    {
        return w.loadStandardText(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) setLanguage(A &&...a) const
    {
        return w.setLanguage(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) startService(A &&...a) const
    {
        return w.startService(std::forward<A>(a)...);
    }
    void request(QString cmd, QJsonObject extra) const
    {
        w.request(std::move(cmd), std::move(extra));
    }
    template <typename... A> decltype(auto) poll(A &&...a) const
    {
        return w.poll(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) receive(A &&...a) const
    {
        return w.receive(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) handleLine(A &&...a) const
    {
        return w.handleLine(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) settleRequest(A &&...a) const
    {
        return w.settleRequest(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) applyToMirror(A &&...a) const
    {
        return w.applyToMirror(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) answerError(A &&...a) const
    {
        return w.answerError(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) followLanguage(A &&...a) const
    {
        return w.followLanguage(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) rebuildIfNeeded(A &&...a) const
    {
        return w.rebuildIfNeeded(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) finishReply(A &&...a) const
    {
        return w.finishReply(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) followGame(A &&...a) const
    {
        return w.followGame(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) navigateByController(A &&...a) const
    {
        return w.navigateByController(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) patch(A &&...a) const
    {
        return w.patch(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) saveOnCloseFailed(A &&...a) const
    {
        return w.saveOnCloseFailed(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) card(A &&...a) const
    {
        return w.card(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) row(A &&...a) const
    {
        return w.row(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) field(A &&...a) const
    {
        return w.field(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) action(A &&...a) const
    {
        return w.action(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) tracked(A &&...a) const
    {
        return w.tracked(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) check(A &&...a) const
    {
        return w.check(std::forward<A>(a)...);
    }
    Quilt::FabricCombo *select(QVBoxLayout *target, const char *key, const char *captionKey,
                               QList<QString> texts, QList<int> values,
                               const char *helpKey = nullptr) const
    {
        return w.select(target, key, captionKey, std::move(texts), std::move(values), helpKey);
    }
    template <typename... A> decltype(auto) number(A &&...a) const
    {
        return w.number(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildHome(A &&...a) const
    {
        return w.buildHome(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildInstall(A &&...a) const
    {
        return w.buildInstall(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildDisplay(A &&...a) const
    {
        return w.buildDisplay(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildControls(A &&...a) const
    {
        return w.buildControls(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildBindings(A &&...a) const
    {
        return w.buildBindings(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildMotion(A &&...a) const
    {
        return w.buildMotion(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildSaves(A &&...a) const
    {
        return w.buildSaves(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) confirmReplace(A &&...a) const
    {
        return w.confirmReplace(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildDiagnostics(A &&...a) const
    {
        return w.buildDiagnostics(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildBasic(A &&...a) const
    {
        return w.buildBasic(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) buildControllerGuide(A &&...a) const
    {
        return w.buildControllerGuide(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) openFolder(A &&...a) const
    {
        return w.openFolder(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) checkBackupForm(A &&...a) const
    {
        return w.checkBackupForm(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) checkMotion(A &&...a) const
    {
        return w.checkMotion(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) checkFit(A &&...a) const
    {
        return w.checkFit(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) checkStates(A &&...a) const
    {
        return w.checkStates(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) checkDialogs(A &&...a) const
    {
        return w.checkDialogs(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) bind(A &&...a) const
    {
        return w.bind(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) updateControls(A &&...a) const
    {
        return w.updateControls(std::forward<A>(a)...);
    }
    template <typename... A> decltype(auto) updateMotion(A &&...a) const
    {
        return w.updateMotion(std::forward<A>(a)...);
    }
    template <typename... A> static decltype(auto) label(A &&...a)
    {
        return Quilt::Window::label(std::forward<A>(a)...);
    }
    template <typename... A> static decltype(auto) literalToolTip(A &&...a)
    {
        return Quilt::Window::literalToolTip(std::forward<A>(a)...);
    }
    template <typename... A> static decltype(auto) helpTip(A &&...a)
    {
        return Quilt::Window::helpTip(std::forward<A>(a)...);
    }
    template <typename... A> static decltype(auto) showHelpOnFocus(A &&...a)
    {
        return Quilt::Window::showHelpOnFocus(std::forward<A>(a)...);
    }

private:
    Quilt::Window &w;
};

inline WindowProbe probe(Quilt::Window &window)
{
    return WindowProbe(window);
}
// Tests only read through a probe of a const window; the probe itself makes no difference.
inline WindowProbe probe(const Quilt::Window *window)
{
    return WindowProbe(const_cast<Quilt::Window &>(*window));
}
inline WindowProbe probe(Quilt::Window *window)
{
    return WindowProbe(*window);
}
inline WindowProbe probe(const std::unique_ptr<Quilt::Window> &window)
{
    return WindowProbe(*window);
}

} // namespace QuiltTest
