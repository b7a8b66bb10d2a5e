#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace zarvo {

// One replaceable shell icon: the text of its list entry, the registry value
// name the shell reads for it, and the program's preview icon of it.
struct IconSlot {
    std::string_view listText;
    std::string_view slotNumber;
    int previewIconId;
};

// In list order. Entry 18 ends in a blank and entries 4 and 5 in an
// apostrophe: both belong to the text the lookup compares.
inline constexpr std::array<IconSlot, 40> kIconSlots = {{
    {"Незарегистрированный файл", "0", 200},
    {"Закрытая папка", "3", 201},
    {"Открытая папка", "4", 202},
    {"Гибкий диск 5'", "5", 203},
    {"Гибкий диск 3'", "6", 204},
    {"ZIP-диск", "7", 205},
    {"Жесткий диск", "8", 206},
    {"Соед.сетевого диска", "9", 207},
    {"Разъед.сетевого диска", "10", 208},
    {"CD-ROM", "11", 209},
    {"В окне сетевое окружения-вся сеть", "13", 210},
    {"Сетевое окружение", "14", 211},
    {"Сетевое окружение-рабочая група", "18", 212},
    {"Программы в меню пуск", "19", 213},
    {"Документы в меню пуск", "20", 214},
    {"Настройка в меню пуск", "21", 215},
    {"Поиск в меню пуск", "22", 216},
    {"Выполнить меню пуск ", "24", 217},
    {"Завершение работы в меню пуск", "27", 218},
    {"Рабочий стол.Свернуть все окна", "34", 219},
    {"Панель управления", "35", 220},
    {"Крупные значки в меню пуск", "36", 221},
    {"Принтеры", "37", 222},
    {"Fonts в панели управления", "38", 223},
    {"Избранное", "43", 224},
    {"Выход из системы", "44", 225},
    {"Поиск в папке", "45", 226},
    {"Update Windows 98", "46", 227},
    {"Папка панель управления", "51", 228},
    {"Папка принтеры", "52", 229},
    {"Добавление принтера", "53", 230},
    {"Файл документа (ini-файл)", "63", 231},
    {"Текстовый файл документа", "64", 232},
    {"Исполняемая программа", "65", 233},
    {"Системный файл", "66", 234},
    {"Растровый шрифт", "67", 235},
    {"Шрифт True Type", "68", 236},
    {"Шрифт Adobe Type Manager", "69", 237},
    {"ScanDisk", "73", 238},
    {"Дефрагментация", "74", 239},
}};

// The first entry whose list text equals `text` exactly (no trimming, no case
// folding), if any.
inline std::optional<IconSlot> findIconSlot(std::string_view text) {
    for (const IconSlot& slot : kIconSlots)
        if (slot.listText == text) return slot;
    return std::nullopt;
}

}  // namespace zarvo
