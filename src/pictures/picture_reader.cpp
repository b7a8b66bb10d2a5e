#include "pictures/picture_reader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "formats/screen_file.h"

namespace zarvo {
namespace {

using Kind = PictureError::Kind;

// A picture decoded whole takes at most this much before the decoder is
// asked for less, even where its sizes do not divide evenly.
constexpr qint64 kWholeDecodeBudget = qint64(32) * 1024 * 1024;
constexpr qint64 kBytesPerPixel = 4;
int memoryLimitMb = 1024;

qint64 bytesFor(QSize size) {
    return qint64(size.width()) * size.height() * kBytesPerPixel;
}

bool isJpeg(const QByteArray& format) {
    return format == "jpeg" || format == "jpg";
}

// Scale from the picture's shown size to what `need` asks of it.
double scaleFor(const PictureNeed& need, QSizeF shown) {
    if (need.box.isEmpty() || shown.isEmpty()) return 1.0;
    const double across = need.box.width() / shown.width();
    const double down = need.box.height() / shown.height();
    return need.detail * (need.cover ? std::max(across, down) : std::min(across, down));
}

// The size the decoder is asked for, or an invalid size for the picture's
// own. libjpeg decodes at a half, a quarter or an eighth of the size far
// quicker than whole, and as sharply as a good filter would scale it; the
// step is taken only where it divides both sides, since otherwise Qt scales
// libjpeg's picture, a pixel larger, to the size asked for, which blurs and
// shifts it. Where no such step divides, a picture too large to decode
// whole within the budget is decoded smaller all the same.
// `smaller`: the decoder makes a smaller picture itself (PNG's makes it row
// by row); Qt would otherwise decode it whole and scale that.
QSize decodedSize(const QByteArray& format, QSize stored, double scale, bool drawing,
                  bool smaller) {
    if (!stored.isValid()) return QSize();
    if (drawing)
        return QSize(std::max(1, static_cast<int>(std::ceil(stored.width() * scale))),
                     std::max(1, static_cast<int>(std::ceil(stored.height() * scale))));
    if (scale >= 1) return QSize();
    const double most = 1 / scale;
    if (isJpeg(format)) {
        int step = 1;
        while (step < 8 && 2 * step <= most && stored.width() % (2 * step) == 0 &&
               stored.height() % (2 * step) == 0)
            step *= 2;
        if (step > 1) return stored / step;
        if (bytesFor(stored) <= kWholeDecodeBudget) return QSize();
        step = 1;
        while (step < 8 && 2 * step <= most) step *= 2;
        return step > 1 ? QSize(stored.width() / step, stored.height() / step) : QSize();
    }
    if (smaller && bytesFor(stored) > kWholeDecodeBudget) {
        // Twice the detail asked for, for the filter that scales it after.
        const double kept = std::min(1.0, 2 * scale);
        return QSize(std::max(1, static_cast<int>(std::ceil(stored.width() * kept))),
                     std::max(1, static_cast<int>(std::ceil(stored.height() * kept))));
    }
    return QSize();
}

// What Qt only logs while it decodes: a JPEG that ran out of data, which
// still decodes, grey where the data ran out, and a picture refused for the
// memory limit, which Qt words like damage. Other messages, such as a
// camera's harmless extra bytes, go on as before.
class DecodeMessages {
public:
    DecodeMessages() {
        cutShort().clear();
        overLimit() = false;
        forward() = qInstallMessageHandler(&DecodeMessages::handle);
    }
    ~DecodeMessages() { qInstallMessageHandler(forward()); }
    DecodeMessages(const DecodeMessages&) = delete;
    DecodeMessages& operator=(const DecodeMessages&) = delete;

    static QString& cutShort() {
        static QString text;
        return text;
    }
    static bool& overLimit() {
        static bool over = false;
        return over;
    }

private:
    static QtMessageHandler& forward() {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (QByteArray(context.category) == "qt.gui.imageio.jpeg" &&
            text.contains(QStringLiteral("premature end"), Qt::CaseInsensitive))
            cutShort() = text;
        else if (text.contains(QStringLiteral("allocation limit"), Qt::CaseInsensitive))
            overLimit() = true;
        else if (forward())
            forward()(type, context, text);
    }
};

// A Qt reader on the file's bytes, at image `index`, taking the orientation
// tag as asked; `turned` when that tag turns the picture a quarter.
struct OpenReader {
    OpenReader(const QByteArray& bytes, const QByteArray& format,
               PictureReader::Orientation orientation, int index)
        : data(bytes), buffer(&data), reader(&buffer) {
        buffer.open(QIODevice::ReadOnly);
        reader.setFormat(format);
        const bool tagged = orientation == PictureReader::Orientation::AsTagged;
        reader.setAutoTransform(tagged);
        if (index > 0) reader.jumpToImage(index);
        turned = tagged && (reader.transformation() & QImageIOHandler::TransformationRotate90);
    }

    QByteArray data;
    QBuffer buffer;
    QImageReader reader;
    bool turned = false;
};

PictureError tooLarge(const QString& path, QSize size) {
    return PictureError(
        Kind::TooLarge, path,
        QStringLiteral("the picture is %1 × %2 pixels, too large to read within %3 MB")
            .arg(size.width())
            .arg(size.height())
            .arg(memoryLimitMb),
        size);
}

}  // namespace

int pictureMemoryLimitMb() {
    return memoryLimitMb;
}

void setPictureMemoryLimitMb(int megabytes) {
    memoryLimitMb = megabytes;
}

PictureReader::PictureReader(const QString& path, Orientation orientation)
    : path_(path), orientation_(orientation) {
    const QFileInfo info(path);
    if (!info.exists()) throw PictureError(Kind::Input, path, QStringLiteral("no such file"));
    if (info.isDir())
        throw PictureError(Kind::Input, path, QStringLiteral("is a folder, not a picture"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PictureError(Kind::Input, path, QStringLiteral("cannot open: ") + file.errorString());
    data_ = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PictureError(Kind::Input, path, QStringLiteral("cannot read: ") + file.errorString());

    QBuffer buffer(&data_);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (reader.canRead()) format_ = reader.format();
}

PictureReader::~PictureReader() = default;

bool PictureReader::isDrawing() const {
    return format_ == "svg" || format_ == "svgz";
}

bool PictureReader::isWindowsBitmap() const {
    return data_.startsWith("BM");
}

int PictureReader::imageCount() const {
    if (!isPicture()) return 0;
    return std::max(OpenReader(data_, format_, orientation_, 0).reader.imageCount(), 1);
}

QSize PictureReader::size(int index) const {
    if (!isPicture()) return QSize();
    OpenReader open(data_, format_, orientation_, index);
    const QSize stored = open.reader.size();
    return open.turned ? stored.transposed() : stored;
}

QImage PictureReader::read(const PictureNeed& need, int index) const {
    if (!isPicture())
        throw PictureError(Kind::NotPicture, path_, QStringLiteral("not a picture Qt can read"));
    // Qt reads a bitmap cut short without a word, the missing rows black.
    if (isWindowsBitmap()) {
        const auto missing =
            screen::check(std::string_view(data_.constData(), std::size_t(data_.size())),
                          static_cast<std::uint64_t>(data_.size()))
                .missingBytes;
        if (missing > 0)
            throw PictureError(
                Kind::Input, path_,
                QStringLiteral("the bitmap is %1 bytes shorter than its header says").arg(missing));
    }

    OpenReader open(data_, format_, orientation_, index);
    QImageReader& reader = open.reader;
    const QSize stored = reader.size();
    const QSize shown = open.turned ? stored.transposed() : stored;
    const QSize decoded = decodedSize(format_, stored, scaleFor(need, QSizeF(shown)), isDrawing(),
                                      reader.supportsOption(QImageIOHandler::ScaledSize));
    if (decoded.isValid()) reader.setScaledSize(decoded);
    const QSize made = decoded.isValid() ? decoded : stored;
    if (made.isValid() && bytesFor(made) > qint64(memoryLimitMb) * 1024 * 1024)
        throw tooLarge(path_, shown);

    QImageReader::setAllocationLimit(memoryLimitMb);
    QImage image;
    {
        const DecodeMessages messages;
        image = reader.read();
    }
    if (DecodeMessages::overLimit()) throw tooLarge(path_, shown);
    if (image.isNull())
        throw PictureError(Kind::Input, path_,
                           QStringLiteral("cannot read the picture: ") + reader.errorString());
    if (!DecodeMessages::cutShort().isEmpty())
        throw PictureError(
            Kind::Input, path_,
            QStringLiteral("the picture is cut short: ") + DecodeMessages::cutShort());
    return image;
}

}  // namespace zarvo
