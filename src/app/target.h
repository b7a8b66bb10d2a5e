#pragma once

// Where the program works: the emulated drive, a folder holding a real
// Windows tree (a mounted partition), a Wine prefix's drive_c, or a FAT file
// system inside a disk image or on a block device. Each gets the system
// layers it needs.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include "system/forwarding_system.h"
#include "system/system.h"

class QTextStream;

namespace zarvo {

class IntoDrive;

// What the command line chose; empty fields leave the choice to ZARVO_DRIVE_C.
struct TargetOptions {
    std::string image;  // --image FILE
    int partition = 0;  // --partition N, 0 for the first FAT partition
    std::string drive;  // --drive DIR
};

// A folder whose Windows folder holds an installed Windows: WIN.COM,
// SYSTEM.DAT and USER.DAT, names compared ignoring case.
bool isRealWindowsTree(const std::string& driveRoot);
// The Wine prefix a drive folder belongs to: a folder named drive_c with
// system.reg and user.reg beside it. "" when it is none.
std::string winePrefixOf(const std::string& driveRoot);
// Where the registry store lives for a drive folder: C:\ZARVO.REG inside a
// real Windows tree (in whatever case it is already spelled), zarvo.reg
// beside any other drive.
std::string registryStoreFor(const std::string& driveRoot);

// Passes everything on to the system below, noting which registry values
// were stored or removed, so that the prefix's own registry can be given
// them once the program is done: starting Wine takes seconds, which no
// click should wait for.
class WinePrefix : public ForwardingSystem {
public:
    // `program` runs Wine with its arguments and environment additions and
    // returns its exit status; empty for the real one, found on PATH.
    using Runner = std::function<int(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment)>;

    WinePrefix(ISystem& system, std::string prefix, std::string storePath);
    ~WinePrefix() override;

    // Imports the values changed since the start into the prefix's registry
    // with `wine reg import`; without Wine, one line on `err` says how to do
    // it by hand. Nothing happens when no value changed. False when the
    // import was needed and did not happen.
    bool importChanges(QTextStream& err);
    // The import file for the values changed so far (UTF-16 .reg text that
    // Wine's reg imports, removals as "name"=-); empty when none changed.
    std::string importText();

    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;
    bool setDesktopWallpaper(const std::string& path) override;

    Runner runner;

private:
    class Writer;
    using Value = std::tuple<std::uint32_t, std::string, std::string>;  // root, key, name

    std::string prefix_;
    std::string storePath_;
    std::set<Value> changed_;
};

}  // namespace zarvo
