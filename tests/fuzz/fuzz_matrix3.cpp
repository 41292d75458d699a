// Fuzzes the Matrix3 text reader. Beyond memory errors and undefined
// behaviour it checks that the reader stores exactly the numbers that read
// and keeps the other entries, consumes exactly its three rows, and reads
// back what print writes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry/matrix3.h"
#include "reader_oracle.h"

namespace {

const std::string RowForm = "cncncnc";
// Entries no input is likely to produce, so a stray write shows.
const double Start[9] = {-7.75,   3.0625e9,  1.5e-7, 42.125, -0.0078125,
                         6.5e-12, 1234567.5, -98.25, 0.3};

Matrix3 startMatrix() {
    return Matrix3(Start[0], Start[1], Start[2], Start[3], Start[4], Start[5], Start[6], Start[7],
                   Start[8]);
}

Matrix3 checkRead(const std::string& text) {
    std::istringstream expectedIn(text);
    const auto numbers = fuzz::readForm(expectedIn, RowForm + RowForm + RowForm);

    Matrix3 m = startMatrix();
    std::istringstream in(text);
    in >> m;
    for (std::size_t n = 0; n < 9; ++n) {
        FUZZ_REQUIRE(
            fuzz::same(m.entry(static_cast<int>(n)), n < numbers.size() ? numbers[n] : Start[n]));
    }
    FUZZ_REQUIRE(in.rdstate() == expectedIn.rdstate());
    FUZZ_REQUIRE(fuzz::rest(in) == fuzz::rest(expectedIn));
    return m;
}

// print ends every row with a line break; reading stops at the last ")".
void checkRoundTrip(const Matrix3& m) {
    const std::string text = fuzz::printed(m);
    Matrix3 back = startMatrix();
    std::istringstream in(text + fuzz::Marker);
    in >> back;
    FUZZ_REQUIRE(!in.fail());
    FUZZ_REQUIRE(fuzz::printed(back) == text);
    FUZZ_REQUIRE(fuzz::rest(in) == "\n" + fuzz::Marker);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Matrix3 m = checkRead(text);
    checkRead(text + fuzz::Marker);
    checkRoundTrip(m);
    return 0;
}
