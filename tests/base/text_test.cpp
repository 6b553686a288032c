#include <gtest/gtest.h>
#include <ostream>

#include "base/text.h"

namespace {

struct IntCase
{
    const char* text;
    std::int32_t value;
    friend std::ostream& operator<<(std::ostream& os, const IntCase& c)
    {
        return os << '"' << c.text << "\" -> " << c.value;
    }
};

class IntegerOrZero : public testing::TestWithParam<IntCase>
{
};

TEST_P(IntegerOrZero, Converts)
{
    EXPECT_EQ(IntOrZero(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, IntegerOrZero,
                         testing::Values(IntCase{"", 0}, IntCase{"abc", 0}, IntCase{"007", 7},
                                         IntCase{"250", 250}, IntCase{"-5", -5}, IntCase{"+5", 5},
                                         IntCase{"1001", 1001}, IntCase{"2147483647", 2147483647},
                                         IntCase{"-2147483648", INT32_MIN},
                                         IntCase{"2147483648", 0}, IntCase{"99999999999", 0},
                                         IntCase{"5a", 0}, IntCase{"0x10", 0}, IntCase{"+", 0},
                                         IntCase{"-", 0}, IntCase{"+-1", 0}, IntCase{"1.5", 0}));

} // namespace
