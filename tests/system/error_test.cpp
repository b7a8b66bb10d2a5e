#include "system/error.h"

#include <gtest/gtest.h>

#include <set>

namespace zarvo {
namespace {

TEST(Error, EveryNamedNumberHasADescriptionOfItsOwn) {
    const std::string unknown = errorDescription(-1);
    std::set<std::string> seen;
    for (int number : {err::InvalidProcedureCall, err::OutOfMemory, err::BadFileName,
                       err::FileNotFound, err::DeviceIoError, err::FileAlreadyExists, err::DiskFull,
                       err::DeviceUnavailable, err::PermissionDenied, err::DiskNotReady,
                       err::RenameAcrossDrives, err::PathFileAccessError, err::PathNotFound,
                       err::ObjectVariableNotSet, err::InvalidPicture}) {
        SCOPED_TRACE(number);
        const Error error(number);
        EXPECT_NE(error.description(), unknown);
        EXPECT_TRUE(seen.insert(error.description()).second);
        EXPECT_EQ(error.what(), std::to_string(number) + ": " + error.description());
    }
}

}  // namespace
}  // namespace zarvo
