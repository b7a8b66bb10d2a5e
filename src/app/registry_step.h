#pragma once

// On a real Windows (an image, a partition, an installed tree) the values
// the window stores wait in C:\ZARVO.REG until that Windows opens the file;
// a user who only restarts the emulator sees no change. The window says so
// once a run, after the first value.

#include <QString>
#include <memory>

#include "system/forwarding_system.h"

namespace zarvo {

class RegistryStepWatch : public ForwardingSystem {
public:
    using ForwardingSystem::ForwardingSystem;

    std::unique_ptr<IRegistryWriter> createRegistryWriter() override;

    // True at the first call after a value was stored, never again.
    bool takeFirstValue();

private:
    class Writer;
    bool stored_ = false;
    bool told_ = false;
};

// What the window says then, in a box of its own.
extern const QString kRegistryStepText;

}  // namespace zarvo
