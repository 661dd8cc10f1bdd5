// The part of the Win32 API that the deliverables call, with Win32 names, types, constants and
// results. Deliverable code includes this header, the framework's header and the C++ standard
// library, and nothing else of the operating system. Each area has a header of its own under
// win32/; this one gathers them.
#pragma once

#include "win32/base.h"
#include "win32/kernel.h"
#include "win32/registry.h"
#include "win32/profile.h"
#include "win32/resource.h"
#include "win32/shell.h"
#include "win32/user.h"
