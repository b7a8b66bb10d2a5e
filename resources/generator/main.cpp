// Makes every picture, icon, cursor and drive file the program ships, into
// the folder given first, from the Tango icon theme folder given second and
// the help texts given after them.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>
#include <cstdio>
#include <exception>
#include <map>
#include <stdexcept>

#include "drive_files.h"
#include "file_formats.h"
#include "help_file.h"
#include "icons.h"
#include "resource_names/boot_pictures.h"
#include "screens.h"

namespace {

using namespace zarvo::resgen;

class Output {
public:
    explicit Output(const QString& root) : root_(root) {}

    void write(const QString& relative, const QByteArray& bytes) const {
        const QString path = root_.filePath(relative);
        if (!QDir().mkpath(QFileInfo(path).path()))
            throw std::runtime_error("cannot create folder for " + path.toStdString());
        QFile file(path);
        // Always rewritten, even when unchanged, so the build sees it as new.
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush())
            throw std::runtime_error("cannot write " + path.toStdString());
    }

    void writeScreen(const QString& relative, const ScreenCanvas& canvas) const {
        write(relative, encodeScreenBmp(canvas.toIndexed(), canvas.bandStart()));
    }

private:
    QDir root_;
};

QByteArray jpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image))
        throw std::runtime_error("JPEG: " + writer.errorString().toStdString());
    return bytes;
}

// The Icon page's preview box, 1815 x 2055 twips, in pixels.
constexpr QSize kIconPreviewBox(121, 137);

// The JPEG as the Icon page's preview box shows it, so that the first paint
// of the page needs no JPEG decoding; the page decodes the JPEG itself only
// when the picture is asked for.
QByteArray boxView(const QByteArray& jpegBytes) {
    const QImage shown =
        QImage::fromData(jpegBytes, "jpeg")
            .convertToFormat(QImage::Format_RGB32)
            .scaled(kIconPreviewBox, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (shown.isNull() || !shown.save(&buffer, "BMP"))
        throw std::runtime_error("the Icon page's preview could not be scaled");
    return bytes;
}

// The images of a picture file as Qt's reader decodes them, ready to copy:
// "ZPX1", the count, then for each its width, height, QImage format and
// rows of 32-bit pixels, all little-endian. The window shows these as it
// opens, without looking for an image plugin.
QByteArray readyPixels(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);
    QImageReader reader(&buffer);
    QList<QImage> images;
    do {
        QImage image = reader.read();
        if (image.isNull()) break;
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
            image = image.convertToFormat(QImage::Format_ARGB32);
        images << image;
    } while (reader.jumpToNextImage());
    if (images.isEmpty())
        throw std::runtime_error("ready pixels: " + reader.errorString().toStdString());
    QByteArray bytes("ZPX1");
    auto put = [&bytes](quint32 value) {
        const quint32 little = qToLittleEndian(value);
        bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
    };
    put(quint32(images.size()));
    for (const QImage& image : images) {
        put(quint32(image.width()));
        put(quint32(image.height()));
        put(quint32(image.format()));
        // 32-bit rows have no padding: the pixels are one run.
        const qsizetype at = bytes.size();
        bytes.resize(at + image.sizeInBytes());
        qToLittleEndian<quint32>(image.constBits(), image.width() * image.height(),
                                 bytes.data() + at);
    }
    return bytes;
}

void generate(const Output& out, const QString& tangoRoot, const QStringList& helpSources) {
    const QString program = QStringLiteral("drive/Program Files/Zarvo/");

    out.writeScreen(QStringLiteral("previews/boot.bmp"), systemBootScreen());
    out.writeScreen(QStringLiteral("previews/wait.bmp"), systemWaitScreen());
    out.writeScreen(QStringLiteral("previews/shutdown.bmp"), systemSafeScreen());
    out.writeScreen(QStringLiteral("previews/wallpaper.bmp"), wallpaperPreview());
    // The animated page opens on the last picture of its list.
    out.writeScreen(QStringLiteral("previews/animated.bmp"),
                    animatedBootPicture(zarvo::kBootPictureNames.back()));

    out.writeScreen(program + QStringLiteral("Logo.sys"), programBootScreen());
    out.writeScreen(program + QStringLiteral("Logow.sys"), programWaitScreen());
    out.writeScreen(program + QStringLiteral("Logos.sys"), programSafeScreen());
    for (std::string_view name : zarvo::kBootPictureNames)
        out.writeScreen(program + QStringLiteral("Zarvo/") +
                            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                        animatedBootPicture(name));
    out.writeScreen(QStringLiteral("drive/Windows/Logow.sys"), systemWaitScreen());
    out.writeScreen(QStringLiteral("drive/Windows/Logos.sys"), systemSafeScreen());

    std::map<int, IconArt> slotIcons;
    for (int id = kFirstSlotIcon; id <= kLastSlotIcon; ++id) {
        slotIcons[id] = slotIconArt(id, tangoRoot);
        out.write(QStringLiteral("icons/%1.ico").arg(id), slotIconFile(slotIcons[id]));
    }
    const QByteArray picture = pictureIconFile(slotIcons.at(kFirstSlotIcon));
    out.write(QStringLiteral("icons/image1.ico"), picture);
    out.write(QStringLiteral("icons/zarvo.ico"), programIconFile());
    out.write(QStringLiteral("icons/restart.ico"), restartIconFile());
    out.write(QStringLiteral("icons/help.ico"), helpIconFile());
    const QByteArray desktop = jpeg(desktopPreview(slotIcons));
    out.write(QStringLiteral("previews/icons.jpg"), desktop);
    const QByteArray iconsBox = boxView(desktop);
    out.write(QStringLiteral("previews/icons-box.bmp"), iconsBox);
    out.write(QStringLiteral("about/close.gif"), closeButtonGif());
    // What the first paint of the window shows, beside the files themselves.
    out.write(QStringLiteral("icons/zarvo.ico.pixels"), readyPixels(programIconFile()));
    out.write(QStringLiteral("icons/restart.ico.pixels"), readyPixels(restartIconFile()));
    out.write(QStringLiteral("icons/help.ico.pixels"), readyPixels(helpIconFile()));
    out.write(QStringLiteral("icons/image1.ico.pixels"), readyPixels(picture));
    out.write(QStringLiteral("previews/icons-box.bmp.pixels"), readyPixels(iconsBox));

    out.write(program + QStringLiteral("32761.CUR"), handCursorFile());
    out.write(program + QStringLiteral("ZARVO.HLP"), helpFile(helpSources));
    out.write(program + QStringLiteral("ico/1.ico"), picture);
    out.write(QStringLiteral("drive/Windows/WIN.INI"), winIni());
    out.write(QStringLiteral("drive/Windows/ShellIconCache"), shellIconCache(slotIcons));
    out.write(QStringLiteral("drive/Msdos.sys"), msdosSys());
}

}  // namespace

int main(int argc, char** argv) {
    // Text is drawn with QPainter, which needs the font database of a GUI
    // application; the build runs it on the offscreen platform.
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: zarvo_resgen <output folder> <Tango icon folder> <help text>...\n");
        return 2;
    }
    QStringList helpSources;
    for (int i = 3; i < argc; ++i) helpSources.append(QString::fromLocal8Bit(argv[i]));
    try {
        generate(Output(QString::fromLocal8Bit(argv[1])), QString::fromLocal8Bit(argv[2]),
                 helpSources);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zarvo_resgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
