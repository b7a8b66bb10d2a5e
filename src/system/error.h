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

// The drive is open in another program that may be writing it too: an
// emulator running the disk image. Nothing is written while it is. This is
// no failure of one operation but the state of the whole drive, so it is no
// Error: a handler that deals with some errors itself never takes it, a
// window always shows it and a command ends with it.
class DriveInUse : public std::runtime_error {
public:
    // `program` and `pid` name the holder; "" and 0 when only its lock on
    // the file tells that there is one.
    DriveInUse(std::string drive, std::string program, long pid);

    const std::string& drive() const noexcept { return drive_; }
    const std::string& program() const noexcept { return program_; }
    long pid() const noexcept { return pid_; }

private:
    std::string drive_;
    std::string program_;
    long pid_;
};

}  // namespace zarvo
