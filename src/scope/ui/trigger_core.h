#pragma once

// The trigger core for the windows: its settings structs have members named `signals`, which
// Qt's keyword macro would rewrite, so the header is read with the macro set aside.

#pragma push_macro("signals")
#undef signals
#include "scope/trigger.h"
#pragma pop_macro("signals")
