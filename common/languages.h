#pragma once

#include <filesystem>
#include <string_view>

namespace Protocol {

// The launcher's languages by index, as the language file and "lang" name them.
inline constexpr int LanguageCount = 3;
inline constexpr int English = 1;
inline constexpr std::string_view LanguageCodes[LanguageCount] = {"zh-CN", "en", "es"};
// The language file in the directory "local/user" under the installation root.
inline constexpr char LanguageFile[] = "launcher-language.txt";

} // namespace Protocol

namespace Launcher {
// Language index stored in "launcher-language.txt" in the given directory; English when unsure.
// The launcher reads it at start-up and the service for its state, by the same rules.
int ReadLanguage(const std::filesystem::path &directory);
} // namespace Launcher
