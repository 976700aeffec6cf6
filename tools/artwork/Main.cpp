// vantorel_artwork: draws the panel artwork, shows it on a contact sheet, and measures
// what it costs the editor to decode.

#include <juce_gui_basics/juce_gui_basics.h>

#include "ArtCommon.h"
#include "Painters.h"
#include "StripPng.h"
#include "gui/EmbeddedImages.h"
#include "gui/UIElement.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
    using namespace art;

    //==============================================================================
    struct Output
    {
        const char* fileName;
        int bitsPerChannel;
        std::function<juce::Image()> paint;
        int frames = 0; // a filmstrip: written with its frame index
    };

    std::vector<Output> allOutputs()
    {
        using namespace layout;

        return {
            { "background.png", 16, [] { return paintBackground(); } },
            { "mix_switch.png", 8, [] { return paintSwitchStrip (mixSwitch, LeverThrow::leftRight, LeverStyle::plain); }, 2 },
            { "vu_meter.png", 8, [] { return paintMeterStrip(); }, 100 },
            { "power_switch.png", 8, [] { return paintSwitchStrip (powerSwitch, LeverThrow::leftRight, LeverStyle::plain); }, 2 },
            { "delay_btn.png", 8, [] { return paintKnobStrip (delayKnob); }, 50 },
            { "feedback_btn.png", 8, [] { return paintKnobStrip (feedbackKnob); }, 50 },
            { "cutoff_btn.png", 8, [] { return paintKnobStrip (cutoffKnob); }, 50 },
            { "feedback_switch.png", 8, [] { return paintSwitchStrip (boostSwitch, LeverThrow::leftRight, LeverStyle::plain); }, 2 },
            { "panic_switch.png", 8, [] { return paintSwitchStrip (panicSwitch, LeverThrow::downUp, LeverStyle::guarded); }, 2 },
            { "filter_switch.png", 8, [] { return paintSwitchStrip (filterSwitch, LeverThrow::downUp, LeverStyle::plain); }, 2 },
            { "clipping_leds.png", 8, [] { return paintLedStrip(); }, 3 },
            { "preset_arrow_left.png", 8, [] { return paintPresetArrow (true); } },
            { "preset_arrow_right.png", 8, [] { return paintPresetArrow (false); } },
            { "redo.png", 8, [] { return paintUndoArrow (true); } },
            { "undo.png", 8, [] { return paintUndoArrow (false); } },
            // The app's icon (desktop entry, Windows installer and program), not embedded.
            { "icons/vantorel-16.png", 8, [] { return paintAppIcon (16); } },
            { "icons/vantorel-32.png", 8, [] { return paintAppIcon (32); } },
            { "icons/vantorel-48.png", 8, [] { return paintAppIcon (48); } },
            { "icons/vantorel-64.png", 8, [] { return paintAppIcon (64); } },
            { "icons/vantorel-128.png", 8, [] { return paintAppIcon (128); } },
            { "icons/vantorel-256.png", 8, [] { return paintAppIcon (256); } },
        };
    }

    /** Straight-alpha RGBA rows, with nothing but zeros where nothing is drawn. */
    strips::Rgba toRgba (const juce::Image& image)
    {
        strips::Rgba out;
        out.width = image.getWidth();
        out.height = image.getHeight();
        out.pixels.reserve ((size_t) out.width * (size_t) out.height * 4);

        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
            {
                const auto c = data.getPixelColour (x, y);
                const bool empty = c.getAlpha() == 0;
                for (auto v : { c.getRed(), c.getGreen(), c.getBlue(), c.getAlpha() })
                    out.pixels.push_back (empty ? 0 : v);
            }
        return out;
    }

    int render (const juce::File& folder, const juce::StringArray& only)
    {
        juce::String error;

        if (! Fonts::load (error))
        {
            std::cerr << error;
            return 1;
        }

        for (const auto& out : allOutputs())
        {
            if (! only.isEmpty() && ! only.contains (out.fileName))
                continue;

            const auto image = out.paint();
            const auto file = folder.getChildFile (out.fileName);

            std::string reason;
            const bool written = out.frames > 0 ? strips::writeStrip (toRgba (image), out.frames, file, reason)
                                                : writePng (image, file, out.bitsPerChannel);
            if (! written)
            {
                std::cerr << "cannot write " << file.getFullPathName() << " " << reason << "\n";
                return 1;
            }

            std::cout << out.fileName << "  " << image.getWidth() << " x " << image.getHeight()
                      << "  " << file.getSize() << " bytes\n";
        }

        if (only.isEmpty() || only.contains ("icons/vantorel.ico"))
        {
            const auto ico = folder.getChildFile ("icons/vantorel.ico");
            if (! writeIco ({ paintAppIcon (16), paintAppIcon (32), paintAppIcon (48), paintAppIcon (256) }, ico))
            {
                std::cerr << "cannot write " << ico.getFullPathName() << "\n";
                return 1;
            }
            std::cout << "icons/vantorel.ico  16, 32, 48, 256  " << ico.getSize() << " bytes\n";
        }

        return 0;
    }

    //==============================================================================
    /** The images the sheet shows: the embedded ones, or those of a folder. */
    struct ImageSource
    {
        juce::File folder;

        juce::Image get (const char* fileName) const
        {
            if (folder != juce::File())
                return juce::ImageFileFormat::loadFrom (folder.getChildFile (fileName));

            static const std::map<std::string, std::pair<const char*, int>> embedded {
                { "background.png", { BinaryData::background_png, BinaryData::background_pngSize } },
                { "mix_switch.png", { BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize } },
                { "vu_meter.png", { BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize } },
                { "power_switch.png", { BinaryData::power_switch_png, BinaryData::power_switch_pngSize } },
                { "delay_btn.png", { BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize } },
                { "feedback_btn.png", { BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize } },
                { "cutoff_btn.png", { BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize } },
                { "feedback_switch.png", { BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize } },
                { "panic_switch.png", { BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize } },
                { "filter_switch.png", { BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize } },
                { "clipping_leds.png", { BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize } },
                { "preset_arrow_left.png", { BinaryData::preset_arrow_left_png, BinaryData::preset_arrow_left_pngSize } },
                { "preset_arrow_right.png", { BinaryData::preset_arrow_right_png, BinaryData::preset_arrow_right_pngSize } },
                { "redo.png", { BinaryData::redo_png, BinaryData::redo_pngSize } },
                { "undo.png", { BinaryData::undo_png, BinaryData::undo_pngSize } },
            };

            const auto& e = embedded.at (fileName);
            return juce::ImageCache::getFromMemory (e.first, e.second);
        }
    };

    /** A value that shows the given frame: halfway between it and the one before, so
        rounding in the element's frame choice cannot tip it to a neighbour. */
    float valueForFrame (int frame, int numFrames)
    {
        return frame == 0 ? 0.0f : ((float) frame - 0.5f) / (float) (numFrames - 1);
    }

    /** The whole panel, drawn the way the editor draws it: background stretched over the
        surface, every element a UIElement in its box, knobs in front. */
    class PanelPreview : public juce::Component
    {
    public:
        PanelPreview (const ImageSource& source, float scale, const std::map<const layout::Element*, float>& values)
            : background (source.get ("background.png"))
        {
            using namespace layout;
            // The stacking the editor uses: switches, meter, LED, then the knobs.
            for (auto* e : { &powerSwitch, &mixSwitch, &boostSwitch, &panicSwitch, &filterSwitch,
                             &levelMeter, &clipLed, &feedbackKnob, &delayKnob, &cutoffKnob })
            {
                const auto box = e->box.toFloat() * scale;
                UIElementSpec spec { source.get (e->fileName), e->numFrames, (int) box.getX(), (int) box.getY(),
                                     (int) box.getWidth(), (int) box.getHeight(), values.at (e) };
                auto& element = *elements.emplace_back (std::make_unique<UIElement> (spec));
                element.setBounds (element.x, element.y, element.width, element.height);
                addAndMakeVisible (element);
            }

            setSize (juce::roundToInt ((float) layout::panelWidth * scale), juce::roundToInt ((float) layout::panelHeight * scale));
        }

        void paint (juce::Graphics& g) override
        {
            g.drawImage (background, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);
        }

    private:
        juce::Image background;
        std::vector<std::unique_ptr<UIElement>> elements;
    };

    juce::Image panelSnapshot (const ImageSource& source, float scale, const std::map<const layout::Element*, float>& values)
    {
        PanelPreview preview (source, scale, values);
        return preview.createComponentSnapshot (preview.getLocalBounds(), true, 1.0f);
    }

    int contactSheet (const juce::File& outFile, const ImageSource& source)
    {
        using namespace layout;
        juce::String error;
        Fonts::load (error);

        const std::map<const Element*, float> defaults {
            { &levelMeter, 0.80f }, { &clipLed, 0.0f }, { &delayKnob, 0.2f }, { &feedbackKnob, 0.7f },
            { &cutoffKnob, 900.0f / 3900.0f }, { &powerSwitch, 1.0f }, { &mixSwitch, 0.0f },
            { &boostSwitch, 1.0f }, { &panicSwitch, 0.0f }, { &filterSwitch, 0.0f }
        };
        const std::map<const Element*, float> other {
            { &levelMeter, 0.985f }, { &clipLed, 1.0f }, { &delayKnob, 1.0f }, { &feedbackKnob, 0.0f },
            { &cutoffKnob, 1.0f }, { &powerSwitch, 0.0f }, { &mixSwitch, 1.0f },
            { &boostSwitch, 0.0f }, { &panicSwitch, 1.0f }, { &filterSwitch, 1.0f }
        };

        const int width = backgroundWidth;
        const auto full = panelSnapshot (source, 2.0f, defaults);
        const auto half = panelSnapshot (source, 1.0f, other);
        const auto small = panelSnapshot (source, 2.0f / 3.0f, defaults);

        struct Cell
        {
            const Element* element;
            int frame;
        };

        std::vector<Cell> cells;

        for (auto* knob : { &delayKnob, &feedbackKnob, &cutoffKnob })
            for (auto f : { 0, 24, 49 })
                cells.push_back ({ knob, f });

        for (auto f : { 0, 1, 2 })
            cells.push_back ({ &clipLed, f });

        for (auto* lever : { &powerSwitch, &mixSwitch, &boostSwitch, &panicSwitch, &filterSwitch })
            for (auto f : { 0, 1 })
                cells.push_back ({ lever, f });

        for (auto f : { 0, 33, 66, 99 })
            cells.push_back ({ &levelMeter, f });

        const int gap = 24, captionHeight = 26;
        std::vector<juce::Rectangle<int>> placed;
        int x = gap, y = full.getHeight() + half.getHeight() + 3 * gap, rowHeight = 0;

        for (const auto& cell : cells)
        {
            // Small parts are shown at twice their size, so their detail can be seen.
            const auto box = cell.element->box * (cell.element->box.getWidth() < 100 ? 2 : 1);

            if (x + box.getWidth() > width - gap)
            {
                x = gap;
                y += rowHeight + captionHeight + gap;
                rowHeight = 0;
            }

            placed.push_back ({ x, y, box.getWidth(), box.getHeight() });
            x += box.getWidth() + gap;
            rowHeight = juce::jmax (rowHeight, box.getHeight());
        }

        const int iconsY = y + rowHeight + captionHeight + gap;
        juce::Image sheet (juce::Image::ARGB, width, iconsY + 49 * 2 + captionHeight + gap, true);
        juce::Graphics g (sheet);
        g.fillAll (juce::Colour (0xff3b3e43));

        g.drawImageAt (full, 0, 0);
        g.drawImageAt (half, gap, full.getHeight() + gap);
        g.drawImageAt (small, gap + half.getWidth() + gap, full.getHeight() + gap);

        const auto caption = Fonts::get().medium != nullptr ? font (Fonts::get().medium, 15.0f) : juce::Font (15.0f);
        g.setColour (juce::Colours::white.withAlpha (0.75f));
        g.setFont (caption);
        g.drawText ("opposite settings at 1x; design size at 2/3 (the smallest window)",
                    gap + half.getWidth() + gap, full.getHeight() + gap + small.getHeight() + 12, 900, 24,
                    juce::Justification::left);

        for (size_t i = 0; i < cells.size(); ++i)
        {
            const auto& cell = cells[i];
            const auto r = placed[i];
            UIElement element ({ source.get (cell.element->fileName), cell.element->numFrames, r.getX(), r.getY(),
                                 r.getWidth(), r.getHeight(), valueForFrame (cell.frame, cell.element->numFrames) });
            element.setBounds (r);
            g.drawImageAt (element.createComponentSnapshot (element.getLocalBounds(), true, 1.0f), r.getX(), r.getY());

            g.setColour (juce::Colours::white.withAlpha (0.75f));
            g.drawText (juce::String (cell.element->fileName).upToFirstOccurrenceOf (".", false, false) + " #" + juce::String (cell.frame),
                        r.getX(), r.getBottom() + 2, r.getWidth() + gap, captionHeight - 4, juce::Justification::left, true);
        }

        int ix = gap;

        for (auto* name : { "preset_arrow_left.png", "preset_arrow_right.png", "undo.png", "redo.png" })
        {
            const auto icon = source.get (name);
            g.drawImage (icon, juce::Rectangle<float> ((float) ix, (float) iconsY, (float) icon.getWidth() * 2.0f, (float) icon.getHeight() * 2.0f));
            g.drawImageAt (icon, ix + icon.getWidth() * 2 + 10, iconsY);
            g.setColour (juce::Colours::white.withAlpha (0.75f));
            g.drawText (name, ix, iconsY + icon.getHeight() * 2 + 2, 240, captionHeight - 4, juce::Justification::left);
            ix += 260;
        }

        outFile.deleteFile();
        juce::FileOutputStream stream (outFile);
        juce::PNGImageFormat png;

        if (! stream.openedOk() || ! png.writeImageToStream (sheet, stream))
        {
            std::cerr << "cannot write " << outFile.getFullPathName() << "\n";
            return 1;
        }

        std::cout << outFile.getFullPathName() << "  " << sheet.getWidth() << " x " << sheet.getHeight() << "\n";
        return 0;
    }

    //==============================================================================
    long residentKiB (const char* field)
    {
        std::ifstream status ("/proc/self/status");
        std::string line;

        while (std::getline (status, line))
            if (line.rfind (field, 0) == 0)
                return std::stol (line.substr (std::string (field).size()));

        return -1;
    }

    /** Decodes every image once, as opening the editor does, and reports the time and
        the memory it takes: the embedded images, or those of a folder. */
    int measure (const juce::File& folder)
    {
        struct Item
        {
            const char* name;
            const char* data;
            int size;
        };

        const Item items[] = {
            { "background.png", BinaryData::background_png, BinaryData::background_pngSize },
            { "mix_switch.png", BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize },
            { "vu_meter.png", BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize },
            { "power_switch.png", BinaryData::power_switch_png, BinaryData::power_switch_pngSize },
            { "delay_btn.png", BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize },
            { "feedback_btn.png", BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize },
            { "cutoff_btn.png", BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize },
            { "feedback_switch.png", BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize },
            { "panic_switch.png", BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize },
            { "filter_switch.png", BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize },
            { "clipping_leds.png", BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize },
            { "preset_arrow_left.png", BinaryData::preset_arrow_left_png, BinaryData::preset_arrow_left_pngSize },
            { "preset_arrow_right.png", BinaryData::preset_arrow_right_png, BinaryData::preset_arrow_right_pngSize },
            { "redo.png", BinaryData::redo_png, BinaryData::redo_pngSize },
            { "undo.png", BinaryData::undo_png, BinaryData::undo_pngSize },
        };

        std::vector<juce::Image> keep;
        long totalBytes = 0;
        double totalMs = 0.0;
        const auto rssBefore = residentKiB ("VmRSS:");

        std::printf ("%-24s %10s %12s %10s\n", "image", "bytes", "pixels", "decode ms");

        for (auto item : items)
        {
            juce::MemoryBlock fileData;

            if (folder != juce::File())
            {
                folder.getChildFile (item.name).loadFileAsData (fileData);
                item.data = static_cast<const char*> (fileData.getData());
                item.size = (int) fileData.getSize();
            }

            const auto start = std::chrono::steady_clock::now();
            auto image = juce::ImageFileFormat::loadFrom (item.data, (size_t) item.size);
            const auto ms = std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();

            std::printf ("%-24s %10d %5d x %-6d %10.1f\n", item.name, item.size, image.getWidth(), image.getHeight(), ms);
            totalBytes += item.size;
            totalMs += ms;
            keep.push_back (std::move (image));
        }

        std::printf ("%-24s %10ld %12s %10.1f\n", "total", totalBytes, "", totalMs);
        std::printf ("resident memory: +%ld MiB holding all decoded images (peak %ld MiB)\n",
                     (residentKiB ("VmRSS:") - rssBefore) / 1024, residentKiB ("VmHWM:") / 1024);
        return 0;
    }

    void usage()
    {
        std::cerr << "usage:\n"
                     "  vantorel_artwork render <folder> [file.png ...]  draw the panel images into <folder>\n"
                     "  vantorel_artwork contact-sheet <out.png> [<folder>]  panel and frames of every strip\n"
                     "                                                    (the embedded images, or those in <folder>)\n"
                     "  vantorel_artwork measure [<folder>]               decode time and memory of the images\n"
                     "                                                    (the embedded ones, or those in <folder>)\n";
    }
}

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juceGui;
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    const auto cwd = juce::File::getCurrentWorkingDirectory();

    if (args.size() >= 2 && args[0] == "render")
    {
        juce::StringArray only (args);
        only.removeRange (0, 2);
        return render (cwd.getChildFile (args[1]), only);
    }

    if ((args.size() == 2 || args.size() == 3) && args[0] == "contact-sheet")
        return contactSheet (cwd.getChildFile (args[1]), { args.size() == 3 ? cwd.getChildFile (args[2]) : juce::File() });

    if ((args.size() == 1 || args.size() == 2) && args[0] == "measure")
        return measure (args.size() == 2 ? cwd.getChildFile (args[1]) : juce::File());

    usage();
    return 2;
}
