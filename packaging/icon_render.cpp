// Renders the program icon into the hicolor theme sizes a Linux desktop asks
// for, from the same .ico the program shows in its own windows.
//
//   zarvo_icon_render <program.ico> <hicolor-root> <icon-name>
//
// writes <hicolor-root>/<N>x<N>/apps/<icon-name>.png for every size.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

constexpr int kThemeSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "zarvo_icon_render: %s\n", qPrintable(message));
    std::exit(1);
}

// Every square image in the file by its side; the program's file holds one
// image of each side, so a repeated side is ignored.
std::map<int, QImage> readIcon(const QString& path) {
    QImageReader reader(path, "ico");
    std::map<int, QImage> images;
    for (int index = 0; index < qMax(1, reader.imageCount()); ++index) {
        if (index > 0 && !reader.jumpToImage(index)) break;
        QImage image = reader.read();
        if (image.isNull()) fail(QStringLiteral("%1: %2").arg(path, reader.errorString()));
        if (image.width() != image.height()) continue;
        images.try_emplace(image.width(), image.convertToFormat(QImage::Format_ARGB32));
    }
    if (images.empty()) fail(QStringLiteral("%1 holds no square icon image").arg(path));
    return images;
}

// The artwork is 16-colour pixel art: it is only ever enlarged by a whole
// factor, pixel by pixel, so that no colour is smeared into its neighbours.
// The most detailed image that fits is taken, at the largest whole factor
// that fits; what is left becomes a transparent margin, as the hicolor theme
// allows for sizes the artwork was not made for. (The 16-pixel image blown up
// three times over would fill 48 pixels, but with a quarter of the pixels.)
QImage render(const std::map<int, QImage>& images, int size) {
    const QImage* best = nullptr;
    int bestSide = 0;
    for (const auto& [side, image] : images) {
        if (side > size) break;
        best = &image;
        bestSide = size / side * side;
    }
    if (!best) {
        // Smaller than every image: shrinking cannot keep the pixels, so
        // smooth scaling of the smallest is the honest choice.
        return images.begin()->second.scaled(size, size, Qt::KeepAspectRatio,
                                             Qt::SmoothTransformation);
    }
    QImage canvas(size, size, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    const int margin = (size - bestSide) / 2;
    painter.drawImage(
        QRect(margin, margin, bestSide, bestSide),
        best->scaled(bestSide, bestSide, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return canvas;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        fail(QStringLiteral("usage: zarvo_icon_render <program.ico> <hicolor-root> <icon-name>"));
    const std::map<int, QImage> images = readIcon(args[1]);
    const QDir root(args[2]);
    for (const int size : kThemeSizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!root.mkpath(folder))
            fail(QStringLiteral("cannot create %1").arg(root.filePath(folder)));
        const QString file =
            root.filePath(folder + QLatin1Char('/') + args[3] + QLatin1String(".png"));
        if (!render(images, size).save(file, "PNG"))
            fail(QStringLiteral("cannot write %1").arg(file));
    }
    return 0;
}
