// The four on/off switches of the program live only as check marks of the menu bar.
#pragma once
#include <windows.h>

// Reports (toggle false) or flips (toggle true) the check mark of a menu item found by
// command id, and returns whether it is checked now. A null menu means the main
// window's menu bar.
bool MenuCheck(UINT itemId, bool toggle, HMENU menu = nullptr);

bool IsMenuChecked(UINT itemId, HMENU menu = nullptr);
// Returns whether the item is checked afterwards.
bool ToggleMenuCheck(UINT itemId, HMENU menu = nullptr);
