// The notification area as Wine shows it on a display without a desktop
// environment: a stand-alone top-level window of Wine's explorer, captioned
// "Wine System Tray", with one child window per icon. Wine shows that window
// while it holds an icon and hides it when the last icon goes (also when the
// icon's owner window is destroyed). Icons cannot be told apart by owner
// from outside, so tests compare counts. And the mouse clicks that a user
// makes on an icon, which Wine turns into the icon's callback messages.
#pragma once

#include "Window.h"

#include <vector>

namespace wineharness {

// The stand-alone tray window when it is visible; an empty Window otherwise.
Window VisibleTrayWindow();
// The icons it shows, in its child order; empty while it is hidden.
std::vector<Window> TrayIcons();

// Mouse input as a user makes it (SendInput), at a point of the screen:
// moves the cursor there, then presses and releases the button.
enum class MouseButton { Left, Right };
void ClickAt(POINT screenPoint, MouseButton button);
// The centre of a window on the screen.
POINT CentreOf(const Window& window);

}  // namespace wineharness
