#pragma once
// The measurements as text for people, JSON for scripts and CSV for plots.

#include <cstdio>
#include <string>
#include <vector>

#include "measure/measure.h"

// One block per representation, with the definitions it uses.
std::string textReport(const std::vector<Block>& blocks);
std::string jsonReport(const std::vector<Block>& blocks);

// A header line, then one line per point: representation, kind (vertex or
// centre), row, col, u, w, x, y, z, distance, curve_t_deg. False when
// writing failed.
bool writePointsCsv(std::FILE* out, const std::vector<MeasuredPoint>& points);
