// An edit controller of JUCE's, wrapped so that its editor view resizes in the order the
// VST3 SDK lays down (pluginterfaces/gui/iplugview.h, "Resize a View"):
//
//     plug-in -> host  IPlugFrame::resizeView (newSize)
//     host -> plug-in  IPlugView::getSize ()       optional: the current, old size
//     host -> plug-in  IPlugView::onSize (newSize)  if the size changes
//     host -> plug-in  IPlugView::getSize ()       optional: now the new size
//
// and the plug-in resizes its platform view only in onSize. JUCE 7.0.5 resizes its editor
// first and reports that new size from getSize at once, so a host that follows the SDK to the
// letter (Steinberg's editorhost) sees no change, never resizes its window, and the user sees
// the top-left of a larger panel. The view below answers getSize with the size the host last
// knew while the host is answering a resizeView, until it calls onSize. JUCE's platform view
// already waits for onSize (but for the hosts JUCE special-cases because they never call it,
// which this leaves as they are).
//
// The view also answers checkSizeConstraint with a panel size (PanelSize.h), the same ones the
// editor's corner gives, for the hosts that ask although the view says the host may not resize
// it. (JUCE answers those with the current size whatever they ask, for Ableton Live's sake; a
// size the panel can have that fits is as safe for Live, and useful to the others.)
//
// And it keeps the host's run loop within JUCE's reach until the view is removed, whatever the
// order in which the host lets go of its frame and of the view (see setFrame).
//
// Everything else goes to JUCE's objects unchanged. As with the component, the wrappers answer
// for every standard interface JUCE's objects have, so whatever a host queries from them leads
// back to the wrapper; JUCE's private interfaces are answered by its objects inside.

#include "Vst3Ref.h"

#include "gui/PanelSize.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#if defined(_WIN32)
 #define NOMINMAX
 #define WIN32_LEAN_AND_MEAN
 #include <windows.h>
#endif

namespace vantorel::vst3
{
using namespace Steinberg;

namespace
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor" // SDK objects are released, never deleted through a base

    /** The last content scale a host gave any view of one controller: JUCE applies it to the
        controller's later views too, until a host says otherwise. 0 while none was given. */
    struct HostScale
    {
        float last = 0.0f;
    };

    /** What JUCE 7.0.5 takes for a window's scale when no host gives one: on Windows the DPI of
        the host's window (JUCE is per-monitor DPI aware there), elsewhere none. */
    double windowScale ([[maybe_unused]] void* parent)
    {
       #if defined(_WIN32)
        using GetDpiForWindowFunction = UINT (WINAPI*) (HWND);
        static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction> (
            reinterpret_cast<void*> (GetProcAddress (GetModuleHandleW (L"user32.dll"), "GetDpiForWindow")));
        if (parent != nullptr && getDpiForWindow != nullptr)
            if (const auto dpi = getDpiForWindow (static_cast<HWND> (parent)); dpi > 0)
                return dpi / 96.0;
       #endif
        return 1.0;
    }

   #if SMTG_OS_LINUX
    //==============================================================================
    /** One registration of JUCE's event handler for one file descriptor. */
    class DescriptorHandler final : public Linux::IEventHandler
    {
    public:
        explicit DescriptorHandler (Linux::IEventHandler* h) : juceHandler (h) { juceHandler->addRef(); }
        virtual ~DescriptorHandler() { juceHandler->release(); }

        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (obj == nullptr)
                return kInvalidArgument;
            *obj = nullptr;
            if (! sameIid (wanted, FUnknown_iid) && ! sameIid (wanted, Linux::IEventHandler_iid))
                return kNoInterface;
            *obj = static_cast<Linux::IEventHandler*> (this);
            addRef();
            return kResultOk;
        }

        uint32 PLUGIN_API addRef() override { return ++refCount; }

        uint32 PLUGIN_API release() override
        {
            const auto remaining = --refCount;
            if (remaining == 0)
                delete this;
            return remaining;
        }

        void PLUGIN_API onFDIsSet (Linux::FileDescriptor fd) override { juceHandler->onFDIsSet (fd); }

        Linux::IEventHandler* const juceHandler;

    private:
        std::atomic<uint32> refCount { 1 };
    };

    /** The host's run loop as JUCE is given it. JUCE registers one event handler of its own
        for several file descriptors and takes it back with one unregisterEventHandler; a host
        may drop one registration per call (Steinberg's editorhost does), keeping the others,
        and releases them when it exits, long after the module is gone. Here every descriptor
        gets a handler of its own, registered once and unregistered once. One for each host run
        loop, for the module's life: JUCE keeps the pointer it is given (and a reference it
        never gives back). */
    class RunLoopForJuce final : public Linux::IRunLoop
    {
    public:
        static RunLoopForJuce& forHost (Linux::IRunLoop& hostLoop)
        {
            static std::mutex lock;
            static std::vector<std::unique_ptr<RunLoopForJuce>> loops;

            const std::scoped_lock scoped (lock);
            for (auto& loop : loops)
                if (&loop->host == &hostLoop)
                    return *loop;

            loops.push_back (std::unique_ptr<RunLoopForJuce> (new RunLoopForJuce (hostLoop)));
            return *loops.back();
        }

        virtual ~RunLoopForJuce()
        {
            for (auto* h : handlers)
                h->release();
        }

        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (obj == nullptr)
                return kInvalidArgument;
            *obj = nullptr;
            if (! sameIid (wanted, FUnknown_iid) && ! sameIid (wanted, Linux::IRunLoop_iid))
                return kNoInterface;
            *obj = static_cast<Linux::IRunLoop*> (this);
            return kResultOk;
        }

        // Lives as long as the module, whatever JUCE does with its references.
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }

        tresult PLUGIN_API registerEventHandler (Linux::IEventHandler* handler, Linux::FileDescriptor fd) override
        {
            if (handler == nullptr)
                return kInvalidArgument;

            auto* registration = new DescriptorHandler (handler);
            const auto result = host.registerEventHandler (registration, fd);
            if (result == kResultTrue)
                handlers.push_back (registration);
            else
                registration->release();
            return result;
        }

        tresult PLUGIN_API unregisterEventHandler (Linux::IEventHandler* handler) override
        {
            bool found = false;
            for (auto it = handlers.begin(); it != handlers.end();)
            {
                if ((*it)->juceHandler != handler)
                {
                    ++it;
                    continue;
                }

                host.unregisterEventHandler (*it);
                (*it)->release();
                it = handlers.erase (it);
                found = true;
            }
            return found ? kResultTrue : kInvalidArgument;
        }

        tresult PLUGIN_API registerTimer (Linux::ITimerHandler* handler, Linux::TimerInterval ms) override
        {
            return host.registerTimer (handler, ms);
        }

        tresult PLUGIN_API unregisterTimer (Linux::ITimerHandler* handler) override { return host.unregisterTimer (handler); }

    private:
        explicit RunLoopForJuce (Linux::IRunLoop& hostLoop) : host (hostLoop) {}

        Linux::IRunLoop& host;
        std::vector<DescriptorHandler*> handlers;
    };
   #endif

    //==============================================================================
    class SequencedView final : public IPlugView,
                                public IPlugViewContentScaleSupport
    {
    public:
        /** Takes over the caller's reference to `viewToWrap`. */
        SequencedView (IPlugView* viewToWrap, std::shared_ptr<HostScale> controllersScale)
            : view (viewToWrap),
              scaleSupport (Ref<IPlugViewContentScaleSupport>::query (viewToWrap, IPlugViewContentScaleSupport_iid)),
              hostScale (std::move (controllersScale))
        {
        }

        virtual ~SequencedView() = default;

        //==============================================================================
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (obj == nullptr)
                return kInvalidArgument;

            *obj = nullptr;
            if (sameIid (wanted, FUnknown_iid) || sameIid (wanted, IPlugView_iid))
                *obj = static_cast<IPlugView*> (this);
            else if (sameIid (wanted, IPlugViewContentScaleSupport_iid) && scaleSupport)
                *obj = static_cast<IPlugViewContentScaleSupport*> (this);
            else
                return view->queryInterface (wanted, obj);

            addRef();
            return kResultOk;
        }

        uint32 PLUGIN_API addRef() override { return ++refCount; }

        uint32 PLUGIN_API release() override
        {
            const auto remaining = --refCount;
            if (remaining == 0)
                delete this;
            return remaining;
        }

        //==============================================================================
        tresult PLUGIN_API isPlatformTypeSupported (FIDString type) override { return view->isPlatformTypeSupported (type); }
        tresult PLUGIN_API attached (void* parentWindow, FIDString type) override
        {
            const auto result = view->attached (parentWindow, type);
            if (result == kResultTrue)
                parent = parentWindow;
            return result;
        }

        tresult PLUGIN_API removed() override
        {
            const auto result = view->removed();
            parent = nullptr;

            // The host took its frame away before this (see setFrame): now JUCE may let it go.
            if (hostFrame == nullptr)
            {
                view->setFrame (nullptr);
                forgetRunLoop();
            }
            return result;
        }

        tresult PLUGIN_API onWheel (float distance) override { return view->onWheel (distance); }
        tresult PLUGIN_API onKeyDown (char16 key, int16 keyCode, int16 modifiers) override { return view->onKeyDown (key, keyCode, modifiers); }
        tresult PLUGIN_API onKeyUp (char16 key, int16 keyCode, int16 modifiers) override { return view->onKeyUp (key, keyCode, modifiers); }
        tresult PLUGIN_API onFocus (TBool state) override { return view->onFocus (state); }
        tresult PLUGIN_API canResize() override { return view->canResize(); }

        tresult PLUGIN_API getSize (ViewRect* size) override
        {
            // Between the editor's request and the host's onSize, the view is still the size
            // the host knew.
            if (size != nullptr && awaitingOnSize && hostKnowsSize)
            {
                *size = sizeHostKnows;
                return kResultTrue;
            }

            const auto result = view->getSize (size);
            if (result == kResultTrue && size != nullptr && ! awaitingOnSize)
                knowSize (*size);
            return result;
        }

        tresult PLUGIN_API onSize (ViewRect* newSize) override
        {
            awaitingOnSize = false;
            const auto result = view->onSize (newSize);
            if (result == kResultTrue && newSize != nullptr)
                knowSize (*newSize);
            return result;
        }

        tresult PLUGIN_API setFrame (IPlugFrame* frame) override
        {
            // Held without a reference, as the SDK's own views hold it: the host outlives it.
            hostFrame = frame;

            // A host may take its frame away before it calls removed(), as Steinberg's editorhost
            // does; JUCE looks up the host's run loop through the frame again in removed(), finds
            // none and leaves its event handler registered there, to be released by the host
            // after the module is gone. JUCE keeps a frame that still leads to that run loop
            // until removed() (it asks nothing else of it by then).
            if (frame == nullptr)
            {
                if (parent != nullptr)
                    return kResultTrue;
                forgetRunLoop();
                return view->setFrame (nullptr);
            }

           #if SMTG_OS_LINUX
            hostRunLoop = Ref<Linux::IRunLoop>::query (frame, Linux::IRunLoop_iid);
           #endif
            return view->setFrame (&frameForJuce);
        }

        tresult PLUGIN_API checkSizeConstraint (ViewRect* rect) override
        {
            if (rect == nullptr)
                return kInvalidArgument;

            // The host may not resize the editor (canResize says so; the user does, with its
            // corner), but some hosts ask anyway: they get a size the panel can have.
            const double scale = hostScale->last > 0.0f ? (double) hostScale->last : windowScale (parent);
            const auto fitting = PanelSize::largestWithin ((int) std::floor (rect->getWidth() / scale + 1.0e-9),
                                                           (int) std::floor (rect->getHeight() / scale + 1.0e-9));
            rect->right = rect->left + (int32) std::lround (fitting.width * scale);
            rect->bottom = rect->top + (int32) std::lround (fitting.height * scale);
            return kResultTrue;
        }

        tresult PLUGIN_API setContentScaleFactor (ScaleFactor factor) override
        {
            const auto result = scaleSupport->setContentScaleFactor (factor);
            if (result == kResultTrue && factor > 0.0f)
                hostScale->last = factor;
            return result;
        }

    private:
        /** What JUCE's view is given as its frame: the host's, with each resizeView marked as
            awaiting the host's onSize, and naming the wrapper, which is the view the host has. */
        class FrameForJuce final : public IPlugFrame
        {
        public:
            explicit FrameForJuce (SequencedView& v) : owner (v) {}
            virtual ~FrameForJuce() = default;

            tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
            {
                if (obj == nullptr)
                    return kInvalidArgument;

                *obj = nullptr;
                if (sameIid (wanted, FUnknown_iid) || sameIid (wanted, IPlugFrame_iid))
                {
                    *obj = static_cast<IPlugFrame*> (this);
                    addRef();
                    return kResultOk;
                }

               #if SMTG_OS_LINUX
                // The host's run loop, also once the host has taken its frame away (see setFrame).
                if (sameIid (wanted, Linux::IRunLoop_iid))
                {
                    if (! owner.hostRunLoop)
                        return kNoInterface;
                    *obj = static_cast<Linux::IRunLoop*> (&RunLoopForJuce::forHost (*owner.hostRunLoop.get()));
                    return kResultOk;
                }
               #endif

                // Whatever else the host's frame offers.
                return owner.hostFrame != nullptr ? owner.hostFrame->queryInterface (wanted, obj) : kNoInterface;
            }

            // Part of the view: it lives exactly as long.
            uint32 PLUGIN_API addRef() override { return owner.addRef(); }
            uint32 PLUGIN_API release() override { return owner.release(); }

            tresult PLUGIN_API resizeView (IPlugView* requester, ViewRect* newSize) override
            {
                if (owner.hostFrame == nullptr)
                    return kResultFalse;

                // Restored afterwards: a host that never calls onSize leaves no request behind,
                // and a request made inside another's answer ends with its own.
                const bool outer = owner.awaitingOnSize;
                owner.awaitingOnSize = true;
                const auto result = owner.hostFrame->resizeView (requester == owner.view.get() ? &owner : requester, newSize);
                owner.awaitingOnSize = outer;
                return result;
            }

        private:
            SequencedView& owner;
        };

        void forgetRunLoop()
        {
           #if SMTG_OS_LINUX
            hostRunLoop.reset();
           #endif
        }

        void knowSize (const ViewRect& size)
        {
            sizeHostKnows = size;
            hostKnowsSize = true;
        }

        std::atomic<uint32> refCount { 1 };
        Ref<IPlugView> view;
        Ref<IPlugViewContentScaleSupport> scaleSupport;
        FrameForJuce frameForJuce { *this };
        IPlugFrame* hostFrame = nullptr;
       #if SMTG_OS_LINUX
        Ref<Linux::IRunLoop> hostRunLoop;
       #endif
        std::shared_ptr<HostScale> hostScale;
        void* parent = nullptr;

        bool awaitingOnSize = false, hostKnowsSize = false;
        ViewRect sizeHostKnows {};
    };

    //==============================================================================
    class SequencedViewController final : public Vst::IEditController,
                                          public Vst::IEditController2,
                                          public Vst::IConnectionPoint,
                                          public Vst::IMidiMapping,
                                          public Vst::IUnitInfo,
                                          public Vst::ChannelContext::IInfoListener
    {
    public:
        /** Takes over the caller's reference to `controllerToWrap`. */
        explicit SequencedViewController (Vst::IEditController* controllerToWrap)
            : controller (controllerToWrap),
              controller2 (Ref<Vst::IEditController2>::query (controllerToWrap, Vst::IEditController2_iid)),
              connection (Ref<Vst::IConnectionPoint>::query (controllerToWrap, Vst::IConnectionPoint_iid)),
              midiMapping (Ref<Vst::IMidiMapping>::query (controllerToWrap, Vst::IMidiMapping_iid)),
              units (Ref<Vst::IUnitInfo>::query (controllerToWrap, Vst::IUnitInfo_iid)),
              infoListener (Ref<Vst::ChannelContext::IInfoListener>::query (controllerToWrap, Vst::ChannelContext::IInfoListener_iid))
        {
        }

        virtual ~SequencedViewController() = default;

        //==============================================================================
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (obj == nullptr)
                return kInvalidArgument;

            *obj = nullptr;
            if (sameIid (wanted, FUnknown_iid) || sameIid (wanted, IPluginBase_iid) || sameIid (wanted, Vst::IEditController_iid))
                *obj = static_cast<Vst::IEditController*> (this);
            else if (sameIid (wanted, Vst::IEditController2_iid) && controller2)
                *obj = static_cast<Vst::IEditController2*> (this);
            else if (sameIid (wanted, Vst::IConnectionPoint_iid) && connection)
                *obj = static_cast<Vst::IConnectionPoint*> (this);
            else if (sameIid (wanted, Vst::IMidiMapping_iid) && midiMapping)
                *obj = static_cast<Vst::IMidiMapping*> (this);
            else if (sameIid (wanted, Vst::IUnitInfo_iid) && units)
                *obj = static_cast<Vst::IUnitInfo*> (this);
            else if (sameIid (wanted, Vst::ChannelContext::IInfoListener_iid) && infoListener)
                *obj = static_cast<Vst::ChannelContext::IInfoListener*> (this);
            else
                return controller->queryInterface (wanted, obj);

            addRef();
            return kResultOk;
        }

        uint32 PLUGIN_API addRef() override { return ++refCount; }

        uint32 PLUGIN_API release() override
        {
            const auto remaining = --refCount;
            if (remaining == 0)
                delete this;
            return remaining;
        }

        //==============================================================================
        IPlugView* PLUGIN_API createView (FIDString name) override
        {
            auto* created = controller->createView (name);
            return created != nullptr ? new SequencedView (created, hostScale) : nullptr;
        }

        tresult PLUGIN_API initialize (FUnknown* context) override { return controller->initialize (context); }
        tresult PLUGIN_API terminate() override { return controller->terminate(); }
        tresult PLUGIN_API setComponentState (IBStream* state) override { return controller->setComponentState (state); }
        tresult PLUGIN_API setState (IBStream* state) override { return controller->setState (state); }
        tresult PLUGIN_API getState (IBStream* state) override { return controller->getState (state); }
        int32 PLUGIN_API getParameterCount() override { return controller->getParameterCount(); }
        tresult PLUGIN_API getParameterInfo (int32 index, Vst::ParameterInfo& info) override { return controller->getParameterInfo (index, info); }
        tresult PLUGIN_API getParamStringByValue (Vst::ParamID id, Vst::ParamValue normalized, Vst::String128 string) override
        {
            return controller->getParamStringByValue (id, normalized, string);
        }
        tresult PLUGIN_API getParamValueByString (Vst::ParamID id, Vst::TChar* string, Vst::ParamValue& normalized) override
        {
            return controller->getParamValueByString (id, string, normalized);
        }
        Vst::ParamValue PLUGIN_API normalizedParamToPlain (Vst::ParamID id, Vst::ParamValue normalized) override
        {
            return controller->normalizedParamToPlain (id, normalized);
        }
        Vst::ParamValue PLUGIN_API plainParamToNormalized (Vst::ParamID id, Vst::ParamValue plain) override
        {
            return controller->plainParamToNormalized (id, plain);
        }
        Vst::ParamValue PLUGIN_API getParamNormalized (Vst::ParamID id) override { return controller->getParamNormalized (id); }
        tresult PLUGIN_API setParamNormalized (Vst::ParamID id, Vst::ParamValue value) override { return controller->setParamNormalized (id, value); }
        tresult PLUGIN_API setComponentHandler (Vst::IComponentHandler* handler) override { return controller->setComponentHandler (handler); }

        //==============================================================================
        tresult PLUGIN_API setKnobMode (Vst::KnobMode mode) override { return controller2->setKnobMode (mode); }
        tresult PLUGIN_API openHelp (TBool onlyCheck) override { return controller2->openHelp (onlyCheck); }
        tresult PLUGIN_API openAboutBox (TBool onlyCheck) override { return controller2->openAboutBox (onlyCheck); }

        tresult PLUGIN_API connect (Vst::IConnectionPoint* other) override { return connection->connect (other); }
        tresult PLUGIN_API disconnect (Vst::IConnectionPoint* other) override { return connection->disconnect (other); }
        tresult PLUGIN_API notify (Vst::IMessage* message) override { return connection->notify (message); }

        tresult PLUGIN_API getMidiControllerAssignment (int32 bus, int16 channel, Vst::CtrlNumber number, Vst::ParamID& id) override
        {
            return midiMapping->getMidiControllerAssignment (bus, channel, number, id);
        }

        int32 PLUGIN_API getUnitCount() override { return units->getUnitCount(); }
        tresult PLUGIN_API getUnitInfo (int32 index, Vst::UnitInfo& info) override { return units->getUnitInfo (index, info); }
        int32 PLUGIN_API getProgramListCount() override { return units->getProgramListCount(); }
        tresult PLUGIN_API getProgramListInfo (int32 index, Vst::ProgramListInfo& info) override { return units->getProgramListInfo (index, info); }
        tresult PLUGIN_API getProgramName (Vst::ProgramListID list, int32 program, Vst::String128 name) override
        {
            return units->getProgramName (list, program, name);
        }
        tresult PLUGIN_API getProgramInfo (Vst::ProgramListID list, int32 program, Vst::CString attribute, Vst::String128 value) override
        {
            return units->getProgramInfo (list, program, attribute, value);
        }
        tresult PLUGIN_API hasProgramPitchNames (Vst::ProgramListID list, int32 program) override
        {
            return units->hasProgramPitchNames (list, program);
        }
        tresult PLUGIN_API getProgramPitchName (Vst::ProgramListID list, int32 program, int16 pitch, Vst::String128 name) override
        {
            return units->getProgramPitchName (list, program, pitch, name);
        }
        Vst::UnitID PLUGIN_API getSelectedUnit() override { return units->getSelectedUnit(); }
        tresult PLUGIN_API selectUnit (Vst::UnitID unit) override { return units->selectUnit (unit); }
        tresult PLUGIN_API getUnitByBus (Vst::MediaType type, Vst::BusDirection dir, int32 bus, int32 channel, Vst::UnitID& unit) override
        {
            return units->getUnitByBus (type, dir, bus, channel, unit);
        }
        tresult PLUGIN_API setUnitProgramData (int32 listOrUnit, int32 program, IBStream* data) override
        {
            return units->setUnitProgramData (listOrUnit, program, data);
        }

        tresult PLUGIN_API setChannelContextInfos (Vst::IAttributeList* list) override { return infoListener->setChannelContextInfos (list); }

    private:
        std::atomic<uint32> refCount { 1 };
        Ref<Vst::IEditController> controller;
        Ref<Vst::IEditController2> controller2;
        Ref<Vst::IConnectionPoint> connection;
        Ref<Vst::IMidiMapping> midiMapping;
        Ref<Vst::IUnitInfo> units;
        Ref<Vst::ChannelContext::IInfoListener> infoListener;
        std::shared_ptr<HostScale> hostScale = std::make_shared<HostScale>();
    };

#pragma GCC diagnostic pop
} // namespace

Vst::IEditController* wrapController (Vst::IEditController* juceController)
{
    return new SequencedViewController (juceController);
}
} // namespace vantorel::vst3
