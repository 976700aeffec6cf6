#include "XScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>

namespace
{
    ::Display* dpy (void* d) { return static_cast<::Display*> (d); }

    int lowestBit (unsigned long mask)
    {
        int shift = 0;
        while (mask != 0 && (mask & 1u) == 0)
        {
            mask >>= 1;
            ++shift;
        }
        return shift;
    }

    std::uint32_t channel (unsigned long pixel, unsigned long mask)
    {
        if (mask == 0)
            return 0;

        const auto value = (pixel & mask) >> lowestBit (mask);
        const auto maximum = mask >> lowestBit (mask);
        return (std::uint32_t) (value * 255u / maximum);
    }
} // namespace

XArea XArea::unitedWith (const XArea& other) const
{
    if (isEmpty())
        return other;
    if (other.isEmpty())
        return *this;

    const int left = std::min (x, other.x), top = std::min (y, other.y);
    const int right = std::max (x + width, other.x + other.width);
    const int bottom = std::max (y + height, other.y + other.height);
    return { left, top, right - left, bottom - top };
}

XArea XArea::intersectedWith (const XArea& other) const
{
    const int left = std::max (x, other.x), top = std::max (y, other.y);
    const int right = std::min (x + width, other.x + other.width);
    const int bottom = std::min (y + height, other.y + other.height);
    return { left, top, std::max (0, right - left), std::max (0, bottom - top) };
}

//==============================================================================
std::unique_ptr<XScreen> XScreen::open (std::string& error)
{
    const char* name = std::getenv ("DISPLAY");

    // JUCE would carry on without a display and crash when a window is put on screen.
    if (name == nullptr || *name == 0)
    {
        error = "no X display: DISPLAY is not set (run under Xvfb, e.g. xvfb-run -a)";
        return {};
    }

    auto* d = XOpenDisplay (name);
    if (d == nullptr)
    {
        error = std::string ("cannot open X display '") + name + "'";
        return {};
    }

    // Other programs' windows come and go while we look at them: a window gone between
    // listing and asking about it fails that call only, instead of ending the program
    // (Xlib's default handler exits on any error).
    static XErrorHandler previous = nullptr;
    static const bool installed = [] {
        previous = XSetErrorHandler ([] (::Display* display, XErrorEvent* event) -> int
        {
            return event->error_code == BadWindow ? 0 : previous (display, event);
        });
        return true;
    }();
    (void) installed;

    return std::unique_ptr<XScreen> (new XScreen (d));
}

XScreen::XScreen (void* d) : display (d) {}

XScreen::~XScreen()
{
    XCloseDisplay (dpy (display));
}

XArea XScreen::screenArea() const
{
    const int screen = DefaultScreen (dpy (display));
    return { 0, 0, DisplayWidth (dpy (display), screen), DisplayHeight (dpy (display), screen) };
}

XArea XScreen::windowArea (unsigned long window) const
{
    XWindowAttributes attributes;
    if (window == 0 || ! XGetWindowAttributes (dpy (display), window, &attributes) || attributes.map_state != IsViewable)
        return {};

    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates (dpy (display), window, DefaultRootWindow (dpy (display)), 0, 0, &x, &y, &child);
    return { x, y, attributes.width, attributes.height };
}

std::vector<XArea> XScreen::popupAreas() const
{
    std::vector<XArea> areas;
    ::Window root, parent, *children = nullptr;
    unsigned int count = 0;

    if (! XQueryTree (dpy (display), DefaultRootWindow (dpy (display)), &root, &parent, &children, &count))
        return areas;

    for (unsigned int i = 0; i < count; ++i)
    {
        XWindowAttributes attributes;
        if (! XGetWindowAttributes (dpy (display), children[i], &attributes) || ! attributes.override_redirect)
            continue;

        const auto area = windowArea (children[i]);
        if (! area.isEmpty())
            areas.push_back (area);
    }

    if (children != nullptr)
        XFree (children);

    return areas;
}

bool XScreen::grab (XArea area, std::vector<std::uint32_t>& pixels, XArea& grabbed) const
{
    // Clipped to the screen: reading outside the root window is a BadMatch error, which
    // Xlib's default handler turns into an exit.
    grabbed = area.intersectedWith (screenArea());
    if (grabbed.isEmpty())
        return false;

    auto* image = XGetImage (dpy (display), DefaultRootWindow (dpy (display)), grabbed.x, grabbed.y,
                             (unsigned int) grabbed.width, (unsigned int) grabbed.height, AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;

    pixels.resize ((size_t) grabbed.width * (size_t) grabbed.height);
    const auto red = image->red_mask, green = image->green_mask, blue = image->blue_mask;

    for (int y = 0; y < grabbed.height; ++y)
        for (int x = 0; x < grabbed.width; ++x)
        {
            const auto p = XGetPixel (image, x, y);
            pixels[(size_t) y * (size_t) grabbed.width + (size_t) x] =
                0xff000000u | channel (p, red) << 16 | channel (p, green) << 8 | channel (p, blue);
        }

    XDestroyImage (image);
    return true;
}

namespace
{
    /** A text property as bytes, whatever its type (JUCE writes WM_NAME as UTF8_STRING,
        which XFetchName does not read). */
    std::string textProperty (::Display* d, ::Window w, const char* name)
    {
        const Atom property = XInternAtom (d, name, True);
        if (property == None)
            return {};

        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string text;

        if (XGetWindowProperty (d, w, property, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after, &data) == Success
            && data != nullptr)
        {
            if (format == 8)
                text.assign (reinterpret_cast<const char*> (data), count);
            XFree (data);
        }

        return text;
    }

    std::string titleOf (::Display* d, ::Window w)
    {
        const auto title = textProperty (d, w, "_NET_WM_NAME");
        return title.empty() ? textProperty (d, w, "WM_NAME") : title;
    }

    ::Window findNamed (::Display* d, ::Window parent, const std::string& title, int depth)
    {
        ::Window root, up, *children = nullptr;
        unsigned int count = 0;
        ::Window found = 0;

        if (! XQueryTree (d, parent, &root, &up, &children, &count))
            return 0;

        for (unsigned int i = 0; i < count && found == 0; ++i)
        {
            XWindowAttributes attributes;
            if (XGetWindowAttributes (d, children[i], &attributes) && attributes.map_state == IsViewable
                && titleOf (d, children[i]) == title)
                found = children[i];
            else if (depth > 0)
                found = findNamed (d, children[i], title, depth - 1);
        }

        if (children != nullptr)
            XFree (children);

        return found;
    }
} // namespace

unsigned long XScreen::findWindow (const std::string& title) const
{
    // Without a window manager, applications' windows are the root's children; Wine may nest
    // them one level down.
    return findNamed (dpy (display), DefaultRootWindow (dpy (display)), title, 2);
}

bool XScreen::requestClose (unsigned long window) const
{
    auto* d = dpy (display);
    const Atom protocols = XInternAtom (d, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom (d, "WM_DELETE_WINDOW", False);

    Atom* supported = nullptr;
    int count = 0;
    bool takesIt = false;

    if (XGetWMProtocols (d, window, &supported, &count))
    {
        takesIt = std::find (supported, supported + count, deleteWindow) != supported + count;
        XFree (supported);
    }

    if (! takesIt)
        return false;

    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) deleteWindow;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent (d, window, False, NoEventMask, &event);
    XSync (d, False);
    return true;
}

bool XScreen::hasXTest() const
{
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension (dpy (display), &event, &error, &major, &minor) != 0;
}

void XScreen::movePointer (int x, int y) const
{
    XTestFakeMotionEvent (dpy (display), -1, x, y, CurrentTime);
    XSync (dpy (display), False);
}

void XScreen::pressButton (bool down) const
{
    XTestFakeButtonEvent (dpy (display), 1, down ? True : False, CurrentTime);
    XSync (dpy (display), False);
}
