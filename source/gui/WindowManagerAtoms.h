#pragma once

/** Makes sure the X atoms that JUCE's windows name exist before the first window is made.

    JUCE looks up some window-manager atoms only if they exist and then names them in
    requests regardless (WM_PROTOCOLS when it creates any window, WM_STATE when it asks
    whether one is minimised, _NET_WM_WINDOW_TYPE in one of its decoration hints). On a
    display where no window manager has made them, such a request names atom 0: the server
    answers BadAtom, and a host that leaves Xlib's default error handler in place (Steinberg's
    editorhost) or installs GTK's ends the process. Interning them makes them exist for every
    client, as any window manager would; JUCE's cached look-ups are then refreshed.

    Call on the message thread (or with its lock held) before a window is put on the
    desktop; cheap when the atoms are there already. Does nothing on other platforms. */
void ensureWindowManagerAtoms();
