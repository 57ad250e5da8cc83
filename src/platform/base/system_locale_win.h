// The user's regional settings and the local clock.
#pragma once

#include "platform/base/datetime.h"
#include "platform/base/win.h"

namespace vantrel {

// The regional settings (patterns, separators, day and month names, era) as
// read on first use; the program reads them once at start-up and every later
// caller sees that same record.
const TLocaleFormats& UserLocale();

// Calendar fields of a SYSTEMTIME.
TDateTimeParts SystemTimeToParts(const SYSTEMTIME& time);

// The current local date and time to the millisecond.
TDateTimeParts LocalNow();

}  // namespace vantrel
