#include "settings.h"

#include "bindings.h"
#include "files.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <algorithm>
#include <cmath>

// Parse errors come back as values: the service never uses exceptions for expected failures.
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

namespace Service {

namespace {

enum class Kind { Flag, Whole, Choice, Real };

// One configuration key: where the file keeps it, its type, default and allowed values.
struct KeyRule
{
    const char *name;
    const char *section;
    Kind kind;
    double fallback;
    double low;
    double high;
    std::initializer_list<int> choices;
};

const KeyRule Keys[] = {
    {"gameLanguage", "game", Kind::Choice, 1, 0, 0, {1, 3, 4}},
    {"fullscreen", "game", Kind::Flag, 0, 0, 1, {}},
    {"volume", "game", Kind::Whole, 80, 0, 100, {}},
    {"scale", "graphics", Kind::Choice, 1, 0, 0, {1, 2, 3, 4, 5, 6, 8}},
    {"aa", "graphics", Kind::Whole, 0, 0, 3, {}},
    {"vsync", "graphics", Kind::Flag, 1, 0, 1, {}},
    {"performance", "graphics", Kind::Flag, 0, 0, 1, {}},
    {"dynamicPrompts", "input", Kind::Flag, 1, 0, 1, {}},
    {"buttonIcons", "input", Kind::Whole, 0, 0, 4, {}},
    {"stick", "input", Kind::Real, 0.5, 0.05, 0.95, {}},
    {"trigger", "input", Kind::Real, 0.5, 0.05, 0.95, {}},
    {"tilt", "motion", Kind::Flag, 1, 0, 1, {}},
    {"invertTilt", "motion", Kind::Flag, 0, 0, 1, {}},
    {"gain", "motion", Kind::Real, 1.0, 0.25, 3.0, {}},
    {"deadzone", "motion", Kind::Real, 0.008, 0.0, 0.1, {}},
    {"keyboardMotion", "motion", Kind::Flag, 1, 0, 1, {}},
    {"pointer", "motion", Kind::Whole, 1, 0, 3, {}},
    {"sensitivity", "motion", Kind::Real, 1.5, 0.1, 5.0, {}},
    {"invertX", "motion", Kind::Flag, 0, 0, 1, {}},
    {"invertY", "motion", Kind::Flag, 0, 0, 1, {}},
    {"stickDeadzone", "motion", Kind::Real, 0.15, 0.0, 0.9, {}},
};

const KeyRule *find(const QString &name)
{
    for (const KeyRule &rule : Keys)
        if (name == QLatin1String(rule.name))
            return &rule;
    return nullptr;
}

QJsonValue fallbackValue(const KeyRule &rule)
{
    switch (rule.kind) {
    case Kind::Flag:
        return rule.fallback != 0;
    case Kind::Whole:
    case Kind::Choice:
        return int(rule.fallback);
    case Kind::Real:
        break;
    }
    return rule.fallback;
}

// Numbers are kept to three decimals (the finest step any page offers) so that a value does
// not come back from the file as 0.15000000000000002.
double tidy(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

// Turns a number into the key's stored value. Returns false when the value cannot be one.
bool accept(const KeyRule &rule, double number, QJsonValue *out)
{
    if (!std::isfinite(number))
        return false;
    switch (rule.kind) {
    case Kind::Flag:
        return false;
    case Kind::Whole:
        *out = int(std::clamp(std::round(number), rule.low, rule.high));
        return true;
    case Kind::Choice: {
        const int whole = int(std::round(number));
        if (whole != number)
            return false;
        for (int choice : rule.choices)
            if (choice == whole) {
                *out = whole;
                return true;
            }
        return false;
    }
    case Kind::Real:
        *out = tidy(std::clamp(number, rule.low, rule.high));
        return true;
    }
    return false;
}

QString describe(const toml::parse_error &error)
{
    const auto &where = error.source().begin;
    return QStringLiteral("settings.toml line %1, column %2: %3")
        .arg(where.line)
        .arg(where.column)
        .arg(QString::fromUtf8(error.description().data(), qsizetype(error.description().size())));
}

// A TOML float with the fewest digits that read back as the same double; always with a point
// so it stays a float.
QByteArray tomlNumber(double value)
{
    QByteArray number = QByteArray::number(value, 'g', 15);
    if (!number.contains('.') && !number.contains('e') && !number.contains("inf") &&
        !number.contains("nan"))
        number += ".0";
    return number;
}

// A TOML basic string: quotes, backslashes and control characters escaped.
QByteArray tomlString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (uchar(c) < 0x20 || c == 0x7f)
            out += QByteArray("\\u00") + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out + '"';
}

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

// Configuration: a missing key keeps its default, a number out of range is clamped, a value of
// the wrong type is a problem the player has to fix (its key goes to `wrong`).
void readConfig(const toml::table &table, QJsonObject &values, QStringList &wrong)
{
    for (const KeyRule &rule : Keys) {
        const toml::node *node = table.at_path(std::string(rule.section) + "." + rule.name).node();
        if (!node)
            continue;
        QJsonValue stored;
        bool ok = false;
        if (rule.kind == Kind::Flag) {
            if (auto flag = node->value<bool>(); flag && node->is_boolean()) {
                stored = *flag;
                ok = true;
            }
        } else if (node->is_number()) {
            ok = accept(rule, *node->value<double>(), &stored);
        }
        if (ok)
            values.insert(QLatin1String(rule.name), stored);
        else
            wrong << QStringLiteral("%1.%2").arg(rule.section, rule.name);
    }
}

// Bindings: gamepad inputs must be names the launcher knows; keyboard keys are free text that
// fits the same limit as a captured key.
void readBindings(const toml::table &table, QStringList &pad, QStringList &keys, QStringList &wrong)
{
    for (int i = 0; i < ActionCount; ++i) {
        const std::string suffix = std::string(".") + ActionKeys[i];
        if (const toml::node *node = table.at_path("bindings.gamepad" + suffix).node()) {
            const auto name = node->value<std::string_view>();
            if (name && (name->empty() || isGamepadInput(text(*name))))
                pad[i] = text(*name);
            else
                wrong << QStringLiteral("bindings.gamepad.%1").arg(ActionKeys[i]);
        }
        if (const toml::node *node = table.at_path("bindings.keyboard" + suffix).node()) {
            const auto name = node->value<std::string_view>();
            if (name && Settings::keyNameFits(text(*name)))
                keys[i] = text(*name);
            else
                wrong << QStringLiteral("bindings.keyboard.%1").arg(ActionKeys[i]);
        }
    }
}

// Calibrations: one table of numbers per controller model.
void readCalibrations(const toml::table &table, QJsonObject &calibration, QStringList &wrong)
{
    const toml::table *models = table["calibration"].as_table();
    if (!models)
        return;
    for (const auto &[model, node] : *models) {
        const toml::table *numbers = node.as_table();
        QJsonObject record;
        bool ok = numbers != nullptr;
        if (numbers)
            for (const auto &[name, value] : *numbers) {
                if (!value.is_number()) {
                    ok = false;
                    break;
                }
                record.insert(text(name.str()), *value.value<double>());
            }
        if (ok)
            calibration.insert(text(model.str()), record);
        else
            wrong << QStringLiteral("calibration.%1").arg(text(model.str()));
    }
}

} // namespace

bool Settings::keyNameFits(const QString &name)
{
    return name.toUtf8().size() <= MaximumKeyName;
}

Settings::Settings(const QString &root)
    : file(QDir(root).filePath(QStringLiteral("local/user/settings.toml")))
{
    load();
}

void Settings::setDefaults()
{
    values = {};
    for (const KeyRule &rule : Keys)
        values.insert(QLatin1String(rule.name), fallbackValue(rule));
    pad = defaultGamepad();
    keys = defaultKeyboard();
    calibration = {};
}

void Settings::bind(bool keyboardColumn, int action, const QString &input)
{
    QStringList &list = keyboardColumn ? keys : pad;
    if (action < 0 || action >= list.size() || list.at(action) == input)
        return;
    list[action] = input;
    unsaved = true;
}

void Settings::resetBindings()
{
    const QStringList defaultPad = defaultGamepad();
    const QStringList defaultKeys = defaultKeyboard();
    if (pad == defaultPad && keys == defaultKeys)
        return;
    pad = defaultPad;
    keys = defaultKeys;
    unsaved = true;
}

void Settings::calibrate(const QString &model, const QJsonObject &record)
{
    if (calibration.value(model) == record)
        return;
    calibration.insert(model, record);
    unsaved = true;
}

QString Settings::change(const QString &key, const QJsonValue &value)
{
    const KeyRule *rule = find(key);
    if (!rule)
        return QStringLiteral("Unknown setting: %1").arg(key);
    QJsonValue stored;
    if (rule->kind == Kind::Flag) {
        if (!value.isBool())
            return QStringLiteral("%1 must be true or false").arg(key);
        stored = value;
    } else if (!value.isDouble() || !accept(*rule, value.toDouble(), &stored)) {
        return QStringLiteral("Invalid value for %1").arg(key);
    }
    if (values.value(key) != stored) {
        values.insert(key, stored);
        unsaved = true;
    }
    return {};
}

bool Settings::reset(std::initializer_list<const char *> keys)
{
    bool changed = false;
    for (const char *name : keys) {
        const KeyRule *rule = find(QLatin1String(name));
        if (!rule)
            continue;
        const QJsonValue fallback = fallbackValue(*rule);
        if (values.value(QLatin1String(name)) != fallback) {
            values.insert(QLatin1String(name), fallback);
            changed = true;
        }
    }
    unsaved = unsaved || changed;
    return changed;
}

void Settings::load()
{
    setDefaults();
    unsaved = false;
    problem.clear();

    QFile source(file);
    if (!source.exists())
        return;
    if (!source.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("%1: %2").arg(file, source.errorString());
        return;
    }
    const QByteArray bytes = source.readAll();
    const toml::parse_result parsed =
        toml::parse(std::string_view(bytes.constData(), size_t(bytes.size())),
                    std::string_view("settings.toml"));
    if (!parsed) {
        problem = describe(parsed.error());
        return;
    }
    const toml::table &table = parsed.table();

    QStringList wrong;
    readConfig(table, values, wrong);
    readBindings(table, pad, keys, wrong);
    readCalibrations(table, calibration, wrong);
    if (!wrong.isEmpty()) {
        setDefaults();
        problem = QStringLiteral("settings.toml: invalid value for %1").arg(wrong.join(", "));
    }
}

bool Settings::save(QString *error)
{
    if (!problem.isEmpty()) {
        *error = QStringLiteral("cannot replace settings");
        return false;
    }
    // Written by hand rather than by the TOML library so that the file keeps the page order,
    // carries comments and shows 0.15 rather than 0.14999999999999999.
    QByteArray out = "# Settings of Tobble's Grand Quilt, written by tobble-launcher.\n"
                     "# Edit with care: a file that does not parse is left alone and reported.\n";
    const char *section = "";
    for (const KeyRule &rule : Keys) {
        if (qstrcmp(section, rule.section) != 0) {
            section = rule.section;
            out += QByteArray("\n[") + section + "]\n";
        }
        const QJsonValue value = values.value(QLatin1String(rule.name));
        out += QByteArray(rule.name) + " = ";
        switch (rule.kind) {
        case Kind::Flag:
            out += value.toBool() ? "true" : "false";
            break;
        case Kind::Whole:
        case Kind::Choice:
            out += QByteArray::number(value.toInt());
            break;
        case Kind::Real:
            out += tomlNumber(value.toDouble());
            break;
        }
        out += '\n';
    }
    for (const QString &column : {QStringLiteral("gamepad"), QStringLiteral("keyboard")}) {
        out += "\n[bindings." + column.toUtf8() + "]\n";
        const QStringList &list = column == QLatin1String("gamepad") ? pad : keys;
        for (int i = 0; i < ActionCount; ++i)
            out += QByteArray(ActionKeys[i]) + " = " + tomlString(list.value(i)) + '\n';
    }
    for (auto model = calibration.begin(); model != calibration.end(); ++model) {
        out += "\n[calibration." + tomlString(model.key()) + "]\n";
        const QJsonObject record = model->toObject();
        for (auto number = record.begin(); number != record.end(); ++number)
            out += tomlString(number.key()) + " = " + tomlNumber(number->toDouble()) + '\n';
    }

    QString why;
    if (!writeAtomically(file, out, &why)) {
        *error = why;
        return false;
    }
    unsaved = false;
    return true;
}

} // namespace Service
