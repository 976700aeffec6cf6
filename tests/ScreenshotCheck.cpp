// Checks a screenshot written by vantorel-render: it is a PNG of the expected size that
// shows a painted window (not a black or single-colour grab), and optionally that an
// area of it holds lit red pixels (the clip LED), or that it looks like a reference
// picture (mean absolute difference of the colour channels at most PERCENT of full scale).
//
//   vantorel_screenshot_check FILE.png WIDTH HEIGHT [--red-in X Y W H | --like REF.png PERCENT]

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

    juce::Image loadPng (const juce::File& file)
    {
        juce::FileInputStream stream (file);
        juce::PNGImageFormat png;
        if (! stream.openedOk() || ! png.canUnderstand (stream))
            return {};
        stream.setPosition (0);
        return png.decodeImage (stream);
    }

    bool isLitRed (juce::Colour c)
    {
        return c.getRed() > 200 && c.getGreen() < 110 && c.getBlue() < 110;
    }
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 4 && argc != 7 && argc != 9)
        return failure ("usage: vantorel_screenshot_check FILE.png WIDTH HEIGHT [--red-in X Y W H | --like REF.png PERCENT]");

    const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    const int width = juce::String (argv[2]).getIntValue(), height = juce::String (argv[3]).getIntValue();

    const auto image = loadPng (file);
    if (! image.isValid())
        return failure ("not a PNG file that can be decoded: " + file.getFullPathName());

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

    if (argc == 7)
    {
        if (juce::String (argv[4]) != "--like")
            return failure ("unknown option " + juce::String (argv[4]));

        const juce::File refFile (juce::File::getCurrentWorkingDirectory().getChildFile (argv[5]));
        const auto reference = loadPng (refFile);
        if (reference.getBounds() != image.getBounds())
            return failure (refFile.getFullPathName() + " is not a picture of the same size");

        double total = 0.0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
            {
                const auto a = image.getPixelAt (x, y), b = reference.getPixelAt (x, y);
                total += std::abs (a.getRed() - b.getRed()) + std::abs (a.getGreen() - b.getGreen())
                         + std::abs (a.getBlue() - b.getBlue());
            }

        const double percent = 100.0 * total / (3.0 * 255.0 * width * height);
        std::cout << file.getFileName() << " against " << refFile.getFileName() << ": mean difference "
                  << juce::String (percent, 3) << " %" << std::endl;

        if (percent > juce::String (argv[6]).getDoubleValue())
            return failure ("differs from " + refFile.getFullPathName() + " by " + juce::String (percent, 3) + " %");
    }

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
