// The application object of Larkspur.
#pragma once

#include "framework/app.h"

class CLarkspurApp : public lark::CWinApp {
public:
    BOOL InitInstance() override;
};
