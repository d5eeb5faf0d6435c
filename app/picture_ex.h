// The animated picture control of the start-up banner.
#pragma once

#include "framework/controls.h"

class CPictureEx : public lark::CStatic {
public:
    // Non-zero when the "PCGIF" animation was found and loaded.
    BOOL LoadAnimationResource();
    BOOL StartPlayback();
};
