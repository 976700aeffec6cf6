#pragma once

#include <algorithm>

/** The sizes the editor's window takes: the panel's proportion, 1060 : 364, from 706 x 242
    to 1590 x 546, each width with its height rounded to the nearest pixel. The editor's own
    corner and a host that asks (VST3 checkSizeConstraint) both land on these sizes. Plain
    C++, so the module's VST3 layer can use it without JUCE's headers. */
namespace PanelSize
{
    constexpr int designWidth = 1060, designHeight = 364;
    constexpr int minWidth = 706, minHeight = 242, maxWidth = 1590, maxHeight = 546;

    struct Size
    {
        int width = 0, height = 0;
        constexpr bool operator== (const Size& other) const { return width == other.width && height == other.height; }
    };

    /** The panel's height at a width: width x 364 / 1060, rounded (there are no ties). */
    constexpr int heightFor (int width)
    {
        return (int) (((long long) width * 2 * designHeight + designWidth) / (2 * designWidth));
    }

    /** The largest panel size that fits in width x height, or the smallest there is where
        none fits. A panel size is its own answer. */
    constexpr Size largestWithin (int width, int height)
    {
        // heightFor (w) <= height  <=>  w x 364 / 1060 < height + 1/2  <=>  w x 728 < (2 height + 1) x 1060
        const long long widestForHeight = ((2 * (long long) height + 1) * designWidth - 1) / (2 * designHeight);
        const auto w = std::max<long long> (minWidth, std::min<long long> ({ (long long) width, widestForHeight, (long long) maxWidth }));
        return { (int) w, heightFor ((int) w) };
    }

    static_assert (heightFor (designWidth) == designHeight && heightFor (minWidth) == minHeight && heightFor (maxWidth) == maxHeight,
                   "the limits are panel sizes");
} // namespace PanelSize
