#include <gtest/gtest.h>

#include <QDirIterator>
#include <QImageReader>
#include <string>

#include "formats/cp1251.h"
#include "resources/resource_reading.h"

namespace {

using zarvo::testing::resourceBytes;

// Every line ends in CR LF and no CR or LF stands alone.
bool crlfOnly(const QByteArray& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return text.endsWith("\r\n");
}

// The lines of INI `section`, without the header and line ends.
QList<QByteArray> sectionLines(const QByteArray& text, const QByteArray& section) {
    QList<QByteArray> lines;
    bool inside = false;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            inside = trimmed.compare("[" + section + "]", Qt::CaseInsensitive) == 0;
        } else if (inside) {
            lines << trimmed;
        }
    }
    return lines;
}

TEST(ResourceDriveFiles, MsdosSysShowsTheBootPictureAndKeepsItsPadding) {
    const QByteArray text = resourceBytes(QStringLiteral(":/drive/Msdos.sys"));
    EXPECT_GT(text.size(), 1024);
    EXPECT_TRUE(crlfOnly(text));
    EXPECT_TRUE(sectionLines(text, "Options").contains("Logo=1"));
    EXPECT_FALSE(sectionLines(text, "Paths").contains("Logo=1"));
    EXPECT_TRUE(sectionLines(text, "Paths").contains("WinDir=C:\\WINDOWS"));
}

TEST(ResourceDriveFiles, WinIniIsACodePage1251FileWithoutWallpaper) {
    const QByteArray text = resourceBytes(QStringLiteral(":/drive/Windows/WIN.INI"));
    EXPECT_TRUE(crlfOnly(text));
    const QList<QByteArray> desktop = sectionLines(text, "Desktop");
    EXPECT_TRUE(desktop.contains("Wallpaper=(None)"));
    EXPECT_TRUE(desktop.contains("TileWallpaper=0"));
    EXPECT_TRUE(desktop.contains("WallpaperStyle=0"));
    EXPECT_FALSE(sectionLines(text, "windows").isEmpty());
    EXPECT_FALSE(sectionLines(text, "fonts").isEmpty());
    const std::string utf8 = zarvo::cp1251::toUtf8(std::string_view(text.constData(), text.size()));
    EXPECT_NE(utf8.find("sCountry=Россия\r\n"), std::string::npos);
}

TEST(ResourceDriveFiles, FreshDriveHasNoBootPictureOfItsOwn) {
    QStringList found;
    QDirIterator it(QStringLiteral(":/drive"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    // A fresh Windows 98 boots its built-in picture: there is no C:\Logo.sys.
    EXPECT_FALSE(found.contains(QStringLiteral(":/drive/Logo.sys")));
    EXPECT_TRUE(found.contains(QStringLiteral(":/drive/Windows/Logow.sys")));
    EXPECT_TRUE(found.contains(QStringLiteral(":/drive/Windows/Logos.sys")));

    const QByteArray cache = resourceBytes(QStringLiteral(":/drive/Windows/ShellIconCache"));
    EXPECT_GT(cache.size(), 1024);
    EXPECT_LT(cache.size(), 64 * 1024);
    QImageReader icon(QStringLiteral(":/drive/Program Files/Zarvo/ico/1.ico"));
    EXPECT_FALSE(icon.read().isNull());
}

}  // namespace
