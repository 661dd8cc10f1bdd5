// The REGEDIT4 text format, as Windows' registry editor reads and writes it:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Generic\Selvane\2.00]
//   "Model Name"="Selvane 4-1"        text, with \\ and \" escapes
//   "LPTx"=dword:00000001             a DWORD in hex
//   "Command"=hex:11,91,30,b0,0d,8d   bytes; hex(N): for another type; a long list goes on
//                                     after a backslash at the end of the line
//   @="default value"                 the key's default value
//   "Old"=-                           deletes the value
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\X]  deletes the key with everything under it
#pragma once

#include "reg_key.h"

#include <string>
#include <vector>

namespace selvane {

struct RegOperation {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    KeyName key;
    std::string name; // value name; "" is the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Parses a whole file; throws Failure("line N: ...") at the first malformed line.
std::vector<RegOperation> ParseRegedit(const std::string& text);

// The lines of one value, without the line ending (continuation lines are joined by "\\\r\n  ").
std::string FormatRegeditValue(const std::string& name, DWORD type, const std::vector<BYTE>& data);

} // namespace selvane
