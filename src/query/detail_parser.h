#pragma once

#include "app/form1.h"

namespace jilan::query {

// Fills Label1, Label2, Label13, Text2 and Label8..Label11 from the detail page in slot 4:
// deletion type, deletion time, booking deadline, whois text, and the four price cells
// (or "预定时间已过" in each when the booking is over). Each control is written right after
// its value is found, and every piece on the way is kept in its slot.
void parseDetail(app::Form1& form);

}  // namespace jilan::query
