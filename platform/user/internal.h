// What the files of platform/user share among themselves.
#pragma once

#include "user/model.h"
#include "win32/resource.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace user {

struct Class {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr, iconSm = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    ATOM atom = 0;
    bool system = false;
};
const Class* FindClass(std::string_view name);

// Case-insensitive comparison, as Windows compares class names and sorts lists.
bool EqualNoCase(std::string_view a, std::string_view b);
int CompareNoCase(std::string_view a, std::string_view b);

struct CreateParams {
    DWORD exStyle = 0;
    const Class* cls = nullptr;
    std::string_view text;
    DWORD style = 0;
    RECT rect{};
    HWND parent = nullptr; // parent of a child, owner of a top-level window
    int id = 0;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
    std::function<void(Window&)> setup; // runs before the first message
};
// Creates a window and sends WM_NCCREATE and WM_CREATE (after the CBT hook's HCBT_CREATEWND).
HWND Create(const CreateParams& params);

LRESULT Call(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Activation as a person's click or the program asks for it: the CBT hook first.
void Activate(HWND window);
void Invalidate(HWND window);
void NotifyParent(HWND control, WORD code);

// Runs messages until `done` says so; IsDialogMessageA with `dialog` when given. Returns false
// when a WM_QUIT ended it early (the quit stays posted for the outer loop).
bool ModalLoop(const std::function<bool()>& done, HWND dialog);

// Handles of small objects (menus, icons, bitmaps, hooks): opaque, validated values. A handle is
// tag | (slot + 1) << 4 | generation: freed slots are used again, and a stale handle, whose
// generation no longer matches, finds nothing.
template <class T> class HandleTable {
public:
    explicit HandleTable(uintptr_t tag) : tag_(tag) {}
    uintptr_t Add(std::shared_ptr<T> object) {
        size_t slot;
        if (!free_.empty()) {
            slot = free_.back();
            free_.pop_back();
        } else {
            if (slots_.size() >= 0xFFFE) return 0;
            slot = slots_.size();
            slots_.emplace_back();
        }
        auto& s = slots_[slot];
        s.generation = static_cast<uint8_t>(s.generation % 15 + 1);
        s.object = std::move(object);
        return tag_ | ((slot + 1) << 4) | s.generation;
    }
    std::shared_ptr<T> Find(uintptr_t handle) const {
        const Slot* s = SlotOf(handle);
        return s ? s->object : nullptr;
    }
    void Remove(uintptr_t handle) {
        if (SlotOf(handle)) {
            size_t slot = ((handle & 0xFFFFFu) >> 4) - 1;
            slots_[slot].object.reset();
            free_.push_back(slot);
        }
    }

private:
    struct Slot {
        std::shared_ptr<T> object;
        uint8_t generation = 0;
    };
    const Slot* SlotOf(uintptr_t handle) const {
        if ((handle & ~uintptr_t{0xFFFFF}) != tag_) return nullptr;
        size_t index = (handle & 0xFFFFFu) >> 4;
        if (index == 0 || index > slots_.size()) return nullptr;
        const Slot& s = slots_[index - 1];
        return s.object && s.generation == (handle & 0xF) ? &s : nullptr;
    }
    uintptr_t tag_;
    std::vector<Slot> slots_;
    std::vector<size_t> free_;
};

// Control procedures of the system classes.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);

HMENU CreateSystemMenu(HWND window);
Popup* ExchangePopup(Popup* popup);
// Creates a dialog from a template; `setup` runs on the dialog window before its first message.
HWND CreateFromTemplate(HINSTANCE instance, const res::Dialog& dialog, HWND owner, DLGPROC proc,
                        LPARAM param, const std::function<void(Window&)>& setup);
// Runs a dialog modally, as DialogBoxParamA does once the window exists.
INT_PTR RunModal(HWND dialog, HWND owner);
bool IsRadio(const Window& window);

} // namespace user
