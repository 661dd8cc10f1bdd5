// The emulated box of the test's machine root, started with `selvane box start` and stopped
// with the object.
#pragma once

#include "support/process.h"

#include <gtest/gtest.h>

namespace testing_support {

class RunningBox {
public:
    RunningBox() {
        auto started = Selvane({"box", "start"});
        EXPECT_EQ(started.status, 0) << started.err;
    }
    ~RunningBox() { Selvane({"box", "stop"}); }
    RunningBox(const RunningBox&) = delete;
    RunningBox& operator=(const RunningBox&) = delete;
};

} // namespace testing_support
