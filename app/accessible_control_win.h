// What a screen reader learns of a control drawn by the program: the system's own accessible
// object for the window, with the name, role and state the face gives it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace melvane {

struct AccessibleFacts {
    std::wstring name;
    long role = 0;   // ROLE_SYSTEM_...
    long state = 0;  // STATE_SYSTEM_...
};

// Asked each time the object is read, so the answers follow the face's language and state.
using AccessibleFactsSource = std::function<AccessibleFacts(HWND)>;

// The answer to WM_GETOBJECT for the control's client area; 0 for the other objects and when
// the object cannot be handed over (the system answers then).
LRESULT AnswerGetObject(HWND control, WPARAM wParam, LPARAM lParam,
                        const AccessibleFactsSource& facts);

}  // namespace melvane
