#include "app/target_menu.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QShortcut>
#include <QWidget>
#include <algorithm>

#include "ui/qt_ui_services.h"
#include "ui/ui_services.h"

namespace zarvo {
namespace {

const QString kRecentKey = QStringLiteral("Drives/recent");
constexpr int kRecentCount = 8;

QString fromLocal(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string toLocal(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// "image:N:PATH" or "drive:PATH", N the partition (0 for the first FAT one).
QString encode(const TargetOptions& target) {
    if (!target.image.empty())
        return QStringLiteral("image:%1:%2").arg(target.partition).arg(fromLocal(target.image));
    return QStringLiteral("drive:") + fromLocal(target.drive);
}
std::optional<TargetOptions> decode(const QString& entry) {
    TargetOptions target;
    if (entry.startsWith(QStringLiteral("image:"))) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'), 6);
        if (colon < 0) return std::nullopt;
        target.partition = entry.mid(6, colon - 6).toInt();
        target.image = toLocal(entry.mid(colon + 1));
    } else if (entry.startsWith(QStringLiteral("drive:"))) {
        target.drive = toLocal(entry.mid(6));
    }
    if (target.image.empty() && target.drive.empty()) return std::nullopt;
    return target;
}

QString label(const TargetOptions& target) {
    if (target.image.empty()) return fromLocal(target.drive);
    QString text = fromLocal(target.image);
    if (target.partition > 0) text += QStringLiteral(", раздел %1").arg(target.partition);
    return text;
}

bool sameDrive(const TargetOptions& a, const TargetOptions& b) {
    return a.image == b.image && a.partition == b.partition && a.drive == b.drive;
}

QStringList storedEntries() {
    return QSettings(QSettings::UserScope, kSettingsName, kSettingsName)
        .value(kRecentKey)
        .toStringList();
}

// Where the dialogs start: beside the drive opened last, else at home.
QString startFolder() {
    const std::vector<TargetOptions> recent = recentDrives();
    if (recent.empty()) return QDir::homePath();
    const TargetOptions& last = recent.front();
    const QFileInfo info(fromLocal(last.image.empty() ? last.drive : last.image));
    return info.absolutePath();
}

}  // namespace

std::optional<std::string> askForDrive(DriveAsk ask, QWidget* parent) {
    QString chosen;
    if (ask == DriveAsk::Image)
        chosen = QFileDialog::getOpenFileName(
            parent, QStringLiteral("Открыть образ диска"), startFolder(),
            QStringLiteral("Образы дисков (*.img *.ima *.raw *.bin *.hdd *.hdi *.vhd *.vhdx "
                           "*.qcow2 *.qcow *.vdi *.vmdk);;Все файлы (*)"));
    else if (ask == DriveAsk::Folder)
        chosen = QFileDialog::getExistingDirectory(
            parent, QStringLiteral("Открыть папку с Windows"), startFolder());
    if (chosen.isEmpty()) return std::nullopt;
    return toLocal(chosen);
}

std::vector<TargetOptions> recentDrives() {
    std::vector<TargetOptions> drives;
    for (const QString& entry : storedEntries()) {
        const std::optional<TargetOptions> target = decode(entry);
        if (!target) continue;
        const QString path = fromLocal(target->image.empty() ? target->drive : target->image);
        if (QFileInfo::exists(path)) drives.push_back(*target);
    }
    return drives;
}

void rememberDrive(const TargetOptions& target) {
    if (target.image.empty() && target.drive.empty()) return;
    QStringList entries = {encode(target)};
    for (const TargetOptions& earlier : recentDrives())
        if (!sameDrive(earlier, target) && entries.size() < kRecentCount)
            entries << encode(earlier);
    QSettings(QSettings::UserScope, kSettingsName, kSettingsName).setValue(kRecentKey, entries);
}

QStringList argumentsFor(const TargetOptions& target) {
    if (!target.image.empty()) {
        QStringList arguments = {QStringLiteral("--image"), fromLocal(target.image)};
        if (target.partition > 0)
            arguments << QStringLiteral("--partition") << QString::number(target.partition);
        return arguments;
    }
    if (!target.drive.empty()) return {QStringLiteral("--drive"), fromLocal(target.drive)};
    return {};
}

QString driveDescription(const DriveSetting& drive, const Target& target) {
    QString what;
    if (!drive.image.empty()) {
        what = drive.image.rfind("/dev/", 0) == 0 ? QStringLiteral("раздел ")
                                                  : QStringLiteral("образ диска ");
        what += fromLocal(drive.image);
        if (drive.partition > 0) what += QStringLiteral(", раздел %1").arg(drive.partition);
    } else if (target.intoDrive) {
        what = QStringLiteral("папка с Windows ") + fromLocal(target.name);
    } else if (target.wine) {
        what = QStringLiteral("Wine, ") + fromLocal(target.name);
    } else {
        what = QStringLiteral("эмулируемый, ") + fromLocal(target.name);
    }
    return QStringLiteral("Диск C: %1\nДругой диск: правая кнопка мыши или Ctrl+O").arg(what);
}

TargetMenu::TargetMenu(QWidget& window, IUiServices& ui, const TargetOptions& current,
                       const QString& description, Reopen reopen, Asker ask)
    : QObject(&window),
      window_(window),
      ui_(ui),
      current_(current),
      reopen_(std::move(reopen)),
      ask_(std::move(ask)) {
    setObjectName(QStringLiteral("TargetMenu"));
    window.setToolTip(description);
    // Also while another window has the focus: the drive is worth knowing then.
    window.setAttribute(Qt::WA_AlwaysShowToolTips);
    window.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&window, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& where) { showMenu(where); });
    auto* shortcut = new QShortcut(QKeySequence::Open, &window);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { showMenu(window_.rect().center()); });
}

std::vector<TargetMenu::Entry> TargetMenu::build() {
    std::vector<Entry> entries;
    entries.push_back(
        {QStringLiteral("Открыть образ диска…"), [this] { askAndReopen(DriveAsk::Image); }});
    entries.push_back(
        {QStringLiteral("Открыть папку с Windows…"), [this] { askAndReopen(DriveAsk::Folder); }});
    for (const TargetOptions& drive : recentDrives())
        entries.push_back({label(drive), [this, drive] { reopen_(argumentsFor(drive)); },
                           sameDrive(drive, current_)});
    const bool onDefault = current_.image.empty() && current_.drive.empty();
    entries.push_back({QStringLiteral("Эмулируемый диск"), [this] { reopen_({}); }, onDefault});
    return entries;
}

QStringList TargetMenu::entries() {
    QStringList texts;
    for (const Entry& entry : build()) texts << entry.text;
    return texts;
}

void TargetMenu::choose(const QString& text) {
    for (const Entry& entry : build())
        if (entry.text == text && !entry.current) entry.run();
}

void TargetMenu::showMenu(const QPoint& where) {
    QMenu menu(&window_);
    const std::vector<Entry> entries = build();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // The asks, then the drives: the one open now is ticked.
        if (i == 2) menu.addSeparator();
        QAction* action = menu.addAction(QString(entries[i].text).replace('&', "&&"));
        action->setData(int(i));
        action->setCheckable(entries[i].current);
        action->setChecked(entries[i].current);
    }
    const QAction* chosen = menu.exec(window_.mapToGlobal(where));
    if (!chosen) return;
    const Entry& entry = entries[std::size_t(chosen->data().toInt())];
    if (!entry.current) entry.run();
}

void TargetMenu::askAndReopen(DriveAsk ask) {
    const std::optional<std::string> path = ask_(ask, &window_);
    if (!path) return;
    TargetOptions chosen;
    chosen.file = *path;
    // Told here, with the window still open, rather than after it closed.
    if (const std::optional<std::string> refusal = placeFile(chosen)) {
        ui_.messageBox(QString::fromStdString(*refusal), mb::Critical, window_.windowTitle());
        return;
    }
    reopen_(argumentsFor(chosen));
}

}  // namespace zarvo
