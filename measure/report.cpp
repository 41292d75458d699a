#include "measure/report.h"

#include <charconv>
#include <cstdarg>

#include "app/console.h"
#include "surface/surface_grid.h"

namespace {

constexpr double DegreesPerRadian = 180.0 / 3.14159265358979323846;

// printf into a string.
void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&out[start], static_cast<std::size_t>(length) + 1, format, again);
    va_end(again);
    out.resize(start + static_cast<std::size_t>(length));
}

double percentOfRadius(double distance) {
    return distance / tubeRadius * 100.0;
}

double share(const Steps& s) {
    return s.total > 0 ? static_cast<double>(s.backward) / static_cast<double>(s.total) : 0.0;
}

const char* kindName(PointKind k) {
    return k == PointKind::Vertex ? "vertex" : "centre";
}

const char* heading(Representation r) {
    switch (r) {
        case Representation::Ferguson:
            return "Ferguson patches (key 1), as the viewer draws them";
        case Representation::FergusonPerStep:
            return "Ferguson patches with derivatives scaled by the parameter steps (comparison, "
                   "not drawn)";
        case Representation::Cubic:
            return "Cubic strips (any other key), as the viewer draws them";
    }
    return "";
}

const char* pointsMeasured(Representation r) {
    return r == Representation::Cubic
               ? "every station of every edge curve once, and every quad's centre"
               : "17 x 17 corners and 16 x 16 cell centres of every patch";
}

std::string place(const MeasuredPoint& m) {
    std::string s;
    if (m.representation == Representation::Cubic) {
        if (m.kind == PointKind::Vertex) {
            append(s, "row %d, edge curve of column %d at t %.2f", m.row, m.col, m.u);
        } else {
            append(s, "strip (%d, %d), centre of its quad at t %.2f", m.row, m.col, m.u);
        }
    } else {
        append(s, "patch (%d, %d), %s u %.4f w %.4f", m.row, m.col,
               m.kind == PointKind::Vertex ? "corner" : "cell centre", m.u, m.w);
    }
    append(s, "; closest curve point at %.2f deg", m.curveT * DegreesPerRadian);
    return s;
}

void appendExtreme(std::string& out, const char* label, const MeasuredPoint& m) {
    append(out, "  %s %+.9f  %+7.2f %% of the radius\n    at %s\n", label, m.distance,
           percentOfRadius(m.distance), place(m).c_str());
}

void appendSteps(std::string& out, const char* direction, const Steps& s) {
    append(out, "  backward steps %s %6.2f %%  (%ld of %ld)\n", direction, share(s) * 100.0,
           s.backward, s.total);
}

// The shortest text that reads back as the same double.
std::string number(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::string jsonPoint(const MeasuredPoint& m) {
    std::string s;
    append(s,
           "{\"distance\": %s, \"percent_of_radius\": %s, \"kind\": \"%s\", \"row\": %d, "
           "\"col\": %d, \"u\": %s, \"w\": %s, \"position\": [%s, %s, %s], \"curve_t_deg\": %s}",
           number(m.distance).c_str(), number(percentOfRadius(m.distance)).c_str(),
           kindName(m.kind), m.row, m.col, number(m.u).c_str(), number(m.w).c_str(),
           number(m.position[0]).c_str(), number(m.position[1]).c_str(),
           number(m.position[2]).c_str(), number(m.curveT * DegreesPerRadian).c_str());
    return s;
}

std::string jsonSteps(const Steps& s) {
    std::string out;
    append(out, "{\"backward\": %ld, \"total\": %ld, \"share\": %s}", s.backward, s.total,
           number(share(s)).c_str());
    return out;
}

}  // namespace

std::vector<Block> measureAll(const CentreCurve& curve, const PointSink& sink) {
    std::vector<Block> blocks;
    applyMenuChoice('1');
    sampleSurface();
    blocks.push_back(measureFerguson(curve, Derivatives::PerRadian, sink));
    blocks.push_back(measureFerguson(curve, Derivatives::PerStep, sink));
    applyMenuChoice('2');
    sampleSurface();
    blocks.push_back(measureCubic(curve, sink));
    return blocks;
}

std::string textReport(const std::vector<Block>& blocks) {
    std::string out;
    append(out,
           "Distance of the drawn geometry from the tube (radius %g about its centre curve):\n"
           "the distance of a point to the closest point of the centre curve, minus the radius;\n"
           "positive outside the tube, negative inside. A tessellation step runs backwards along\n"
           "the curve when the closest curve point of its end lies before that of its start\n"
           "(modulo 720 degrees), around the tube when the angle about the curve decreases.\n",
           tubeRadius);
    for (const Block& b : blocks) {
        append(out, "\n%s\n", heading(b.representation));
        append(out, "  points measured   %ld: %s\n", b.points, pointsMeasured(b.representation));
        appendExtreme(out, "largest outside ", b.outside);
        appendExtreme(out, "largest inside  ", b.inside);
        append(out, "  root mean square %12.9f  %7.2f %% of the radius\n", b.rootMeanSquare,
               percentOfRadius(b.rootMeanSquare));
        appendSteps(out, "along the curve:", b.alongCurve);
        appendSteps(out, "around the tube:", b.aroundTube);
    }
    return out;
}

std::string jsonReport(const std::vector<Block>& blocks) {
    std::string out;
    append(out,
           "{\n  \"tube_radius\": %s,\n"
           "  \"distance\": \"distance to the closest point of the centre curve minus the radius, "
           "positive outside the tube\",\n"
           "  \"backward_step\": \"along the curve: the closest curve parameter of the step's end "
           "is below that of its start, modulo the period; around the tube: the angle about the "
           "curve decreases\",\n  \"blocks\": [",
           number(tubeRadius).c_str());
    for (std::size_t n = 0; n < blocks.size(); ++n) {
        const Block& b = blocks[n];
        append(out, "%s\n    {\n", n > 0 ? "," : "");
        append(out, "      \"representation\": \"%s\",\n", representationName(b.representation));
        append(out, "      \"drawn_by_viewer\": %s,\n",
               b.representation == Representation::FergusonPerStep ? "false" : "true");
        append(out, "      \"heading\": \"%s\",\n", heading(b.representation));
        append(out, "      \"points\": %ld,\n", b.points);
        out += "      \"largest_outside\": " + jsonPoint(b.outside) + ",\n";
        out += "      \"largest_inside\": " + jsonPoint(b.inside) + ",\n";
        append(out, "      \"root_mean_square\": {\"distance\": %s, \"percent_of_radius\": %s},\n",
               number(b.rootMeanSquare).c_str(), number(percentOfRadius(b.rootMeanSquare)).c_str());
        out += "      \"backward_steps\": {\"along_curve\": " + jsonSteps(b.alongCurve) +
               ", \"around_tube\": " + jsonSteps(b.aroundTube) + "}\n    }";
    }
    out += "\n  ]\n}\n";
    return out;
}

void writePointsHeader(std::FILE* out) {
    std::fputs("representation,kind,row,col,u,w,x,y,z,distance,curve_t_deg\n", out);
}

void writePoint(std::FILE* out, const MeasuredPoint& m) {
    // A million lines: to_chars formats as printf's %.9g, %.12f and %.6f
    // would, in a fraction of the time.
    char line[320];
    char* at = line;
    char* const end = line + sizeof line;
    const auto text = [&](const char* s) {
        while (*s != '\0') {
            *at++ = *s++;
        }
    };
    const auto number = [&](auto value, auto... format) {
        // A number that does not fit is left empty (none comes near).
        const std::to_chars_result r = std::to_chars(at, end - 1, value, format...);
        at = r.ec == std::errc() ? r.ptr : at;
        *at++ = ',';
    };
    text(representationName(m.representation));
    text(",");
    text(kindName(m.kind));
    text(",");
    number(m.row);
    number(m.col);
    for (double v : {m.u, m.w, m.position[0], m.position[1], m.position[2]}) {
        number(v, std::chars_format::general, 9);
    }
    number(m.distance, std::chars_format::fixed, 12);
    number(m.curveT * DegreesPerRadian, std::chars_format::fixed, 6);
    at[-1] = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(at - line), out);
}
