#include "system/image/mdir_listing.h"

#include <charconv>

#include "formats/text.h"

namespace zarvo::image {

namespace {

std::optional<ListedFile> listedFile(std::string_view line) {
    // Twelve characters, not bytes: a short name may hold Cyrillic.
    std::size_t bytes = 0;
    for (int chars = 0; chars < 12 && bytes < line.size(); ++chars) {
        ++bytes;
        while (bytes < line.size() && (static_cast<unsigned char>(line[bytes]) & 0xC0) == 0x80)
            ++bytes;
    }
    const std::string_view columns = line.substr(0, bytes);
    const std::size_t gap = columns.find(' ');
    if (gap == 0 || gap == std::string_view::npos) return std::nullopt;
    ListedFile file;
    file.shortName = std::string(text::trimmed(columns.substr(0, gap)));
    const std::string_view extension = text::trimmed(columns.substr(gap));
    if (!extension.empty()) {
        file.shortName += '.';
        file.shortName.append(extension);
    }
    const std::string_view rest = line.substr(bytes);
    const std::string_view fields = text::trimmed(rest);
    const std::string_view digits = fields.substr(0, fields.find(' '));
    std::uint64_t size = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    if (!digits.empty() && ec == std::errc() && end == digits.data() + digits.size())
        file.size = size;
    // The long name follows the time ("9:38"), after two spaces.
    const std::size_t colon = rest.find(':');
    const std::size_t after = colon == std::string_view::npos ? colon : rest.find(' ', colon);
    if (after != std::string_view::npos)
        file.longName = std::string(text::trimmed(rest.substr(after)));
    return file;
}

}  // namespace

std::vector<std::string_view> linesOf(std::string_view output) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string_view::npos) end = output.size();
        std::string_view line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string lastName(std::string_view line) {
    while (!line.empty() && line.back() == '/') line.remove_suffix(1);
    const std::size_t slash = line.find_last_of('/');
    return std::string(slash == std::string_view::npos ? line : line.substr(slash + 1));
}

std::vector<ListedEntry> bareListing(std::string_view output) {
    std::vector<ListedEntry> entries;
    for (const auto line : linesOf(output)) {
        ListedEntry entry;
        entry.folder = line.back() == '/';
        entry.name = lastName(line);
        if (entry.name.empty() || entry.name == "." || entry.name == "..") continue;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<ListedFile> longListing(std::string_view output) {
    std::vector<ListedFile> files;
    for (const auto line : linesOf(output))
        if (auto file = listedFile(line)) files.push_back(std::move(*file));
    return files;
}

}  // namespace zarvo::image
