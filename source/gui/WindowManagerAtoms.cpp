// JUCE declares its X11 window system for code that asks for it before its first include.
#if defined(__linux__) || defined(__FreeBSD__)
 #define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#endif

#include "WindowManagerAtoms.h"

#include "JuceInternals.h"

#include <juce_gui_basics/juce_gui_basics.h>

void ensureWindowManagerAtoms()
{
   #if JUCE_LINUX || JUCE_BSD
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED

    auto* windowSystem = juce::XWindowSystem::getInstance();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    if (display == nullptr)
        return;

    // The atoms JUCE's Atoms constructor takes only if they exist (juce_linux_XWindowSystem.cpp),
    // each with the field that caches it.
    using Atoms = juce::XWindowSystemUtilities::Atoms;
    auto& atoms = const_cast<Atoms&> (windowSystem->getAtoms());
    const std::pair<Atom*, const char*> lookedUpIfTheyExist[] = {
        { &atoms.protocols, "WM_PROTOCOLS" },
        { &atoms.protocolList[Atoms::TAKE_FOCUS], "WM_TAKE_FOCUS" },
        { &atoms.protocolList[Atoms::DELETE_WINDOW], "WM_DELETE_WINDOW" },
        { &atoms.protocolList[Atoms::PING], "_NET_WM_PING" },
        { &atoms.changeState, "WM_CHANGE_STATE" },
        { &atoms.state, "WM_STATE" },
        { &atoms.windowType, "_NET_WM_WINDOW_TYPE" },
        { &atoms.windowState, "_NET_WM_STATE" },
        { &atoms.windowStateHidden, "_NET_WM_STATE_HIDDEN" },
    };

    const juce::XWindowSystemUtilities::ScopedXLock xLock;
    for (auto [cached, name] : lookedUpIfTheyExist)
        if (*cached == None)
            *cached = Atoms::getCreating (display, name);
   #endif
}
