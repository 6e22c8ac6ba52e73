#pragma once

#include <string>

namespace pw {

// Texts of a date serial (days since 1899-12-30, the fraction being the time
// of day; below zero the fraction still counts forward from the day). Both
// read the serial through DateTimeFromSerial: seconds rounded half up, a time
// that rounds to midnight moves to the next day, and the text is empty when
// the serial is not finite or outside years 1 to 9999.

// The cell form "MM/DD/YY HH:MM:SS". Year 1899 shows as 2001, other years
// modulo 100.
std::string FormatDateSerial(double serial);

// The dump form "YYYY-MM-DD HH:MM:SS".
std::string FormatDateSerialIso(double serial);

}  // namespace pw
