// What the files of platform/afx share among themselves.
#pragma once

#include "afx.h"

namespace afx_internal {

// Thrown by CDataExchange::Fail and caught by UpdateData, inside the framework only.
struct DataExchangeFailed {};

// The framework's own strings (validation prompts), found after the program's.
LPCSTR FrameworkString(UINT id);

} // namespace afx_internal
