// Checks a screenshot written by vantorel-render: it is a PNG of the expected size that
// shows a painted window (not a black or single-colour grab), and optionally that an
// area of it holds lit red pixels (the clip LED).
//
//   vantorel_screenshot_check FILE.png WIDTH HEIGHT [--red-in X Y W H]

#include <juce_graphics/juce_graphics.h>

#include <iostream>
#include <set>

namespace
{
    int failure (const juce::String& message)
    {
        std::cerr << "screenshot check: " << message << std::endl;
        return 1;
    }

    bool isLitRed (juce::Colour c)
    {
        return c.getRed() > 200 && c.getGreen() < 110 && c.getBlue() < 110;
    }
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 4 && argc != 9)
        return failure ("usage: vantorel_screenshot_check FILE.png WIDTH HEIGHT [--red-in X Y W H]");

    const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    const int width = juce::String (argv[2]).getIntValue(), height = juce::String (argv[3]).getIntValue();

    juce::FileInputStream stream (file);
    juce::PNGImageFormat png;
    if (! stream.openedOk() || ! png.canUnderstand (stream))
        return failure ("not a PNG file: " + file.getFullPathName());

    stream.setPosition (0);
    const auto image = png.decodeImage (stream);
    if (! image.isValid())
        return failure ("cannot decode " + file.getFullPathName());

    if (image.getWidth() != width || image.getHeight() != height)
        return failure ("size is " + juce::String (image.getWidth()) + "x" + juce::String (image.getHeight()) + ", expected "
                        + juce::String (width) + "x" + juce::String (height));

    int black = 0;
    std::set<juce::uint32> colours;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const auto c = image.getPixelAt (x, y);
            black += (c.getARGB() & 0xffffffu) == 0 ? 1 : 0;
            colours.insert (c.getARGB());
        }

    if (black * 2 > width * height)
        return failure (juce::String (100 * black / (width * height)) + " % of the pixels are black");

    // A painted panel with pictures has thousands of colours; a flat fill has one.
    if (colours.size() < 1000)
        return failure ("only " + juce::String ((int) colours.size()) + " distinct colours");

    if (argc == 9)
    {
        if (juce::String (argv[4]) != "--red-in")
            return failure ("unknown option " + juce::String (argv[4]));

        const juce::Rectangle<int> area (juce::String (argv[5]).getIntValue(), juce::String (argv[6]).getIntValue(),
                                         juce::String (argv[7]).getIntValue(), juce::String (argv[8]).getIntValue());
        int red = 0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                red += isLitRed (image.getPixelAt (x, y)) ? 1 : 0;

        if (red < 20)
            return failure ("no lit red in " + area.toString() + " (" + juce::String (red) + " red pixels)");
    }

    std::cout << file.getFullPathName() << ": " << width << "x" << height << ", " << colours.size() << " colours" << std::endl;
    return 0;
}
