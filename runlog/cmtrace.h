// The line format of CMTrace and OneTrace, the log viewers of ConfigMgr administrators: one
// event a line, its message between <![LOG[ and ]LOG]!>, then its time, date, component, type
// and thread. A message can hold neither a line break nor the text that ends it, so that no event
// can forge another.
#pragma once

#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace runlog {

// An event's weight, as CMTrace colours it (its "type").
enum class Severity : int { Info = 1, Warning = 2, Failure = 3 };

// One line, CR LF at its end, of `message` (UTF-8). `biasMinutes` is Windows' bias, UTC = local
// time + bias: CMTrace reads it after the time with its sign, one sign ("-60", "+300").
std::string CmTraceLine(std::string_view message, const platform::LocalTime& at, int biasMinutes,
                        Severity severity, std::uint32_t thread);

// The message as a line may hold it: control characters as \r, \n, \t or \xNN, and the text
// that ends a message with its ">" written as "&gt;".
std::string CmTraceMessage(std::string_view message);

} // namespace runlog
