// Which keys the window keeps from the HTML control. The page is loaded once
// and is not a browser: refresh, select-all, find, open-location, new-window,
// open and print must not work in it. Escape is the dialog's cancel action.
#pragma once

#include <windows.h>

// Whether the host swallows the message instead of letting the control act
// on it: a key-down of F5 or of the Ctrl key itself; and, while Ctrl is held
// down (controlDown), any keystroke message whose key code is A, F, L, N, O
// or P. Every other message goes on to the control.
bool isSwallowedKey(const MSG& message, bool controlDown);

// Whether the message is the Escape key going down, which cancels the dialog.
bool isCancelKey(const MSG& message);

// Whether Ctrl is held down at this moment.
bool controlKeyDown();
