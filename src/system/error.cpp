#include "system/error.h"

#include <utility>

namespace zarvo {

std::string errorDescription(int number) {
    switch (number) {
        case err::InvalidProcedureCall:
            return "Недопустимый вызов процедуры или аргумент";
        case err::OutOfMemory:
            return "Недостаточно памяти";
        case err::BadFileName:
            return "Недопустимое имя или номер файла";
        case err::FileNotFound:
            return "Файл не найден";
        case err::DeviceIoError:
            return "Ошибка ввода-вывода устройства";
        case err::FileAlreadyExists:
            return "Файл уже существует";
        case err::DiskFull:
            return "Диск заполнен";
        case err::DeviceUnavailable:
            return "Устройство недоступно";
        case err::PermissionDenied:
            return "Отказано в разрешении";
        case err::DiskNotReady:
            return "Диск не готов";
        case err::RenameAcrossDrives:
            return "Нельзя переименовать с другим диском";
        case err::PathFileAccessError:
            return "Ошибка доступа к пути/файлу";
        case err::PathNotFound:
            return "Путь не найден";
        case err::ObjectVariableNotSet:
            return "Не задана объектная переменная или переменная блока With";
        case err::InvalidPicture:
            return "Недопустимый рисунок";
        default:
            return "Ошибка, определяемая приложением или объектом";
    }
}

Error::Error(int number) : Error(number, errorDescription(number)) {}

Error::Error(int number, const std::string& description)
    : std::runtime_error(std::to_string(number) + ": " + description),
      number_(number),
      description_(description) {}

DriveInUse::DriveInUse(std::string drive, std::string program, long pid)
    : std::runtime_error("drive in use: " + drive),
      drive_(std::move(drive)),
      program_(std::move(program)),
      pid_(pid) {}

}  // namespace zarvo
