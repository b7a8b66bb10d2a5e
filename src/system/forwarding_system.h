#pragma once

// The base of the layers that stand between the program and a system
// implementation (keeping originals, copying into the drive, telling a Wine
// prefix): every operation goes on to the system below unless the layer
// overrides it, so that a layer says only what it changes.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "system/system.h"

namespace zarvo {

class ForwardingSystem : public ISystem {
public:
    explicit ForwardingSystem(ISystem& system) : system_(system) {}

    void copyFile(const std::string& source, const std::string& destination) override {
        system_.copyFile(source, destination);
    }
    void renameFile(const std::string& oldPath, const std::string& newPath) override {
        system_.renameFile(oldPath, newPath);
    }
    void deleteFile(const std::string& path) override { system_.deleteFile(path); }
    void checkCopyable(const std::string& source, const std::string& destination,
                       const std::string& deletedFirst) override {
        system_.checkCopyable(source, destination, deletedFirst);
    }
    void setAttributes(const std::string& path, unsigned attributes) override {
        system_.setAttributes(path, attributes);
    }
    unsigned attributes(const std::string& path) override { return system_.attributes(path); }
    bool fileExists(const std::string& path) override { return system_.fileExists(path); }
    void createDirectory(const std::string& path) override { system_.createDirectory(path); }
    void writeNewFile(const std::string& path, std::string_view bytes) override {
        system_.writeNewFile(path, bytes);
    }
    void replaceFile(const std::string& path, std::string_view bytes) override {
        system_.replaceFile(path, bytes);
    }
    void checkReplaceable(const std::string& path) override { system_.checkReplaceable(path); }
    std::string readFile(const std::string& path) override { return system_.readFile(path); }
    std::optional<std::string> ansiFromUtf8(std::string_view utf8) override {
        return system_.ansiFromUtf8(utf8);
    }
    std::string utf8FromAnsi(std::string_view ansi) override { return system_.utf8FromAnsi(ansi); }
    void flushProfile(const std::string& path) override { system_.flushProfile(path); }
    std::unique_ptr<IRegistryWriter> createRegistryWriter() override {
        return system_.createRegistryWriter();
    }
    void shellExecute(const ShellRequest& request) override { system_.shellExecute(request); }
    bool opensDocuments() override { return system_.opensDocuments(); }
    int exitWindowsEx(unsigned flags, unsigned reserved) override {
        return system_.exitWindowsEx(flags, reserved);
    }
    bool refreshWallpaper(const std::string& path) override {
        return system_.refreshWallpaper(path);
    }
    std::unique_ptr<Batch> batch() override { return system_.batch(); }
    void recoverInterruptedWrites(const std::vector<std::string>& folders) override {
        system_.recoverInterruptedWrites(folders);
    }
    std::string sessionId() override { return system_.sessionId(); }
    bool sessionRunning(const std::string& id) override { return system_.sessionRunning(id); }
    std::string hostPath(const std::string& windowsPath) override {
        return system_.hostPath(windowsPath);
    }
    std::string windowsPath(const std::string& hostPath) override {
        return system_.windowsPath(hostPath);
    }

protected:
    ISystem& system_;
};

// The same for the registry writer such a layer hands out.
class ForwardingRegistryWriter : public IRegistryWriter {
public:
    explicit ForwardingRegistryWriter(std::unique_ptr<IRegistryWriter> inner)
        : inner_(std::move(inner)) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        inner_->storeString(rootKey, keyPath, valueName, valueData);
    }
    std::optional<std::string> readString(std::uint32_t rootKey, std::string_view keyPath,
                                          std::string_view valueName) override {
        return inner_->readString(rootKey, keyPath, valueName);
    }
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        inner_->deleteValue(rootKey, keyPath, valueName);
    }

protected:
    std::unique_ptr<IRegistryWriter> inner_;
};

// A writer for a layer that only watches values change: `before` is told of
// each value about to be stored or deleted (with the writer below, to read
// it first), `after` of each one that was. Either may be empty.
class WatchingRegistryWriter : public ForwardingRegistryWriter {
public:
    using Watch = std::function<void(IRegistryWriter& below, std::uint32_t rootKey,
                                     std::string_view keyPath, std::string_view valueName)>;

    WatchingRegistryWriter(std::unique_ptr<IRegistryWriter> inner, Watch before, Watch after)
        : ForwardingRegistryWriter(std::move(inner)),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void storeString(std::uint32_t rootKey, std::string_view keyPath, std::string_view valueName,
                     std::string_view valueData) override {
        if (before_) before_(*inner_, rootKey, keyPath, valueName);
        inner_->storeString(rootKey, keyPath, valueName, valueData);
        if (after_) after_(*inner_, rootKey, keyPath, valueName);
    }
    void deleteValue(std::uint32_t rootKey, std::string_view keyPath,
                     std::string_view valueName) override {
        if (before_) before_(*inner_, rootKey, keyPath, valueName);
        inner_->deleteValue(rootKey, keyPath, valueName);
        if (after_) after_(*inner_, rootKey, keyPath, valueName);
    }

private:
    Watch before_;
    Watch after_;
};

}  // namespace zarvo
