// The module's VST3 entry point: JUCE's factory, with the objects it creates wrapped where
// JUCE departs from what the VST3 SDK documents:
//  - every audio component, so that no block longer than the host announced reaches JUCE's
//    fixed-size buffers (BlockSplittingComponent.cpp);
//  - every edit controller, so that its editor view resizes in the order the SDK's
//    iplugview.h lays down (EditorViewSequence.cpp).
// Everything else is JUCE's, forwarded unchanged.

#include "Vst3Ref.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

// JUCE's own entry, renamed when its wrapper is compiled (see source/CMakeLists.txt).
extern "C" Steinberg::IPluginFactory* PLUGIN_API JuceGetPluginFactory();

namespace vantorel::vst3
{
using namespace Steinberg;

namespace
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor" // SDK objects are released, never deleted through a base

    //==============================================================================
    class ModuleFactory final : public IPluginFactory3
    {
    public:
        /** Takes over the caller's reference to `factoryToWrap`. */
        explicit ModuleFactory (IPluginFactory* factoryToWrap)
            : factory (factoryToWrap),
              factory2 (Ref<IPluginFactory2>::query (factoryToWrap, IPluginFactory2_iid)),
              factory3 (Ref<IPluginFactory3>::query (factoryToWrap, IPluginFactory3_iid))
        {
            const auto count = factory->countClasses();
            for (int32 i = 0; i < count; ++i)
            {
                PClassInfo info {};
                if (factory->getClassInfo (i, &info) != kResultOk)
                    continue;

                std::array<char, sizeof (TUID)> cid {};
                std::memcpy (cid.data(), info.cid, sizeof (TUID));
                if (std::strcmp (info.category, kVstAudioEffectClass) == 0)
                    componentClasses.push_back (cid);
                else if (std::strcmp (info.category, kVstComponentControllerClass) == 0)
                    controllerClasses.push_back (cid);
            }
        }

        virtual ~ModuleFactory() = default;

        static ModuleFactory* instance;

        //==============================================================================
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (obj == nullptr)
                return kInvalidArgument;

            *obj = nullptr;
            if (sameIid (wanted, FUnknown_iid) || sameIid (wanted, IPluginFactory_iid))
                *obj = static_cast<IPluginFactory*> (this);
            else if (sameIid (wanted, IPluginFactory2_iid) && factory2)
                *obj = static_cast<IPluginFactory2*> (this);
            else if (sameIid (wanted, IPluginFactory3_iid) && factory3)
                *obj = static_cast<IPluginFactory3*> (this);
            else
                return kNoInterface;

            addRef();
            return kResultOk;
        }

        uint32 PLUGIN_API addRef() override { return ++refCount; }

        uint32 PLUGIN_API release() override
        {
            const auto remaining = --refCount;
            if (remaining == 0)
            {
                if (instance == this)
                    instance = nullptr;
                delete this;
            }
            return remaining;
        }

        //==============================================================================
        tresult PLUGIN_API getFactoryInfo (PFactoryInfo* info) override { return factory->getFactoryInfo (info); }
        int32 PLUGIN_API countClasses() override { return factory->countClasses(); }

        // JUCE indexes its class list without checking: a host asking past its end, or
        // passing no structure to fill, gets an error instead of a crash.
        tresult PLUGIN_API getClassInfo (int32 index, PClassInfo* info) override
        {
            return isClassIndex (index, info) ? factory->getClassInfo (index, info) : kInvalidArgument;
        }

        tresult PLUGIN_API getClassInfo2 (int32 index, PClassInfo2* info) override
        {
            return isClassIndex (index, info) ? factory2->getClassInfo2 (index, info) : kInvalidArgument;
        }

        tresult PLUGIN_API getClassInfoUnicode (int32 index, PClassInfoW* info) override
        {
            return isClassIndex (index, info) ? factory3->getClassInfoUnicode (index, info) : kInvalidArgument;
        }

        tresult PLUGIN_API setHostContext (FUnknown* context) override { return factory3->setHostContext (context); }

        tresult PLUGIN_API createInstance (FIDString cid, FIDString wanted, void** obj) override
        {
            // JUCE reads through all three pointers before it checks them.
            if (cid == nullptr || wanted == nullptr || obj == nullptr)
            {
                if (obj != nullptr)
                    *obj = nullptr;
                return kInvalidArgument;
            }

            const bool component = isOneOf (componentClasses, cid);
            if (! component && ! isOneOf (controllerClasses, cid))
                return factory->createInstance (cid, wanted, obj);

            *obj = nullptr;
            void* created = nullptr;
            const auto result = factory->createInstance (cid, component ? Vst::IComponent_iid : Vst::IEditController_iid, &created);
            if (result != kResultOk || created == nullptr)
                return result;

            FUnknown* wrapper = component ? static_cast<FUnknown*> (wrapComponent (static_cast<Vst::IComponent*> (created)))
                                          : static_cast<FUnknown*> (wrapController (static_cast<Vst::IEditController*> (created)));
            const auto queried = wrapper->queryInterface (wanted, obj);
            wrapper->release();
            return queried;
        }

    private:
        bool isClassIndex (int32 index, const void* info)
        {
            return info != nullptr && index >= 0 && index < factory->countClasses();
        }

        using ClassIds = std::vector<std::array<char, sizeof (TUID)>>;

        static bool isOneOf (const ClassIds& classes, FIDString cid)
        {
            return std::any_of (classes.begin(), classes.end(),
                                [cid] (const auto& c) { return std::memcmp (c.data(), cid, c.size()) == 0; });
        }

        std::atomic<uint32> refCount { 1 };
        Ref<IPluginFactory> factory;
        Ref<IPluginFactory2> factory2;
        Ref<IPluginFactory3> factory3;
        ClassIds componentClasses, controllerClasses;
    };

    ModuleFactory* ModuleFactory::instance = nullptr;

#pragma GCC diagnostic pop
} // namespace
} // namespace vantorel::vst3

// Like JUCE's: one factory, created on first call; later calls add a reference to it.
extern "C" SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory()
{
    using vantorel::vst3::ModuleFactory;

    if (ModuleFactory::instance != nullptr)
    {
        ModuleFactory::instance->addRef();
        return ModuleFactory::instance;
    }

    auto* juceFactory = JuceGetPluginFactory();
    if (juceFactory == nullptr)
        return nullptr;

    ModuleFactory::instance = new ModuleFactory (juceFactory);
    return ModuleFactory::instance;
}
