// Choosing and installing the renderer.
#include "ui/renderer.h"

#include "station/station.h"
#include "ui/headless.h"
#include "ui/terminal.h"

#include <cstdlib>

namespace ui {
namespace {
Renderer* g_current = nullptr;
} // namespace

std::string ChosenRenderer() {
    const char* wanted = std::getenv("SELVANE_UI");
    std::string name = wanted && *wanted ? wanted : "auto";
    // The desktop renderer is not built yet: "auto" and "desktop" are the terminal when there is
    // one. A program whose standard streams are not a terminal (one started by another program
    // gets /dev/null) never takes it.
    if (name == "auto" || name == "terminal" || name == "desktop")
        return OnTerminal() ? "terminal" : "headless";
    return name;
}

std::unique_ptr<Renderer> MakeRenderer(std::string_view name) {
    if (name == "headless") return std::make_unique<Headless>();
    if (name == "terminal") return std::make_unique<Terminal>();
    return nullptr;
}

void Use(Renderer* renderer) {
    g_current = renderer;
    user::SetHost(renderer);
}

Renderer* Current() {
    return g_current;
}

Renderer* Start() {
    // Every program with windows is reachable from the other processes of its machine.
    station::Join();
    if (g_current) return g_current; // a renderer in use (a test's person) stays
    static std::unique_ptr<Renderer> started = [] {
        auto r = MakeRenderer(ChosenRenderer());
        return r ? std::move(r) : std::make_unique<Headless>();
    }();
    Use(started.get());
    return started.get();
}

} // namespace ui
