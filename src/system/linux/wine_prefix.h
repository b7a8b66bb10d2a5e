#pragma once

// A Wine prefix's drive_c as drive C:. The files are changed in drive_c
// directly; the registry values go to a store beside it, and are handed to
// the prefix's own registry once the program is done: starting Wine takes
// seconds, which no click should wait for.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "system/forwarding_system.h"
#include "system/system.h"

namespace zarvo {

// What importChanges did, for the program to tell the user.
struct WineImport {
    enum class Outcome {
        NothingChanged,  // no value changed: Wine was not started
        Imported,
        NoWine,        // Wine is not installed
        NoImportFile,  // the import file could not be written
        Failed,        // wine reg import failed
    };
    Outcome outcome = Outcome::NothingChanged;
    int status = 0;      // Failed: what Wine exited with
    std::string store;   // where the values stay meanwhile
    std::string prefix;  // the prefix folder
};

// Passes everything on to the system below, noting which registry values
// were stored or removed.
class WinePrefix : public ForwardingSystem {
public:
    // Runs Wine with its arguments and environment additions and returns its
    // exit status; empty for the real one, found on PATH.
    using Runner = std::function<int(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment)>;

    WinePrefix(ISystem& system, std::string prefix, std::string storePath);
    ~WinePrefix() override;

    // Imports the values changed since the start, or since the last import,
    // into the prefix's registry with `wine reg import`.
    WineImport importChanges();

    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;

    Runner runner;

private:
    // The import file for the values changed so far, removals as "name"=-;
    // empty when none changed.
    std::string importText();

    using Value = std::tuple<std::uint32_t, std::string, std::string>;  // root, key, name

    std::string prefix_;
    std::string storePath_;
    std::set<Value> changed_;
};

// The Wine prefix a drive folder belongs to: a folder named drive_c with
// system.reg and user.reg beside it. "" when it is none.
std::string winePrefixOf(const std::string& driveRoot);

}  // namespace zarvo
