// Resources as C++ data. Each program or module describes its string table (and, with the
// window system, its dialogs, menus, icons and bitmaps) in one res::Module and registers it once
// with a res::Registration object at namespace scope.
//
// Every binary carries its own copy of the platform layer, so the module registered in it is the
// module's own: LoadStringA and its kin look there whatever instance handle they are given, as
// each deliverable only ever loads its own resources.
#pragma once

#include "base.h"

#include <cstddef>

namespace res {

struct String {
    UINT id;
    const char* text;
};

struct Module {
    const String* strings = nullptr;
    size_t stringCount = 0;
};

void Register(const Module* module);
const Module* Current();
// The text of string `id`, or nullptr when the module has none.
const char* FindString(UINT id);

struct Registration {
    explicit Registration(const Module* module) { Register(module); }
};

} // namespace res
