#pragma once

#include "Status.h"

#include <gtest/gtest.h>

// A Status as an assertion: EXPECT_TRUE(succeeds(grid.load(path))) prints the reason
// when it failed.
inline ::testing::AssertionResult succeeds(const Status& status)
{
    if (status)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << status.reason();
}
