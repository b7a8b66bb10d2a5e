#include "app/target.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextStream>
#include <filesystem>
#include <utility>

#include "formats/regedit4.h"
#include "system/error.h"
#include "system/linux/linux_system.h"
#include "system/windows_path.h"

namespace zarvo {

namespace {

namespace fs = std::filesystem;

// The entry of `folder` named `name` ignoring case; empty when none is.
fs::path entryNamed(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (winpath::sameName(it->path().filename().string(), name)) return it->path();
    return {};
}

bool isFile(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

const char* const kDesktopKey = "Control Panel\\Desktop";

std::string rootName(std::uint32_t root) {
    const std::uint32_t index = root - hkey::ClassesRoot;
    return index < regedit4::kRootNames.size() ? std::string(regedit4::kRootNames[index])
                                               : std::string();
}

QString quoted(const std::string& utf8) {
    QString text = QStringLiteral("\"");
    for (const QChar c : QString::fromStdString(utf8)) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"')) text += QLatin1Char('\\');
        text += c;
    }
    return text + QLatin1Char('"');
}

int runWine(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    QProcess wine;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const std::string& setting : environment) {
        const std::size_t equals = setting.find('=');
        env.insert(QString::fromStdString(setting.substr(0, equals)),
                   QString::fromStdString(setting.substr(equals + 1)));
    }
    wine.setProcessEnvironment(env);
    wine.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wine.setStandardOutputFile(QProcess::nullDevice());
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i) arguments << QString::fromStdString(argv[i]);
    wine.start(QString::fromStdString(argv.at(0)), arguments);
    // A prefix made by an older Wine is updated first, which takes a while.
    if (!wine.waitForFinished(300000)) return -1;
    return wine.exitStatus() == QProcess::NormalExit ? wine.exitCode() : -1;
}

}  // namespace

bool isRealWindowsTree(const std::string& driveRoot) {
    const fs::path windows = entryNamed(driveRoot, "Windows");
    if (windows.empty()) return false;
    for (const char* name : {"WIN.COM", "SYSTEM.DAT", "USER.DAT"})
        if (!isFile(entryNamed(windows, name))) return false;
    return true;
}

std::string winePrefixOf(const std::string& driveRoot) {
    fs::path root = fs::path(driveRoot).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    if (root.filename() != "drive_c") return {};
    const fs::path prefix = root.parent_path();
    if (!isFile(prefix / "system.reg") || !isFile(prefix / "user.reg")) return {};
    return prefix.string();
}

std::string registryStoreFor(const std::string& driveRoot) {
    if (!isRealWindowsTree(driveRoot)) return LinuxSystem::defaultRegistryStore(driveRoot);
    const fs::path existing = entryNamed(driveRoot, "ZARVO.REG");
    return (existing.empty() ? fs::path(driveRoot) / "ZARVO.REG" : existing).string();
}

class WinePrefix::Writer : public ForwardingRegistryWriter {
public:
    Writer(WinePrefix& owner, std::unique_ptr<IRegistryWriter> inner)
        : ForwardingRegistryWriter(std::move(inner)), owner_(owner) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        inner_->storeString(rootKey, keyPath, valueName, valueData);
        note(rootKey, keyPath, valueName);
    }
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        inner_->deleteValue(rootKey, keyPath, valueName);
        note(rootKey, keyPath, valueName);
    }

private:
    void note(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName) {
        owner_.changed_.emplace(rootKey, regedit4::canonicalKeyPath(keyPath),
                                std::string(valueName));
    }

    WinePrefix& owner_;
};

WinePrefix::WinePrefix(ISystem& system, std::string prefix, std::string storePath)
    : ForwardingSystem(system), prefix_(std::move(prefix)), storePath_(std::move(storePath)) {}

WinePrefix::~WinePrefix() = default;

std::string WinePrefix::importText() {
    if (changed_.empty()) return {};
    const std::unique_ptr<IRegistryWriter> registry = system_.createRegistryWriter();
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n");
    std::string lastKey;
    for (const auto& [root, key, name] : changed_) {
        const std::string fullKey = rootName(root) + "\\" + key;
        if (fullKey != lastKey) {
            text +=
                QStringLiteral("\r\n[") + QString::fromStdString(fullKey) + QStringLiteral("]\r\n");
            lastKey = fullKey;
        }
        text += name.empty() ? QStringLiteral("@") : quoted(name);
        const std::optional<std::string> data = registry->readString(root, key, name);
        text += data ? QLatin1Char('=') + quoted(*data) : QStringLiteral("=-");
        text += QStringLiteral("\r\n");
    }
    text += QStringLiteral("\r\n");
    // UTF-16 with its byte-order mark: every value comes across, whatever
    // code page the prefix runs in.
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text.toStdU16String()) {
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    return bytes;
}

bool WinePrefix::importChanges(QTextStream& err) {
    const std::string text = importText();
    if (text.empty()) return true;
    const QString store = QFile::decodeName(QByteArray::fromStdString(storePath_));
    const QString prefix = QFile::decodeName(QByteArray::fromStdString(prefix_));
    QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (wine.isEmpty() && !runner) {
        err << "zarvo: Wine is not installed; the values are kept in " << store
            << ", for the prefix's registry run: WINEPREFIX=" << prefix << " wine regedit " << store
            << '\n';
        return false;
    }
    QTemporaryFile file(QDir(prefix).filePath(QStringLiteral("zarvo-import-XXXXXX.reg")));
    if (!file.open() || file.write(text.data(), qint64(text.size())) != qint64(text.size()) ||
        !file.flush()) {
        err << "zarvo: cannot write the import file for the Wine prefix " << prefix << '\n';
        return false;
    }
    const std::vector<std::string> argv = {wine.toStdString(), "reg", "import",
                                           QFile::encodeName(file.fileName()).toStdString()};
    std::string prefixSetting = "WINEPREFIX=";
    prefixSetting += prefix_;
    const std::vector<std::string> environment = {prefixSetting, "WINEDEBUG=-all",
                                                  "WINEDLLOVERRIDES=mscoree,mshtml="};
    const int status = runner ? runner(argv, environment) : runWine(argv, environment);
    if (status != 0) {
        err << "zarvo: wine reg import failed (" << status << "); the values are kept in " << store
            << '\n';
        return false;
    }
    changed_.clear();
    return true;
}

std::unique_ptr<IRegistryWriter> WinePrefix::createRegistryWriter() {
    return std::make_unique<Writer>(*this, system_.createRegistryWriter());
}

bool WinePrefix::setDesktopWallpaper(const std::string& path) {
    const bool set = system_.setDesktopWallpaper(path);
    if (set) changed_.emplace(hkey::CurrentUser, kDesktopKey, "Wallpaper");
    return set;
}

}  // namespace zarvo
