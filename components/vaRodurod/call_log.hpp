// The optional call log: one line a call, handed to a function the host sets, so
// that tests can assert the order of calls across components through one log.
// Lines are built only while a log function is set.
#pragma once

#include <string>

#include "vaRodurod.h"

namespace varodurod {

void SetCallLog(vrLogFn fn, void* context);
bool CallLogEnabled();
// Hands one line to the log function (if any), outside every lock of ours.
void WriteCallLog(const std::string& line);

}  // namespace varodurod
