#pragma once

// A registry store's file on the host: beside the emulated drive, or
// C:\ZARVO.REG inside a real Windows tree.

#include <memory>
#include <string>

#include "system/linux/host_file.h"
#include "system/registry_store.h"

namespace zarvo {

// The store at the host path `path`. A rewrite holds an exclusive lock on
// the store's folder, so that two copies of the program storing at once
// cannot lose each other's values, and replaces the file atomically.
std::unique_ptr<StoreFile> hostStoreFile(std::string path, hostfile::WriteFault writeFault = {});

}  // namespace zarvo
