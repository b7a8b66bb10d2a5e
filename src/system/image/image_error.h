#pragma once

#include <stdexcept>

namespace zarvo {

// Why an image cannot be used, in one line that names the file and says
// what was found there (a dynamic VHD, the partition types, a lock...).
class ImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace zarvo
