#pragma once

#include <stdexcept>
#include <string>

namespace zarvo {

// Visual-Basic-style error numbers; the pages tell apart only 53 and 481.
namespace err {
constexpr int InvalidProcedureCall = 5;
constexpr int OutOfMemory = 7;
constexpr int BadFileName = 52;
constexpr int FileNotFound = 53;
constexpr int DeviceIoError = 57;
constexpr int FileAlreadyExists = 58;
constexpr int DiskFull = 61;
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int DiskNotReady = 71;
constexpr int RenameAcrossDrives = 74;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int ObjectVariableNotSet = 91;
constexpr int InvalidPicture = 481;
}  // namespace err

// The Russian description the error report shows for a number.
std::string errorDescription(int number);

// The one error type every failing operation raises.
class Error : public std::runtime_error {
public:
    explicit Error(int number);
    Error(int number, const std::string& description);

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    int number_;
    std::string description_;
};

}  // namespace zarvo
