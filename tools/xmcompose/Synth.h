#pragma once

#include "XmWriter.h"

namespace synth {

// The instruments of the tune, drawn from sine waves and noise; no recorded sound.
xm::Instrument lead();
xm::Instrument bass();
xm::Instrument pad();
xm::Instrument bell();
xm::Instrument kick();
xm::Instrument snare();
xm::Instrument hihat();

} // namespace synth
