// Menus (resources, popups, the system menu, TrackPopupMenu), icons, cursors, bitmaps, stock
// objects, system metrics, and the lookup of the module's resources.
#include "user/internal.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace res {
namespace {
template <class T> const T* FindIn(const T* items, size_t count, UINT id) {
    for (size_t i = 0; i < count; ++i)
        if (items[i].id == id) return &items[i];
    return nullptr;
}
} // namespace

const Dialog* FindDialog(UINT id) {
    const Module* m = Current();
    return m ? FindIn(m->dialogs, m->dialogCount, id) : nullptr;
}
const Menu* FindMenu(UINT id) {
    const Module* m = Current();
    return m ? FindIn(m->menus, m->menuCount, id) : nullptr;
}
const Image* FindIcon(UINT id) {
    const Module* m = Current();
    return m ? FindIn(m->icons, m->iconCount, id) : nullptr;
}
const Image* FindBitmap(UINT id) {
    const Module* m = Current();
    return m ? FindIn(m->bitmaps, m->bitmapCount, id) : nullptr;
}
} // namespace res

namespace user {
namespace {

struct Menu {
    std::vector<MenuItem> items;
};

struct Image {
    UINT id;
    bool system;
    const res::Image* image;
};

std::recursive_mutex g_objectsLock;
HandleTable<Menu> g_menus(0x00100000u);
HandleTable<Image> g_icons(0x00200000u);
HandleTable<Image> g_bitmaps(0x00300000u);
std::vector<std::pair<UINT, HICON>> g_loadedIcons; // (id | system bit) -> the shared handle

std::shared_ptr<Menu> MenuOf(HMENU menu) {
    std::lock_guard guard(g_objectsLock);
    return g_menus.Find(reinterpret_cast<uintptr_t>(menu));
}

HMENU NewMenu() {
    std::lock_guard guard(g_objectsLock);
    return reinterpret_cast<HMENU>(g_menus.Add(std::make_shared<Menu>()));
}

HMENU Build(const res::MenuItem* items, size_t count) {
    HMENU menu = NewMenu();
    auto m = MenuOf(menu);
    for (size_t i = 0; i < count; ++i) {
        const auto& item = items[i];
        MenuItem mi;
        mi.id = item.id;
        mi.text = item.text ? item.text : "";
        mi.flags = item.flags & ~static_cast<UINT>(MF_POPUP);
        if (!item.text) mi.flags |= MF_SEPARATOR;
        if (item.popup) {
            mi.flags |= MF_POPUP;
            mi.popup = Build(item.popup, item.popupCount);
            mi.id = static_cast<UINT>(-1);
        }
        m->items.push_back(std::move(mi));
    }
    return menu;
}

// The item that `item` names by position or by command (a command is looked for in submenus
// too, as Windows does).
bool Locate(HMENU menu, UINT item, UINT flags, std::shared_ptr<Menu>* owner, size_t* index) {
    auto m = MenuOf(menu);
    if (!m) return false;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return false;
        *owner = m;
        *index = item;
        return true;
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        if (!(m->items[i].flags & MF_POPUP) && m->items[i].id == item) {
            *owner = m;
            *index = i;
            return true;
        }
        if (m->items[i].popup && Locate(m->items[i].popup, item, flags, owner, index)) return true;
    }
    return false;
}

HICON SharedIcon(UINT key, bool system, const res::Image* image) {
    std::lock_guard guard(g_objectsLock);
    for (const auto& [k, h] : g_loadedIcons)
        if (k == key) return h;
    auto handle = reinterpret_cast<HICON>(
        g_icons.Add(std::make_shared<Image>(Image{key & 0xFFFF, system, image})));
    g_loadedIcons.emplace_back(key, handle);
    return handle;
}

} // namespace

std::vector<MenuItem> MenuItems(HMENU menu) {
    auto m = MenuOf(menu);
    return m ? m->items : std::vector<MenuItem>{};
}

HMENU CreateSystemMenu(HWND window) {
    auto w = Get(window);
    if (!w) return nullptr;
    HMENU menu = CreatePopupMenu();
    bool boxes = (w->style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) && !(w->style & WS_CHILD);
    if (boxes) AppendMenuA(menu, MF_STRING, SC_RESTORE, "&Restore");
    AppendMenuA(menu, MF_STRING, SC_MOVE, "&Move");
    if (w->style & WS_THICKFRAME) AppendMenuA(menu, MF_STRING, SC_SIZE, "&Size");
    if (boxes && (w->style & WS_MINIMIZEBOX))
        AppendMenuA(menu, MF_STRING, SC_MINIMIZE, "Mi&nimize");
    if (boxes && (w->style & WS_MAXIMIZEBOX))
        AppendMenuA(menu, MF_STRING, SC_MAXIMIZE, "Ma&ximize");
    if (boxes || (w->style & WS_THICKFRAME)) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    return menu;
}

} // namespace user

using namespace user;

extern "C" HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR name) {
    const res::Menu* menu = IS_INTRESOURCE(name) ? res::FindMenu(LOWORD(name)) : nullptr;
    if (!menu) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return Build(menu->items, menu->itemCount);
}

extern "C" HMENU WINAPI CreateMenu(void) {
    return NewMenu();
}
extern "C" HMENU WINAPI CreatePopupMenu(void) {
    return NewMenu();
}

extern "C" BOOL WINAPI DestroyMenu(HMENU menu) {
    auto m = MenuOf(menu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard guard(g_objectsLock);
        g_menus.Remove(reinterpret_cast<uintptr_t>(menu));
    }
    for (const auto& item : m->items)
        if (item.popup) DestroyMenu(item.popup);
    return TRUE;
}

extern "C" BOOL WINAPI IsMenu(HMENU menu) {
    return MenuOf(menu) ? TRUE : FALSE;
}

extern "C" HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    auto m = MenuOf(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    return m->items[static_cast<size_t>(position)].popup;
}

extern "C" int WINAPI GetMenuItemCount(HMENU menu) {
    auto m = MenuOf(menu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return static_cast<int>(m->items.size());
}

extern "C" UINT WINAPI GetMenuItemID(HMENU menu, int position) {
    auto m = MenuOf(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size())
        return static_cast<UINT>(-1);
    const auto& item = m->items[static_cast<size_t>(position)];
    return (item.flags & MF_POPUP) ? static_cast<UINT>(-1) : item.id;
}

extern "C" UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    std::shared_ptr<Menu> owner;
    size_t index;
    if (!Locate(menu, item, flags, &owner, &index)) return static_cast<UINT>(-1);
    const auto& mi = owner->items[index];
    if (mi.popup) return (static_cast<UINT>(GetMenuItemCount(mi.popup)) << 8) | (mi.flags & 0xFF);
    return mi.flags;
}

extern "C" int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int bufferMax,
                                     UINT flags) {
    std::shared_ptr<Menu> owner;
    size_t index;
    if (!Locate(menu, item, flags, &owner, &index)) return 0;
    const std::string& text = owner->items[index].text;
    if (!buffer || bufferMax <= 0) return static_cast<int>(text.size());
    size_t n = std::min(text.size(), static_cast<size_t>(bufferMax - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

namespace {
MenuItem MakeItem(UINT flags, UINT_PTR idNewItem, LPCSTR text) {
    MenuItem mi;
    mi.flags =
        flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_POPUP | MF_DEFAULT);
    if (flags & MF_POPUP) {
        mi.popup = reinterpret_cast<HMENU>(idNewItem);
        mi.id = static_cast<UINT>(-1);
    } else {
        mi.id = static_cast<UINT>(idNewItem);
    }
    if (!(flags & MF_SEPARATOR)) mi.text = text ? text : "";
    return mi;
}
} // namespace

extern "C" BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCSTR text) {
    auto m = MenuOf(menu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    m->items.push_back(MakeItem(flags, idNewItem, text));
    return TRUE;
}

extern "C" BOOL WINAPI InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem,
                                   LPCSTR text) {
    auto m = MenuOf(menu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    std::shared_ptr<Menu> owner = m;
    size_t index = m->items.size();
    if (!(flags & MF_BYPOSITION)) {
        if (!Locate(menu, position, flags, &owner, &index)) return FALSE;
    } else if (position < m->items.size()) {
        index = position;
    }
    owner->items.insert(owner->items.begin() + static_cast<long>(index),
                        MakeItem(flags, idNewItem, text));
    return TRUE;
}

extern "C" BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags) {
    std::shared_ptr<Menu> owner;
    size_t index;
    if (!Locate(menu, position, flags, &owner, &index)) return FALSE;
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    return TRUE;
}

extern "C" BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags) {
    std::shared_ptr<Menu> owner;
    size_t index;
    if (!Locate(menu, position, flags, &owner, &index)) return FALSE;
    HMENU popup = owner->items[index].popup;
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    if (popup) DestroyMenu(popup);
    return TRUE;
}

extern "C" DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT check) {
    std::shared_ptr<Menu> owner;
    size_t index;
    if (!Locate(menu, item, check, &owner, &index)) return static_cast<DWORD>(-1);
    auto& mi = owner->items[index];
    DWORD previous = mi.flags & MF_CHECKED;
    mi.flags = (mi.flags & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
    return previous;
}

extern "C" BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    std::shared_ptr<Menu> owner;
    size_t index;
    if (!Locate(menu, item, enable, &owner, &index)) return -1;
    auto& mi = owner->items[index];
    BOOL previous = static_cast<BOOL>(mi.flags & (MF_GRAYED | MF_DISABLED));
    mi.flags = (mi.flags & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) |
               (enable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

extern "C" HMENU WINAPI GetSystemMenu(HWND window, BOOL revert) {
    auto w = Get(window);
    if (!w || !(w->style & WS_SYSMENU)) return nullptr;
    if (revert) {
        if (w->sysMenu) DestroyMenu(w->sysMenu);
        w->sysMenu = nullptr;
        return nullptr;
    }
    if (!w->sysMenu) w->sysMenu = CreateSystemMenu(window);
    return w->sysMenu;
}

extern "C" BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner,
                                      const RECT*) {
    if (!MenuOf(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    SetCursor(POINT{x, y});
    SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    Popup popup;
    popup.menu = menu;
    popup.owner = owner;
    Popup* previous = ExchangePopup(&popup);
    // Modal while shown: the thread's messages keep flowing until a pick or a dismissal.
    ModalLoop([&] { return popup.done || !IsWindow(owner); }, nullptr);
    ExchangePopup(previous);
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(popup.picked);
    if (popup.picked && IsWindow(owner))
        PostMessageA(owner, WM_COMMAND, MAKEWPARAM(popup.picked, 0), 0);
    return TRUE;
}

// --- icons, cursors, bitmaps, brushes --------------------------------------------------------

extern "C" HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    UINT id = LOWORD(name);
    if (!instance) {
        if (id < 32512 || id > 32516) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        return SharedIcon(id | 0x10000u, true, nullptr);
    }
    const res::Image* image = res::FindIcon(id);
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    // Loading a resource icon again gives the same shared handle, as on Windows.
    return SharedIcon(id, false, image);
}

extern "C" BOOL WINAPI DestroyIcon(HICON icon) {
    std::lock_guard guard(g_objectsLock);
    if (!g_icons.Find(reinterpret_cast<uintptr_t>(icon))) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    // Loaded icons are shared: destroying one keeps it for the other holders.
    return TRUE;
}

extern "C" BOOL WINAPI DrawIcon(HDC dc, int, int, HICON icon) {
    std::lock_guard guard(g_objectsLock);
    return dc && g_icons.Find(reinterpret_cast<uintptr_t>(icon)) ? TRUE : FALSE;
}

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || !IS_INTRESOURCE(name) || LOWORD(name) < 32512 || LOWORD(name) > 32516) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return SharedIcon(LOWORD(name) | 0x20000u, true, nullptr);
}

extern "C" HBITMAP WINAPI LoadBitmapA(HINSTANCE, LPCSTR name) {
    const res::Image* image = IS_INTRESOURCE(name) ? res::FindBitmap(LOWORD(name)) : nullptr;
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard guard(g_objectsLock);
    return reinterpret_cast<HBITMAP>(
        g_bitmaps.Add(std::make_shared<Image>(Image{LOWORD(name), false, image})));
}

extern "C" HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < 0 || object > DEFAULT_GUI_FONT) return nullptr;
    // Stock objects live for ever: tag 0x005, their number + 1 as the slot, generation 0.
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x00500000u | ((object + 1) << 4)));
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ object) {
    uintptr_t value = reinterpret_cast<uintptr_t>(object);
    std::lock_guard guard(g_objectsLock);
    if (g_bitmaps.Find(value)) {
        g_bitmaps.Remove(value);
        return TRUE;
    }
    return (value & 0xFFF00000u) == 0x00500000u ? TRUE : FALSE;
}

extern "C" int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return 800;
    case SM_CYSCREEN:
        return 600;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    }
    return 0;
}

extern "C" BOOL WINAPI WinHelpA(HWND, LPCSTR, UINT, ULONG_PTR) {
    // There is no help viewer; HELP_QUIT and every other command succeed and do nothing.
    return TRUE;
}
