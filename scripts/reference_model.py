#!/usr/bin/env python3
"""Second, independent computation of patchview's surface and frames.

It re-derives, from the written behaviour and in plain double arithmetic, the
sampled tube grid, the facing refresh, the idle step and the exact OpenGL call
stream of Ferguson and cubic frames, and prints 64-bit digests of
them, folded FNV-style word by word. The C++ tests pin these numbers, so they are checked by two programs.
It also models the geometry kernel and digests, byte by byte, the text transcript of
every kernel operation that the kernel test writes.

Run: python3 scripts/reference_model.py   (standard library only)
     python3 scripts/reference_model.py --kernel   (the kernel transcript itself)
"""
import math
import re
import struct
import sys
import time
from array import array

PI = 3.14159265358
FNV_OFFSET, FNV_PRIME, MASK = 0xCBF29CE484222325, 0x100000001B3, (1 << 64) - 1
_F32 = struct.Struct("f")


def f32(x):
    return _F32.unpack(_F32.pack(x))[0]


def deg_to_rad(deg):
    return deg * PI / 180.0


def bits(d):
    return struct.unpack("<Q", struct.pack("<d", d))[0]


class Digest:
    """Folds doubles by bit pattern; float GL arguments are already widened."""

    def __init__(self):
        self.h, self.words = FNV_OFFSET, []

    def flush(self):
        raw = array("Q")
        raw.frombytes(array("d", self.words).tobytes())
        h = self.h
        for w in raw:
            h = ((h ^ w) * FNV_PRIME) & MASK
        self.h, self.words = h, []
        return h


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return (a[0] * b[0] + a[1] * b[1]) + a[2] * b[2]


def unit(v):
    # Reciprocal times components, and the zero vector when too short (or NaN).
    ln = math.sqrt((v[0] * v[0] + v[1] * v[1]) + v[2] * v[2])
    if ln >= 0.001:
        f = 1.0 / ln
        return (v[0] * f, v[1] * f, v[2] * f)
    return (0.0, 0.0, 0.0)


def disp(p):  # surface (x, y, z) is shown at (y, z, x)
    return (p[1], p[2], p[0])


def spline_slopes(x, y, start=0.0, end=0.0):
    """Slopes of the cubic spline with prescribed half second derivatives."""
    n = len(x) - 1
    sb, dg, sp, r = [0.0] * (n + 1), [0.0] * (n + 1), [0.0] * (n + 1), [0.0] * (n + 1)
    h = x[1] - x[0]
    dg[0], sp[0], r[0] = 2.0 / h, 1.0 / h, 3.0 * (y[1] - y[0]) / (h * h) - start
    for i in range(1, n):
        hp, hi = x[i] - x[i - 1], x[i + 1] - x[i]
        sb[i], dg[i], sp[i] = 1.0 / hp, 2.0 / hp + 2.0 / hi, 1.0 / hi
        r[i] = 3.0 * (y[i + 1] - y[i]) / (hi * hi) + 3.0 * (y[i] - y[i - 1]) / (hp * hp)
    h = x[n] - x[n - 1]
    sb[n], dg[n], r[n] = 1.0 / h, 2.0 / h, 3.0 * (y[n] - y[n - 1]) / (h * h) + end
    for i in range(1, n + 1):
        m = sb[i] / dg[i - 1]
        dg[i] = dg[i] - m * sp[i - 1]
        r[i] = r[i] - m * r[i - 1]
    k = [0.0] * (n + 1)
    k[n] = r[n] / dg[n]
    for i in range(n - 1, -1, -1):
        k[i] = (r[i] - k[i + 1] * sp[i]) / dg[i]
    return k


class Grid:
    def __init__(self, curve_step, section_step, eye):
        self.curve, self.section, self.P = [], [], []
        for t_deg in range(0, 721, curve_step):
            t = deg_to_rad(float(t_deg))
            self.curve.append(t)
            s1, c1, s3, c3 = math.sin(t), math.cos(t), math.sin(1.5 * t), math.cos(1.5 * t)
            rho = 0.5 * c3 + 1.5
            C = (1.0 * s3, rho * c1, rho * s1)
            drho = -1.5 * 0.5 * s3
            D = (1.5 * 1.0 * c3, drho * c1 - rho * s1, drho * s1 + rho * c1)
            N = cross(C, D)
            f = 1.0 / math.sqrt((N[0] * N[0] + N[1] * N[1]) + N[2] * N[2])
            N = (N[0] * f, N[1] * f, N[2] * f)
            B = cross(N, D)
            f = 1.0 / math.sqrt((B[0] * B[0] + B[1] * B[1]) + B[2] * B[2])
            B = (B[0] * f, B[1] * f, B[2] * f)
            self.section, row = [], []
            for p_deg in range(0, 361, section_step):
                phi = deg_to_rad(float(p_deg))
                self.section.append(phi)
                a, b = math.cos(phi) * 0.2, math.sin(phi) * 0.2
                row.append([a * N[c] + C[c] + b * B[c] for c in range(3)] + [0.0])
            self.P.append(row)
        self.last_row, self.last_col = len(self.P) - 1, len(self.section) - 1
        rows, cols = range(self.last_row + 1), range(self.last_col + 1)
        self.U = [[[0.0] * 4 for _ in cols] for _ in rows]
        self.W = [[[0.0] * 4 for _ in cols] for _ in rows]
        self.T = [[[0.0] * 4 for _ in cols] for _ in rows]
        for c in range(3):
            self._along_curve(self.P, self.U, c)
            self._around_tube(self.P, self.W, c)
        for j in cols:  # the closed seam takes the first row's slope
            self.U[self.last_row][j][:3] = self.U[0][j][:3]
        for i in rows:
            self.W[i][self.last_col][:3] = self.W[i][0][:3]
        for c in range(3):
            self._around_tube(self.U, self.T, c)
        self.recompute_facing(eye)

    def _along_curve(self, src, dst, c):
        for j in range(self.last_col + 1):
            k = spline_slopes(self.curve, [src[i][j][c] for i in range(self.last_row + 1)])
            for i in range(self.last_row + 1):
                dst[i][j][c] = k[i]

    def _around_tube(self, src, dst, c):
        for i in range(self.last_row + 1):
            k = spline_slopes(self.section, [s[c] for s in src[i]])
            for j in range(self.last_col + 1):
                dst[i][j][c] = k[j]

    def facing_at(self, i, j, eye):
        n = unit(cross(disp(self.U[i][j]), disp(self.W[i][j])))
        return dot(n, unit(sub(eye, disp(self.P[i][j]))))

    def recompute_facing(self, eye):
        for i in range(self.last_row + 1):
            for j in range(self.last_col + 1):
                self.P[i][j][3] = self.facing_at(i, j, eye)
        self._along_curve(self.P, self.U, 3)
        self._around_tube(self.P, self.W, 3)
        self._around_tube(self.U, self.T, 3)

    def digest(self):
        d = Digest()
        for grid in (self.P, self.U, self.W, self.T):
            for row in grid:
                for s in row:
                    d.words.extend(s)
        d.words.extend(self.curve)
        d.words.extend(self.section)
        return d.flush()

    def visible(self):
        return sum(1 for row in self.P for s in row if s[3] >= 0.001)


# Orbit step: the three-angle rotation (0, 10 degrees, 0), applied to a column.
ORBIT = deg_to_rad(10.0)
SA, CA = math.sin(0.0), math.cos(0.0)
SB, CB = math.sin(ORBIT), math.cos(ORBIT)
SC, CC = math.sin(0.0), math.cos(0.0)
ROT = (CB * CC, (-CB) * SC, SB,
       (SA * SB) * CC + CA * SC, ((-SA) * SB) * SC + CA * CC, (-SA) * CB,
       ((-CA) * SB) * CC + SA * SC, (CA * SB) * SC + SA * CC, CA * CB)
PHASE_STEP = f32(0.02)


def idle(eye, phase):
    x, y, z = eye
    eye = tuple((x * ROT[3 * r] + y * ROT[3 * r + 1]) + z * ROT[3 * r + 2] for r in range(3))
    phase = f32(phase + PHASE_STEP)
    return eye, (0.0 if phase > 0.9 else phase)


BASIS = [1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, -3.0, 3.0, -2.0, -1.0, 2.0, -2.0, 1.0, 1.0]
BASIS_T = [1.0, 0.0, -3.0, 2.0, 0.0, 0.0, 3.0, -2.0, 0.0, 1.0, -2.0, 1.0, 0.0, 0.0, -1.0, 1.0]


def mat_mul(a, b):
    return [((a[4 * i] * b[j] + a[4 * i + 1] * b[4 + j]) + a[4 * i + 2] * b[8 + j]) + a[4 * i + 3] * b[12 + j]
            for i in range(4) for j in range(4)]


def u_terms(C, u):  # a_k of the patch evaluation: column k of C against (1, u, u2, u3)
    u2 = u * u
    u3 = u2 * u
    return [((C[k] + C[4 + k] * u) + C[8 + k] * u2) + C[12 + k] * u3 for k in range(4)]


def w_dot(a, w):
    w2 = w * w
    return ((a[0] * 1.0 + a[1] * w) + a[2] * w2) + a[3] * (w2 * w)


# Leaf bounds of the 4-level quadtree over [0, 1.05], as indices into VALS.
VALS = [0.0] * 17
VALS[16] = 1.05
LEAVES = []


def _split(lo, hi):
    if hi - lo > 1:
        mid = (lo + hi) // 2
        VALS[mid] = (VALS[lo] + VALS[hi]) / 2
        _split(lo, mid)
        _split(mid, hi)


def _quads(u0, u1, w0, w1):
    if u1 - u0 > 1:
        um, wm = (u0 + u1) // 2, (w0 + w1) // 2
        for q in ((u0, um, w0, wm), (um, u1, w0, wm), (u0, um, wm, w1), (um, u1, wm, w1)):
            _quads(*q)
    else:
        LEAVES.append((u0, w0))


_split(0, 16)
_quads(0, 16, 0, 16)
MIDS = [(VALS[k] + VALS[k + 1]) / 2 for k in range(16)]


def frame_start(eye):
    d = Digest()
    d.words += [0.0, 16640.0, 1.0, 5888.0, 2.0, 3.0, *eye, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0]
    return d


def ferguson_frame(g, eye):
    d, polys = frame_start(eye), 0
    for i in range(g.last_row):
        for j in range(g.last_col):
            cs = []
            for c in range(4):
                G = [g.P[i][j][c], g.P[i][j + 1][c], g.W[i][j][c], g.W[i][j + 1][c],
                     g.P[i + 1][j][c], g.P[i + 1][j + 1][c], g.W[i + 1][j][c], g.W[i + 1][j + 1][c],
                     g.U[i][j][c], g.U[i][j + 1][c], g.T[i][j][c], g.T[i][j + 1][c],
                     g.U[i + 1][j][c], g.U[i + 1][j + 1][c], g.T[i + 1][j][c], g.T[i + 1][j + 1][c]]
                cs.append(mat_mul(mat_mul(BASIS, G), BASIS_T))
            au = [[u_terms(C, u) for u in VALS] for C in cs[:3]]
            af = [u_terms(cs[3], u) for u in MIDS]
            corners = {}

            def vertex(iu, iw):  # a corner's value is the same in every cell sharing it
                key = iu * 17 + iw
                if key not in corners:
                    x, y, z = (w_dot(a[iu], VALS[iw]) for a in au)
                    corners[key] = (11.0, f32(y), f32(z), f32(x))
                return corners[key]

            for iu, iw in LEAVES:
                s = w_dot(af[iu], MIDS[iw])
                if not s >= 0.001:
                    continue
                polys += 1
                d.words += [10.0, 0.0, 0.0, f32(0.8 * s + 0.2), 8.0, 9.0]
                for cu, cw in ((iu, iw), (iu, iw + 1), (iu + 1, iw + 1), (iu + 1, iw)):
                    d.words += vertex(cu, cw)
                d.words.append(9.0)
            d.flush()
    d.words.append(12.0)
    return d.flush(), polys


def hermite(t):
    t2 = t * t
    t3 = t2 * t
    return (2.0 * t3 - 3.0 * t2 + 1.0, -2.0 * t3 + 3.0 * t2, t3 - 2.0 * t2 + t, t3 - t2)


def cubic_frame(g, eye, phase):
    d, strips, ue = frame_start(eye), 0, unit(eye)
    for i in range(g.last_row):
        du = g.curve[i + 1] - g.curve[i]
        for j in range(g.last_col):
            A = disp(g.P[i][j])
            shade = dot(ue, unit(cross(sub(disp(g.P[i + 1][j]), A), sub(disp(g.P[i][j + 1]), A))))
            strips += 1
            d.words += [8.0, 8.0]
            t = 0.0
            while t <= 1.0:
                h00, h01, h10, h11 = hermite(t)
                L, R = [[((h00 * g.P[i][k][c] + h01 * g.P[i + 1][k][c]) + h10 * du * g.U[i][k][c])
                         + h11 * du * g.U[i + 1][k][c] for c in range(3)] for k in (j, j + 1)]
                if t != 0.0:
                    n = unit(cross(unit(sub(disp(L), disp(R))), unit(sub(disp(L), A))))
                    shade = dot(unit(eye), n)
                d.words += [10.0, 0.0, f32((0.9 - phase) * shade + 0.2), f32(phase * shade + 0.2),
                            11.0, f32(L[1]), f32(L[2]), f32(L[0]), 11.0, f32(R[1]), f32(R[2]), f32(R[0])]
                t = t + 0.2
            d.words.append(9.0)
        d.flush()
    d.words.append(12.0)
    return d.flush(), strips


def self_checks():
    close = lambda a, b, tol: all(abs(p - q) <= tol for p, q in zip(a, b))
    assert close(spline_slopes([0.0, 1.0, 2.0], [0.0, 1.0, 4.0]), (0.5, 2.0, 3.5), 1e-12)
    assert close(spline_slopes([0.0, 0.5, 1.5, 2.0, 4.0], [1.0, 2.0, 4.0, 5.0, 9.0]), [2.0] * 5, 1e-12)
    assert close(spline_slopes([0.0, 1.0], [0.0, 0.0], 1.0, 0.0), (-2 / 3, 1 / 3), 1e-15)
    assert unit((3.0, 0.0, 4.0))[0] == 0.6000000000000001 and unit((0.0005, 0.0, 0.0)) == (0.0, 0.0, 0.0)
    assert ORBIT == 0.17453292519888888
    assert ROT[0] == ROT[8] == 0.9848077530123025 and ROT[2] == -ROT[6] == 0.17364817766639454
    assert mat_mul(BASIS, BASIS_T)[:4] == [1.0, 0.0, -3.0, 2.0]
    one = [0.0] * 16
    one[3] = 1.0
    assert w_dot(u_terms(one, 0.0), 0.5) == 0.125 and w_dot(u_terms(one, 0.5), 0.0) == 0.0
    eye, phase, phases = (0.0, 0.0, 5.0), f32(0.6), []
    for step in range(1, 63):
        eye, phase = idle(eye, phase)
        phases.append(phase)
        if step == 1:
            assert close(eye, (0.8682408883, 0.0, 4.9240387651), 1e-10)
        if step in (9, 18):
            assert close(eye, (5.0, 0.0, 0.0) if step == 9 else (0.0, 0.0, -5.0), 1e-9)
    assert abs(phases[14] - 0.9) < 1e-6 and phases[15] == 0.0 and phases[61] == 0.0
    assert all(p != 0.0 for p in phases[:15] + phases[16:61])


# --- Kernel model: Vector3, Line3, HPoint, Matrix4 and Matrix3, rebuilt from
# their written behaviour alone. kernel_transcript() writes, line for line, the
# transcript that tests/geometry/kernel_test.cpp writes with the C++ kernel.

INVALID, PLAIN, UNIT = 0, 1, 2
TOLERANCE = 0.001  # normalising, parallel lines and the singular inverse
AXIS_PI = 3.14159


def num(x):
    """A double as an ostream with precision 17 writes it ("%.17g")."""
    return "%.17g" % x


def sqr(d):
    return d * d


class V3:
    """An immutable Vector3; the C++ in-place operations become new values."""

    def __init__(self, x=0.0, y=0.0, z=0.0, kind=PLAIN):
        self.x, self.y, self.z, self.kind = float(x), float(y), float(z), kind

    def valid(self):
        return self.kind != INVALID

    def length(self):
        if self.kind == INVALID:
            return 0.0
        if self.kind == UNIT:
            return 1.0
        return math.sqrt((sqr(self.x) + sqr(self.y)) + sqr(self.z))

    def normalized(self):  # normalize() and unit(): only a Plain vector changes
        if self.kind != PLAIN:
            return self
        ln = self.length()
        if ln >= TOLERANCE:
            f = 1.0 / ln
            return V3(self.x * f, self.y * f, self.z * f, UNIT)
        return V3(0.0, 0.0, 0.0, UNIT)

    def cleared(self):
        return V3(self.x, self.y, self.z, PLAIN) if self.kind == UNIT else self

    # Failed arithmetic gives the default vector, never an Invalid one.
    def plus(self, b):
        if not (self.valid() and b.valid()):
            return V3()
        return V3(self.x + b.x, self.y + b.y, self.z + b.z)

    def minus(self, b):
        if not (self.valid() and b.valid()):
            return V3()
        return V3(self.x - b.x, self.y - b.y, self.z - b.z)

    def cross(self, b):
        if not (self.valid() and b.valid()):
            return V3()
        return V3(self.y * b.z - self.z * b.y, self.z * b.x - self.x * b.z, self.x * b.y - self.y * b.x)

    def times(self, s):  # scaling and negation keep the kind
        return V3(self.x * s, self.y * s, self.z * s, self.kind) if self.valid() else V3()

    def negated(self):
        return V3(-self.x, -self.y, -self.z, self.kind) if self.valid() else V3()

    def dot(self, b):
        if not (self.valid() and b.valid()):
            return 0.0
        return (self.x * b.x + self.y * b.y) + self.z * b.z

    def distance(self, b):
        return self.minus(b).length()

    def __str__(self):
        if self.kind == INVALID:
            return "Invalid"
        body = f"{num(self.x)},{num(self.y)},{num(self.z)}"
        return f"<{body}>" if self.kind == UNIT else f"[{body}]"


class L3:
    def __init__(self, p=None, q=None):
        if p is None:
            self.P, self.V = V3(), V3()
        else:  # a Unit second argument is the direction, any other one a second point
            self.P, self.V = p, q if q.kind == UNIT else q.minus(p).normalized()

    def valid(self):
        return self.V.kind == UNIT and self.P.valid()

    def closest(self, other):
        """(on this, on other), or None when either line is not valid."""
        if not (self.valid() and other.valid()):
            return None
        p1, v1, p2, v2 = self.P, self.V, other.P, other.V
        d = v1.dot(v2)
        den = 1.0 - sqr(d)
        if abs(den) >= TOLERANCE:
            a = v1.dot(p2.minus(p1))
            b = v2.dot(p1.minus(p2))
            s = (d * a + b) / den
            u = (d * b + a) / den
            return p1.plus(v1.times(u)), p2.plus(v2.times(s))
        t = v1.dot(p1.minus(p2)) / d  # parallel (or NaN): the foot of P1
        return p1, p2.plus(v2.times(t))

    def line_distance(self, other):
        pq = self.closest(other)
        return pq[0].distance(pq[1]) if pq else 0.0

    def point_distance(self, pt):
        if not (self.valid() and pt.valid()):
            return 0.0
        t = self.V.dot(pt.minus(self.P))
        return pt.distance(self.P.plus(self.V.times(t)))

    def __str__(self):
        return f"(P={self.P},V={self.V})" if self.valid() else "Invalid"


def between(a, b):  # the Vector3 constructed from two lines
    pq = a.closest(b)
    return pq[0].plus(pq[1]).times(0.5) if pq else V3()


# HPoint: (four components, flag). add/subtract set the flag, negate/scale copy it.
def h_add(a, b, sign=1.0):
    if not (a[1] and b[1]):
        return ((0.0,) * 4, 1)
    return (tuple(p + q if sign > 0 else p - q for p, q in zip(a[0], b[0])), 1)


def h_scale(a, s):
    return (tuple(p * s for p in a[0]), a[1]) if a[1] else ((0.0,) * 4, 1)


def h_neg(a):
    return (tuple(-p for p in a[0]), a[1]) if a[1] else ((0.0,) * 4, 1)


def h_dot(a, b):
    if not (a[1] and b[1]):
        return 0.0
    p, q = a[0], b[0]
    return ((p[0] * q[0] + p[1] * q[1]) + p[2] * q[2]) + p[3] * q[3]


def h_text(a):
    return "{" + ",".join(num(c) for c in a[0]) + f";{a[1]}}}"


# Matrix4 as sixteen row-major entries; the product is mat_mul above.
def m4_text(m):
    return "{" + ",".join(num(e) for e in m) + "}"


# Matrix3 as nine row-major entries.
M3_IDENTITY = [1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0]


def m3_angles(ax, ay, az):  # radians: Rx(ax) . Ry(ay) . Rz(az)
    sa, ca, sb, cb = math.sin(ax), math.cos(ax), math.sin(ay), math.cos(ay)
    sc, cc = math.sin(az), math.cos(az)
    return [cb * cc, (-cb) * sc, sb,
            (sa * sb) * cc + ca * sc, ((-sa) * sb) * sc + ca * cc, (-sa) * cb,
            ((-ca) * sb) * cc + sa * sc, (ca * sb) * sc + sa * cc, ca * cb]


def m3_axis(axis, angle):  # degrees with the short pi; the axis is used as given
    th = angle * AXIS_PI / 180.0
    c, s = math.cos(th), math.sin(th)
    t, x, y, z = 1.0 - c, axis.x, axis.y, axis.z
    return [t * x * x + c, t * x * y - z * s, t * x * z + y * s,
            t * x * y + z * s, t * y * y + c, t * y * z - x * s,
            t * x * z - y * s, t * y * z + x * s, t * z * z + c]


def m3_apply(m, v):  # the kind of v is ignored, the result is Plain
    x, y, z = v.x, v.y, v.z
    return V3(*((x * m[3 * r] + y * m[3 * r + 1]) + z * m[3 * r + 2] for r in range(3)))


def m3_mul(a, b):
    return [(a[3 * i] * b[j] + a[3 * i + 1] * b[3 + j]) + a[3 * i + 2] * b[6 + j]
            for i in range(3) for j in range(3)]


def m3_det(m):
    return ((m[4] * m[8] - m[5] * m[7]) * m[0] - (m[3] * m[8] - m[5] * m[6]) * m[1]) + (
        m[3] * m[7] - m[4] * m[6]) * m[2]


def m3_transpose(m):
    return [m[3 * j + i] for i in range(3) for j in range(3)]


def m3_inverse(m):
    d = m3_det(m)
    if not abs(d) >= TOLERANCE:  # also NaN
        return list(M3_IDENTITY)
    adj = [m[4] * m[8] - m[5] * m[7], m[7] * m[2] - m[8] * m[1], m[1] * m[5] - m[2] * m[4],
           m[5] * m[6] - m[3] * m[8], m[8] * m[0] - m[6] * m[2], m[2] * m[3] - m[0] * m[5],
           m[3] * m[7] - m[4] * m[6], m[6] * m[1] - m[7] * m[0], m[0] * m[4] - m[1] * m[3]]
    k = 1.0 / d
    return [e * k for e in adj]


def m3_text(m):
    return "".join(f"({num(m[3 * r])},{num(m[3 * r + 1])},{num(m[3 * r + 2])})\n" for r in range(3))


# Text input. Formatted extraction skips white space before every item; once
# the stream has failed, nothing more is read and the values keep what they held.
BLANKS = " \t\n\v\f\r"
# The longest prefix that can form a number: an exponent only after mantissa digits.
NUMBER = re.compile(r"[+-]?(?:(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]*)?|\.?)")


class Stream:
    def __init__(self, text):
        self.text, self.pos, self.failed = text, 0, False

    def peek(self):  # unformatted: no white space is skipped
        return None if self.failed or self.pos == len(self.text) else self.text[self.pos]

    def _skip(self):
        while self.pos < len(self.text) and self.text[self.pos] in BLANKS:
            self.pos += 1

    def char(self):
        if self.failed:
            return None
        self._skip()
        c = self.peek()
        if c is None:
            self.failed = True
        else:
            self.pos += 1
        return c

    def number(self, old):
        """The double read; a failed number leaves the component as it was."""
        if self.failed:
            return old
        self._skip()
        digits = NUMBER.match(self.text, self.pos).group()
        self.pos += len(digits)  # what was looked at stays consumed, even on failure
        try:
            return float(digits)  # rejects "", "-", "." and "1e" as the C++ reader does
        except ValueError:
            self.failed = True
            return old


def read_v3(s, v):  # bracket, x, separator, y, separator, z, bracket; the kind stays
    s.char()
    xyz = []
    for old in (v.x, v.y, v.z):
        xyz.append(s.number(old))
        s.char()
    return V3(*xyz, v.kind)


def read_l3(s, line):
    out = L3()
    if s.char() == "I":  # "Invalid": at most 19 characters up to the d, which stays
        for _ in range(19):
            if s.peek() in (None, "d"):
                break
            s.pos += 1
    else:  # "(P=" point ",V=" direction, both keeping their kinds
        s.char()
        s.char()
        out.P = read_v3(s, line.P)
        for _ in range(3):
            s.char()
        out.V = read_v3(s, line.V)
    s.char()  # the d of "Invalid" or the closing bracket
    return out


def read_m3(s, m):  # each row reads as a vector does: four characters around three numbers
    rows = [read_v3(s, V3(*m[3 * r:3 * r + 3])) for r in range(3)]
    return [e for v in rows for e in (v.x, v.y, v.z)]


def kernel_transcript():
    """The operands and the order of the C++ kernel test, one line per operand or pair."""
    out, flag = [], lambda b: "1" if b else "0"
    bad = V3(kind=INVALID)
    u34 = V3(3, 0, 4).normalized()
    vs = [bad, V3(), V3(1, 2.5, -3), V3(3, 4, 0), u34, u34.times(2.0), V3(0.0005, 0, 0).normalized(),
          V3(0.001, 0, 0), V3(0, 0, 2), V3(0, -1, 0).normalized()]
    for a in vs:
        out.append(f"{a} {flag(a.valid())}{flag(a.kind == PLAIN)}{flag(a.kind == UNIT)} {num(a.length())} "
                   f"{a.normalized()} {a.cleared()} {a.normalized()} {a.times(-2.0)} {a.negated()} "
                   f"{a.times(0.5)}\n")
        for b in vs:
            s, d, c = a.plus(b), a.minus(b), a.cross(b)
            out.append(f" {s}{d}{c}{s}{d}{c}{c} {num(a.dot(b))} {num(a.dot(b))} {num(a.distance(b))} "
                       f"{L3(a, b)} {num(L3(a, b).point_distance(b))}\n")

    lines = [L3(), L3(V3(), V3(1, 0, 0).normalized()), L3(V3(3, 0, 1), V3(1, 1, 0).normalized()),
             L3(V3(2, -1, 0), V3(0, 1, 0).normalized()), L3(V3(5, 1, 0), V3(-1, 0, 0).normalized()),
             L3(V3(0, 2, 0), V3(1, 0.0316, 0).normalized()), L3(V3(0, 2, 0), V3(1, 0.0317, 0).normalized()),
             L3(V3(1, 2, 3), V3(1, 2, 3.0005)), L3(bad, V3(0, 0, 1).normalized()),
             L3(V3(1, 2, 3), V3(1, 2, 5)), L3(V3(0, 3, 4).normalized(), V3(-1, 0, 0).normalized())]
    for a in lines:
        to_point, to_bad = a.point_distance(V3(2, 5, 0)), a.point_distance(bad)
        out.append(f"{a} {flag(a.valid())} {num(to_point)} {num(to_bad)}\n")
        for b in lines:
            pq = a.closest(b)
            p, q = pq or (V3(7, 7, 7), V3(7, 7, 7))  # a failed call leaves both untouched
            out.append(f" {flag(pq)}{p}{q} {num(a.line_distance(b))} {between(a, b)}\n")

    ms = [M3_IDENTITY, m3_angles(0.3, -1.2, 2.0), m3_angles(0.0, 0.17453292519888888, 0.0),
          m3_axis(V3(1, 2, 2).normalized(), 10.0), m3_axis(V3(0, 0, 2), 90.0),
          [1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 10.0], [0.0] * 9, [0.05, 0, 0, 0, 0.05, 0, 0, 0, 0.05],
          [2.0, 0, 0, 0, 2.0, 0, 0, 0, 2.0], [0.001, 0, 0, 0, 1.0, 0, 0, 0, 1.0],
          [0.000999, 0, 0, 0, 1.0, 0, 0, 0, 1.0]]
    ms = [[float(e) for e in m] for m in ms]
    for a in ms:
        inv = m3_text(m3_inverse(a))
        out.append(f"{m3_text(a)}{num(m3_det(a))}\n{m3_text(m3_transpose(a))}{inv}{inv}")
        out.append("".join(str(m3_apply(a, x)) for x in (vs[0], vs[2], vs[4])) + "\n")
        for b in ms:
            p = m3_text(m3_mul(a, b))
            out.append(p * 3 + m3_text([x + y for x, y in zip(a, b)]) + m3_text([x - y for x, y in zip(a, b)])
                       + m3_text([x * -0.5 for x in a]))
    out.append(m3_text(m3_inverse([math.nan] * 9)))

    hs = [((0.0, 0.0, 0.0, 0.0), 1), ((1.0, 2.0, 3.0, 4.0), 1), ((1.0, 1.0, 1.0, 1.0), 1),
          ((-0.5, 0.25, 3.0, 1e10), 1), ((5.0, 6.0, 7.0, 8.0), 0), ((2.5, -1.0, 0.5, 4.0), 7)]
    for a in hs:
        out.append(h_text(a) + h_text(h_neg(a)) + h_text(h_scale(a, -2.0)) + h_text(h_scale(a, 0.0))
                   + flag(a[1]))
        for b in hs:
            s = h_text(h_add(a, b))
            out.append(f" {s}{h_text(h_add(a, b, -1.0))}{s}{num(h_dot(a, b))},{num(h_dot(a, b))}")
        out.append("\n")

    qs = [[1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1], [1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1],
          [1, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1],
          [1, -2, 3, 0.5, 4, 5, -6, 7, 0.25, 8, 9, 10, -11, 12, 13, 0.125]]
    qs = [[float(e) for e in m] for m in qs]
    for a in qs:
        out.append(f"{m4_text(a)}{num(a[11])},{num(a[14])}\n")  # get(2, 3) and get(3, 2)
        for b in qs:
            p = m4_text(mat_mul(a, b))
            out.append(" " + p * 3 + m4_text([x + y for x, y in zip(a, b)])
                       + m4_text([x - y for x, y in zip(a, b)]) + m4_text([x * 3.0 for x in a]) + "\n")

    # Every text into every reader: what was read, the failure flag and the rest of the text.
    texts = [" ( 1 ; -2.5 ;\n3e2 )X", "<0,0,1>", "", "[1,2", "Invalid", "[1,x,3]",
             " ( P = [1,2,3] , V = <0,0,2> ) ", "Invalid(P=[1,2,3])", "I" + "x" * 19 + "d)",
             "I" + "x" * 20 + "d)", "Iva", "(P=[1,2", "(P=[1,2,3],V=<0,x", "(1,0,0)\n(0,1,0)\n(0,0,1)\n",
             "[1;0;0] {0/1/0}\n<0|0|1>", "(1,2,3)(4,5,6)(7,8,9)x", "(1,2,3)\n(4,5", "(1,x,3)\n(4,5,6)\n(7,8,9)\n"]
    readers = [(read_v3, bad, str), (read_v3, V3(7, 8, 9), str), (read_v3, u34, str), (read_l3, L3(), str),
               (read_l3, L3(V3(7, 8, 9), u34), str), (read_m3, [9.0] * 9, m3_text)]
    for text in texts:
        for reader, into, show in readers:
            s = Stream(text)
            value = reader(s, into)
            out.append(f"{show(value)}{flag(s.failed)}{s.text[s.pos:]}|")
        out.append("\n")
    return "".join(out)


def kernel_checks():
    assert str(V3(3, 0, 4).normalized()) == "<0.60000000000000009,0,0.80000000000000004>"
    assert str(V3(0.001, 0, 0).normalized()) == "<1,0,0>" and V3(0.0005, 0, 0).normalized().length() == 1.0
    assert m3_angles(0.0, ORBIT, 0.0) == list(ROT)
    tall = m3_axis(V3(0, 0, 2), 90.0)
    assert tall[3] == 1.9999999999982396 and tall[8] == 3.9999960196153097
    assert m3_apply(m3_axis(V3(0, 0, 1), 90.0), V3(1, 0, 0)).x == 1.3267948966775328e-06
    assert m3_inverse([0.05, 0, 0, 0, 0.05, 0, 0, 0, 0.05]) == M3_IDENTITY
    x_axis, skew = L3(V3(), V3(1, 0, 0).normalized()), L3(V3(3, 0, 1), V3(1, 1, 0).normalized())
    p, q = x_axis.closest(skew)
    assert str(p) + str(q) == "[3,0,0][3,0,1]" and str(between(x_axis, skew)) == "[3,0,0.5]"
    assert str(L3(V3(), V3(0, 0, 2))) == "(P=[0,0,0],V=<0,0,1>)"


def text_digest(text):
    h = FNV_OFFSET
    for byte in text.encode():
        h = ((h ^ byte) * FNV_PRIME) & MASK
    return h


def main():
    started = time.time()
    self_checks()
    start_eye, start_phase = (0.0, 0.0, 5.0), f32(0.6)

    g = Grid(4, 72, start_eye)
    assert (g.last_row, g.last_col) == (180, 5) and g.curve[1] == 0.06981317007955555
    assert abs(g.curve[180] - 12.56637061432) < 1e-14 and abs(g.section[1] - 1.256637061432) < 1e-15
    assert all(abs(a - b) < 1e-12 for a, b in zip(g.P[0][0], (0.16, 2.0, -0.12)))
    assert all(abs(a - b) < 1e-7 for a, b in zip(g.P[0][1], (0.0494427, 1.8097887, -0.0370820)))
    assert all(abs(a - b) < 1e-9 for a, b in zip(g.P[180][0][:3], g.P[0][0][:3]))
    assert g.U[180][2][:3] == g.U[0][2][:3] and g.U[180][2][3] != g.U[0][2][3]
    assert abs(g.P[0][0][3] - 0.8111) < 5e-5 and abs(g.P[0][3][3] + 0.8181) < 5e-5
    # The facing patch of every cell interpolates its corner values.
    Cf = mat_mul(mat_mul(BASIS, [g.P[0][0][3], g.P[0][1][3], g.W[0][0][3], g.W[0][1][3],
                                 g.P[1][0][3], g.P[1][1][3], g.W[1][0][3], g.W[1][1][3],
                                 g.U[0][0][3], g.U[0][1][3], g.T[0][0][3], g.T[0][1][3],
                                 g.U[1][0][3], g.U[1][1][3], g.T[1][0][3], g.T[1][1][3]]), BASIS_T)
    assert abs(w_dot(u_terms(Cf, 1.0), 1.0) - g.P[1][1][3]) < 1e-12
    grid_digest, visible, f00 = g.digest(), g.visible(), g.P[0][0][3]
    print(f"ferguson grid 0x{grid_digest:016x}")
    print(f"ferguson facing_visible {visible}")
    print(f"ferguson facing00 {f00!r}")
    g.recompute_facing((5.0, 0.0, 0.0))
    assert abs(g.P[0][0][3] + 0.4482) < 5e-5
    g.recompute_facing((0.0, 0.0, -5.0))
    back_visible, back_f00 = g.visible(), g.P[0][0][3]
    g.recompute_facing(start_eye)
    assert g.digest() == grid_digest, "refresh with the start eye must reproduce the sampled grid"

    eye, phase = start_eye, start_phase
    for step in range(21):
        if step:
            eye, phase = idle(eye, phase)
            g.recompute_facing(eye)
        if step in (0, 1, 2, 3, 20):
            h, polys = ferguson_frame(g, eye)
            print(f"ferguson frame {step} 0x{h:016x} polygons {polys}")

    c = Grid(4, 8, start_eye)
    assert (c.last_row, c.last_col) == (180, 45)
    print(f"cubic grid 0x{c.digest():016x}")
    eye, phase = start_eye, start_phase
    for step in range(17):
        if step:
            eye, phase = idle(eye, phase)
        if step in (0, 1, 2, 3, 16):
            h, strips = cubic_frame(c, eye, phase)
            print(f"cubic frame {step} 0x{h:016x} strips {strips}")
    assert phase == 0.0

    # An eye off the orbit's plane, where its y counts: right after sampling.
    g = Grid(4, 72, start_eye)
    g.recompute_facing((1.0, 3.0, -2.0))
    h, polys = ferguson_frame(g, (1.0, 3.0, -2.0))
    print(f"off-plane ferguson frame 0x{h:016x} polygons {polys}")
    h, strips = cubic_frame(c, (1.0, 3.0, -2.0), start_phase)
    print(f"off-plane cubic frame 0x{h:016x} strips {strips}")

    # A grid of 180 x 10 cells, more than the displays keep prepared.
    w = Grid(4, 36, start_eye)
    h, polys = ferguson_frame(w, start_eye)
    print(f"wide ferguson frame 0 0x{h:016x} polygons {polys}")
    h, strips = cubic_frame(w, start_eye, start_phase)
    print(f"wide cubic frame 0 0x{h:016x} strips {strips}")

    print(f"ferguson back_eye facing_visible {back_visible}")
    print(f"ferguson back_eye facing00 {back_f00!r}")
    kernel_started = time.time()
    kernel_checks()
    text = kernel_transcript()
    print(f"kernel transcript 0x{text_digest(text):016x} lines {text.count(chr(10))}")
    print(f"kernel took {time.time() - kernel_started:.2f} s", file=sys.stderr)
    sys.stdout.flush()
    print(f"took {time.time() - started:.1f} s", file=sys.stderr)


if __name__ == "__main__":
    if sys.argv[1:] == ["--kernel"]:
        sys.stdout.write(kernel_transcript())
    else:
        main()
