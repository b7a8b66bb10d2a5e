// Times `zarvo --make-screen` from a 4000 x 3000 JPEG: the whole command as a
// user runs it, with each run's peak memory, and the conversion alone in
// this process; then a phone's 50 megapixel photo made into a screen file
// and into a wallpaper, each with its time and peak memory. Prints medians.
//
//   make_screen_bench [RUNS] [--readme DIR]
//
// --readme also writes the README's before-and-after pictures into DIR: the
// photo and its screen file, both shown on a 4:3 screen.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "median.h"
#include "pictures/screen_maker.h"
#include "pictures/wallpaper_maker.h"

extern char** environ;

namespace {

// A made-up landscape at sunset with a photo's grain: smooth gradients, hard
// ridges and noise, the mix a camera picture gives a quantizer.
QImage landscape(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(width / 4000.0, height / 3000.0);
    const double horizon = 2000;

    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, QColor(18, 34, 96));
    sky.setColorAt(0.55, QColor(120, 90, 150));
    sky.setColorAt(0.85, QColor(240, 150, 90));
    sky.setColorAt(1, QColor(255, 200, 120));
    painter.fillRect(QRectF(0, 0, 4000, horizon), sky);

    const QPointF sun(2850, 1500);
    QRadialGradient glow(sun, 1100);
    glow.setColorAt(0, QColor(255, 240, 200, 220));
    glow.setColorAt(0.25, QColor(255, 190, 110, 120));
    glow.setColorAt(1, QColor(255, 150, 90, 0));
    painter.fillRect(QRectF(0, 0, 4000, horizon), glow);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 246, 220));
    painter.drawEllipse(sun, 170, 170);

    struct Ridge {
        double base, height, seed;
        QColor near, far;
    };
    const Ridge ridges[] = {{1650, 380, 1.3, QColor(110, 80, 130), QColor(150, 110, 150)},
                            {1850, 300, 2.9, QColor(60, 50, 95), QColor(95, 70, 120)},
                            {2050, 260, 4.1, QColor(25, 35, 60), QColor(45, 50, 85)}};
    for (const Ridge& ridge : ridges) {
        QPainterPath path(QPointF(0, horizon + 100));
        for (int x = 0; x <= 4000; x += 10) {
            const double t = x / 4000.0;
            const double y =
                ridge.base - ridge.height * (0.55 + 0.25 * std::sin(t * 7 + ridge.seed) +
                                             0.15 * std::sin(t * 23 + ridge.seed * 3) +
                                             0.05 * std::sin(t * 97 + ridge.seed * 5));
            path.lineTo(x, y);
        }
        path.lineTo(4000, horizon + 100);
        path.closeSubpath();
        QLinearGradient shade(0, ridge.base - ridge.height, 0, horizon);
        shade.setColorAt(0, ridge.far);
        shade.setColorAt(1, ridge.near);
        painter.fillPath(path, shade);
    }

    // The lake mirrors the sky, darker, broken by ripples.
    QLinearGradient water(0, horizon, 0, 3000);
    water.setColorAt(0, QColor(200, 130, 90));
    water.setColorAt(0.4, QColor(90, 70, 110));
    water.setColorAt(1, QColor(15, 25, 55));
    painter.fillRect(QRectF(0, horizon, 4000, 1000), water);
    painter.setBrush(QColor(255, 220, 160, 150));
    for (int i = 0; i < 60; ++i) {
        const double y = horizon + 20 + i * i * 0.25;
        const double half = 260 - i * 3.5 + 40 * std::sin(i * 1.7);
        painter.drawRect(QRectF(sun.x() - half, y, 2 * half, 4 + i * 0.12));
    }
    QPainterPath shore(QPointF(0, 3000));
    for (int x = 0; x <= 4000; x += 20)
        shore.lineTo(x, 2750 - 120 * std::exp(-std::pow((x - 900) / 700.0, 2)) +
                            25 * std::sin(x / 37.0) * std::sin(x / 11.0));
    shore.lineTo(4000, 3000);
    painter.fillPath(shore, QColor(12, 16, 22));
    painter.end();

    // Sensor grain.
    std::uint32_t seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 28) - 8;
            auto ch = [&](int v) { return std::clamp(v + grain, 0, 255); };
            row[x] = qRgb(ch(qRed(row[x])), ch(qGreen(row[x])), ch(qBlue(row[x])));
        }
    }
    return image;
}

struct Run {
    double millis;
    long peakKib;
};

Run runCommand(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

// The photo and a screen file as a 4:3 screen shows them.
void writeReadmePictures(const QString& dir, const QString& photo, const QString& folder) {
    const QSize shown(640, 480);
    QImage(photo)
        .scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(dir + "/make-screen-photo.jpg", "JPEG", 85);
    zarvo::ScreenOptions options;
    options.bandStart = 236;
    options.replace = true;
    const QString screen = folder + "/Logo.sys";
    zarvo::makeScreenFile(photo, screen, options);
    QImage(screen, "BMP")
        .scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(dir + "/make-screen-logo.png");
    std::printf("wrote %s/make-screen-photo.jpg and make-screen-logo.png\n", qPrintable(dir));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--write-photo") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return landscape(std::atoi(argv[3]), std::atoi(argv[4]))
                       .save(QString::fromLocal8Bit(argv[2]), "JPEG", 90)
                   ? 0
                   : 1;
    }
    // A wallpaper made as the Фон page makes it, in a process of its own for
    // its peak memory.
    if (argc == 4 && std::strcmp(argv[1], "--make-wallpaper") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        const auto bitmap = zarvo::windowsBitmapOf(QString::fromLocal8Bit(argv[2]),
                                                   QSize(1600, 1200), QColor(0, 128, 128));
        if (!bitmap) return 1;
        QFile out(QString::fromLocal8Bit(argv[3]));
        return out.open(QIODevice::WriteOnly) &&
                       out.write(bitmap->data(), qint64(bitmap->size())) == qint64(bitmap->size())
                   ? 0
                   : 1;
    }
    int runs = 11;
    QString readme;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--readme") == 0 && i + 1 < argc)
            readme = QString::fromLocal8Bit(argv[++i]);
        else
            runs = std::max(1, std::atoi(argv[i]));
    }

    // A child's peak memory starts from its parent's size when it is
    // started, so the photo is drawn in a process of its own and the command
    // is run from this one while it is still small.
    QTemporaryDir folder;
    const std::string photo = folder.filePath("photo.jpg").toStdString();
    const std::string output = folder.filePath("LOGO.SYS").toStdString();
    runCommand({"/proc/self/exe", "--write-photo", photo, "4000", "3000"});
    std::vector<double> commandMillis;
    std::vector<long> peaks;
    for (int i = 0; i < runs; ++i) {
        const Run run = runCommand(
            {ZARVO_EXECUTABLE, "--make-screen", "--force", "--band", "236", photo, output});
        commandMillis.push_back(run.millis);
        peaks.push_back(run.peakKib);
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    zarvo::ScreenOptions options;
    options.replace = true;
    options.bandStart = 236;
    const double conversion = zarvo::bench::medianMillis(
        runs, [] {},
        [&] {
            zarvo::makeScreenFile(QString::fromStdString(photo), QString::fromStdString(output),
                                  options);
        });

    std::printf("zarvo --make-screen --band 236, 4000 x 3000 JPEG, %d runs\n", runs);
    std::printf("  whole command      median %7.1f ms   (target <= 300 ms)\n",
                zarvo::bench::median(commandMillis));
    std::printf("  peak memory        median %7.1f MiB  max %.1f MiB\n",
                zarvo::bench::median(peaks) / 1024.0,
                *std::max_element(peaks.begin(), peaks.end()) / 1024.0);
    std::printf("  conversion alone   median %7.1f ms   (read, frame, quantize, write)\n",
                conversion);

    // A phone's 50 megapixel photo, made into a screen file and a wallpaper.
    const std::string phone = folder.filePath("phone.jpg").toStdString();
    const std::string wallpaper = folder.filePath("phone.bmp").toStdString();
    runCommand({"/proc/self/exe", "--write-photo", phone, "8160", "6120"});
    const auto report = [](const char* what, const std::vector<Run>& made) {
        std::vector<double> millis;
        std::vector<long> kib;
        for (const Run& run : made) {
            millis.push_back(run.millis);
            kib.push_back(run.peakKib);
        }
        std::printf("  %-18s median %7.1f ms   peak memory max %.1f MiB   (target <= 300 MB)\n",
                    what, zarvo::bench::median(millis),
                    *std::max_element(kib.begin(), kib.end()) / 1024.0);
    };
    std::vector<Run> screens, wallpapers;
    for (int i = 0; i < std::max(3, runs / 2); ++i) {
        screens.push_back(
            runCommand({ZARVO_EXECUTABLE, "--make-screen", "--force", phone, output}));
        wallpapers.push_back(runCommand({"/proc/self/exe", "--make-wallpaper", phone, wallpaper}));
    }
    std::printf("50 megapixel phone photo, 8160 x 6120 JPEG, %zu runs\n", screens.size());
    report("zarvo --make-screen", screens);
    report("wallpaper bitmap", wallpapers);
    if (!readme.isEmpty())
        writeReadmePictures(readme, QString::fromStdString(photo), folder.path());
    return 0;
}
