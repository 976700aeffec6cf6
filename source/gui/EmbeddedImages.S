/*  The panel artwork, embedded byte for byte as the PNG files are on disk.

    Each image becomes a read-only array and a 32-bit count of its bytes, for
    juce::ImageCache::getFromMemory. The assembler copies the files itself, so no
    C++ source has to spell out megabytes of numbers and a clean build stays fast.
    The folder holding the files is given to the assembler with -I by the build.
*/

#if defined (__ELF__)
  #define VANTOREL_IMAGE_SECTION .section .rodata.vantorel_images, "a", @progbits
#elif defined (_WIN32)
  #define VANTOREL_IMAGE_SECTION .section .rdata, "dr"
#else
  #define VANTOREL_IMAGE_SECTION .const_data
#endif

/*  Plain data with a size computed by the assembler: nothing to relocate, so the
    object is position independent. The symbols stay hidden inside the module. */
.macro embed_image name, file
    .global \name
    .global \name\()Size
#if defined (__ELF__)
    .hidden \name
    .hidden \name\()Size
    .type \name, @object
    .type \name\()Size, @object
#endif
    .balign 16
\name:
    .incbin "\file"
\name\()End:
    .balign 4
\name\()Size:
    .long \name\()End - \name
#if defined (__ELF__)
    .size \name, \name\()End - \name
    .size \name\()Size, 4
#endif
.endm

VANTOREL_IMAGE_SECTION

embed_image background_png,         "background.png"
embed_image mix_switch_png,         "mix_switch.png"
embed_image vu_meter_png,           "vu_meter.png"
embed_image power_switch_png,       "power_switch.png"
embed_image delay_btn_png,          "delay_btn.png"
embed_image feedback_btn_png,       "feedback_btn.png"
embed_image cutoff_btn_png,         "cutoff_btn.png"
embed_image feedback_switch_png,    "feedback_switch.png"
embed_image panic_switch_png,       "panic_switch.png"
embed_image filter_switch_png,      "filter_switch.png"
embed_image clipping_leds_png,      "clipping_leds.png"
embed_image preset_arrow_left_png,  "preset_arrow_left.png"
embed_image preset_arrow_right_png, "preset_arrow_right.png"
embed_image redo_png,               "redo.png"
embed_image undo_png,               "undo.png"

#if defined (__ELF__)
/* No executable stack wanted by this object. */
.section .note.GNU-stack, "", @progbits
#endif
