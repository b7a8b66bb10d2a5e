#include "system/image/interrupted_writes.h"

#include <algorithm>
#include <cstdio>

#include "system/image/fat_names.h"
#include "system/windows_path.h"

namespace zarvo::image {

namespace {

constexpr std::string_view kRecordHeader = "Zarvo: temporary file, to become\r\n";

// The number in a name of this program's own, "ZRV00042.TMP" or a padded
// long one ("Zrv00042__.tmp") for extension "tmp", in any case; nullopt for
// any other name.
std::optional<unsigned> numberOf(std::string_view name, std::string_view extension) {
    const std::string folded = winpath::foldedName(name);
    // Appended rather than "." + ..., which GCC 12 at -O3 misreads as an
    // overlapping copy (-Wrestrict).
    std::string suffix(1, '.');
    suffix += winpath::foldedName(extension);
    if (folded.size() < 8 + suffix.size() || folded.substr(0, 3) != winpath::foldedName("zrv") ||
        !folded.ends_with(suffix)) {
        return std::nullopt;
    }
    const std::size_t padding = folded.size() - suffix.size();
    if (folded.find_first_not_of('_', 8) < padding) return std::nullopt;
    unsigned number = 0;
    for (char c : folded.substr(3, 5)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + unsigned(c - '0');
    }
    return number;
}

// The name a record's content says its temporary file becomes; nullopt for
// a record cut short, or one that names no file of the folder.
std::optional<std::string> recordedName(std::string_view text) {
    if (!text.starts_with(kRecordHeader)) return std::nullopt;
    std::string finalName(text.substr(kRecordHeader.size()));
    if (finalName.empty() || finalName.find_first_of("/\\\r\n") != std::string::npos)
        return std::nullopt;
    return finalName;
}

}  // namespace

// A bare 8.3 one, "ZRV00042.TMP", is in lower case where `finalName`'s base
// and extension are: mtools keeps those case marks through a rename and
// would otherwise turn "logo.sys" into "LOGO.SYS". A long one is
// "Zrv00042.tmp", padded with '_' before the extension to the length that
// needs as many long-name slots.
std::string temporaryName(const std::string& finalName, unsigned number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%05u", number % 100000u);
    const unsigned slots = entrySlots(finalName).most;
    if (slots == 1) {
        const LowerCase lower = lowerCaseOf(finalName);
        return std::string(lower.base ? "zrv" : "ZRV") + digits +
               (lower.extension ? ".tmp" : ".TMP");
    }
    // 13 characters to a long-name slot, and one slot for the 8.3 alias.
    const std::size_t length = std::max<std::size_t>(12, 13 * (slots - 2) + 1);
    return std::string("Zrv") + digits + std::string(length - 12, '_') + ".tmp";
}

std::string recordName(unsigned number) {
    char text[16];
    std::snprintf(text, sizeof text, "ZRV%05u.ZRJ", number % 100000u);
    return text;
}

std::string recordText(std::string_view finalName) {
    std::string text(kRecordHeader);
    text += finalName;
    return text;
}

unsigned freeNumber(const std::vector<ListedEntry>& entries, const std::string& finalName,
                    const std::function<unsigned()>& next) {
    for (;;) {
        const unsigned number = next();
        const std::string temporary = temporaryName(finalName, number);
        const std::string record = recordName(number);
        bool taken = false;
        for (const auto& entry : entries)
            taken = taken || winpath::sameName(entry.name, temporary) ||
                    winpath::sameName(entry.name, record);
        if (!taken) return number;
    }
}

Recovery planRecovery(
    const std::vector<ListedEntry>& entries,
    const std::function<std::optional<std::string>(const std::string& record)>& readRecord) {
    const auto named = [&](std::string_view name) {
        for (const auto& entry : entries)
            if (winpath::sameName(entry.name, name)) return true;
        return false;
    };
    Recovery recovery;
    for (const auto& record : entries) {
        const auto number = numberOf(record.name, "zrj");
        if (!number || record.folder) continue;
        recovery.leftovers.push_back(record.name);
        const auto text = readRecord(record.name);
        const auto finalName = text ? recordedName(*text) : std::nullopt;
        if (!finalName) continue;
        // Found by its number: an earlier version named it otherwise.
        const auto temporary = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
            return !e.folder && numberOf(e.name, "tmp") == number;
        });
        // The old file is gone and the temporary one is whole, as mren
        // takes the old one away only after it is written: the replacement
        // is finished.
        if (temporary != entries.end() && !named(*finalName))
            recovery.finish.push_back({temporary->name, *finalName});
    }
    for (const auto& entry : entries) {
        if (entry.folder || !numberOf(entry.name, "tmp")) continue;
        if (std::none_of(recovery.finish.begin(), recovery.finish.end(),
                         [&](const auto& f) { return winpath::sameName(f.temporary, entry.name); }))
            recovery.leftovers.push_back(entry.name);
    }
    return recovery;
}

}  // namespace zarvo::image
