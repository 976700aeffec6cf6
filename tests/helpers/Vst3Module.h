#pragma once

// Loads the built VST3 module the way a host does: dlopen, ModuleEntry, GetPluginFactory,
// and gives typed access to the SDK interfaces it hands out.

#include <juce_core/juce_core.h>

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstunits.h>

#include <dlfcn.h>

#include <array>
#include <string>

namespace testhelpers
{
    /** The module file inside the bundle for this platform. */
    inline juce::File vst3Binary (const juce::File& bundle)
    {
        return bundle.getChildFile ("Contents/x86_64-linux").getChildFile (bundle.getFileNameWithoutExtension() + ".so");
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

    /** A loaded module; unloads it (ModuleExit, dlclose) on destruction. */
    class Vst3Module
    {
    public:
        explicit Vst3Module (const juce::File& bundle)
        {
            handle = dlopen (vst3Binary (bundle).getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
            if (handle == nullptr)
            {
                error = dlerror();
                return;
            }

            moduleEntry = reinterpret_cast<bool (*) (void*)> (dlsym (handle, "ModuleEntry"));
            moduleExit = reinterpret_cast<bool (*)()> (dlsym (handle, "ModuleExit"));
            getFactory = reinterpret_cast<Steinberg::IPluginFactory* (*) ()> (dlsym (handle, "GetPluginFactory"));

            if (moduleEntry != nullptr)
                entered = moduleEntry (handle);
        }

        ~Vst3Module()
        {
            if (entered && moduleExit != nullptr)
                moduleExit();
            if (handle != nullptr)
                dlclose (handle);
        }

        bool isLoaded() const { return handle != nullptr && entered && getFactory != nullptr; }
        void* symbol (const char* name) const { return handle != nullptr ? dlsym (handle, name) : nullptr; }

        /** A new reference to the module's factory. */
        ComPtr<Steinberg::IPluginFactory> factory() const
        {
            return ComPtr<Steinberg::IPluginFactory> (getFactory != nullptr ? getFactory() : nullptr);
        }

        std::string error;

    private:
        void* handle = nullptr;
        bool entered = false;
        bool (*moduleEntry) (void*) = nullptr;
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
