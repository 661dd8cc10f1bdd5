// The terminal renderer: the window model drawn in a terminal with ncurses, so that a person can
// operate the dialogs over SSH or on a machine without a display, with the keyboard as in a
// Windows dialog, or with the mouse where the terminal reports clicks.
//
// It handles nothing itself: every key becomes a person-like action of automation.h (or the
// WM_CHAR Windows would send to an edit), so the program sees the same messages whatever its
// renderer. The terminal is taken on the first wait of a message loop, and given back at exit,
// on a crash and when the program is ended by a signal.
#pragma once

#include "ui/renderer.h"

#include <memory>

namespace ui {

// Whether standard input and output are both a terminal.
bool OnTerminal();

class Terminal : public Renderer {
public:
    Terminal();
    ~Terminal() override;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    const char* Name() const override { return "terminal"; }
    void Wait(uint64_t deadline) override;

private:
    struct State; // what is on the screen and what the person has open (a list, a menu)
    std::unique_ptr<State> state_;
};

} // namespace ui
