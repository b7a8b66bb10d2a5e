#include <gtest/gtest.h>

#include <cstdio>

#include "formats/cp1251.h"
#include "formats/regedit4.h"
#include "system/contract/contract_target.h"
#include "system/image/image_system.h"
#include "system/image/test_image.h"

namespace zarvo::contract {

namespace {

// Drive C: is a FAT32 partition inside a fresh partitioned disk image (built
// with ZARVO_CONTRACT_FORMAT: that disk in a format of QEMU's, such as
// qcow2); what the layer did is looked at with mtools' own mtype and mdir on
// the raw disk, and the file system must be clean after every test.
class ImageTarget : public Target {
public:
    static constexpr std::uint64_t kOffset = 2048 * 512;

    ImageTarget() {
        raw_ = folder_.file("disk.img");
        testing::makeFatDisk(raw_, 64, 32, "c");
        image_ = raw_;
#ifdef ZARVO_CONTRACT_FORMAT
        // Where this machine gives no FUSE, the raw disk stands in.
        if (testing::fuseUsable()) {
            image_ = folder_.file("disk." ZARVO_CONTRACT_FORMAT);
            std::string out;
            if (testing::qemuImg({"convert", "-O", ZARVO_CONTRACT_FORMAT, raw_, image_}, &out) != 0)
                ADD_FAILURE() << out;
        } else {
            std::fprintf(stderr, "no /dev/fuse here: the contract runs on the raw disk\n");
        }
#endif
        ImageOptions options;
        options.imagePath = image_;
        options.restart = [this] {
            ++restartRequests;
            return restartAnswer;
        };
        system_ = openImageSystem(options);
        // The raw disk as the export serves it, while the session lasts.
        raw_ = dynamic_cast<ImageSystem&>(*system_).volumeFile();
    }

    ~ImageTarget() override {
        system_.reset();
        if (image_ != raw_) {
            raw_ = folder_.file("read-back.img");
            std::string out;
            if (testing::qemuImg({"convert", "-O", "raw", image_, raw_}, &out) != 0)
                ADD_FAILURE() << out;
            if (testing::qemuImg({"check", image_}, &out) != 0) ADD_FAILURE() << out;
            if (!testing::mountsUnder(folder_.path).empty()) ADD_FAILURE() << "still mounted";
        }
        const std::string problems = testing::fsckProblems(raw_, kOffset);
        if (!problems.empty()) ADD_FAILURE() << "fsck.fat -n:\n" << problems;
    }

    Layer layer() const override {
        return Layer::Linux;
    }

    std::optional<std::string> read(const std::string& windowsPath) override {
        std::string out;
        if (testing::mtoolsOn(raw_, kOffset, {"mtype", drivePath(windowsPath)}, &out) != 0) {
            return std::nullopt;
        }
        return out;
    }

    std::vector<std::string> namesIn(const std::string& windowsFolder) override {
        return testing::namesOnVolume(raw_, kOffset, drivePath(windowsFolder));
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

    std::string scratchKey() const override {
        return "Software\\Zarvo\\Проверка";
    }

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
    // The export's mount below the test's folder, where it is looked for.
    testing::ScopedVariable temporary_{"TMPDIR", folder_.path};
    std::string image_;
    std::string raw_;  // the disk mtools reads
};

}  // namespace

std::unique_ptr<Target> makeTarget() {
    return std::make_unique<ImageTarget>();
}

}  // namespace zarvo::contract
