// ScratchTest: the GoogleTest fixture for tests that read and write host files. Each test gets
// a folder of its own (dir_, a ScratchFolder), removed however the test ends. The base may be
// a parameterized test: ScratchTest<::testing::TestWithParam<T>>.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tools/common/scratch_folder.h"

template <typename Base = ::testing::Test>
class ScratchTest : public Base {
   protected:
    ScratchFolder scratch_{"qv-test"};
    const std::string dir_ = scratch_.path();
};
