// How close `zarvo --make-screen` comes to a photo, next to ImageMagick and
// pngquant: one row per photo, in dB of blurred PSNR, and the averages.
//
//   screen_quality_bench [--png] [--keep DIR]
//   screen_quality_bench --compare REFERENCE PICTURE
//
// Needs ImageMagick (`magick` or `convert`), `pngquant`, and the photos of
// the Debian packages mate-backgrounds (GPL-2+) and
// plasma-workspace-wallpapers (LGPL-3, per photo in its metadata.json);
// `scripts/zarvo.sh bench` installs them. --keep DIR leaves every picture
// made on the way in DIR; --compare prints the blurred PSNR of any
// 320 x 400 picture against a reference.
//
// The photos, each file's size, and its 4:3 crop (WIDTHxHEIGHT+LEFT+TOP):
//
//   Aqua          mate nature/Aqua.jpg          2560x1600  2132x1599+214+0
//   Storm         mate nature/Storm.jpg         1920x1280  1704x1278+108+1
//   LadyBird      mate nature/LadyBird.jpg      2560x1600  400x300+1600+690
//   FreshFlower   mate nature/FreshFlower.jpg   1600x1203  1600x1200+0+1
//   Dune          mate nature/Dune.jpg          1680x1050  1400x1050+140+0
//   EveningGlow   plasma EveningGlow            2560x1600  2132x1599+214+0
//   Summer1am     plasma summer_1am             2560x1600  480x360+1560+920
//   ColorfulCups  plasma ColorfulCups           2560x1600  1200x900+600+350
//
// mate is /usr/share/backgrounds/mate/, plasma NAME is
// /usr/share/wallpapers/NAME/contents/images/2560x1600.jpg. In turn: a drop
// on grey water, a dark sky over a road, a ladybird close up, saturated
// orange petals, grass with sea and sky, boats under a sunset, a dusk sky
// over reeds, rows of saturated cups. The crops of LadyBird and Summer1am
// have fewer than 400 lines and are enlarged down the screen.
//
// For each, with ImageMagick 6 as Debian 12 ships it:
//
//   crop       convert PHOTO -crop GEOMETRY +repage -strip -quality 95 crop.jpg
//   reference  convert crop.jpg -filter Lanczos -resize '320x400!' -depth 16
//              -strip PNG48:reference16.png
//
// The crop is a JPEG, as most photos given to the command are, so that the
// command's own way of reading JPEGs is part of what is measured (--png
// crops keep them lossless instead). The reference is the crop as the
// 320 x 400 screen file would show it at best: a 4:3 picture squeezed into
// 320 x 400 pixels (each 5/3 as wide as tall), which is what --fill makes of
// a 4:3 picture.
//
// The reference is kept at 16 bits, and every 16-bit picture ImageMagick
// makes is rounded to 8 bits here: ImageMagick 6 (Q16) truncates when it
// writes 8 bits, which leaves its pictures half a level too dark, enough to
// move a figure by a decibel. The quantizers are given the reference rounded
// to 8 bits (reference.png).
//
// The five figures of a row, each the blurred PSNR against the reference:
//
//   Zarvo q     Zarvo's palette and dithering, given reference.png
//   IM q        convert reference.png -dither FloydSteinberg -colors 256 -depth 16 PNG48:im.png
//   pngquant    pngquant --speed 1 --output pq.png 256 reference.png
//               (its Floyd-Steinberg dithering is on by default)
//   Zarvo e2e   zarvo --make-screen --fill crop.jpg LOGO.SYS (makeScreenFile, called
//               in this process)
//   IM e2e      convert crop.jpg -resize '320x400!' -dither FloydSteinberg -colors 256
//               -depth 16 PNG48:im-e2e.png
//               (ImageMagick's default filter: Lanczos when shrinking, Mitchell when
//               the area grows)
//
// Blurred PSNR: both pictures blurred by a Gaussian of sigma 1 pixel (taps to
// 3 sigma, edges repeated), then the PSNR over the red, green and blue
// values as stored (sRGB), peak 255. A dithered picture is judged as the eye
// sees it from a little way off, where single dots merge.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "pictures/colour_quantizer.h"
#include "pictures/screen_maker.h"

namespace {

struct Photo {
    const char* name;
    const char* package;
    const char* path;
    const char* crop;
};

constexpr Photo kPhotos[] = {
    {"Aqua", "mate-backgrounds", "/usr/share/backgrounds/mate/nature/Aqua.jpg", "2132x1599+214+0"},
    {"Storm", "mate-backgrounds", "/usr/share/backgrounds/mate/nature/Storm.jpg",
     "1704x1278+108+1"},
    {"LadyBird", "mate-backgrounds", "/usr/share/backgrounds/mate/nature/LadyBird.jpg",
     "400x300+1600+690"},
    {"FreshFlower", "mate-backgrounds", "/usr/share/backgrounds/mate/nature/FreshFlower.jpg",
     "1600x1200+0+1"},
    {"Dune", "mate-backgrounds", "/usr/share/backgrounds/mate/nature/Dune.jpg", "1400x1050+140+0"},
    {"EveningGlow", "plasma-workspace-wallpapers",
     "/usr/share/wallpapers/EveningGlow/contents/images/2560x1600.jpg", "2132x1599+214+0"},
    {"Summer1am", "plasma-workspace-wallpapers",
     "/usr/share/wallpapers/summer_1am/contents/images/2560x1600.jpg", "480x360+1560+920"},
    {"ColorfulCups", "plasma-workspace-wallpapers",
     "/usr/share/wallpapers/ColorfulCups/contents/images/2560x1600.jpg", "1200x900+600+350"},
};

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "screen_quality_bench: %s\n", qPrintable(message));
    std::exit(1);
}

// Runs a command to the end; its output is returned, and a failure ends the
// bench with the command's own words.
QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        fail(QStringLiteral("%1 %2 failed:\n%3")
                 .arg(program, arguments.join(' '), QString::fromLocal8Bit(process.readAll())));
    return process.readAll();
}

// ImageMagick 7 calls itself `magick`, 6 `convert`; either must say it is
// ImageMagick, as another program may answer to `convert`.
std::optional<QString> findImageMagick() {
    for (const char* name : {"magick", "convert"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (path.isEmpty()) continue;
        QProcess process;
        process.start(path, {QStringLiteral("-version")});
        if (process.waitForFinished(30000) && process.readAll().contains("ImageMagick"))
            return path;
    }
    return std::nullopt;
}

using Pixels = std::vector<std::array<double, 3>>;

// The red, green and blue values of a 320 x 400 picture on a scale of 255,
// with the fractions a 16-bit picture has.
Pixels pixelsOf(const QImage& image) {
    if (image.size() != QSize(320, 400))
        fail(QStringLiteral("a picture is %1 x %2, not 320 x 400")
                 .arg(image.width())
                 .arg(image.height()));
    const QImage rgb = image.convertToFormat(QImage::Format_RGBX64);
    Pixels pixels;
    pixels.reserve(std::size_t(rgb.width()) * std::size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgba64*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            pixels.push_back({row[x].red() / 257.0, row[x].green() / 257.0, row[x].blue() / 257.0});
    }
    return pixels;
}

// A 16-bit picture rounded to the nearest of 8 bits, as a palette file of
// its colours would hold them.
QImage eightBits(const QImage& image) {
    const QImage wide = image.convertToFormat(QImage::Format_RGBX64);
    QImage narrow(wide.size(), QImage::Format_RGB32);
    auto round = [](quint16 v) { return static_cast<int>(std::lround(v / 257.0)); };
    for (int y = 0; y < wide.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgba64*>(wide.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(narrow.scanLine(y));
        for (int x = 0; x < wide.width(); ++x)
            to[x] = qRgb(round(from[x].red()), round(from[x].green()), round(from[x].blue()));
    }
    return narrow;
}

// A Gaussian of sigma 1, across and then down, repeating the edge pixels.
Pixels blurred(const Pixels& pixels, int width, int height) {
    constexpr int kRadius = 3;
    std::array<double, 2 * kRadius + 1> taps{};
    double sum = 0;
    for (int i = -kRadius; i <= kRadius; ++i) sum += taps[i + kRadius] = std::exp(-0.5 * i * i);
    for (double& tap : taps) tap /= sum;

    auto pass = [&](const Pixels& from, bool across) {
        Pixels to(from.size(), {0, 0, 0});
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                auto& out = to[std::size_t(y) * width + x];
                for (int i = -kRadius; i <= kRadius; ++i) {
                    const int sx = across ? std::clamp(x + i, 0, width - 1) : x;
                    const int sy = across ? y : std::clamp(y + i, 0, height - 1);
                    const auto& in = from[std::size_t(sy) * width + sx];
                    for (int c = 0; c < 3; ++c) out[c] += taps[i + kRadius] * in[c];
                }
            }
        return to;
    };
    return pass(pass(pixels, true), false);
}

// The blurred PSNR of an 8-bit picture against the blurred reference.
double blurredPsnr(const QImage& picture, const Pixels& blurredReference) {
    const Pixels a = blurred(pixelsOf(eightBits(picture)), 320, 400);
    double squares = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int c = 0; c < 3; ++c)
            squares += (a[i][c] - blurredReference[i][c]) * (a[i][c] - blurredReference[i][c]);
    const double mse = squares / double(3 * a.size());
    return 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-12));
}

// What Zarvo's quantizer makes of the reference alone: its 256 colours and
// dithering, as the command does for a picture that fills the screen.
QImage zarvoQuantized(const QImage& reference) {
    const zarvo::Quantized quantized =
        zarvo::quantizeDithered(reference.convertToFormat(QImage::Format_RGB32), 256);
    QImage out(reference.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(
                x, y,
                quantized.palette[quantized.indices[std::size_t(y) * std::size_t(out.width()) +
                                                    std::size_t(x)]]);
    return out;
}

QImage load(const QString& path, const char* format = nullptr) {
    QImage image(path, format);
    if (image.isNull()) fail(QStringLiteral("cannot read %1").arg(path));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) {
        const Pixels reference = blurred(pixelsOf(load(QString::fromLocal8Bit(argv[2]))), 320, 400);
        std::printf("%.2f\n", blurredPsnr(load(QString::fromLocal8Bit(argv[3])), reference));
        return 0;
    }
    QString keep;
    QString cropFormat = QStringLiteral("jpg");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
            keep = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--png") == 0) {
            cropFormat = QStringLiteral("png");
        } else {
            std::fprintf(stderr, "usage: screen_quality_bench [--png] [--keep DIR]\n");
            return 2;
        }
    }

    const std::optional<QString> magick = findImageMagick();
    const QString pngquant = QStandardPaths::findExecutable(QStringLiteral("pngquant"));
    QStringList missing;
    if (!magick) missing << QStringLiteral("ImageMagick (Debian package imagemagick)");
    if (pngquant.isEmpty()) missing << QStringLiteral("pngquant (Debian package pngquant)");
    for (const Photo& photo : kPhotos)
        if (!QFileInfo::exists(QString::fromLatin1(photo.path)))
            missing << QStringLiteral("%1 (Debian package %2)").arg(photo.path, photo.package);
    if (!missing.isEmpty())
        fail(QStringLiteral("missing, install with scripts/zarvo.sh bench:\n  ") +
             missing.join(QStringLiteral("\n  ")));

    QTemporaryDir temporary;
    const QString folder = keep.isEmpty() ? temporary.path() : keep;
    if (!QDir().mkpath(folder)) fail(QStringLiteral("cannot make %1").arg(folder));

    std::printf("Blurred PSNR (Gaussian sigma 1, sRGB, dB) against the Lanczos reference\n");
    std::printf("%-13s %9s %9s %9s %10s %9s\n", "photo", "Zarvo q", "IM q", "pngquant", "Zarvo e2e",
                "IM e2e");
    std::array<double, 5> sums{};
    double quantizerMargin = 0, worstQuantizer = 1e9, worstEndToEnd = 1e9;
    for (const Photo& photo : kPhotos) {
        const QString base = folder + '/' + QString::fromLatin1(photo.name);
        const QString crop = base + QStringLiteral("-crop.") + cropFormat;
        const QString reference16 = base + QStringLiteral("-reference16.png");
        const QString reference = base + QStringLiteral("-reference.png");
        const QString imQuantized = base + QStringLiteral("-im.png");
        const QString pqQuantized = base + QStringLiteral("-pngquant.png");
        const QString imEndToEnd = base + QStringLiteral("-im-e2e.png");
        const QString screen = base + QStringLiteral("-LOGO.SYS");

        run(*magick, {QString::fromLatin1(photo.path), "-crop", photo.crop, "+repage", "-strip",
                      "-quality", "95", crop});
        run(*magick, {crop, "-filter", "Lanczos", "-resize", "320x400!", "-depth", "16", "-strip",
                      "PNG48:" + reference16});
        const QImage exact = load(reference16);
        const Pixels want = blurred(pixelsOf(exact), 320, 400);
        const QImage given = eightBits(exact);
        if (!given.save(reference, "PNG")) fail(QStringLiteral("cannot write ") + reference);

        run(*magick, {reference, "-dither", "FloydSteinberg", "-colors", "256", "-depth", "16",
                      "-strip", "PNG48:" + imQuantized});
        run(pngquant, {"--force", "--speed", "1", "--output", pqQuantized, "256", reference});
        run(*magick, {crop, "-resize", "320x400!", "-dither", "FloydSteinberg", "-colors", "256",
                      "-depth", "16", "-strip", "PNG48:" + imEndToEnd});
        zarvo::ScreenOptions options;
        options.fill = true;
        options.replace = true;
        zarvo::makeScreenFile(crop, screen, options);

        const QImage zarvoQ = zarvoQuantized(given);
        if (!keep.isEmpty()) zarvoQ.save(base + QStringLiteral("-zarvo.png"));
        const std::array<double, 5> row = {
            blurredPsnr(zarvoQ, want), blurredPsnr(load(imQuantized), want),
            blurredPsnr(load(pqQuantized), want), blurredPsnr(load(screen, "BMP"), want),
            blurredPsnr(load(imEndToEnd), want)};
        std::printf("%-13s %9.2f %9.2f %9.2f %10.2f %9.2f\n", photo.name, row[0], row[1], row[2],
                    row[3], row[4]);
        std::fflush(stdout);
        for (std::size_t i = 0; i < row.size(); ++i) sums[i] += row[i];
        const double margin = row[0] - std::max(row[1], row[2]);
        quantizerMargin += margin;
        worstQuantizer = std::min(worstQuantizer, margin);
        worstEndToEnd = std::min(worstEndToEnd, row[3] - row[4]);
    }
    const double count = std::size(kPhotos);
    std::printf("%-13s %9.2f %9.2f %9.2f %10.2f %9.2f\n", "average", sums[0] / count,
                sums[1] / count, sums[2] / count, sums[3] / count, sums[4] / count);
    std::printf("Zarvo q minus the better of IM q and pngquant: average %+.2f dB, worst %+.2f dB\n",
                quantizerMargin / count, worstQuantizer);
    std::printf("Zarvo e2e minus IM e2e: average %+.2f dB, worst %+.2f dB\n",
                (sums[3] - sums[4]) / count, worstEndToEnd);
    return 0;
}
