#pragma once
// The view-dependent facing channel of the surface grid.

// Recomputes, for the current eyePos, the facing value of every grid point
// (cosine between the unit normal Tu x Tw and the unit direction to the eye,
// in display axes), then its slopes along the curve and around the tube and
// its twist. Positions and their derivatives are left untouched.
void recomputeFacing();
