#pragma once
// What the text readers must do, written out on its own terms so that the
// fuzz targets can compare the readers against it: a form is a sequence of
// items, one character ('c') or one number ('n'), each read by formatted
// extraction (white space skipped first). The first failure ends the reading;
// items after it read nothing.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <istream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// An invariant of a reader: on violation the fuzzer stops with this input.
#define FUZZ_REQUIRE(condition)                                                            \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: violated: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzz {

// Text after a form in the round-trip checks. It starts with characters a
// reader that runs on would take: a digit, closing brackets and the d that
// ends "Invalid".
inline const std::string Marker = "7d)]>,8 tail";

// The numbers of the form that read, in order, up to the first failure.
inline std::vector<double> readForm(std::istream& in, const std::string& form) {
    std::vector<double> numbers;
    for (const char item : form) {
        if (item == 'c') {
            char ignored = 0;
            in >> ignored;
        } else {
            double value = 0.0;
            in >> value;
            if (in.fail()) {
                break;
            }
            numbers.push_back(value);
        }
        if (in.fail()) {
            break;
        }
    }
    return numbers;
}

// Everything the stream has not consumed yet.
inline std::string rest(std::istream& in) {
    in.clear();
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bitwise equality: tells 0 from -0 (the readers produce no NaN).
inline bool same(double a, double b) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

// The value's text with every double written exactly.
template <typename T>
std::string printed(const T& value) {
    std::ostringstream out;
    out << std::setprecision(17) << value;
    return out.str();
}

}  // namespace fuzz
