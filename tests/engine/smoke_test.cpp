#include <gtest/gtest.h>

#include "memory_converter.h"

namespace zekt::testing {
namespace {

TEST(Smoke, EucToSjisWithCrlf) {
    EXPECT_EQ(hex(convertWith({}, bytes("B0 A1 0A"))), "88 9F 0D 0A");
}

}  // namespace
}  // namespace zekt::testing
