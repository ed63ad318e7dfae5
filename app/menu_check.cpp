// MenuCheck: the check marks of the menu bar, read and toggled by command id.
#include "menu_check.h"

#include "app_state.h"

bool MenuCheck(UINT itemId, bool toggle, HMENU menu)
{
    MENUITEMINFOA info = {};
    info.cbSize = 44;  // the Windows 95 layout: only the state word is wanted
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
