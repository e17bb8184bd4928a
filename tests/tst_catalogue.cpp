// The message catalogue, its lookup, service-text translation, the language file, the
// embedded font that must draw every Chinese text, and the message keys used in the sources.
#include "support.h"
#include "translations.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <optional>

namespace {

// printf conversions as callers format them (QString::asprintf); "0% to" is plain text.
QStringList placeholders(const QString &text)
{
    static const QRegularExpression conversion(
        QStringLiteral(R"(%%|%[-+#0]*\d*(?:\.\d+)?[diouxXeEfFgGcsp])"));
    QStringList found;
    for (const QRegularExpressionMatch &match : conversion.globalMatch(text))
        found << match.captured();
    return found;
}

bool fullWidthPunctuation(QChar c)
{
    return (c.unicode() >= 0x3000 && c.unicode() <= 0x303f) ||
           (c.unicode() >= 0xff00 && c.unicode() <= 0xffef);
}

// Every character the embedded font must draw: printable ASCII, every character of the
// Chinese texts and every other non-ASCII character of the catalogue.
QList<char32_t> fontCharacters()
{
    QSet<char32_t> wanted;
    for (char32_t c = 0x20; c < 0x7f; ++c)
        wanted.insert(c);
    for (const Quilt::Message &row : Quilt::catalogue())
        for (const char *text : {row.english, row.chinese, row.spanish})
            for (char32_t c : QString::fromUtf8(text).toUcs4())
                if (c > 0x7e)
                    wanted.insert(c);
    QList<char32_t> sorted(wanted.begin(), wanted.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// --- Source scan ----------------------------------------------------------------------------

// The source with comments blanked out (line breaks kept for line numbers); literals stay.
QString withoutComments(const QString &source)
{
    QString out = source;
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = source[i];
        if (c == u'"' || c == u'\'') {
            // Skip a literal; a lone apostrophe (digit separator) ends at the line.
            qsizetype j = i + 1;
            while (j < n && source[j] != c && source[j] != u'\n')
                j += source[j] == u'\\' ? 2 : 1;
            i = j + 1;
        } else if (source.sliced(i).startsWith(u"//")) {
            while (i < n && source[i] != u'\n')
                out[i++] = u' ';
        } else if (source.sliced(i).startsWith(u"/*")) {
            const qsizetype end = source.indexOf(u"*/", i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            for (; i < stop; ++i)
                if (source[i] != u'\n')
                    out[i] = u' ';
        } else {
            ++i;
        }
    }
    return out;
}

// The text of an argument made only of string literals ("a" "b" joins), else nothing.
std::optional<QString> literal(QStringView argument)
{
    static const QRegularExpression whole(
        QStringLiteral(R"re(^\s*(?:u8)?("(?:[^"\\\n]|\\.)*"\s*)+$)re"));
    static const QRegularExpression piece(QStringLiteral(R"re("((?:[^"\\\n]|\\.)*)")re"));
    if (!whole.match(argument).hasMatch())
        return std::nullopt;
    QString text;
    for (const QRegularExpressionMatch &match : piece.globalMatch(argument)) {
        const QString raw = match.captured(1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != u'\\' || i + 1 == raw.size()) {
                text += raw[i];
                continue;
            }
            const QChar e = raw[++i];
            text += e == u'n' ? QChar(u'\n') : e == u't' ? QChar(u'\t') : e == u'0' ? QChar() : e;
        }
    }
    return text;
}

// Top-level arguments of the call whose '(' is at `open`; empty when the call does not close.
QStringList arguments(const QString &code, qsizetype open)
{
    QStringList result;
    int depth = 0;
    qsizetype start = open + 1;
    for (qsizetype i = open; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"' || (c == u'\'' && i + 2 < code.size() && code.indexOf(c, i + 2) - i <= 4)) {
            qsizetype j = i + 1;
            while (j < code.size() && code[j] != c && code[j] != u'\n')
                j += code[j] == u'\\' ? 2 : 1;
            i = j;
        } else if (c == u'(' || c == u'[' || c == u'{') {
            ++depth;
        } else if (c == u')' || c == u']' || c == u'}') {
            if (--depth == 0) {
                result << code.sliced(start, i - start);
                return result;
            }
        } else if (c == u',' && depth == 1) {
            result << code.sliced(start, i - start);
            start = i + 1;
        }
    }
    return {};
}

struct KeyUse
{
    QString text;
    int line;
    QString call;
};

// Message keys passed as literals to T and to the builders that take keys. Only plain calls
// count: "QString::number(", "x.select(" or "Window::card(" are something else.
QList<KeyUse> keyUses(const QString &source)
{
    // Argument positions that hold message keys (captions, titles and help keys).
    static const QHash<QString, QList<int>> keyArguments = {
        {QStringLiteral("T"), {0}},          {QStringLiteral("card"), {0, 1}},
        {QStringLiteral("action"), {1, 3}},  {QStringLiteral("field"), {1}},
        {QStringLiteral("check"), {2, 3}},   {QStringLiteral("select"), {2, 5}},
        {QStringLiteral("number"), {2, 6}},  {QStringLiteral("row"), {3}},
        {QStringLiteral("openFolder"), {0}}, {QStringLiteral("help"), {1}},
        {QStringLiteral("helpButton"), {0}},
    };
    static const QRegularExpression call(QStringLiteral(
        R"((?<![\w.:>])(?:Quilt::)?(T|card|action|field|check|select|number|row|openFolder|)"
        R"(help|helpButton)\s*\()"));

    const QString code = withoutComments(source);
    QList<KeyUse> uses;
    for (const QRegularExpressionMatch &match : call.globalMatch(code)) {
        const QString name = match.captured(1);
        const QStringList args = arguments(code, match.capturedEnd() - 1);
        const int line = int(code.first(match.capturedStart()).count(u'\n')) + 1;
        for (int index : keyArguments.value(name))
            if (index < args.size())
                if (const std::optional<QString> text = literal(args[index]))
                    uses.append({*text, line, name});
    }
    return uses;
}

// Every string literal of a source whose comments are blanked, adjacent pieces joined, except the
// messages of log and console calls, which no player reads.
QStringList stringLiterals(const QString &code)
{
    static const QRegularExpression logCall(
        QStringLiteral(R"((?:qWarning|qInfo|qDebug|qCritical|printf|fputs)\s*\(\s*$)"));
    QStringList found;
    QString current;
    bool open = false; // `current` may still be continued by an adjacent literal
    qsizetype i = 0;
    qsizetype pieceStart = -1;
    const auto finish = [&] {
        const qsizetype from = std::max<qsizetype>(0, pieceStart - 40);
        if (open && !logCall.match(code.sliced(from, pieceStart - from)).hasMatch())
            found << current;
        open = false;
        current.clear();
    };
    while (i < code.size()) {
        const QChar c = code[i];
        if (c == u'\'') {
            // A character literal ('"', '\\') or a digit separator.
            const qsizetype end =
                code.indexOf(u'\'', i + (code.sliced(i).startsWith(u"'\\") ? 3 : 2));
            i = end >= 0 && end - i <= 4 ? end + 1 : i + 1;
            finish();
        } else if (c == u'"') {
            if (!open)
                pieceStart = i;
            qsizetype j = i + 1;
            for (; j < code.size() && code[j] != u'"'; ++j) {
                if (code[j] != u'\\') {
                    current += code[j];
                    continue;
                }
                const QChar e = ++j < code.size() ? code[j] : QChar();
                current += e == u'n' ? QChar(u'\n') : e == u't' ? QChar(u'\t') : e;
            }
            i = j + 1;
            open = true;
        } else {
            if (!c.isSpace())
                finish();
            ++i;
        }
    }
    finish();
    return found;
}

// The glossary's table: English forms, Chinese forms, Spanish forms of each term.
struct Term
{
    QStringList english;
    QStringList chinese;
    QStringList spanish;
};

QList<Term> glossary(const QString &markdown)
{
    QList<Term> terms;
    const auto forms = [](const QString &cell) {
        QStringList list;
        for (const QString &form : cell.split(u" / "_qs))
            list << form.trimmed();
        return list;
    };
    for (const QString &line : markdown.split(u'\n')) {
        if (!line.startsWith(u'|') || line.startsWith(u"|---"_qs) ||
            line.startsWith(u"| English |"_qs))
            continue;
        const QStringList cells = line.split(u'|');
        if (cells.size() < 5)
            continue;
        terms.append({forms(cells[1]), forms(cells[2]), forms(cells[3])});
    }
    return terms;
}

bool cjk(QChar c)
{
    return (c.unicode() >= 0x3400 && c.unicode() <= 0x9fff) ||
           (c.unicode() >= 0xf900 && c.unicode() <= 0xfaff);
}

// Rows whose translations the launcher's contract fixes word for word.
const QList<Quilt::Message> fixedRows = {
    {"Help", "帮助", "Ayuda"},
    {"Tobble's Grand Quilt", "拼布托波", "Tobble's Grand Quilt"},
    {"Launcher connection closed", "启动器服务已断开，请重新打开启动器。",
     "Se ha cerrado la conexión. Vuelve a abrir el lanzador."},
    {"Close without saving?", "设置保存失败，放弃更改并关闭？",
     "No se pudieron guardar los ajustes. ¿Salir sin guardarlos?"},
    {"Tilt: %+.1f deg    Pointer: %+.2f, %+.2f", "倾角：%+.1f°    指针：%+.2f，%+.2f",
     "Inclinación: %+.1f°    Puntero: %+.2f, %+.2f"},
    {"Settings error: %s", "配置错误：%s", "Error de configuración: %s"},
    {"Data verification failed: ", "数据验证失败：", "Error de verificación: "},
    {"Already assigned to ", "已绑定到 ", "Ya asignado a "},
    {"Missing ", "缺少 ", "Falta "},
    {"Could not start the native executable: ", "无法启动游戏：", "No se pudo iniciar el juego: "},
};

// Both translations of every catalogue row and every key name.
QList<std::pair<QByteArray, QString>> translations(bool chinese)
{
    QList<std::pair<QByteArray, QString>> texts;
    for (auto table : {Quilt::catalogue(), Quilt::keyLabels()})
        for (const Quilt::Message &row : table)
            texts.append(
                {QByteArray(row.english), QString::fromUtf8(chinese ? row.chinese : row.spanish)});
    return texts;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init() { QuiltTest::resetShared(); }
    void cleanup() { QuiltTest::resetShared(); }

    void rows();
    void translationsKeepPlaceholders();
    void translationsKeepEdgeSpaces();
    void fixedTranslations();
    void chineseTypography();
    void spanishOpeningMarks();
    void glossaryTerms();
    void keyLabels();
    void serviceTextsTranslate();
    void lookup();
    void formattedLookup();
    void status_data();
    void status();
    void statusLongChain();
    void readLanguage_data();
    void readLanguage();
    void readLanguageWithoutFile();
    void embeddedFont_data();
    void embeddedFont();
    void scannerFindsKeys();
    void sourceKeysAreInCatalogue();
};

void TestCatalogue::rows()
{
    // The contract's 274 rows come first; the service's own texts follow them.
    const std::span<const Quilt::Message> rows = Quilt::catalogue();
    QVERIFY(rows.size() > 274);
    QCOMPARE(QByteArray(rows.front().english), QByteArray("Motion preview paused"));
    QCOMPARE(QByteArray(rows[273].english), QByteArray("Last used device"));

    QSet<QByteArray> keys;
    for (const Quilt::Message &row : rows) {
        QVERIFY(row.english && row.chinese && row.spanish);
        const QByteArray key(row.english);
        QVERIFY2(!keys.contains(key), "duplicate key: " + key);
        keys.insert(key);
        for (const char *text : {row.english, row.chinese, row.spanish}) {
            QVERIFY2(*text, "empty text in the row of " + key);
            // A stray byte would turn into U+FFFD on screen.
            QVERIFY2(QString::fromUtf8(text).toUtf8() == QByteArray(text),
                     "invalid UTF-8 in the row of " + key);
        }
    }
}

void TestCatalogue::translationsKeepPlaceholders()
{
    int formatted = 0;
    for (const Quilt::Message &row : Quilt::catalogue()) {
        const QStringList expected = placeholders(QString::fromUtf8(row.english));
        formatted += !expected.isEmpty();
        for (const char *text : {row.chinese, row.spanish})
            QVERIFY2(placeholders(QString::fromUtf8(text)) == expected,
                     QByteArray(row.english) + " -> " + text);
    }
    // The scan itself works: the catalogue has formatted messages to compare.
    QVERIFY(formatted >= 10);
}

void TestCatalogue::translationsKeepEdgeSpaces()
{
    // Prefixes and suffixes are concatenated with other text; Chinese full-width punctuation
    // carries its own spacing.
    for (const Quilt::Message &row : Quilt::catalogue()) {
        const QString key = QString::fromUtf8(row.english);
        for (const char *raw : {row.chinese, row.spanish}) {
            const QString text = QString::fromUtf8(raw);
            if (key.startsWith(u' '))
                QVERIFY2(text.startsWith(u' '), qPrintable(key + QStringLiteral(" -> ") + text));
            if (key.endsWith(u' '))
                QVERIFY2(text.endsWith(u' ') || fullWidthPunctuation(text.back()),
                         qPrintable(key + QStringLiteral(" -> ") + text));
        }
    }
}

void TestCatalogue::fixedTranslations()
{
    for (const Quilt::Message &fixed : fixedRows) {
        const auto row = std::find_if(
            Quilt::catalogue().begin(), Quilt::catalogue().end(),
            [&](const Quilt::Message &m) { return qstrcmp(m.english, fixed.english) == 0; });
        QVERIFY2(row != Quilt::catalogue().end(), fixed.english);
        QCOMPARE(QByteArray(row->chinese), QByteArray(fixed.chinese));
        QCOMPARE(QByteArray(row->spanish), QByteArray(fixed.spanish));
    }
}

void TestCatalogue::chineseTypography()
{
    // Full-width punctuation carries its own spacing, and Chinese words are not separated by
    // spaces; an ASCII space only stands between Chinese and Latin text or numbers.
    const auto fullWidth = [](QChar c) {
        return fullWidthPunctuation(c) || c == u'“' || c == u'”' || c == u'…';
    };
    QStringList wrong;
    for (const auto &[key, text] : translations(true)) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u' ') {
                const QChar before = i > 0 ? text[i - 1] : QChar();
                const QChar after = i + 1 < text.size() ? text[i + 1] : QChar();
                if ((cjk(before) && cjk(after)) || fullWidth(before) || fullWidth(after))
                    wrong << text;
            } else if (i > 0 && cjk(text[i - 1]) && QStringView(u",.:;?!").contains(text[i])) {
                wrong << text; // ASCII punctuation after a Chinese character
            }
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
}

void TestCatalogue::spanishOpeningMarks()
{
    QStringList wrong;
    for (const auto &[key, text] : translations(false)) {
        // Each sentence that asks or exclaims opens with the inverted mark before it closes.
        qsizetype sentence = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if ((c == u'?' || c == u'!') &&
                !text.sliced(sentence, i - sentence).contains(c == u'?' ? u'¿' : u'¡'))
                wrong << text;
            if (c == u'.' || c == u'?' || c == u'!')
                sentence = i + 1;
        }
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
}

void TestCatalogue::glossaryTerms()
{
    QFile file(QStringLiteral(QUILT_SOURCE_DIR "/docs/glossary.md"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<Term> terms = glossary(QString::fromUtf8(file.readAll()));
    QVERIFY(terms.size() >= 20);

    QSet<QByteArray> fixed;
    for (const Quilt::Message &row : fixedRows)
        fixed.insert(row.english);
    QStringList wrong;
    for (const Term &term : terms) {
        QVERIFY(!term.english.isEmpty() && !term.chinese.isEmpty() && !term.spanish.isEmpty());
        QStringList patterns;
        for (const QString &form : term.english)
            patterns << u"(?<![\\w-])"_qs + QRegularExpression::escape(form) + u"(?![\\w-])"_qs;
        const QRegularExpression uses(patterns.join(u'|'),
                                      QRegularExpression::CaseInsensitiveOption);
        int rows = 0;
        for (const Quilt::Message &row : Quilt::catalogue()) {
            if (fixed.contains(row.english) ||
                !uses.match(QString::fromUtf8(row.english)).hasMatch())
                continue;
            ++rows;
            const QString chinese = QString::fromUtf8(row.chinese);
            const QString spanish = QString::fromUtf8(row.spanish);
            if (std::none_of(term.chinese.begin(), term.chinese.end(),
                             [&](const QString &form) { return chinese.contains(form); }))
                wrong << term.english.first() + u": "_qs + chinese;
            if (std::none_of(term.spanish.begin(), term.spanish.end(), [&](const QString &form) {
                    return spanish.contains(form, Qt::CaseInsensitive);
                }))
                wrong << term.english.first() + u": "_qs + spanish;
        }
        // A term that no row uses is a stale entry or a mistyped form.
        QVERIFY2(rows > 0, qPrintable(term.english.join(u" / "_qs)));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
}

void TestCatalogue::keyLabels()
{
    // Key names are not the texts that share their English words.
    Quilt::language(0);
    QCOMPARE(Quilt::keyLabel(u"Space"_qs), u"空格键"_qs);
    QCOMPARE(Quilt::keyLabel(u"Home"_qs), u"Home"_qs);
    QCOMPARE(Quilt::T("Home"), u"HOME 键"_qs);
    Quilt::language(2);
    QCOMPARE(Quilt::keyLabel(u"Return"_qs), u"Intro"_qs);
    QCOMPARE(Quilt::keyLabel(u"Delete"_qs), u"Supr"_qs);
    QCOMPARE(Quilt::keyLabel(u"Home"_qs), u"Inicio"_qs);
    QCOMPARE(Quilt::keyLabel(u"Clear"_qs), u"Clear"_qs);
    QCOMPARE(Quilt::keyLabel(u"F5"_qs), u"F5"_qs);
    Quilt::language(1);
    QCOMPARE(Quilt::keyLabel(u"Space"_qs), u"Space"_qs);

    QSet<QByteArray> names;
    for (const Quilt::Message &key : Quilt::keyLabels()) {
        QVERIFY2(!names.contains(key.english), key.english);
        names.insert(key.english);
        QVERIFY(*key.chinese && *key.spanish);
    }
}

void TestCatalogue::serviceTextsTranslate()
{
    // Every text of the stand-in service that can reach a player is a catalogue key or starts
    // with a catalogue prefix the launcher translates. Single words are key names, JSON members
    // and file names.
    const QSet<QString> untranslated = {
        // Only a malformed request causes these.
        u"Malformed request"_qs,
        u"Missing or invalid \"%1\""_qs,
        u"Unknown command: %1"_qs,
        u"Unknown setting: %1"_qs,
        u"Invalid value for %1"_qs,
        u"%1 must be true or false"_qs,
        // Shown word for word on the diagnostics page.
        u"The native executable gave no build record"_qs,
        u"settings.toml line %1, column %2: %3"_qs,
        u"settings.toml: invalid value for %1"_qs,
        // The file system's reasons, shown after a translated "Could not ...: ".
        u"cannot create %1"_qs,
        u"cannot copy %1"_qs,
        u"%1 does not exist"_qs,
        u"%1: %2"_qs,
        // Not texts: a date format, a controller's name and number, the settings file's header.
        u"yyyy-MM-dd HH:mm:ss"_qs,
        u"%1 (%2)"_qs,
        u"# Settings of Tobble's Grand Quilt, written by tobble-launcher.\n# Edit with care: a "
        u"file "
        u"that does not parse is left alone and reported.\n"_qs,
    };
    QSet<QString> keys;
    for (const Quilt::Message &row : Quilt::catalogue())
        keys.insert(QString::fromUtf8(row.english));

    const QDir service(QStringLiteral(QUILT_SOURCE_DIR "/service"));
    QStringList files = service.entryList({QStringLiteral("*.cpp")}, QDir::Files);
    // Programs of their own: the stand-in game's window and the service's usage text.
    files.removeAll(u"game_standin.cpp"_qs);
    files.removeAll(u"main.cpp"_qs);
    QVERIFY(files.size() >= 5);
    QStringList wrong;
    int texts = 0;
    for (const QString &name : std::as_const(files)) {
        QFile file(service.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QString &text :
             stringLiterals(withoutComments(QString::fromUtf8(file.readAll())))) {
            if (!text.trimmed().contains(u' ') || untranslated.contains(text))
                continue;
            ++texts;
            for (int language : {0, 2}) {
                Quilt::language(language);
                // A prefix has to be one that status knows: complete it with a catalogue text.
                const QString sample = text.endsWith(u' ') ? text + u"Game closed"_qs : text;
                const QString shown = Quilt::status(sample);
                if (!keys.contains(text) && shown == sample)
                    wrong << name + u": "_qs + text;
                else if (shown.contains(text))
                    wrong << name + u": "_qs + text + u" -> "_qs + shown;
            }
        }
    }
    Quilt::language(1);
    QVERIFY(texts > 50);
    wrong.removeDuplicates();
    QVERIFY2(wrong.isEmpty(), qPrintable(u"not translatable:\n"_qs + wrong.join(u'\n')));
}

void TestCatalogue::lookup()
{
    const char *unknown = "Not a catalogue key";
    const QList<std::pair<int, QString>> help = {
        {1, QStringLiteral("Help")}, {0, QStringLiteral("帮助")}, {2, QStringLiteral("Ayuda")}};
    for (const auto &[index, expected] : help) {
        Quilt::language(index);
        QCOMPARE(Quilt::T("Help"), expected);
        QCOMPARE(Quilt::T(unknown), QString::fromUtf8(unknown));
        // Keys are exact: another case or a missing trailing space is another key.
        QCOMPARE(Quilt::T("help"), QStringLiteral("help"));
        QCOMPARE(Quilt::T("Missing"), QStringLiteral("Missing"));
        QCOMPARE(Quilt::T(nullptr), QString());
        QCOMPARE(Quilt::T(""), QString());
    }

    // Any index other than English or Spanish reads as Chinese.
    Quilt::language(7);
    QCOMPARE(Quilt::T("Help"), QStringLiteral("帮助"));
    Quilt::language(-1);
    QCOMPARE(Quilt::T("Tobble's Grand Quilt"), QStringLiteral("拼布托波"));
    QCOMPARE(Quilt::T("Tobble’s Grand Quilt"), QStringLiteral("Tobble’s Grand Quilt"));
}

void TestCatalogue::formattedLookup()
{
    // Callers translate first and format the translation.
    const auto format = [](const char *key, double tilt, double x, double y) {
        return QString::asprintf(Quilt::T(key).toUtf8().constData(), tilt, x, y);
    };
    const char *key = "Tilt: %+.1f deg    Pointer: %+.2f, %+.2f";
    QCOMPARE(format(key, 12.34, -0.5, 0.25),
             QStringLiteral("Tilt: +12.3 deg    Pointer: -0.50, +0.25"));
    Quilt::language(0);
    QCOMPARE(format(key, 12.34, -0.5, 0.25), QStringLiteral("倾角：+12.3°    指针：-0.50，+0.25"));
    Quilt::language(2);
    QCOMPARE(QString::asprintf(Quilt::T("Game: %s Rev %d").toUtf8().constData(), "VQ3E88", 0),
             QStringLiteral("Juego: VQ3E88 Rev 0"));
}

void TestCatalogue::status_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString file = QStringLiteral("sys/main.dol");
    QTest::newRow("chained prefixes, zh")
        << 0 << u"Missing Data verification failed: "_qs + file << u"缺少 数据验证失败："_qs + file;
    QTest::newRow("chained prefixes, es") << 2 << u"Missing Data verification failed: "_qs + file
                                          << u"Falta Error de verificación: "_qs + file;
    QTest::newRow("chained prefixes, en") << 1 << u"Missing Data verification failed: "_qs + file
                                          << u"Missing Data verification failed: "_qs + file;
    QTest::newRow("prefix alone") << 0 << u"Already assigned to "_qs << u"已绑定到 "_qs;
    QTest::newRow("prefix then key")
        << 2 << u"Already assigned to Move up"_qs << u"Ya asignado a Mover arriba"_qs;
    QTest::newRow("prefix then reason")
        << 0 << u"Data verification failed: Supported DOL size mismatch"_qs
        << u"数据验证失败：DOL 文件大小与支持的版本不符"_qs;
    QTest::newRow("start failure")
        << 2 << u"Could not start the native executable: Permission denied"_qs
        << u"No se pudo iniciar el juego: Permission denied"_qs;
    QTest::newRow("whole key") << 0 << u"Game closed"_qs << u"游戏已关闭"_qs;
    QTest::newRow("empty") << 0 << QString() << QString();
    QTest::newRow("prefix case matters") << 0 << u"missing data.bin"_qs << u"missing data.bin"_qs;
    QTest::newRow("prefix inside") << 0 << u"File Missing x"_qs << u"File Missing x"_qs;
    QTest::newRow("key without its space") << 0 << u"Missing"_qs << u"Missing"_qs;
    QTest::newRow("unknown") << 2 << u"Errno 13"_qs << u"Errno 13"_qs;
    // A prefix never turns a sentence into half English: the whole text stays as it came.
    QTest::newRow("prefix then English")
        << 0 << u"Missing or invalid \"key\""_qs << u"Missing or invalid \"key\""_qs;
    QTest::newRow("key prefix then English")
        << 2 << u"Already assigned to nobody"_qs << u"Already assigned to nobody"_qs;
    QTest::newRow("path with blanks")
        << 0 << u"Could not delete /home/a b/backups/17"_qs << u"无法删除：/home/a b/backups/17"_qs;
    QTest::newRow("sentence then prefix then path")
        << 2
        << u"Repair the installed build before playing. The native executable is not a file: "
           u"/opt/tobble/game"_qs
        << u"Repara la compilación instalada antes de jugar. El ejecutable nativo no es un "
           u"archivo: /opt/tobble/game"_qs;
    QTest::newRow("reason after two prefixes")
        << 0 << u"The current save was kept: Could not copy the save: cannot copy /a/b"_qs
        << u"已保留当前存档：无法复制存档：cannot copy /a/b"_qs;
    // The rest is looked up whole: an embedded NUL must not cut it down to a key.
    QTest::newRow("embedded NUL") << 0 << QString(u"Game closed"_qs + QChar(0) + u"tail"_qs)
                                  << QString(u"Game closed"_qs + QChar(0) + u"tail"_qs);
}

void TestCatalogue::status()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Quilt::language(index);
    QCOMPARE(Quilt::status(text), expected);
}

void TestCatalogue::statusLongChain()
{
    // A service text is not trusted to be short; a chain of prefixes must not exhaust the stack.
    constexpr int repeats = 200000;
    Quilt::language(0);
    const QString result = Quilt::status(u"Missing "_qs.repeated(repeats) + u"Game closed"_qs);
    QCOMPARE(result, u"缺少 "_qs.repeated(repeats) + u"游戏已关闭"_qs);
}

void TestCatalogue::readLanguage_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("expected");

    QTest::newRow("zh-CN and line feed") << QByteArray("zh-CN\n") << 0;
    QTest::newRow("CRLF and tabs") << QByteArray("\t\r\nzh-CN \r\n") << 0;
    QTest::newRow("spaced es") << QByteArray(" es ") << 2;
    QTest::newRow("en") << QByteArray("en") << 1;
    QTest::newRow("upper case") << QByteArray("EN") << 1;
    QTest::newRow("upper case es") << QByteArray("ES") << 1;
    QTest::newRow("underscore") << QByteArray("zh_CN") << 1;
    QTest::newRow("15 bytes") << QByteArray("es") + QByteArray(13, ' ') << 2;
    QTest::newRow("16 bytes") << QByteArray("es") + QByteArray(14, ' ') << 1;
    QTest::newRow("long") << QByteArray("es\n") + QByteArray(100, '\n') << 1;
    QTest::newRow("vertical tab") << QByteArray("\ves") << 1;
    QTest::newRow("form feed") << QByteArray("es\f") << 1;
    QTest::newRow("NUL") << QByteArray("es\0", 3) << 1;
    QTest::newRow("two lines") << QByteArray("es\nen\n") << 1;
    QTest::newRow("UTF-8 BOM") << QByteArray("\xef\xbb\xbf"
                                             "es")
                               << 1;
    QTest::newRow("empty") << QByteArray() << 1;
    QTest::newRow("blank") << QByteArray(" \t\r\n") << 1;
}

void TestCatalogue::readLanguage()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("launcher-language.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
    file.close();
    QCOMPARE(Launcher::ReadLanguage(QFile::encodeName(dir.path()).toStdString()), expected);
}

void TestCatalogue::readLanguageWithoutFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path root = QFile::encodeName(dir.path()).toStdString();
    QCOMPARE(Launcher::ReadLanguage(root), 1);
    QCOMPARE(Launcher::ReadLanguage(root / "no" / "such" / "folder"), 1);
    // A folder in the file's place reads nothing.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("launcher-language.txt")));
    QCOMPARE(Launcher::ReadLanguage(root), 1);
}

void TestCatalogue::embeddedFont_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("committed file") << QStringLiteral(QUILT_SOURCE_DIR "/resources/font.ttf");
    QTest::newRow("artwork resource") << QStringLiteral(":/quilt/font.ttf");
}

void TestCatalogue::embeddedFont()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray data = file.readAll();

    const int id = QFontDatabase::addApplicationFont(path);
    QVERIFY2(id >= 0, "Qt does not accept the font");
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    QVERIFY(!families.isEmpty());

    // The font file itself: every character the catalogue needs has a glyph.
    const QRawFont raw(data, 16);
    QVERIFY(raw.isValid());
    const QList<char32_t> wanted = fontCharacters();
    QVERIFY(wanted.size() > 300);
    QString lacking;
    for (char32_t c : wanted)
        if (!raw.supportsCharacter(c))
            lacking += QString::fromUcs4(&c, 1);
    QVERIFY2(lacking.isEmpty(),
             qPrintable(u"no glyph for: "_qs + lacking + u" (run tools/make_font.py)"_qs));

    // The registered family resolves to this font, not to a system fallback.
    QFont font(families.first());
    font.setStyleStrategy(QFont::NoFontMerging);
    QCOMPARE(QFontInfo(font).family(), families.first());
    const QFontMetrics metrics(font);
    for (const char *sample : {"帮助", "设置保存失败，放弃更改并关闭？", "Inclinación"})
        for (char32_t c : QString::fromUtf8(sample).toUcs4())
            QVERIFY2(metrics.inFontUcs4(c), sample);
}

void TestCatalogue::scannerFindsKeys()
{
    // The scan below is only as good as its parser; show it what page code looks like.
    const QString sample = QStringLiteral(R"(
        // card("Commented out")
        QVBoxLayout *body = card("Game data", "Choose DATA folder");
        action(body, "Verify selected folder", [this] { request({{"cmd", "verify"}}); },
               "Could not save settings");
        const QString value = QString::number(3.5, 'f', 1); /* T("Also commented") */
        number(body, "gain", "Tilt sensitivity", 0.25, 3.0, 0.05);
        check(body, "vsync", "VSync");
        select(body, "aa", "Anti-aliasing", {T("Off"), "FXAA"}, {0, 1}, "Smooths " "edges");
        field(body, "Launcher", revision + "   ·   " + compiler);
        Window::card(const char *titleKey, const char *helpKey);
        widget->help("Not ours"); T(key); Quilt::T("Help"); label("Tobble’s Grand Quilt", "brand");
        openFolder("Shared settings", QFileInfo(path).absolutePath());
    )");
    QStringList found;
    for (const KeyUse &use : keyUses(sample))
        found << QString::number(use.line) + u' ' + use.call + u' ' + use.text;
    const QStringList expected = {
        u"3 card Game data"_qs,
        u"3 card Choose DATA folder"_qs,
        u"4 action Verify selected folder"_qs,
        u"4 action Could not save settings"_qs,
        u"7 number Tilt sensitivity"_qs,
        u"8 check VSync"_qs,
        u"9 select Anti-aliasing"_qs,
        u"9 T Off"_qs,
        u"9 select Smooths edges"_qs,
        u"10 field Launcher"_qs,
        u"13 openFolder Shared settings"_qs,
        u"12 T Help"_qs,
    };
    found.sort();
    QStringList sorted = expected;
    sorted.sort();
    QCOMPARE(found, sorted);
}

void TestCatalogue::sourceKeysAreInCatalogue()
{
    // A mistyped key is never an error at run time: the English text just shows in every
    // language. Read the sources as they stand when the test runs.
    QSet<QString> keys;
    for (const Quilt::Message &row : Quilt::catalogue())
        keys.insert(QString::fromUtf8(row.english));

    const QDir sources(QStringLiteral(QUILT_SOURCE_DIR "/src"));
    const QStringList files = sources.entryList({QStringLiteral("*.cpp")}, QDir::Files);
    QVERIFY2(!files.isEmpty(), qPrintable(sources.path()));
    QStringList unknown;
    for (const QString &name : files) {
        QFile file(sources.filePath(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        for (const KeyUse &use : keyUses(QString::fromUtf8(file.readAll())))
            if (!keys.contains(use.text))
                unknown << u"src/%1:%2: %3(\"%4\")"_qs.arg(name).arg(use.line).arg(use.call,
                                                                                   use.text);
    }
    QVERIFY2(unknown.isEmpty(), qPrintable(u"not in the catalogue:\n"_qs + unknown.join(u'\n')));
}

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
