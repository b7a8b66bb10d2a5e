// regedit4_store.reg is what the Linux layer's registry store writes for the
// sample values; the Windows tests import it with regedit. This keeps the
// file honest: when the store's format changes, it fails until the file is
// written anew (run this test with ZARVO_WRITE_STORE_FIXTURE=1) and checked
// under Wine again.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "system/contract/store_sample.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo::contract {
namespace {

TEST(RegeditFixture, IsWhatTheLinuxLayerWritesForTheSampleValues) {
    testing::TempDrive drive;
    LinuxSystem::Options options;
    options.driveRoot = drive.root;
    options.registryStorePath = drive.store;
    LinuxSystem system(options);
    for (const SampleValue& value : kStoreSample) {
        system.createRegistryWriter()->storeString(value.rootKey, value.keyPath, value.valueName,
                                                   value.data);
    }
    const std::string written = testing::readBytes(drive.store);

    const std::string fixture =
        (std::filesystem::path(__FILE__).parent_path() / "regedit4_store.reg").string();
    if (const char* update = std::getenv("ZARVO_WRITE_STORE_FIXTURE"); update && *update == '1') {
        testing::writeBytes(fixture, written);
    }
    EXPECT_EQ(written, testing::readBytes(fixture))
        << "the registry store's format changed: write the file anew and import it under Wine";
}

}  // namespace
}  // namespace zarvo::contract
