#include "system/contract/contract_target.h"
#include "system/linux/host_store.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo::contract {

namespace {

class LinuxTarget : public Target {
public:
    LinuxTarget() {
        LinuxSystem::Options options;
        options.driveRoot = drive_.root;
        options.registryStorePath = drive_.store;
        // Nothing is ever started on the host.
        options.spawn = [](const std::vector<std::string>&) {};
        options.restart = [this] {
            ++restartRequests;
            return restartAnswer;
        };
        system_ = std::make_unique<LinuxSystem>(options);
        keepsDosAttributes = testing::userXattrsWork(drive_.root);
    }

    Layer layer() const override { return Layer::Linux; }

    std::optional<std::string> registryString(std::uint32_t rootKey, const std::string& keyPath,
                                              const std::string& valueName) override {
        return RegistryStore(hostStoreFile(drive_.store)).readString(rootKey, keyPath, valueName);
    }

    // Every test has a registry store of its own.
    std::string scratchKey() const override { return "Software\\Zarvo\\Проверка"; }

private:
    testing::TempDrive drive_;
};

}  // namespace

std::unique_ptr<Target> makeTarget() {
    return std::make_unique<LinuxTarget>();
}

}  // namespace zarvo::contract
