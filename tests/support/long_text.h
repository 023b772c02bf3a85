#pragma once

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace testing_support {

inline std::string repeated(const std::string& text, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

// Compares texts of hundreds of kilobytes, reporting the first difference
// with a little context instead of a diff of the whole.
inline ::testing::AssertionResult sameLongText(const std::string& actual, const std::string& expected)
{
    const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (mismatch.first == actual.end() && mismatch.second == expected.end())
        return ::testing::AssertionSuccess();
    const std::size_t at = static_cast<std::size_t>(mismatch.first - actual.begin());
    const std::size_t from = at > 40 ? at - 40 : 0;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at " << at << ":\n  actual   ..."
                                         << actual.substr(from, 80) << "\n  expected ..." << expected.substr(from, 80);
}

} // namespace testing_support
