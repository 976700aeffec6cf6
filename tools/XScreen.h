#pragma once

// The renderer's own connection to the X server, for what JUCE does not offer a host:
// reading a window's real pixels and clicking as a user would. Kept apart from JUCE because
// Xlib's macros clash with its names.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct XArea
{
    int x = 0, y = 0, width = 0, height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    XArea unitedWith (const XArea& other) const;
    XArea intersectedWith (const XArea& other) const;
};

class XScreen
{
public:
    /** Connects to $DISPLAY; null with a one-line reason when there is no display. */
    static std::unique_ptr<XScreen> open (std::string& error);
    ~XScreen();

    XArea screenArea() const;

    /** A window's area in screen coordinates (empty if it is not mapped). */
    XArea windowArea (unsigned long window) const;

    /** The areas of the mapped popups: top-level windows that bypass the window manager,
        as menus do (JUCE makes its temporary windows override-redirect). */
    std::vector<XArea> popupAreas() const;

    /** The pixels on screen in an area (clipped to the screen), as 0xAARRGGBB with full
        alpha, row by row; reads the screen rather than a window so child windows that
        another client drew into are included. */
    bool grab (XArea area, std::vector<std::uint32_t>& pixels, XArea& grabbed) const;

    /** A mapped window whose title (WM_NAME or _NET_WM_NAME) is exactly this, looked for among
        the top-level windows and their children; 0 if there is none. */
    unsigned long findWindow (const std::string& title) const;

    /** Asks a window to close as a window manager's close button does: the WM_DELETE_WINDOW
        message of the WM_PROTOCOLS it takes part in. False if the window does not take it. */
    bool requestClose (unsigned long window) const;

    bool hasXTest() const;

    /** The pointer and its left button, moved and pressed through the XTest extension as
        a user's hand would: the events reach windows as real input. */
    void movePointer (int x, int y) const;
    void pressButton (bool down) const;

private:
    explicit XScreen (void* display);

    void* display; // ::Display*, kept opaque so Xlib stays out of this header
};
