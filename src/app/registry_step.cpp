#include "app/registry_step.h"

namespace zarvo {

const QString kRegistryStepText = QStringLiteral(
    "Значения записаны в C:\\ZARVO.REG.\n"
    "Запустите эту Windows, откройте в ней C:\\ZARVO.REG (двойной щелчок) и перезагрузитесь!!!");

class RegistryStepWatch::Writer : public IRegistryWriter {
public:
    Writer(RegistryStepWatch& watch, std::unique_ptr<IRegistryWriter> below)
        : watch_(watch), below_(std::move(below)) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        below_->storeString(rootKey, keyPath, valueName, valueData);
        watch_.stored_ = true;
    }
    std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                          std::string_view valueName) override {
        return below_->readString(rootKey, keyPath, valueName);
    }
    // Taking a value out is how a failed change is undone: nothing to import.
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        below_->deleteValue(rootKey, keyPath, valueName);
    }

private:
    RegistryStepWatch& watch_;
    std::unique_ptr<IRegistryWriter> below_;
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
