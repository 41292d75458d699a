// Fuzzes the Vector3 text reader. The first byte picks the kind of the
// vector read into (byte % 3: Invalid, Plain, Unit); the rest is the text.
// Beyond memory errors and undefined behaviour it checks that the reader
// stores exactly the numbers that read and keeps the other components and
// the kind, consumes exactly its form, and reads back what print writes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "geometry/vector3.h"
#include "reader_oracle.h"

namespace {

const std::string VectorForm = "cncncnc";
// Components no input is likely to produce, so a stray write shows.
const double Start[3] = {-7.75, 3.0625e9, 1.5e-7};

// A vector of the given kind holding the Start components.
Vector3 startVector(std::int32_t kind) {
    Vector3 v;
    if (kind == Unit) {
        v = unit(Vector3(1, 0, 0));
    } else if (kind == Invalid) {
        // No operation makes an Invalid vector; zero-filled storage is one.
        const unsigned char zeros[sizeof v] = {};
        std::memcpy(static_cast<void*>(&v), zeros, sizeof v);
    }
    std::istringstream in("[-7.75,3.0625e9,1.5e-7]");
    in >> v;
    FUZZ_REQUIRE(!in.fail() && v.kind() == kind);
    FUZZ_REQUIRE(fuzz::same(v.getX(), Start[0]) && fuzz::same(v.getY(), Start[1]) &&
                 fuzz::same(v.getZ(), Start[2]));
    return v;
}

// Reads text into a Start vector of the kind and compares with the form.
Vector3 checkRead(const std::string& text, std::int32_t kind) {
    std::istringstream expectedIn(text);
    const auto numbers = fuzz::readForm(expectedIn, VectorForm);

    Vector3 v = startVector(kind);
    std::istringstream in(text);
    in >> v;
    FUZZ_REQUIRE(v.kind() == kind);
    const double got[3] = {v.getX(), v.getY(), v.getZ()};
    for (std::size_t n = 0; n < 3; ++n) {
        // Read numbers are stored; after the first failure nothing changes.
        FUZZ_REQUIRE(fuzz::same(got[n], n < numbers.size() ? numbers[n] : Start[n]));
    }
    FUZZ_REQUIRE(in.rdstate() == expectedIn.rdstate());
    FUZZ_REQUIRE(fuzz::rest(in) == fuzz::rest(expectedIn));
    return v;
}

// Printed exactly and read into a vector of the same kind, v prints the same
// text again, and the reading stops right after its closing character.
void checkRoundTrip(const Vector3& v) {
    const std::string text = fuzz::printed(v);
    Vector3 back = startVector(v.kind());
    std::istringstream in(text + fuzz::Marker);
    in >> back;
    FUZZ_REQUIRE(fuzz::printed(back) == text);
    if (v.isValid()) {  // "Invalid" has no input form
        FUZZ_REQUIRE(!in.fail());
        FUZZ_REQUIRE(fuzz::rest(in) == fuzz::Marker);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::int32_t kind = data[0] % 3;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Vector3 v = checkRead(text, kind);
    checkRead(text + fuzz::Marker, kind);
    checkRoundTrip(v);
    return 0;
}
