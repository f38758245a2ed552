// The library's windows in a Qt program: stop and halt message boxes, and the small
// modal progress window shown while a file is copied, converted or its keys are built.
#pragma once

#include "libs/ferrule/ferrule.h"

namespace corvix::ferrule {

MessageSink& qtMessageSink();
ProgressSink& qtProgressSink();

}  // namespace corvix::ferrule
