#include "app/target_menu.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QShortcut>
#include <QWidget>
#include <memory>

#include "ui/qt_ui_services.h"
#include "ui/ui_services.h"

namespace zarvo {
namespace {

const QString kRecentKey = QStringLiteral("RecentDrives");
constexpr std::size_t kRecentCount = 8;

QString fromLocal(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string toLocal(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// "…, раздел N" after an image's path when a partition was asked for.
QString driveLabel(const std::string& path, int partition) {
    QString text = fromLocal(path);
    if (partition > 0) text += QStringLiteral(", раздел %1").arg(partition);
    return text;
}

QString label(const TargetOptions& target) {
    if (target.image.empty()) return fromLocal(target.drive);
    return driveLabel(target.image, target.partition);
}

// The image or the folder a remembered drive is.
const std::string& pathOf(const TargetOptions& target) {
    return target.image.empty() ? target.drive : target.image;
}

bool sameDrive(const TargetOptions& a, const TargetOptions& b) {
    return a.image == b.image && a.partition == b.partition && a.drive == b.drive;
}

// Where the dialogs start: beside the drive opened last, else at home.
QString startFolder() {
    const std::vector<TargetOptions> recent = recentDrives();
    if (recent.empty()) return QDir::homePath();
    return QFileInfo(fromLocal(pathOf(recent.front()))).absolutePath();
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
    const std::unique_ptr<QSettings> settings = userSettings();
    std::vector<TargetOptions> drives;
    const int count = settings->beginReadArray(kRecentKey);
    for (int i = 0; i < count; ++i) {
        settings->setArrayIndex(i);
        TargetOptions target;
        target.image = toLocal(settings->value(QStringLiteral("image")).toString());
        target.partition = settings->value(QStringLiteral("partition")).toInt();
        target.drive = toLocal(settings->value(QStringLiteral("drive")).toString());
        if (!pathOf(target).empty() && QFileInfo::exists(fromLocal(pathOf(target))))
            drives.push_back(target);
    }
    settings->endArray();
    return drives;
}

void rememberDrive(const TargetOptions& target) {
    if (target.image.empty() && target.drive.empty()) return;
    std::vector<TargetOptions> drives = {target};
    for (const TargetOptions& earlier : recentDrives())
        if (!sameDrive(earlier, target) && drives.size() < kRecentCount) drives.push_back(earlier);
    const std::unique_ptr<QSettings> settings = userSettings();
    settings->beginWriteArray(kRecentKey, int(drives.size()));
    for (std::size_t i = 0; i < drives.size(); ++i) {
        settings->setArrayIndex(int(i));
        settings->setValue(QStringLiteral("image"), fromLocal(drives[i].image));
        settings->setValue(QStringLiteral("partition"), drives[i].partition);
        settings->setValue(QStringLiteral("drive"), fromLocal(drives[i].drive));
    }
    settings->endArray();
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
        what += driveLabel(drive.image, drive.partition);
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
                       const QString& description, Reopen reopen, DriveAsker ask)
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
        if (entry.text == text) activate(entry);
}

void TargetMenu::activate(const Entry& entry) {
    // The drive open now is already there.
    if (!entry.current) entry.run();
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
    activate(entries[std::size_t(chosen->data().toInt())]);
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
