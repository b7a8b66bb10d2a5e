// The three steps that replace a screen file, on a drive of their own, and
// what each page's step "2" tells of an error.

#include "changes/screen_files.h"

#include <gtest/gtest.h>

#include "changes/program_folder.h"
#include "system/error.h"
#include "system/linux/linux_system.h"
#include "system/linux/temp_drive.h"

namespace zarvo {
namespace {

using testing::errorOf;
using testing::readBytes;
using testing::writeBytes;

class ScreenStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeBytes(drive.host("Program Files/Zarvo/Logow.sys"), "zarvo's wait screen");
        writeBytes(drive.host("Windows/Logow.sys"), "the wait screen");
        writeBytes(drive.host("Pictures/Sea.bmp"), "the sea");
    }
    bool noted() { return sys.fileExists(programfolder::stagedCopiesFile()); }

    testing::TempDrive drive;
    LinuxSystem sys{drive.options()};
    ScreenSteps steps{kWaitScreen};
};

TEST_F(ScreenStepsTest, OneTwoThreeInstallThePictureAndLeaveNothingBehind) {
    EXPECT_EQ(kWaitScreen.path(), "C:\\Windows\\Logow.sys");
    EXPECT_EQ(errorOf([&] { steps.install(sys, kWaitScreen.path()); }), err::FileNotFound);

    steps.putProgramCopy(sys);
    EXPECT_EQ(readBytes(drive.host("Windows/Logow.sys")), "zarvo's wait screen");

    const std::string staged = steps.stagingPath(sys, "C:\\Pictures\\Sea.bmp", "C:\\Sea.bmp");
    EXPECT_EQ(staged, "C:\\Sea.bmp");
    steps.stage(sys, "C:\\Pictures\\Sea.bmp", staged);
    EXPECT_FALSE(sys.fileExists(kWaitScreen.path()));
    EXPECT_EQ(readBytes(drive.host("Sea.bmp")), "the sea");
    EXPECT_TRUE(noted());  // for the next run, should this one end here
    // Its own copy is the page's to replace; a file of the user's is not.
    EXPECT_EQ(steps.stagingPath(sys, "C:\\Pictures\\Sea.bmp", "C:\\Sea.bmp"), "C:\\Sea.bmp");
    writeBytes(drive.host("Mine.bmp"), "the user's");
    EXPECT_EQ(steps.stagingPath(sys, "C:\\Pictures\\Sea.bmp", "C:\\Mine.bmp"),
              "C:\\Mine.bmp.zarvo");

    steps.install(sys, kWaitScreen.path());
    EXPECT_EQ(readBytes(drive.host("Windows/Logow.sys")), "the sea");
    EXPECT_FALSE(sys.fileExists("C:\\Sea.bmp"));
    EXPECT_FALSE(noted());
    EXPECT_EQ(errorOf([&] { steps.install(sys, kWaitScreen.path()); }), err::FileNotFound);
}

TEST_F(ScreenStepsTest, AStepTwoThatFailsLeavesTheDriveAsItWas) {
    sys.setAttributes(kWaitScreen.path(), attr::ReadOnly);
    EXPECT_EQ(errorOf([&] { steps.stage(sys, "C:\\Pictures\\Sea.bmp", "C:\\Sea.bmp"); }),
              err::PathFileAccessError);
    EXPECT_FALSE(sys.fileExists("C:\\Sea.bmp"));
    EXPECT_FALSE(noted());
    EXPECT_EQ(readBytes(drive.host("Windows/Logow.sys")), "the wait screen");
    // The screen file as its own picture counts as missing.
    sys.setAttributes(kWaitScreen.path(), attr::Normal);
    EXPECT_EQ(errorOf([&] { steps.stage(sys, kWaitScreen.path(), "C:\\Logow.sys"); }),
              err::FileNotFound);

    // The screen pages report every error; the animated page names a
    // missing file alone and keeps quiet about the rest.
    for (const int number : {err::FileNotFound, err::PathFileAccessError, err::DiskFull})
        EXPECT_EQ(whatStep2Tells(Step2Page::ScreenFile, Error(number)), Step2Tells::ErrorReport);
    EXPECT_EQ(whatStep2Tells(Step2Page::AnimatedBoot, Error(err::FileNotFound)),
              Step2Tells::FileNotFound);
    EXPECT_EQ(whatStep2Tells(Step2Page::AnimatedBoot, Error(err::DiskFull)), Step2Tells::Nothing);
}

}  // namespace
}  // namespace zarvo
