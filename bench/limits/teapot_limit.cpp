// The toolkit already draws each teapot as one indexed vertex array, the
// fewest draws two teapots can take.
#include <GL/glut.h>

#include "limit.h"

extern const ViewerSettings teapotSettings;

namespace {

void drawScene(Viewer&) {
    glutSolidTeapot(1.0);
    glutSolidTeapot(0.5);
}

}  // namespace

extern const ViewerSettings teapotLimitSettings = withScene(teapotSettings, drawScene);
