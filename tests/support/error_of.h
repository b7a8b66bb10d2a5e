#pragma once

#include "system/error.h"

namespace zarvo::testing {

// The error number `f` throws, 0 when it throws none.
template <class F>
int errorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace zarvo::testing
