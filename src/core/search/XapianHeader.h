#pragma once

// Xapian names class members "slots", which Qt's keyword macro would rewrite; so it is included
// through here, with the macro put aside.
#pragma push_macro("slots")
#undef slots
#include <xapian.h>
#pragma pop_macro("slots")
