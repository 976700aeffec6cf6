#pragma once

/** The panel artwork compiled into the module: each PNG file's bytes and its length.

    Obtain an image with juce::ImageCache::getFromMemory (BinaryData::x_png, BinaryData::x_pngSize);
    the cache decodes it once and hands out the same image while it keeps it.
    The arrays are defined in EmbeddedImages.S.
*/

#if defined (__ELF__)
 #define VANTOREL_EMBEDDED_IMAGE extern "C" __attribute__ ((visibility ("hidden"))) const
#else
 #define VANTOREL_EMBEDDED_IMAGE extern "C" const
#endif

namespace BinaryData
{
    VANTOREL_EMBEDDED_IMAGE char background_png[];
    VANTOREL_EMBEDDED_IMAGE int background_pngSize;

    VANTOREL_EMBEDDED_IMAGE char mix_switch_png[];
    VANTOREL_EMBEDDED_IMAGE int mix_switch_pngSize;

    VANTOREL_EMBEDDED_IMAGE char vu_meter_png[];
    VANTOREL_EMBEDDED_IMAGE int vu_meter_pngSize;

    VANTOREL_EMBEDDED_IMAGE char power_switch_png[];
    VANTOREL_EMBEDDED_IMAGE int power_switch_pngSize;

    VANTOREL_EMBEDDED_IMAGE char delay_btn_png[];
    VANTOREL_EMBEDDED_IMAGE int delay_btn_pngSize;

    VANTOREL_EMBEDDED_IMAGE char feedback_btn_png[];
    VANTOREL_EMBEDDED_IMAGE int feedback_btn_pngSize;

    VANTOREL_EMBEDDED_IMAGE char cutoff_btn_png[];
    VANTOREL_EMBEDDED_IMAGE int cutoff_btn_pngSize;

    VANTOREL_EMBEDDED_IMAGE char feedback_switch_png[];
    VANTOREL_EMBEDDED_IMAGE int feedback_switch_pngSize;

    VANTOREL_EMBEDDED_IMAGE char panic_switch_png[];
    VANTOREL_EMBEDDED_IMAGE int panic_switch_pngSize;

    VANTOREL_EMBEDDED_IMAGE char filter_switch_png[];
    VANTOREL_EMBEDDED_IMAGE int filter_switch_pngSize;

    VANTOREL_EMBEDDED_IMAGE char clipping_leds_png[];
    VANTOREL_EMBEDDED_IMAGE int clipping_leds_pngSize;

    VANTOREL_EMBEDDED_IMAGE char preset_arrow_left_png[];
    VANTOREL_EMBEDDED_IMAGE int preset_arrow_left_pngSize;

    VANTOREL_EMBEDDED_IMAGE char preset_arrow_right_png[];
    VANTOREL_EMBEDDED_IMAGE int preset_arrow_right_pngSize;

    VANTOREL_EMBEDDED_IMAGE char redo_png[];
    VANTOREL_EMBEDDED_IMAGE int redo_pngSize;

    VANTOREL_EMBEDDED_IMAGE char undo_png[];
    VANTOREL_EMBEDDED_IMAGE int undo_pngSize;
}

#undef VANTOREL_EMBEDDED_IMAGE
