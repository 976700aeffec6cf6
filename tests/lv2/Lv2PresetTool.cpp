// Writes an LV2 user preset for the built bundle, as an LV2 host saves one: the plug-in is
// instantiated, given the values, and its state saved with lilv into a preset bundle that
// hosts find in their LV2 path.
//
//   vantorel_lv2_preset BUNDLE OUT_FOLDER LABEL id=value...

#include "../helpers/Lv2Host.h"

#include <cstdio>
#include <string>

int main (int argc, char* argv[])
{
    if (argc < 4)
    {
        std::fprintf (stderr, "usage: vantorel_lv2_preset BUNDLE OUT_FOLDER LABEL id=value...\n");
        return 2;
    }

    testhelpers::Lv2World world (argv[1]);
    if (world.plugin == nullptr)
    {
        std::fprintf (stderr, "vantorel_lv2_preset: no plug-in in %s\n", argv[1]);
        return 1;
    }

    testhelpers::Lv2Instance plugin (world, 48000.0, 512);
    if (! plugin.isValid())
    {
        std::fprintf (stderr, "vantorel_lv2_preset: the plug-in cannot be instantiated\n");
        return 1;
    }

    for (int i = 4; i < argc; ++i)
    {
        const std::string assignment (argv[i]);
        const auto equals = assignment.find ('=');
        if (equals == std::string::npos)
        {
            std::fprintf (stderr, "vantorel_lv2_preset: expected id=value, got '%s'\n", argv[i]);
            return 2;
        }
        plugin.setParameter (assignment.substr (0, equals), std::stof (assignment.substr (equals + 1)));
    }

    float left[64] = {}, right[64] = {};
    plugin.process (left, right, 64);

    std::string folder (argv[2]);
    if (folder.back() != '/')
        folder += '/';

    if (! plugin.savePreset (folder, argv[3]))
    {
        std::fprintf (stderr, "vantorel_lv2_preset: cannot save the preset in %s\n", argv[2]);
        return 1;
    }
    return 0;
}
