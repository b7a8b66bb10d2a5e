// Replaces C:\LOGO.SYS in an image with one of two pictures, over and over,
// and writes and removes a file beside it, until it is killed. The kill tests
// start it, kill it and its mtools child at a random moment, and look at what
// the image holds.
//
//   replace_until_killed IMAGE FIRST_BYTE_COUNT SECOND_BYTE_COUNT

#include <cstdio>
#include <exception>
#include <string>

#include "system/image/image_system.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: replace_until_killed IMAGE FIRST SECOND\n");
        return 2;
    }
    const std::string pictures[2] = {std::string(std::stoul(argv[2]), 'a'),
                                     std::string(std::stoul(argv[3]), 'b')};
    try {
        zarvo::ImageOptions options;
        options.imagePath = argv[1];
        const auto system = zarvo::openImageSystem(options);
        std::puts("open");
        std::fflush(stdout);
        for (unsigned turn = 0;; ++turn) {
            system->replaceFile("C:\\LOGO.SYS", pictures[turn % 2]);
            // A kill may have come between these two last time.
            if (system->fileExists("C:\\Sunset.bmp")) system->deleteFile("C:\\Sunset.bmp");
            system->writeNewFile("C:\\Sunset.bmp", pictures[turn % 2]);
            system->deleteFile("C:\\Sunset.bmp");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "replace_until_killed: %s\n", e.what());
        return 1;
    }
}
