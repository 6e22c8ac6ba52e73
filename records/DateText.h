#pragma once

#include <string>

namespace pw {

// A date serial (days since 1899-12-30, the fraction being the time of day;
// below zero the fraction still counts forward from the day) in the cell form
// "MM/DD/YY HH:MM:SS". Year 1899 shows as 2001, other years modulo 100.
// Seconds are rounded half up; a time that rounds to midnight moves to the
// next day. Empty when the serial is not finite or outside years 1 to 9999.
std::string FormatDateSerial(double serial);

}  // namespace pw
