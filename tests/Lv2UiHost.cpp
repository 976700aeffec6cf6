// A small LV2 host with a window, as a desktop LV2 host shows a plug-in's editor: the plug-in
// is instantiated through lilv, its X11 editor is created inside our window with the
// features such hosts pass (instance access to the plug-in, the parent window, the URID map,
// idle calls), and the editor is kept alive by idle calls until the window is closed.
//
//   vantorel_lv2_ui_host BUNDLE [--title TITLE] [--reopen N]
//
// --reopen N first opens and closes the editor N times. Exits 0 once its window has been
// closed (WM_DELETE_WINDOW) and everything is torn down, non-zero if the editor cannot be
// created.

#include <lilv/lilv.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
    constexpr const char* pluginUri = "https://korvane.example/plugins/vantorel";

    std::mutex uridLock;
    std::vector<std::string> uris;

    LV2_URID mapUri (LV2_URID_Map_Handle, const char* uri)
    {
        const std::lock_guard<std::mutex> lock (uridLock);
        for (size_t i = 0; i < uris.size(); ++i)
            if (uris[i] == uri)
                return (LV2_URID) i + 1;
        uris.emplace_back (uri);
        return (LV2_URID) uris.size();
    }

    const char* unmapUrid (LV2_URID_Unmap_Handle, LV2_URID urid)
    {
        const std::lock_guard<std::mutex> lock (uridLock);
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
    }

    void ignoreWrite (LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}

    int fail (const std::string& message)
    {
        std::fprintf (stderr, "vantorel_lv2_ui_host: %s\n", message.c_str());
        return 1;
    }

    /** The editor inside the parent window, created and torn down as a host does it. */
    struct Editor
    {
        const LV2UI_Descriptor* descriptor = nullptr;
        LV2UI_Handle handle = nullptr;
        const LV2UI_Idle_Interface* idle = nullptr;

        bool open (const LV2UI_Descriptor* d, const std::string& bundlePath, LilvInstance* plugin, Window parent)
        {
            static LV2_URID_Map map { nullptr, mapUri };
            static LV2_URID_Unmap unmap { nullptr, unmapUrid };

            const LV2_Feature mapFeature { LV2_URID__map, &map };
            const LV2_Feature unmapFeature { LV2_URID__unmap, &unmap };
            const LV2_Feature instanceFeature { LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle (plugin) };
            const LV2_Feature parentFeature { LV2_UI__parent, reinterpret_cast<void*> (parent) };
            const LV2_Feature idleFeature { LV2_UI__idleInterface, nullptr };
            const LV2_Feature* features[] { &mapFeature, &unmapFeature, &instanceFeature, &parentFeature, &idleFeature, nullptr };

            descriptor = d;
            LV2UI_Widget widget = nullptr;
            handle = d->instantiate (d, pluginUri, bundlePath.c_str(), ignoreWrite, nullptr, &widget, features);
            idle = d->extension_data != nullptr
                       ? static_cast<const LV2UI_Idle_Interface*> (d->extension_data (LV2_UI__idleInterface))
                       : nullptr;
            return handle != nullptr && widget != nullptr && idle != nullptr;
        }

        void runFor (Display* display, double seconds, bool* closeRequested = nullptr, Atom deleteWindow = 0)
        {
            const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds);

            while (std::chrono::steady_clock::now() < end)
            {
                while (XPending (display) > 0)
                {
                    XEvent event;
                    XNextEvent (display, &event);
                    if (closeRequested != nullptr && event.type == ClientMessage && (Atom) event.xclient.data.l[0] == deleteWindow)
                        *closeRequested = true;
                }

                if (closeRequested != nullptr && *closeRequested)
                    return;

                idle->idle (handle);
                std::this_thread::sleep_for (std::chrono::milliseconds (10));
            }
        }

        void close()
        {
            if (handle != nullptr)
                descriptor->cleanup (handle);
            handle = nullptr;
        }
    };
} // namespace

int main (int argc, char* argv[])
{
    if (argc < 2)
        return fail ("usage: vantorel_lv2_ui_host BUNDLE [--title TITLE] [--reopen N]");

    std::string bundle = argv[1], title = "Vantorel LV2 editor";
    int reopen = 0;
    for (int i = 2; i + 1 < argc; i += 2)
    {
        if (std::strcmp (argv[i], "--title") == 0)
            title = argv[i + 1];
        else if (std::strcmp (argv[i], "--reopen") == 0)
            reopen = std::atoi (argv[i + 1]);
    }
    if (bundle.back() != '/')
        bundle += '/';

    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return fail ("cannot open the X display");

    LilvWorld* world = lilv_world_new();
    LilvNode* bundleUri = lilv_new_file_uri (world, nullptr, bundle.c_str());
    lilv_world_load_bundle (world, bundleUri);
    LilvNode* uri = lilv_new_uri (world, pluginUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
    if (plugin == nullptr)
        return fail ("no plug-in " + std::string (pluginUri) + " in " + bundle);

    LV2_URID_Map map { nullptr, mapUri };
    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature* pluginFeatures[] { &mapFeature, nullptr };
    LilvInstance* instance = lilv_plugin_instantiate (plugin, 48000.0, pluginFeatures);
    if (instance == nullptr)
        return fail ("the plug-in cannot be instantiated");

    // The editor's binary and descriptor, from the description as a host finds them.
    LilvUIs* uis = lilv_plugin_get_uis (plugin);
    const LilvUI* ui = lilv_uis_get (uis, lilv_uis_begin (uis));
    char* binary = lilv_file_uri_parse (lilv_node_as_uri (lilv_ui_get_binary_uri (ui)), nullptr);
    void* library = dlopen (binary, RTLD_NOW | RTLD_LOCAL);
    lilv_free (binary);
    if (library == nullptr)
        return fail (std::string ("cannot load the editor's binary: ") + dlerror());

    using UiEntry = const LV2UI_Descriptor* (*) (uint32_t);
    auto entry = reinterpret_cast<UiEntry> (dlsym (library, "lv2ui_descriptor"));
    const LV2UI_Descriptor* descriptor = entry != nullptr ? entry (0) : nullptr;
    if (descriptor == nullptr || std::strcmp (descriptor->URI, lilv_node_as_uri (lilv_ui_get_uri (ui))) != 0)
        return fail ("the binary's lv2ui_descriptor does not give the described editor");

    const int screen = DefaultScreen (display);
    const Window window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, 1100, 420, 0,
                                               BlackPixel (display, screen), BlackPixel (display, screen));
    // The window takes its title once the editor to be looked at is open.
    XStoreName (display, window, (title + " (starting)").c_str());
    Atom deleteWindow = XInternAtom (display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols (display, window, &deleteWindow, 1);
    XMapWindow (display, window);
    XSync (display, False);

    int result = 0;

    for (int i = 0; i < reopen && result == 0; ++i)
    {
        Editor editor;
        if (! editor.open (descriptor, bundle, instance, window))
            result = fail ("the editor could not be created (round " + std::to_string (i + 1) + ")");
        else
            editor.runFor (display, 0.3);
        editor.close();
    }

    if (result == 0)
    {
        Editor editor;
        if (! editor.open (descriptor, bundle, instance, window))
        {
            result = fail ("the editor could not be created");
        }
        else
        {
            XStoreName (display, window, title.c_str());
            XSync (display, False);
            std::printf ("editor open in '%s'\n", title.c_str());
            std::fflush (stdout);
            bool closed = false;
            editor.runFor (display, 120.0, &closed, deleteWindow);
            if (! closed)
                result = fail ("the window was never closed");
        }
        editor.close();
    }

    XDestroyWindow (display, window);
    XCloseDisplay (display);
    lilv_uis_free (uis);
    lilv_instance_free (instance);
    lilv_node_free (uri);
    lilv_node_free (bundleUri);
    lilv_world_free (world);
    dlclose (library);
    return result;
}
