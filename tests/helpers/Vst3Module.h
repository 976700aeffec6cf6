#pragma once

// Loads the built VST3 module the way a host does: load the library, call its entry point
// (ModuleEntry on Linux, InitDll on Windows), GetPluginFactory, and gives typed access to
// the SDK interfaces it hands out.

#include <juce_core/juce_core.h>

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstunits.h>

#if ! JUCE_WINDOWS
 #include <dlfcn.h>
#endif

#include <array>
#include <string>

namespace testhelpers
{
#if JUCE_WINDOWS
    inline constexpr const char* entryPointNames[] = { "GetPluginFactory", "InitDll", "ExitDll" };
#else
    inline constexpr const char* entryPointNames[] = { "GetPluginFactory", "ModuleEntry", "ModuleExit" };
#endif

    /** The module file inside the bundle for this platform. */
    inline juce::File vst3Binary (const juce::File& bundle)
    {
#if JUCE_WINDOWS
        return bundle.getChildFile ("Contents/x86_64-win").getChildFile (bundle.getFileName());
#else
        return bundle.getChildFile ("Contents/x86_64-linux").getChildFile (bundle.getFileNameWithoutExtension() + ".so");
#endif
    }

    /** What to give JUCE's VST3 hosting: it takes the bundle folder on Linux, but on Windows
        it only accepts the module file inside it. */
    inline juce::File juceHostablePath (const juce::File& bundle)
    {
#if JUCE_WINDOWS
        return bundle.isDirectory() ? vst3Binary (bundle) : bundle;
#else
        return bundle;
#endif
    }

    inline juce::String fromString128 (const Steinberg::Vst::TChar* text)
    {
        return juce::String (juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (text)));
    }

    /** The four 32-bit words of a class ID, as the SDK's FUID reads them on this platform. */
    inline std::array<juce::uint32, 4> uidWords (const Steinberg::TUID uid)
    {
        std::array<juce::uint32, 4> words {};
        const auto* b = reinterpret_cast<const juce::uint8*> (uid);
#if COM_COMPATIBLE
        words[0] = juce::ByteOrder::littleEndianInt (b);
        words[1] = (juce::uint32) juce::ByteOrder::littleEndianShort (b + 4) << 16 | juce::ByteOrder::littleEndianShort (b + 6);
#else
        words[0] = juce::ByteOrder::bigEndianInt (b);
        words[1] = juce::ByteOrder::bigEndianInt (b + 4);
#endif
        words[2] = juce::ByteOrder::bigEndianInt (b + 8);
        words[3] = juce::ByteOrder::bigEndianInt (b + 12);
        return words;
    }

    /** Releases an SDK interface pointer when it goes out of scope. */
    template <typename Interface>
    class ComPtr
    {
    public:
        ComPtr() = default;
        explicit ComPtr (Interface* p) : ptr (p) {}
        ~ComPtr() { reset(); }
        ComPtr (ComPtr&& other) noexcept : ptr (std::exchange (other.ptr, nullptr)) {}
        ComPtr& operator= (ComPtr&& other) noexcept
        {
            reset();
            ptr = std::exchange (other.ptr, nullptr);
            return *this;
        }
        ComPtr (const ComPtr&) = delete;
        ComPtr& operator= (const ComPtr&) = delete;

        void reset()
        {
            if (ptr != nullptr)
                ptr->release();
            ptr = nullptr;
        }

        Interface* get() const { return ptr; }
        Interface* operator->() const { return ptr; }
        explicit operator bool() const { return ptr != nullptr; }
        void** out()
        {
            reset();
            return reinterpret_cast<void**> (&ptr);
        }

        template <typename Other>
        ComPtr<Other> query (const Steinberg::TUID iid) const
        {
            ComPtr<Other> result;
            if (ptr == nullptr || ptr->queryInterface (iid, result.out()) != Steinberg::kResultOk)
                result.reset();
            return result;
        }

    private:
        Interface* ptr = nullptr;
    };

    /** A loaded module; unloads it (ModuleExit or ExitDll, then the library) on destruction. */
    class Vst3Module
    {
    public:
        explicit Vst3Module (const juce::File& bundle)
        {
            const auto path = vst3Binary (bundle).getFullPathName();
            if (! library.open (path))
            {
#if JUCE_WINDOWS
                error = "cannot load " + path.toStdString();
#else
                error = dlerror();
#endif
                return;
            }

            moduleEntry = reinterpret_cast<EntryFunction> (library.getFunction (entryPointNames[1]));
            moduleExit = reinterpret_cast<bool (*)()> (library.getFunction (entryPointNames[2]));
            getFactory = reinterpret_cast<Steinberg::IPluginFactory* (*) ()> (library.getFunction (entryPointNames[0]));

            if (moduleEntry != nullptr)
#if JUCE_WINDOWS
                entered = moduleEntry();
#else
                entered = moduleEntry (library.getNativeHandle());
#endif
        }

        ~Vst3Module()
        {
            if (entered && moduleExit != nullptr)
                moduleExit();
            library.close();
        }

        bool isLoaded() const { return library.getNativeHandle() != nullptr && entered && getFactory != nullptr; }
        void* symbol (const char* name) { return library.getNativeHandle() != nullptr ? library.getFunction (name) : nullptr; }

        /** A new reference to the module's factory. */
        ComPtr<Steinberg::IPluginFactory> factory() const
        {
            return ComPtr<Steinberg::IPluginFactory> (getFactory != nullptr ? getFactory() : nullptr);
        }

        std::string error;

    private:
#if JUCE_WINDOWS
        using EntryFunction = bool (*)();
#else
        using EntryFunction = bool (*) (void*);
#endif
        juce::DynamicLibrary library;
        bool entered = false;
        EntryFunction moduleEntry = nullptr;
        bool (*moduleExit)() = nullptr;
        Steinberg::IPluginFactory* (*getFactory)() = nullptr;

        JUCE_DECLARE_NON_COPYABLE (Vst3Module)
    };

    /** An initialised component with its connected edit controller. */
    struct Vst3Instance
    {
        ComPtr<Steinberg::Vst::IComponent> component;
        ComPtr<Steinberg::Vst::IEditController> controller;
        ComPtr<Steinberg::Vst::IAudioProcessor> processor;
        ComPtr<Steinberg::Vst::IConnectionPoint> componentConnection, controllerConnection;

        explicit Vst3Instance (Steinberg::IPluginFactory& factory)
        {
            using namespace Steinberg;
            const auto count = factory.countClasses();
            for (int32 i = 0; i < count; ++i)
            {
                PClassInfo info {};
                if (factory.getClassInfo (i, &info) == kResultOk
                    && std::string (info.category) == kVstAudioEffectClass)
                {
                    factory.createInstance (info.cid, Vst::IComponent_iid, component.out());
                    break;
                }
            }

            if (! component || component->initialize (nullptr) != kResultOk)
                return;

            processor = component.query<Vst::IAudioProcessor> (Vst::IAudioProcessor_iid);

            TUID controllerId {};
            if (component->getControllerClassId (controllerId) != kResultOk)
                return;

            factory.createInstance (controllerId, Vst::IEditController_iid, controller.out());
            if (! controller || controller->initialize (nullptr) != kResultOk)
                return;

            componentConnection = component.query<Vst::IConnectionPoint> (Vst::IConnectionPoint_iid);
            controllerConnection = controller.query<Vst::IConnectionPoint> (Vst::IConnectionPoint_iid);
            if (componentConnection && controllerConnection)
            {
                componentConnection->connect (controllerConnection.get());
                controllerConnection->connect (componentConnection.get());
            }
        }

        ~Vst3Instance()
        {
            if (componentConnection && controllerConnection)
            {
                componentConnection->disconnect (controllerConnection.get());
                controllerConnection->disconnect (componentConnection.get());
            }
            componentConnection.reset();
            controllerConnection.reset();
            processor.reset();
            if (controller)
                controller->terminate();
            if (component)
                component->terminate();
        }

        bool isValid() const { return component && controller && processor; }
    };
} // namespace testhelpers
