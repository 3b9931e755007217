// SPDX-License-Identifier: MIT
#include "cli/platform.hpp"

#include <gtest/gtest.h>

namespace quillmere::cli {
namespace {

// CLI11 reads the program's name from the first argument, which a program started through
// execve() with an empty argument list does not have.
TEST(Utf8Arguments, AlwaysHoldTheProgramsNameAndEndInANullPointer) {
  char* none[] = {nullptr};
  Utf8Arguments arguments(0, none);
  ASSERT_GE(arguments.Count(), 1);
  EXPECT_NE(arguments.Values()[0], nullptr);
  EXPECT_EQ(arguments.Values()[arguments.Count()], nullptr);
}

} // namespace
} // namespace quillmere::cli
