// The kernel is pinned by a transcript: every operation over combinations of
// values of every kind, written with 17 significant digits (every bit of a
// double; brackets show a vector's kind), one line per operand or pair.
// kernel_transcript.txt beside this file was verified once, line for line,
// against an independent model of the kernel written from its description
// (scripts/reference_model.py, in the history up to commit 15601e6). On a
// mismatch the test names the first line that differs and leaves its whole
// transcript in kernel_transcript.txt in the working folder, to diff.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/line3.h"
#include "geometry/matrix3.h"
#include "geometry/matrix4.h"

namespace {

// No operation makes an Invalid vector: zero-filled storage reads as one.
Vector3 invalid() {
    Vector3 v;
    std::memset(static_cast<void*>(&v), 0, sizeof v);
    return v;
}

std::ostream& operator<<(std::ostream& out, const HPoint& p) {
    return out << '{' << p.c[0] << ',' << p.c[1] << ',' << p.c[2] << ',' << p.c[3] << ';' << p.valid
               << '}';
}

std::ostream& operator<<(std::ostream& out, const Matrix4& m) {
    for (int n = 0; n < 16; ++n) {
        out << (n ? "," : "{") << m.entry(n);
    }
    return out << '}';
}

std::string transcript() {
    std::ostringstream t;
    t.precision(17);
    // The operands read better as rows than as clang-format columns.
    // clang-format off
    const Vector3 v[] = {invalid(), Vector3(), Vector3(1, 2.5, -3), Vector3(3, 4, 0),
        unit(Vector3(3, 0, 4)), unit(Vector3(3, 0, 4)) * 2.0, unit(Vector3(0.0005, 0, 0)),
        Vector3(0.001, 0, 0), Vector3(0, 0, 2), unit(Vector3(0, -1, 0))};
    // clang-format on
    for (const Vector3& a : v) {
        Vector3 n = a, c = a, neg, s;
        t << a << ' ' << a.isValid() << a.isPlain() << a.isUnit() << ' ' << a.length() << ' '
          << n.normalize() << ' ' << c.clearUnit() << ' ' << unit(a) << ' ' << a * -2.0 << ' '
          << negate(a, neg) << ' ' << scale(a, 0.5, s) << '\n';
        for (const Vector3& b : v) {
            Vector3 x = a, y = a, z = a, w;
            t << ' ' << a + b << a - b << a.cross(b) << add(x, b, x) << subtract(y, b, y)
              << cross(z, b, z) << cross(a, b, w) << ' ' << a.dot(b) << ' ' << dot(a, b) << ' '
              << a.distanceTo(b) << ' ' << Line3(a, b) << ' ' << Line3(a, b).distanceTo(b) << '\n';
        }
    }

    // clang-format off
    const Line3 lines[] = {Line3(), Line3(Vector3(), unit(Vector3(1, 0, 0))),
        Line3(Vector3(3, 0, 1), unit(Vector3(1, 1, 0))), Line3(Vector3(2, -1, 0), unit(Vector3(0, 1, 0))),
        Line3(Vector3(5, 1, 0), unit(Vector3(-1, 0, 0))),
        Line3(Vector3(0, 2, 0), unit(Vector3(1, 0.0316, 0))),  // 1 - d^2 just below 0.001
        Line3(Vector3(0, 2, 0), unit(Vector3(1, 0.0317, 0))),  // and just above
        Line3(Vector3(1, 2, 3), Vector3(1, 2, 3.0005)), Line3(invalid(), unit(Vector3(0, 0, 1))),
        Line3(Vector3(1, 2, 3), Vector3(1, 2, 5)), Line3(unit(Vector3(0, 3, 4)), unit(Vector3(-1, 0, 0)))};
    // clang-format on
    for (const Line3& a : lines) {
        t << a << ' ' << a.isValid() << ' ' << a.distanceTo(Vector3(2, 5, 0)) << ' '
          << a.distanceTo(invalid()) << '\n';
        for (const Line3& b : lines) {
            Vector3 p(7, 7, 7), q(7, 7, 7);
            t << ' ' << a.closestPoints(b, p, q) << p << q << ' ' << a.distanceTo(b) << ' '
              << Vector3(a, b) << '\n';
        }
    }

    // clang-format off
    const Matrix3 m[] = {Matrix3(), Matrix3(0.3, -1.2, 2.0), Matrix3(0.0, 0.17453292519888888, 0.0),
        Matrix3(unit(Vector3(1, 2, 2)), 10.0), Matrix3(Vector3(0, 0, 2), 90.0),
        Matrix3(1, 2, 3, 4, 5, 6, 7, 8, 10), Matrix3(0, 0, 0, 0, 0, 0, 0, 0, 0),
        Matrix3(0.05, 0, 0, 0, 0.05, 0, 0, 0, 0.05), Matrix3(2, 0, 0, 0, 2, 0, 0, 0, 2),
        Matrix3(0.001, 0, 0, 0, 1, 0, 0, 0, 1), Matrix3(0.000999, 0, 0, 0, 1, 0, 0, 0, 1)};
    // clang-format on
    for (const Matrix3& a : m) {
        Matrix3 tr = a, inv, self = a;
        t << a << a.determinant() << '\n'
          << tr.transpose() << inverse(a, inv) << inverse(self, self);
        t << a * v[0] << a * v[2] << a * v[4] << '\n';
        for (const Matrix3& b : m) {
            Matrix3 product, sum, difference, scaled, alias = a;
            t << a * b << multiply(a, b, product) << multiply(alias, b, alias) << add(a, b, sum)
              << subtract(a, b, difference) << scale(a, -0.5, scaled);
        }
    }
    Matrix3 nan(NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN), inv;
    t << inverse(nan, inv);

    // Any flag but 0 is valid; negate and scale copy it.
    HPoint invalidPoint(5, 6, 7, 8), oddlyValid(2.5, -1, 0.5, 4);
    invalidPoint.valid = 0;
    oddlyValid.valid = 7;
    const HPoint h[] = {HPoint(),           HPoint(1, 2, 3, 4),
                        HPoint(1, 1, 1, 1), HPoint(-0.5, 0.25, 3, 1e10),
                        invalidPoint,       oddlyValid};
    for (const HPoint& a : h) {
        HPoint neg, s, zero;
        t << a << negate(a, neg) << scale(a, -2.0, s) << scale(a, 0.0, zero) << a.isValid();
        for (const HPoint& b : h) {
            HPoint sum, difference, alias = a;
            t << ' ' << add(a, b, sum) << subtract(a, b, difference) << add(alias, b, alias)
              << a.dot(b) << ',' << dot(a, b);
        }
        t << '\n';
    }
    const Matrix4 q[] = {Matrix4(), Matrix4(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1),
                         Matrix4(1, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1),
                         Matrix4(1, -2, 3, 0.5, 4, 5, -6, 7, 0.25, 8, 9, 10, -11, 12, 13, 0.125)};
    for (const Matrix4& a : q) {
        t << a << a.get(2, 3) << ',' << a.get(3, 2) << '\n';
        for (const Matrix4& b : q) {
            Matrix4 product, alias = a, sum, difference, scaled;
            t << ' ' << a * b << multiply(a, b, product) << multiply(alias, b, alias)
              << add(a, b, sum) << subtract(a, b, difference) << scale(a, 3.0, scaled) << '\n';
        }
    }
    // Every text into every reader, into values of each kind: what was read,
    // whether the stream failed, and what the reader left in the stream.
    // clang-format off
    const std::string texts[] = {" ( 1 ; -2.5 ;\n3e2 )X", "<0,0,1>", "", "[1,2", "Invalid",
        "[1,x,3]", " ( P = [1,2,3] , V = <0,0,2> ) ", "Invalid(P=[1,2,3])",
        "I" + std::string(19, 'x') + "d)", "I" + std::string(20, 'x') + "d)", "Iva", "(P=[1,2",
        "(P=[1,2,3],V=<0,x", "(1,0,0)\n(0,1,0)\n(0,0,1)\n", "[1;0;0] {0/1/0}\n<0|0|1>",
        "(1,2,3)(4,5,6)(7,8,9)x", "(1,2,3)\n(4,5", "(1,x,3)\n(4,5,6)\n(7,8,9)\n"};
    // clang-format on
    const auto read = [&t](auto into, const std::string& text) {
        std::istringstream in(text);
        in >> into;
        t << into << in.fail() << std::string(std::istreambuf_iterator<char>(in), {}) << '|';
    };
    for (const std::string& text : texts) {
        for (const Vector3& into : {invalid(), Vector3(7, 8, 9), unit(Vector3(3, 0, 4))}) {
            read(into, text);
        }
        read(Line3(), text);
        read(Line3(Vector3(7, 8, 9), unit(Vector3(3, 0, 4))), text);
        read(Matrix3(9, 9, 9, 9, 9, 9, 9, 9, 9), text);
        t << '\n';
    }
    return t.str();
}

}  // namespace

TEST(Kernel, TranscriptOfEveryOperation) {
    const std::string text = transcript();
    std::ifstream pinned(KERNEL_TRANSCRIPT);
    ASSERT_TRUE(pinned) << KERNEL_TRANSCRIPT;
    std::istringstream made(text);
    for (int line = 1; pinned || made; ++line) {
        std::string want = "(the end)", got = "(the end)";
        std::getline(pinned, want);
        std::getline(made, got);
        if (want != got) {
            std::ofstream("kernel_transcript.txt") << text;
            FAIL() << "line " << line << " is\n" << got << "\ninstead of\n" << want;
        }
    }
}
