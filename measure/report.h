#pragma once
// What the measuring program measures, and its measurements as text for
// people, JSON for scripts and CSV for plots.

#include <cstdio>
#include <string>
#include <vector>

#include "distance/measure.h"

// Samples the grid as the menu's key 1 does and measures the patches as
// drawn and scaled, then as any other key does and measures the strips.
std::vector<Block> measureAll(const CentreCurve& curve, const PointSink& sink = {});

// One block per representation, with the definitions it uses.
std::string textReport(const std::vector<Block>& blocks);
std::string jsonReport(const std::vector<Block>& blocks);

// The points as CSV: a header line, then one line per point with its
// representation, kind (vertex or centre), row, col, u, w, x, y, z,
// distance and curve_t_deg.
void writePointsHeader(std::FILE* out);
void writePoint(std::FILE* out, const MeasuredPoint& m);
