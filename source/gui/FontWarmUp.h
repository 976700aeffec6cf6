#pragma once

/** JUCE scans every installed font file the first time any text is measured or drawn after it
    starts, to choose its default sans-serif typeface: about 100 ms on a plain system, 300 ms on
    a desktop with the Noto families. Without this, the scan is part of the first editor's
    first paint.

    Hosts create plug-in instances long before anyone opens an editor, so an instance that is
    the only one of the process starts the scan on a thread of its own, and an editor is
    created only once it is over (waiting for it only if it is still running). JUCE's font list
    is not safe to use from two threads at once; with no other instance alive there is no
    editor, and nothing else in the module measures or draws text, so the scan has the list to
    itself. (JUCE lets the list go when the last instance goes and shuts down; the next first
    instance scans again, as JUCE itself would.)

    The standalone app takes no part: its window draws its title at once, on the message
    thread, and JUCE scans there. */
namespace FontWarmUp
{
    /** A plug-in instance was created: the first one alive starts the scan. */
    void instanceCreated();

    /** A plug-in instance goes: JUCE's font list may go with the last, so a scan still
        running is waited for. */
    void instanceDestroyed();

    /** Returns once no scan is running. Called before an editor is created. */
    void waitUntilDone();
} // namespace FontWarmUp
