#include "app/registry_step.h"

#include "system/registry_store.h"

namespace zarvo {

const QString kRegistryStepText =
    QStringLiteral(
        "Значения записаны в %1.\n"
        "Запустите эту Windows, откройте в ней %1 (двойной щелчок) и "
        "перезагрузитесь!!!")
        .arg(QString::fromUtf8(kDriveRegistryFile.data(), qsizetype(kDriveRegistryFile.size())));

// Taking a value out is how a failed change is undone: nothing to import.
class RegistryStepWatch::Writer : public ForwardingRegistryWriter {
public:
    Writer(RegistryStepWatch& watch, std::unique_ptr<IRegistryWriter> below)
        : ForwardingRegistryWriter(std::move(below)), watch_(watch) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        inner_->storeString(rootKey, keyPath, valueName, valueData);
        watch_.stored_ = true;
    }

private:
    RegistryStepWatch& watch_;
};

std::unique_ptr<IRegistryWriter> RegistryStepWatch::createRegistryWriter() {
    return std::make_unique<Writer>(*this, system_.createRegistryWriter());
}

bool RegistryStepWatch::takeFirstValue() {
    if (!stored_ || told_) return false;
    told_ = true;
    return true;
}

}  // namespace zarvo
