#pragma once

#include "XmWriter.h"

// The credits tune: eight four-bar sections in A minor, about a minute, looping to its start.
xm::Module composeCreditsTune();
