#include "formats/screen_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zarvo::screen {
namespace {

std::uint32_t le32(const std::string& b, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | std::uint8_t(b.at(at + std::size_t(i)));
    return value;
}

void put32(std::string& b, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = char(value >> (8 * i));
}

// Pixel (x, y) holds x ^ y, so rows and columns can be told apart.
std::string goodFile(int bandStart = 0) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) pixels.push_back(std::uint8_t(x ^ y));
    Palette palette{};
    for (std::uint32_t i = 0; i < 256; ++i) palette[i] = i << 16 | (255 - i) << 8 | (i * 7 & 255);
    return encode(pixels, palette, bandStart);
}

TEST(ScreenFile, EncodesTheOneLayoutWindowsShows) {
    const std::string file = goodFile(236);
    ASSERT_EQ(file.size(), 129078u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(le32(file, 2), 129078u);
    EXPECT_EQ(le32(file, 10), 1078u);
    EXPECT_EQ(le32(file, 14), 40u);
    EXPECT_EQ(le32(file, 18), 320u);
    EXPECT_EQ(le32(file, 22), 400u);
    EXPECT_EQ(le32(file, 26), 1u | 8u << 16);  // one plane, 8 bits
    EXPECT_EQ(le32(file, 30), 0u);
    EXPECT_EQ(std::uint8_t(file[0x32]), 236);
    // Palette entries are blue, green, red, 0.
    EXPECT_EQ(le32(file, 54 + 4 * 3), 3u << 16 | 252u << 8 | 21u);
    // Bottom-up rows: the file's first row is the picture's last.
    EXPECT_EQ(std::uint8_t(file[1078 + 5]), (5 ^ 399) & 255);
    EXPECT_EQ(std::uint8_t(file[129078 - 320 + 7]), 7);
    EXPECT_EQ(std::uint8_t(goodFile(0)[0x32]), 0);

    const std::vector<std::uint8_t> tooFew(100);
    EXPECT_THROW(encode(tooFew, Palette{}, 0), std::invalid_argument);
}

struct Fault {
    const char* name;
    void (*spoil)(std::string&);
    std::vector<std::string> reasons;
};

class ScreenFileCheck : public ::testing::TestWithParam<Fault> {};

TEST_P(ScreenFileCheck, GivesEveryReasonWithItsNumbers) {
    std::string file = goodFile(236);
    GetParam().spoil(file);
    const Check result = check(file);
    EXPECT_EQ(result.problems, GetParam().reasons);
    // Only the first two bytes and the header are read.
    const Check fromHead = check(std::string_view(file).substr(0, kHeadSize), file.size());
    EXPECT_EQ(fromHead.problems, result.problems);
}

const std::string kTimes = " \u00d7 ";

INSTANTIATE_TEST_SUITE_P(
    KnownFiles, ScreenFileCheck,
    ::testing::Values(Fault{"Good", [](std::string&) {}, {}},
                      Fault{"NotABitmap",
                            [](std::string& f) { f = "\x89PNG\r\n\x1a\n" + f.substr(8); },
                            {"not a bitmap"}},
                      Fault{"Truncated",
                            [](std::string& f) { f.resize(f.size() - 12); },
                            {"file is 12 bytes shorter than its header says"}},
                      Fault{"TrailingBytes",
                            [](std::string& f) { f += "xyz"; },
                            {"file is 3 bytes longer than its header says"}},
                      Fault{"WrongSize",
                            [](std::string& f) {
                                put32(f, 18, 640);
                                put32(f, 22, 480);
                                f.resize(1078 + 640 * 480);
                            },
                            {"640" + kTimes + "480, must be 320" + kTimes + "400"}},
                      Fault{"TwentyFourBits",
                            [](std::string& f) {
                                f.at(28) = 24;
                                put32(f, 46, 0);
                                f.resize(54 + 320 * 3 * 400);
                                put32(f, 10, 54);
                            },
                            {"24 bits per pixel, must be 8"}},
                      Fault{"Rle8",
                            [](std::string& f) {
                                put32(f, 30, 1);
                                put32(f, 34, 5000);
                                f.resize(1078 + 5000);
                            },
                            {"RLE-compressed, must be uncompressed"}},
                      Fault{"TopDownAndFewColours",
                            [](std::string& f) {
                                put32(f, 22, std::uint32_t(-400));
                                put32(f, 46, 16);
                            },
                            {"rows stored top to bottom, must be bottom to top",
                             "16-colour palette, must be 256 colours"}},
                      Fault{"HeaderCut",
                            [](std::string& f) { f.resize(30); },
                            {"file ends inside its bitmap header, after 30 bytes"}},
                      Fault{"ManyAtOnce",
                            [](std::string& f) {
                                put32(f, 18, 1024);
                                f.at(28) = 4;
                                f.resize(f.size() - 1000);
                            },
                            {"1,024" + kTimes + "400, must be 320" + kTimes + "400",
                             "4 bits per pixel, must be 8",
                             "file is 77,800 bytes shorter than its header says"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScreenFile, TellsWhetherAndFromWhereItAnimates) {
    EXPECT_EQ(check(goodFile(236)).bandStart, 236);
    EXPECT_EQ(check(goodFile(0)).bandStart, 0);
    EXPECT_EQ(check("GIF89a").bandStart, -1);
    EXPECT_EQ(describeBand(236), "animates palette entries 236\u2013255");
    EXPECT_EQ(describeBand(0), "a still picture");
}

}  // namespace
}  // namespace zarvo::screen
