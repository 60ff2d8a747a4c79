// Readable names for the cases of parameterized tests, made from a field of the case, so that
// every platform lists the same names: GoogleTest's own are numbers, and CTest's discovery
// names a case it cannot print by its bytes, pointers included.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace case_names {

// A name may hold only letters, digits and underscores: a minus sign is spelt out.
inline std::string OfNumber(long long value) {
    return value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value);
}

// Cases that are numbers.
struct ByNumber {
    template <class Number>
    std::string operator()(const testing::TestParamInfo<Number>& info) const {
        return OfNumber(static_cast<long long>(info.param));
    }
};

// Cases named by one numeric field, after a word: ByField<&Case::member>{"Word"}.
template <auto Member>
struct ByField {
    const char* word;
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return word + OfNumber(static_cast<long long>(info.param.*Member));
    }
};

}  // namespace case_names
