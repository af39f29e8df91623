#include "runtime/control/loop_guard.h"

#include "runtime/control/messages.h"

void kalvir::LoopGuard::trip() const { ERROR(routine()); }
