#pragma once

/** Height of the editor's bottom strip divided by its design height of 24 pixels.
    Set by the editor's layout; the bottom strip's texts scale their fonts by it.
    Shared by all editors in the process (message thread only): the last laid out wins. */
inline float barScale = 1.0f;
