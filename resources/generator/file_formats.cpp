#include "file_formats.h"

#include <QtEndian>
#include <stdexcept>

#include "formats/screen_file.h"

namespace zarvo::resgen {
namespace {

void putU16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void putU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void putBitmapInfoHeader(QByteArray& out, int width, int height, int bitsPerPixel,
                         quint32 imageSize, quint32 coloursUsed, quint32 coloursImportant) {
    putU32(out, 40);
    putU32(out, static_cast<quint32>(width));
    putU32(out, static_cast<quint32>(height));
    putU16(out, 1);
    putU16(out, static_cast<quint16>(bitsPerPixel));
    putU32(out, 0);  // BI_RGB: Windows ignores a compressed boot screen
    putU32(out, imageSize);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, coloursUsed);
    putU32(out, coloursImportant);
}

void putPaletteEntry(QByteArray& out, QRgb colour) {
    out.append(static_cast<char>(qBlue(colour)));
    out.append(static_cast<char>(qGreen(colour)));
    out.append(static_cast<char>(qRed(colour)));
    out.append('\0');
}

int strideFor(int width, int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// Bottom-up rows packed at `bitsPerPixel`, each padded to 4 bytes.
QByteArray packRows(int width, int height, int bitsPerPixel, auto valueAt) {
    const int stride = strideFor(width, bitsPerPixel);
    QByteArray rows(stride * height, '\0');
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint8_t*>(rows.data()) + (height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const int bit = x * bitsPerPixel;
            const int shift = 8 - bitsPerPixel - bit % 8;
            row[bit / 8] |= static_cast<uint8_t>(valueAt(x, y) << shift);
        }
    }
    return rows;
}

QByteArray iconDib(const IconImage& image) {
    const int bpp = image.bitsPerPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8) throw std::invalid_argument("icon depth");
    const int colours = 1 << bpp;
    if (static_cast<int>(image.palette.size()) > colours) throw std::invalid_argument("palette");
    const int w = image.width;
    const int h = image.height;
    const QByteArray xorRows =
        packRows(w, h, bpp, [&](int x, int y) { return image.pixels[y * w + x]; });
    const QByteArray andRows =
        packRows(w, h, 1, [&](int x, int y) { return image.transparent[y * w + x] ? 1 : 0; });

    QByteArray dib;
    // An icon DIB counts the XOR and AND bitmaps together in its height.
    putBitmapInfoHeader(dib, w, h * 2, bpp, xorRows.size() + andRows.size(), 0, 0);
    for (int i = 0; i < colours; ++i)
        putPaletteEntry(dib, i < static_cast<int>(image.palette.size()) ? image.palette[i] : 0);
    dib += xorRows;
    dib += andRows;
    return dib;
}

// ICONDIR + entries + DIBs. For a cursor (type 2) the entry's planes and bit
// count fields carry the hotspot instead.
QByteArray iconContainer(const std::vector<IconImage>& images, quint16 type, QPoint hotspot) {
    QByteArray out;
    putU16(out, 0);
    putU16(out, type);
    putU16(out, static_cast<quint16>(images.size()));
    std::vector<QByteArray> dibs;
    for (const IconImage& image : images) dibs.push_back(iconDib(image));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        out.append(static_cast<char>(image.width & 0xff));
        out.append(static_cast<char>(image.height & 0xff));
        out.append(static_cast<char>(image.bitsPerPixel < 8 ? 1 << image.bitsPerPixel : 0));
        out.append('\0');
        if (type == 2) {
            putU16(out, static_cast<quint16>(hotspot.x()));
            putU16(out, static_cast<quint16>(hotspot.y()));
        } else {
            putU16(out, 1);
            putU16(out, static_cast<quint16>(image.bitsPerPixel));
        }
        putU32(out, static_cast<quint32>(dibs[i].size()));
        putU32(out, offset);
        offset += static_cast<quint32>(dibs[i].size());
    }
    for (const QByteArray& dib : dibs) out += dib;
    return out;
}

}  // namespace

QByteArray encodeScreenBmp(const QImage& picture, int bandStart) {
    if (picture.format() != QImage::Format_Indexed8 || picture.colorCount() != 256 ||
        picture.size() != QSize(screen::kWidth, screen::kHeight))
        throw std::invalid_argument("screen picture must be 320 x 400, 8-bit with 256 colours");
    std::vector<std::uint8_t> pixels;
    pixels.reserve(std::size_t(screen::kWidth) * screen::kHeight);
    for (int y = 0; y < screen::kHeight; ++y)
        pixels.insert(pixels.end(), picture.constScanLine(y),
                      picture.constScanLine(y) + screen::kWidth);
    screen::Palette palette{};
    for (int i = 0; i < 256; ++i) palette[std::size_t(i)] = picture.color(i) & 0xffffffu;
    const std::string bytes = screen::encode(pixels, palette, bandStart);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QByteArray encodeIcon(const std::vector<IconImage>& images) {
    return iconContainer(images, 1, {});
}

QByteArray encodeCursor(const IconImage& image, QPoint hotspot) {
    return iconContainer({image}, 2, hotspot);
}

QByteArray encodeGif(const QImage& picture) {
    if (picture.format() != QImage::Format_Indexed8 || picture.colorCount() > 256)
        throw std::invalid_argument("GIF picture must be 8-bit");
    QByteArray out("GIF89a");
    putU16(out, static_cast<quint16>(picture.width()));
    putU16(out, static_cast<quint16>(picture.height()));
    out.append(static_cast<char>(0xF7));  // global table of 256 entries, 8-bit source
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        const QRgb colour = i < picture.colorCount() ? picture.color(i) : 0;
        out.append(static_cast<char>(qRed(colour)));
        out.append(static_cast<char>(qGreen(colour)));
        out.append(static_cast<char>(qBlue(colour)));
    }
    out.append(',');
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, static_cast<quint16>(picture.width()));
    putU16(out, static_cast<quint16>(picture.height()));
    out.append('\0');

    // Every pixel is sent as a literal 9-bit code. Each literal after the
    // first grows the decoder's table by one entry, so a clear code is sent
    // before the table would reach 512 entries and widen the codes.
    constexpr int kClear = 256;
    constexpr int kEnd = 257;
    constexpr int kLiteralsPerClear = 250;
    QByteArray codes;
    quint32 bitBuffer = 0;
    int bitCount = 0;
    auto putCode = [&](int code) {
        bitBuffer |= static_cast<quint32>(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            codes.append(static_cast<char>(bitBuffer & 0xff));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    int sinceClear = kLiteralsPerClear;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (sinceClear == kLiteralsPerClear) {
                putCode(kClear);
                sinceClear = 0;
            }
            putCode(picture.constScanLine(y)[x]);
            ++sinceClear;
        }
    }
    putCode(kEnd);
    if (bitCount > 0) codes.append(static_cast<char>(bitBuffer & 0xff));

    out.append('\x08');
    for (qsizetype i = 0; i < codes.size(); i += 255) {
        const QByteArray block = codes.mid(i, 255);
        out.append(static_cast<char>(block.size()));
        out += block;
    }
    out.append('\0');
    out.append(';');
    return out;
}

}  // namespace zarvo::resgen
