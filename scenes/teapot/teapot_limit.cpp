// Bench-only: the toolkit already draws each teapot as one indexed vertex
// array, the fewest draws two teapots can take, so the scene is its own limit.
#include "viewer.h"

extern const ViewerSettings teapotSettings;

extern const ViewerSettings teapotLimitSettings = teapotSettings;
