#include "languages.h"

#include <fstream>

namespace Launcher {

int ReadLanguage(const std::filesystem::path &directory)
{
    constexpr std::streamsize limit = 16;

    std::ifstream file(directory / Protocol::LanguageFile, std::ios::binary);
    char buffer[limit];
    file.read(buffer, limit);
    const std::streamsize count = file.gcount();
    // A file of 16 bytes or more is not a language file; neither is an empty or unreadable one.
    if (!file.eof() || file.bad() || count <= 0)
        return Protocol::English;

    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::streamsize first = 0;
    std::streamsize last = count;
    while (first < last && blank(buffer[first]))
        ++first;
    while (last > first && blank(buffer[last - 1]))
        --last;
    const std::string_view text(buffer + first, std::size_t(last - first));

    for (int index = 0; index < Protocol::LanguageCount; ++index)
        if (text == Protocol::LanguageCodes[index])
            return index;
    return Protocol::English;
}

} // namespace Launcher
