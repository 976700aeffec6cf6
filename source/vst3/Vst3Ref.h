#pragma once

// What the module's own VST3 wrappers share: the SDK's interfaces, and a reference holder.

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstchannelcontextinfo.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstmidicontrollers.h>
#include <pluginterfaces/vst/ivstprocesscontext.h>
#include <pluginterfaces/vst/ivstunits.h>
#pragma GCC diagnostic pop

namespace vantorel::vst3
{
inline bool sameIid (const Steinberg::TUID a, const Steinberg::TUID b) { return Steinberg::FUnknownPrivate::iidEqual (a, b); }

/** Holds one reference to an interface and drops it when destroyed. */
template <typename Interface>
class Ref
{
public:
    Ref() = default;
    explicit Ref (Interface* p) : ptr (p) {}
    ~Ref() { reset(); }
    Ref (const Ref&) = delete;
    Ref& operator= (const Ref&) = delete;
    Ref (Ref&& other) noexcept : ptr (other.ptr) { other.ptr = nullptr; }
    Ref& operator= (Ref&& other) noexcept
    {
        if (this != &other)
        {
            reset();
            ptr = other.ptr;
            other.ptr = nullptr;
        }
        return *this;
    }

    /** A new reference to the interface `iid` of `object`, or null. */
    static Ref query (Steinberg::FUnknown* object, const Steinberg::TUID iid)
    {
        void* result = nullptr;
        if (object == nullptr || object->queryInterface (iid, &result) != Steinberg::kResultOk)
            return Ref();
        return Ref (static_cast<Interface*> (result));
    }

    void reset()
    {
        if (ptr != nullptr)
            ptr->release();
        ptr = nullptr;
    }

    Interface* get() const { return ptr; }
    Interface* operator->() const { return ptr; }
    explicit operator bool() const { return ptr != nullptr; }

private:
    Interface* ptr = nullptr;
};

/** Wraps a component JUCE's factory made; takes over the caller's reference to it and
    returns one to the wrapper (see BlockSplittingComponent.cpp). */
Steinberg::Vst::IComponent* wrapComponent (Steinberg::Vst::IComponent* juceComponent);

/** Wraps an edit controller JUCE's factory made; takes over the caller's reference to it and
    returns one to the wrapper (see EditorViewSequence.cpp). */
Steinberg::Vst::IEditController* wrapController (Steinberg::Vst::IEditController* juceController);
} // namespace vantorel::vst3
