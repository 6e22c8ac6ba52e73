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

enum class LogFile {
    Error,      // "ErrorLog.log"
    Execution,  // "ExecLog.log"
};

// Appends "Code:0  Error:0  MSG:<text>" to the log: the zeroes stay because
// readers of the logs expect the line to start that way. False when the file
// cannot be opened or written; never creates the folder and never throws.
// Safe to call from several threads.
bool WriteLog(LogFile which, const std::string& text);

}  // namespace pw
