// JUCE declares its X11 window system for code that asks for it before its first include.
#if defined(__linux__) || defined(__FreeBSD__)
 #define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#endif

#include "QueuedWindowEvents.h"

#include "JuceInternals.h"

#if JUCE_LINUX || JUCE_BSD
 #include <juce_events/native/juce_linux_EventLoopInternal.h>
#endif

void QueuedWindowEvents::timerCallback()
{
   #if JUCE_LINUX || JUCE_BSD
    // The same handler the run loop calls for the socket: it reads whatever Xlib holds, and
    // returns at once when nothing is queued.
    if (auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating())
        if (auto* display = windowSystem->getDisplay())
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (
                juce::X11Symbols::getInstance()->xConnectionNumber (display));
   #endif
}
