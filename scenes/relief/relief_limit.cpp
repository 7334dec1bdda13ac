// Bench-only: the scene already draws every tile in one array of quads, the
// fewest draws it can take, so it is its own limit.
#include "viewer.h"

extern const ViewerSettings reliefSettings;

extern const ViewerSettings reliefLimitSettings = reliefSettings;
