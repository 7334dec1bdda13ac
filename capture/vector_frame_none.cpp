#include "vector_frame.h"

bool convertFrameWithVectors(AlphaRule) { return false; }

bool smoothFrameWithVectors(unsigned) { return false; }
