#pragma once

// The values of regedit4_store.reg: written there by the Linux layer's
// registry store, imported on Windows by regedit and read back.

#include <cstdint>

#include "system/system.h"

namespace zarvo::contract {

struct SampleValue {
    std::uint32_t rootKey;
    const char* keyPath;
    const char* valueName;
    const char* data;
};

inline constexpr const char* kSampleKey = "Software\\Zarvo\\Проверка импорта";

inline constexpr SampleValue kStoreSample[] = {
    {hkey::LocalMachine, kSampleKey, "3", "C:\\Мои значки\\Папка.ico"},
    {hkey::LocalMachine, kSampleKey, "Имя \"в кавычках\"", "\"C:\\Program Files\\Zarvo\\\""},
    {hkey::LocalMachine, kSampleKey, "", "По умолчанию: ёЁ № «»"},
    {hkey::CurrentUser, kSampleKey, "Путь\\", "C:\\Program Files\\Zarvo\\"},
};

}  // namespace zarvo::contract
