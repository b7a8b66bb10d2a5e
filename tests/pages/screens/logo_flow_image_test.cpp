// The boot picture page's whole install on a drive inside a disk image, as
// `zarvo --image win98.img` runs it: the window over the image's layers,
// Open, then steps "1", "2" and "3", with the chosen file named as the
// screen file in any case. The image already holds a bare 8.3 LOGO.SYS, as
// Windows leaves one: step "1" replaces it through a temporary file and a
// record that are gone again after it, and leaves their slots deleted at
// the end of C:\, where step "2" puts the staged copy's temporary file
// that becomes the three-slot Logo.sys.zarvo (fat_names.h).

#include <gtest/gtest.h>

#include <QImage>
#include <tuple>

#include "app/main_window.h"
#include "app/startup.h"
#include "app/target.h"
#include "pages/screens/screen_file_page.h"
#include "support/picture_bytes.h"
#include "support/scripted_ui.h"
#include "system/image/test_image.h"

namespace zarvo::test {
namespace {

constexpr std::uint64_t kOffset = 2048 * 512;

// The chosen file's name, and the disk's format.
using FlowCase = std::tuple<std::string, std::string>;

class LogoFlowOnImage : public ::testing::TestWithParam<FlowCase> {
protected:
    testing::ImageFolder folder;
};

TEST_P(LogoFlowOnImage, InstallsTheChosenFileAsLogoSys) {
    const auto [name, format] = GetParam();
    if (format != "raw" && !testing::fuseUsable())
        GTEST_SKIP() << "no /dev/fuse here to serve a " << format << " disk";
    std::string raw = folder.file("win98.img");
    testing::makeFatDisk(raw, 64, 32, "c");
    const std::string old = folder.file("old");
    std::ofstream(old, std::ios::binary) << "Windows' own boot picture";
    ASSERT_EQ(testing::mtoolsOn(raw, kOffset, {"mcopy", old, "c:/LOGO.SYS"}, nullptr), 0);
    std::string image = raw;
    if (format != "raw") {
        image = folder.file("win98." + format);
        std::string out;
        ASSERT_EQ(testing::qemuImg({"convert", "-O", format, raw, image}, &out), 0) << out;
    }
    // A picture of a boot screen's size, which the page previews.
    QImage picture(320, 400, QImage::Format_RGB32);
    picture.fill(QColor(200, 90, 40));
    const std::string chosen = fileBytes(picture, "BMP");
    const std::string host = folder.file(name);
    std::ofstream(host, std::ios::binary) << chosen;

    {
        DriveSetting drive;
        drive.image = image;
        const Target target = openTarget(drive, [] { return false; }, {});
        ScriptedUi ui(target.top());
        ASSERT_TRUE(prepareDrive(drive, target.plain(), ui));
        Form1 form(target.top(), ui);
        auto* page = form.findChild<ScreenFilePage*>("Frame6");
        ASSERT_NE(page, nullptr);
        ui.answerOpen(QString::fromStdString(target.top().windowsPath(host)));
        page->openButton->click();
        for (QPushButton* step : {page->step1, page->step2, page->step3}) {
            ASSERT_FALSE(step->isHidden());
            step->click();
        }
        // Step "2" found C:\Logo.sys taken, whatever the case of the name.
        EXPECT_EQ(page->stagingField->text().toStdString(), "C:\\" + name + ".zarvo");
        ASSERT_FALSE(ui.messages().empty());
        EXPECT_EQ(ui.messages().front().text, QString("Вступет в силу после перегрузки"));
        EXPECT_EQ(ui.messages().size(), 1u);
    }

    if (image != raw) {
        raw = folder.file("read-back.img");
        ASSERT_EQ(testing::qemuImg({"convert", "-O", "raw", image, raw}), 0);
    }
    std::string installed;
    EXPECT_EQ(testing::mtoolsOn(raw, kOffset, {"mtype", "c:/Logo.sys"}, &installed), 0);
    EXPECT_TRUE(installed == chosen) << installed.substr(0, 40);
    EXPECT_EQ(testing::namesOnVolume(raw, kOffset, "c:/"),
              (std::vector<std::string>{"Logo.sys", "Program Files"}));
    EXPECT_EQ(testing::fsckProblems(raw, kOffset), "");
}

INSTANTIATE_TEST_SUITE_P(Spellings, LogoFlowOnImage,
                         ::testing::Combine(::testing::Values<std::string>("Logo.sys", "LOGO.SYS",
                                                                           "logo.SYS"),
                                            ::testing::Values<std::string>("raw", "qcow2")),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param);
                             name.replace(name.find('.'), 1, "_");
                             return name + "_" + std::get<1>(info.param);
                         });

}  // namespace
}  // namespace zarvo::test
