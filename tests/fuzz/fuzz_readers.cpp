// Fuzzes the three text readers. The first byte picks the reader (byte % 3:
// Vector3, Line3, Matrix3), the rest is the text. Beyond memory errors and
// undefined behaviour it checks that a successful read does not depend on
// what follows its text, and that the value printed exactly reads back to
// the same text, consuming exactly that text.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <string>

#include "geometry/line3.h"
#include "geometry/matrix3.h"

namespace {

// Reads text into a copy of start: the copy printed exactly, then "!" if the
// read failed or "|", then what it left in the stream.
template <class T>
std::string read(T value, const std::string& text) {
    std::istringstream in(text);
    in >> value;
    std::ostringstream out;
    out << std::setprecision(17) << value << (in.fail() ? '!' : '|') << in.rdbuf();
    return out.str();
}

template <class T>
void check(const T& start, const std::string& text) {
    // What a reader running on would take: a digit, closing characters and
    // the d that ends "Invalid".
    const std::string more = "7d)]>,8 tail";
    const std::string once = read(start, text);
    const std::string form = once.substr(0, once.find_first_of("!|"));  // not in printed forms
    const std::string after = form.substr(form.find_last_not_of('\n') + 1);
    if (once[form.size()] == '|' && (read(start, text + more) != once + more ||
                                     read(start, form + more) != form + '|' + after + more)) {
        std::fprintf(stderr, "violated for %s\n", once.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Numbers a read is unlikely to produce, so a component left unstored shows.
    const Vector3 v(-7.75, 3.0625e9, 1.5e-7);
    if (data[0] % 3 == 0) {
        check(v, text);
    } else if (data[0] % 3 == 1) {
        check(Line3(v, unit(Vector3(2, 3, 6))), text);
    } else {
        check(Matrix3(v.getX(), v.getY(), v.getZ(), 42.125, -0.0078125, 6.5e-12, 1234567.5, -98.25,
                      0.3),
              text);
    }
    return 0;
}
