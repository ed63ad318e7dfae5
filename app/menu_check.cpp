// The check marks of the menu bar, read and toggled by command id.
#include "menu_check.h"

#include <cstddef>

#include "app_state.h"

namespace {

// The record as Windows 95 knew it, without the item bitmap: only the state word is wanted.
// That is 44 bytes in the 32-bit build; the 64-bit layout has wider handles and padding.
constexpr UINT kStateOnlyRecordSize = offsetof(MENUITEMINFOA, hbmpItem);
#ifndef _WIN64
static_assert(kStateOnlyRecordSize == 44, "the 32-bit record without hbmpItem is 44 bytes");
#endif

}  // namespace

bool MenuCheck(UINT itemId, bool toggle, HMENU menu)
{
    MENUITEMINFOA info = {};
    info.cbSize = kStateOnlyRecordSize;
    info.fMask = MIIM_STATE;
    if (!menu)
        menu = GetMenu(g_mainWindow);

    GetMenuItemInfoA(menu, itemId, FALSE, &info);
    const bool wasChecked = (info.fState & MFS_CHECKED) != 0;
    if (!toggle)
        return wasChecked;

    // The whole state word is replaced: a toggle also clears any other state bit.
    info.fState = wasChecked ? 0 : MFS_CHECKED;
    SetMenuItemInfoA(menu, itemId, FALSE, &info);
    return !wasChecked;
}

bool IsMenuChecked(UINT itemId, HMENU menu)
{
    return MenuCheck(itemId, false, menu);
}

bool ToggleMenuCheck(UINT itemId, HMENU menu)
{
    return MenuCheck(itemId, true, menu);
}
