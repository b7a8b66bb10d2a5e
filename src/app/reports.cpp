#include "app/reports.h"

#include <QFile>
#include <QTextStream>
#include <cerrno>
#include <cstring>

#include "changes/kept_originals.h"
#include "formats/ico_judge.h"
#include "formats/regedit4.h"
#include "formats/screen_file.h"
#include "system/error.h"
#include "system/image/block_export.h"
#include "system/image/image_error.h"
#include "system/linux/wine_prefix.h"
#include "system/registry_store.h"

namespace zarvo {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString decodedPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The item as a user finds it: a file, a registry value, an INI line.
QString label(const KeptItem& item) {
    switch (item.kind) {
        case KeptItem::Kind::File:
            break;
        case KeptItem::Kind::Value:
            return text(regedit4::keyName(item.root, item.key).value_or("HKEY_?\\" + item.key)) +
                   QStringLiteral(", value ") +
                   (item.name.empty() ? QStringLiteral("(default)") : '"' + text(item.name) + '"');
        case KeptItem::Kind::IniLine:
            return text(item.path) + QStringLiteral(", [") + text(item.key) + QStringLiteral("] ") +
                   text(item.name);
    }
    return text(item.path);
}

// "a qcow2 disk", "a dynamic VHD disk": none of the formats' names starts
// with a vowel's sound.
QString formatText(const ImageError& error) {
    return QStringLiteral("a ") + text(error.format()) + QStringLiteral(" disk");
}

// The last way out for a disk QEMU's block layer cannot serve here: a raw
// copy beside it, which the emulator must then be pointed at.
QString convertHint(const ImageError& error) {
    const QString file = decodedPath(error.file());
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    const int slash = file.lastIndexOf(QLatin1Char('/'));
    const QString stem = dot > slash + 1 ? file.left(dot) : file;
    return QStringLiteral(
               "as a last way out convert it to a raw disk: qemu-img convert -O raw "
               "'%1' '%2-raw.img'")
        .arg(file, stem);
}

QString because(const Error& error) {
    return QString::number(error.number()) + ' ' + text(error.description());
}

QString sizeText(int width, int height) {
    return QStringLiteral("%1 \u00d7 %2").arg(width).arg(height);
}

QString iconProblemText(const ico::Problem& problem) {
    using Kind = ico::Problem::Kind;
    const QString image = QStringLiteral("%1 image, %2 bits per pixel")
                              .arg(sizeText(problem.width, problem.height))
                              .arg(problem.bitCount);
    // The mask's reasons, with the pixels they concern.
    auto counted = [&](const char* reason) {
        return image + QString::fromLatin1(reason).arg(problem.pixels);
    };
    switch (problem.kind) {
        case Kind::PngImage:
            return QStringLiteral("PNG-compressed %1 image: Windows 98 cannot read it")
                .arg(sizeText(problem.width, problem.height));
        case Kind::DamagedImage:
            return QStringLiteral("damaged or unknown %1 image: Windows 98 cannot read it")
                .arg(sizeText(problem.width, problem.height));
        case Kind::AlphaOverEmptyMask:
            return image +
                   QStringLiteral(" with alpha over an empty mask: Windows 98 shows it on black");
        case Kind::TransparentOutsideMask:
            return counted(
                " with %1 transparent pixels outside the mask: Windows 98 draws them in "
                "their colour");
        case Kind::SoftEdgesOutsideMask:
            return counted(
                " with %1 mostly transparent pixels outside the mask: Windows 98 draws "
                "its soft edges at full strength");
        case Kind::ColourUnderMask:
            return counted(
                " with %1 pixels under the mask that are not black: Windows 98 XORs "
                "their colours into what lies behind");
        case Kind::NoSmallImage:
            break;
    }
    const int largest = ico::kLargestShown;
    return QStringLiteral("no image of %1 or smaller").arg(sizeText(largest, largest));
}

}  // namespace

QString iconCheckText(const ico::Judgement& judgement) {
    const QString kind = judgement.type == ico::Type::Cursor ? QStringLiteral("a cursor")
                                                             : QStringLiteral("an icon");
    if (judgement.fine()) {
        QStringList sizes;
        for (const ico::Size& size : judgement.shown) sizes << sizeText(size.width, size.height);
        const QString last = sizes.takeLast();
        const QString all = sizes.isEmpty()
                                ? last
                                : sizes.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
        const QString line = QStringLiteral("fine, %1 Windows 98 shows at %2").arg(kind, all);
        if (!judgement.hardEdges) return line;
        return line + QStringLiteral(
                          ", with hard edges: it draws the partly transparent pixels outside "
                          "the mask at full strength");
    }
    QStringList reasons;
    for (const ico::Problem& problem : judgement.problems) reasons << iconProblemText(problem);
    const QString verdict = judgement.shownBadly() ? QStringLiteral("will show badly as %1: %2")
                                                   : QStringLiteral("will not show as %1: %2");
    return verdict.arg(kind, reasons.join(QStringLiteral("; ")));
}

QString screenCheckText(const screen::Check& check) {
    QStringList said;
    for (const std::string& problem : check.problems) said << text(problem);
    if (check.bandStart >= 0) said << text(screen::describeBand(check.bandStart));
    return (check.fine() ? QStringLiteral("fine, ") : QStringLiteral("will not show at boot: ")) +
           said.join(QStringLiteral("; "));
}

QString inUseLine(const DriveInUse& inUse) {
    QString line = text(inUse.drive());
    if (inUse.program().empty())
        line += QStringLiteral(": the image is in use by another program (an emulator?)");
    else
        line +=
            QStringLiteral(": %1 (pid %2) has it open").arg(text(inUse.program())).arg(inUse.pid());
    return line + QStringLiteral("; close it and try again");
}

QString imageRefusalLine(const ImageError& error) {
    using Reason = ImageError::Reason;
    const QString number = QString::number(error.number());
    const QString detail = text(error.detail());
    QString why;
    switch (error.reason()) {
        case Reason::CannotOpen:
            why = QString::fromLocal8Bit(std::strerror(error.number()));
            break;
        case Reason::NotAFileOrDevice:
            why = QStringLiteral("not a file or a block device");
            break;
        case Reason::TooSmall:
            why = QStringLiteral("not a disk image (too small)");
            break;
        case Reason::UnknownVhd:
            why = QStringLiteral("a VHD of unknown type ") + number;
            break;
        case Reason::DifferencingVhd:
            why = QStringLiteral(
                "a differencing VHD: QEMU's block layer reads it without its parent disk, and "
                "a change written so would hide the parent's data; merge it into a whole disk "
                "first (VBoxManage clonemedium, or Merge-VHD in Windows) and use that");
            break;
        case Reason::ReadOnlyFormat:
            why = QStringLiteral("a %1, which QEMU's block layer only reads; %2")
                      .arg(detail, convertHint(error));
            break;
        case Reason::Packed:
            why = QStringLiteral("a %1-packed file, not a disk image; unpack it first").arg(detail);
            break;
        case Reason::CdImage:
            why = QStringLiteral("a CD image (ISO 9660), not a hard disk");
            break;
        case Reason::ExportToolMissing:
            why = QStringLiteral(
                      "%1, which Zarvo opens through QEMU's block layer over FUSE; "
                      "%2 is not installed: install the package \"%3\", or %4")
                      .arg(formatText(error), detail,
                           text(std::string(image::packageOf(error.detail()))), convertHint(error));
            break;
        case Reason::FuseUnavailable:
            why =
                QStringLiteral(
                    "%1, which Zarvo opens through QEMU's block layer over FUSE; "
                    "%2 %3 (%4): %5, or %6")
                    .arg(formatText(error), detail,
                         error.number() == ENOENT ? QStringLiteral("is missing")
                                                  : QStringLiteral("cannot be opened by this user"),
                         QString::fromLocal8Bit(std::strerror(error.number())),
                         error.number() == ENOENT
                             ? QStringLiteral("load the fuse module (sudo modprobe fuse), in a "
                                              "container pass the device in")
                             : QStringLiteral("this user needs read and write access to it"),
                         convertHint(error));
            break;
        case Reason::ExportFailed:
            why = QStringLiteral("%1 that QEMU's block layer could not serve: %2")
                      .arg(formatText(error), detail);
            break;
        case Reason::BareVolumePartition:
            why = QStringLiteral("a bare FAT volume with no partition table");
            break;
        case Reason::NoPartitionTable:
            why = QStringLiteral("not a disk image (no partition table, no FAT boot sector)");
            break;
        case Reason::NoPartitions:
            why = QStringLiteral("a partition table with no partitions");
            break;
        case Reason::NoSuchPartition:
            why = QStringLiteral("no partition %1 (partitions: %2)").arg(number, detail);
            break;
        case Reason::NoFatPartition:
            why = QStringLiteral("no FAT partition (partition types: %1)").arg(detail);
            break;
        case Reason::PartitionNotFat:
            why =
                QStringLiteral("partition %1 has type %2, not FAT16 or FAT32").arg(number, detail);
            break;
        case Reason::PartitionPastEnd:
            why = QStringLiteral("partition %1 lies past the end of the disk").arg(number);
            break;
        case Reason::VolumePastEnd: {
            const QStringList bytes = detail.split(' ');
            why = QStringLiteral(
                      "%1 file system ends at byte %2, past the end of the disk (%3 "
                      "bytes)")
                      .arg(error.number() == 0 ? QStringLiteral("the")
                                               : QStringLiteral("partition %1's").arg(number),
                           bytes.value(0), bytes.value(1));
            break;
        }
        case Reason::PartitionNotFormatted:
            why =
                QStringLiteral("partition %1 (type %2) holds no FAT file system; is it formatted?")
                    .arg(number, detail);
            break;
        case Reason::NotWritable:
            why = (error.number() == EROFS ? QStringLiteral("on a read-only file system")
                                           : QStringLiteral("cannot be written by this user")) +
                  QStringLiteral("; Zarvo changes the image in place");
            break;
        case Reason::MtoolsMissing:
            return QStringLiteral(
                       "mtools is not installed (%1 was not found): install the package \"mtools\"")
                .arg(detail);
        case Reason::NoWorkFolder:
            return QStringLiteral("cannot make a working folder in ") + detail;
    }
    return decodedPath(error.file()) + QStringLiteral(": ") + why;
}

RestoreLines restoreLines(const RestoreReport& report, const QString& drive, bool valuesInFile) {
    using Outcome = RestoreReport::Entry::Outcome;
    RestoreLines lines;
    bool valueChanged = false;
    const QString registryFile =
        QString::fromUtf8(kDriveRegistryFile.data(), qsizetype(kDriveRegistryFile.size()));
    if (report.unreadable) {
        lines.failed << text(report.manifest) + QStringLiteral(": not read: ") +
                            because(*report.unreadable);
        return lines;
    }
    for (const auto& entry : report.entries) {
        const bool inFile = valuesInFile && entry.item.kind == KeptItem::Kind::Value;
        if (inFile && (entry.outcome == Outcome::PutBack || entry.outcome == Outcome::Removed))
            valueChanged = true;
        switch (entry.outcome) {
            case Outcome::PutBack:
                lines.done << (inFile ? QStringLiteral("set back in %1: ").arg(registryFile)
                                      : QStringLiteral("restored ")) +
                                  label(entry.item);
                break;
            case Outcome::Removed:
                lines.done << (inFile ? QStringLiteral("taken out of %1: ").arg(registryFile)
                                      : QStringLiteral("removed ")) +
                                  label(entry.item) +
                                  QStringLiteral(", which was not there before Zarvo");
                break;
            case Outcome::Failed:
                lines.failed << label(entry.item) + QStringLiteral(": not restored: ") +
                                    because(*entry.error);
                break;
            case Outcome::Damaged:
                lines.failed << text(report.manifest) +
                                    QStringLiteral(
                                        ", [Item%1]: not restored: the record is damaged")
                                        .arg(entry.number);
                break;
            case Outcome::InPlace:
                break;
        }
    }
    if (valueChanged)
        lines.done << QStringLiteral(
                          "only %1 changed: if it was already opened in Windows, open %2 there "
                          "too (double-click it), then restart")
                          .arg(registryFile, QString::fromStdString(undoFilePath()));
    if (lines.done.isEmpty() && lines.failed.isEmpty()) {
        if (report.kept == 0)
            lines.done << QStringLiteral(
                              "nothing to restore: Zarvo has kept no originals on drive C: (%1)")
                              .arg(drive);
        else
            lines.done << QStringLiteral("nothing to restore: the %1 kept original%2 in place")
                              .arg(report.kept)
                              .arg(report.kept == 1 ? QStringLiteral(" is")
                                                    : QStringLiteral("s are"));
    }
    return lines;
}

bool reportWineImport(const WineImport& import, QTextStream& err) {
    const QString store = decodedPath(import.store);
    const QString prefix = decodedPath(import.prefix);
    switch (import.outcome) {
        case WineImport::Outcome::NothingChanged:
        case WineImport::Outcome::Imported:
            return true;
        case WineImport::Outcome::NoWine:
            err << "zarvo: Wine is not installed; the values are kept in " << store
                << ", for the prefix's registry run: WINEPREFIX=" << prefix << " wine regedit "
                << store << '\n';
            break;
        case WineImport::Outcome::NoImportFile:
            err << "zarvo: cannot write the import file for the Wine prefix " << prefix << '\n';
            break;
        case WineImport::Outcome::Failed:
            err << "zarvo: wine reg import failed (" << import.status
                << "); the values are kept in " << store << '\n';
            break;
    }
    return false;
}

}  // namespace zarvo
