// Fuzzes the Line3 text reader. The first byte picks the line read into
// (byte % 3: the default line, a valid line with a Plain base point, a valid
// line with a Unit base point); the rest is the text. Beyond memory errors
// and undefined behaviour it checks that the reader stores exactly the
// numbers that read and keeps the other components and both kinds, that
// "I..." gives the default line, that it consumes exactly its form, and that
// it reads back what print writes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "geometry/line3.h"
#include "reader_oracle.h"

namespace {

// After the opening character: "P=", the point, ",V=", the direction, ")".
const std::string VectorForm = "cncncnc";
const std::string LineForm = "cc" + VectorForm + "ccc" + VectorForm + "c";
// Up to this many characters before the d of "Invalid" are passed over.
constexpr int MaxSkipped = 19;

struct Fields {
    double numbers[6];  // P then V
    std::int32_t kindP;
    std::int32_t kindV;
};

Fields fieldsOf(const Line3& line) {
    const Vector3 p = line.point();
    const Vector3 v = line.direction();
    return {{p.getX(), p.getY(), p.getZ(), v.getX(), v.getY(), v.getZ()}, p.kind(), v.kind()};
}

bool operator==(const Fields& a, const Fields& b) {
    for (int n = 0; n < 6; ++n) {
        if (!fuzz::same(a.numbers[n], b.numbers[n])) {
            return false;
        }
    }
    return a.kindP == b.kindP && a.kindV == b.kindV;
}

// 0: the default line; 1, 2: valid lines with a Plain or a Unit base point,
// distinctive numbers and a direction that is not an axis.
Line3 startLine(int which) {
    if (which == 0) {
        return Line3();
    }
    const Vector3 base = which == 1 ? Vector3(-7.75, 3.0625e9, 1.5e-7) : unit(Vector3(-1, 4, 8));
    const Line3 line(base, unit(Vector3(2, 3, 6)));
    FUZZ_REQUIRE(line.isValid());
    return line;
}

// The fields expected after reading text into start, and the stream that the
// reading leaves, both by the form.
Fields expectedRead(std::istringstream& in, const Line3& start) {
    Fields expected = fieldsOf(start);
    char first = 0;
    if (!(in >> first)) {
        return expected;
    }
    if (first == 'I') {
        for (int n = 0; n < MaxSkipped && in.peek() != 'd' && in.peek() != EOF; ++n) {
            in.get();
        }
        char d = 0;
        in >> d;
        return fieldsOf(Line3());
    }
    const auto numbers = fuzz::readForm(in, LineForm);
    for (std::size_t n = 0; n < numbers.size(); ++n) {
        expected.numbers[n] = numbers[n];
    }
    return expected;
}

Line3 checkRead(const std::string& text, int which) {
    const Line3 start = startLine(which);
    std::istringstream expectedIn(text);
    const Fields expected = expectedRead(expectedIn, start);

    Line3 line = start;
    std::istringstream in(text);
    in >> line;
    FUZZ_REQUIRE(fieldsOf(line) == expected);
    FUZZ_REQUIRE(in.rdstate() == expectedIn.rdstate());
    FUZZ_REQUIRE(fuzz::rest(in) == fuzz::rest(expectedIn));
    return line;
}

// Printed exactly and read into a valid line with a base point of the same
// kind, a line prints the same text again; reading consumes exactly the text,
// "Invalid" included.
void checkRoundTrip(const Line3& line) {
    const std::string text = fuzz::printed(line);
    Line3 back = startLine(line.point().isUnit() ? 2 : 1);
    std::istringstream in(text + fuzz::Marker);
    in >> back;
    FUZZ_REQUIRE(!in.fail());
    FUZZ_REQUIRE(fuzz::printed(back) == text);
    FUZZ_REQUIRE(fuzz::rest(in) == fuzz::Marker);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int which = data[0] % 3;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Line3 line = checkRead(text, which);
    checkRead(text + fuzz::Marker, which);
    checkRoundTrip(line);
    return 0;
}
