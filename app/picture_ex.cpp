#include "app/picture_ex.h"

// This build carries no animation: nothing loads, and the main window leaves the area empty
// until its timer shows the banner.
BOOL CPictureEx::LoadAnimationResource() { return FALSE; }

BOOL CPictureEx::StartPlayback() { return FALSE; }
