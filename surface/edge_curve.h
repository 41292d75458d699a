#pragma once
// The cubic strips' geometry: Hermite edge curves between consecutive grid
// rows, sampled at fixed stations, and their points as the floats sent to GL.

// Parameter step along a strip: six stations from 0 to exactly 1.
constexpr double StripStep = 0.2;
// Room for the stations of a finer step.
constexpr int MaxStations = 8;

// Stations 0, StripStep, ... while not past 1, stepped by repeated addition
// as a user of the strip would: six, the last exactly 1.
struct Stations {
    double t[MaxStations];
    int count;

    static constexpr Stations make() {
        Stations s{};
        for (double t = 0.0; t <= 1.0 && s.count < MaxStations; t = t + StripStep) {
            s.t[s.count++] = t;
        }
        return s;
    }
};

// Computed by the compiler, so that no optimiser can change the stations.
inline constexpr Stations stations = Stations::make();
static_assert(stations.count == 6 && stations.t[3] == 0x1.3333333333334p-1 && stations.t[5] == 1.0);

// A point in surface coordinates.
struct EdgePoint {
    double x;
    double y;
    double z;
};

// Point at t of the cubic Hermite edge curve of column k from grid row i
// (t = 0) to row i + 1 (t = 1): the derivatives along the curve, stored per
// radian, are scaled to one grid step.
EdgePoint edgeCurvePoint(int i, int k, double t);

// The edge curves of row i at every station: edge[k][s] for the columns
// k = 0 .. lastCol. Station 0 is exactly grid row i, the last station
// exactly row i + 1.
void evaluateEdgeRow(int i, EdgePoint (*edge)[MaxStations]);

// p as sent to glVertex3f: display axes (y, z, x), rounded to float.
void stripVertex(const EdgePoint& p, float* out);
