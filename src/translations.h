// The built-in message catalogue and the launcher's language.
#pragma once

#include "languages.h" // Launcher::ReadLanguage, shared with the service

#include <QString>
#include <span>

namespace Quilt {

// One catalogue row: the English key and its Simplified Chinese and Spanish texts (UTF-8).
struct Message
{
    const char *english;
    const char *chinese;
    const char *spanish;
};

// Every row, in catalogue order.
std::span<const Message> catalogue();

// Text of an English message key in the current language; unknown keys come back unchanged.
QString T(const char *key);
// Sets the current language: 0 Simplified Chinese, 1 English, 2 Spanish.
void language(int index);
// Translates a text that came from the service, including its known prefixes.
QString status(const QString &text);
// A keyboard key's English name, as the service and the settings file write it, in the
// current language; keys that every keyboard labels alike come back unchanged.
QString keyLabel(const QString &name);
// Every translated key name (English name, Chinese, Spanish).
std::span<const Message> keyLabels();

} // namespace Quilt
