// Renderers present the window model of platform/user and turn a person's input into the
// messages Windows would send. The model is the truth; a renderer only shows it and acts on it
// through the person-like actions of automation.h.
//
// A renderer is the host of every message loop of the thread (user::Host): when a loop has
// nothing to do, it calls Wait, and the renderer draws what changed (windows marked invalid),
// waits for input or the next timer, and acts. Which renderer runs is chosen by SELVANE_UI:
// "headless", "terminal", "desktop" or "auto". The headless and terminal renderers are built; a
// choice that cannot be had falls back to headless.
#pragma once

#include "user/model.h"

#include <memory>
#include <string>
#include <string_view>

namespace ui {

class Renderer : public user::Host {
public:
    virtual const char* Name() const = 0;
};

// The renderer SELVANE_UI asks for ("auto" when unset), as far as it is built.
std::string ChosenRenderer();
// Makes a renderer by name; null for a name that is not built.
std::unique_ptr<Renderer> MakeRenderer(std::string_view name);

// Installs `renderer` as the host of this process's message loops (null: none). The caller keeps
// it alive while it is installed.
void Use(Renderer* renderer);
Renderer* Current();

// Sets up the renderer SELVANE_UI chooses for the rest of the program, unless one is in use.
Renderer* Start();

} // namespace ui
