#pragma once

#include <ctime>
#include <string>

namespace pw {

// Two append-only logs in "Log Files" under AppDirectory(): "ExecLog.log"
// (export progress) and "ErrorLog.log" (failures, output database life).
// Lines end in CR LF. Every write opens, appends and closes the file.

// Creates "Log Files" and stamps both logs with the start-up header, the
// error log first.
void WriteLogHeader();

// The five header lines for a UTC date and a local time of day.
std::string FormatLogHeader(const std::tm& utcDate, const std::tm& localTime);

// Appends "Code:<code>  Error:<error>  MSG:<text>" to the error log or the
// execution log. False when the file cannot be opened or written; never
// creates the folder and never throws. Safe to call from several threads.
bool WriteLog(int code, int error, const std::string& text, bool toErrorLog);

}  // namespace pw
