// libFuzzer entry points of the fast reply fuzzer: service output through the line framing, the
// JSON parsing and the mirror update, the part of the reply handling that touches no widget.
#include "mirror.h"
#include "translations.h"

#include <QByteArray>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char *rule, const QByteArray &line)
{
    std::fprintf(stderr, "mirror fuzzer: %s\n  %s\n", rule, line.left(2000).constData());
    std::abort();
}

struct Mirror
{
    QJsonObject state;
    QJsonObject config;
    QJsonObject input;
    bool ready = false;

    void take(const QByteArray &line)
    {
        const QJsonObject before = state;
        const QJsonObject inputBefore = input;
        const bool wasReady = ready;
        const Quilt::ReplyDigest digest =
            Quilt::applyReply(Quilt::parseReply(line), state, config, input, ready);
        if (digest.error && (state != before || input != inputBefore || ready != wasReady))
            broken("an error reply changed the mirror", line);
        if (digest.hasState && !ready)
            broken("a state arrived but the mirror is not ready", line);
        if (config != state.value(Quilt::Key::config).toObject())
            broken("the configuration is not the state's", line);

        // What the window reads next: the typed view, and the service's texts in the
        // language the service asks for.
        const Quilt::MirrorView view(state, config, input, ready);
        Quilt::language(int(view.language()));
        (void)view.dataReady();
        (void)view.editable();
        (void)view.capturePhase();
        (void)Quilt::status(digest.errorText);
        for (const QLatin1StringView key :
             {Quilt::Key::dataStatus, Quilt::Key::gameStatus, Quilt::Key::saveImportStatus,
              Quilt::Key::settingsError, Quilt::Key::installationError, Quilt::Key::buildError})
            (void)Quilt::status(view.text(key));
        (void)Quilt::status(input.value(Quilt::Key::message).toString());
        (void)Quilt::status(input.value(Quilt::Key::motionMessage).toString());
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The bytes arrive in two reads, cut where the first byte says, as a pipe may deliver them.
    const qsizetype cut = bytes.isEmpty() ? 0 : quint8(bytes.at(0)) * bytes.size() / 256;
    Quilt::ReplyFramer framer;
    Mirror mirror;
    QByteArray line;
    framer.append(bytes.left(cut));
    while (framer.next(line))
        mirror.take(line);
    framer.append(bytes.mid(cut));
    while (framer.next(line))
        mirror.take(line);
    // A last line without its line feed, as if the service had finished it.
    if (!framer.pending().isEmpty() || framer.skipping()) {
        framer.append("\n");
        while (framer.next(line))
            mirror.take(line);
    }
    if (!framer.pending().isEmpty())
        broken("a finished line stayed in the framer", framer.pending());
    Quilt::language(1);
    return 0;
}
