// What the fast-check page asks of the program: the update hand-off and the about box.
#pragma once

#include "pages/fast_check_dialog.h"

// The program's one host of the fast-check page.
FastCheckHost& ProgramFastCheckHost();
