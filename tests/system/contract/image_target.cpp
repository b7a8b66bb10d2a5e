#include <gtest/gtest.h>

#include "formats/cp1251.h"
#include "formats/regedit4.h"
#include "system/contract/contract_target.h"
#include "system/image/image_system.h"
#include "system/image/test_image.h"

namespace zarvo::contract {

namespace {

// Drive C: is a FAT32 partition inside a fresh partitioned disk image; what
// the layer did is looked at with mtools' own mtype and mdir, and the file
// system must be clean after every test.
class ImageTarget : public Target {
public:
    static constexpr std::uint64_t kOffset = 2048 * 512;

    ImageTarget() {
        image_ = folder_.file("disk.img");
        testing::makeFatDisk(image_, 64, 32, "c");
        ImageOptions options;
        options.imagePath = image_;
        options.restart = [this] {
            ++restartRequests;
            return restartAnswer;
        };
        system_ = openImageSystem(options);
    }

    ~ImageTarget() override {
        system_.reset();
        const std::string problems = testing::fsckProblems(image_, kOffset);
        if (!problems.empty()) ADD_FAILURE() << "fsck.fat -n:\n" << problems;
    }

    Layer layer() const override { return Layer::Linux; }

    std::optional<std::string> read(const std::string& windowsPath) override {
        std::string out;
        if (testing::mtoolsOn(image_, kOffset, {"mtype", drivePath(windowsPath)}, &out) != 0) {
            return std::nullopt;
        }
        return out;
    }

    std::vector<std::string> namesIn(const std::string& windowsFolder) override {
        return testing::namesOnVolume(image_, kOffset, drivePath(windowsFolder));
    }

    std::optional<std::string> registryString(std::uint32_t rootKey, const std::string& keyPath,
                                              const std::string& valueName) override {
        const auto text = read("C:\\ZARVO.REG");
        if (!text) return std::nullopt;
        std::string key(regedit4::kRootNames[rootKey - hkey::ClassesRoot]);
        const std::string path = regedit4::canonicalKeyPath(*cp1251::fromUtf8(keyPath));
        if (!path.empty()) {
            key += '\\';
            key += path;
        }
        const auto value = regedit4::readString(*text, key, *cp1251::fromUtf8(valueName));
        if (!value) return std::nullopt;
        return cp1251::toUtf8(*value);
    }

    std::string scratchKey() const override { return "Software\\Zarvo\\Проверка"; }

private:
    // "c:/a/b" for C:\a\b: mtools looks names up ignoring case itself.
    static std::string drivePath(const std::string& windowsPath) {
        std::string path = "c:/";
        for (std::size_t i = 3; i < windowsPath.size(); ++i) {
            path += windowsPath[i] == '\\' ? '/' : windowsPath[i];
        }
        return path;
    }

    testing::ImageFolder folder_;
    std::string image_;
};

}  // namespace

std::unique_ptr<Target> makeTarget() {
    return std::make_unique<ImageTarget>();
}

}  // namespace zarvo::contract
