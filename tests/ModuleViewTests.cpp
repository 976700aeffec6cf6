// The module's editor view through its VST3 interfaces, as a host that follows the SDK's
// iplugview.h sees it: the sizes it accepts (checkSizeConstraint), the order of a resize the
// editor asks for (resizeView, getSize, onSize), and a host-made size filling the panel.

#include "helpers/Vst3Module.h"

#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>

#include <gtest/gtest.h>

#include <vector>

using namespace testhelpers;
using namespace Steinberg;

namespace
{
    juce::File bundle() { return juce::File (VANTOREL_VST3_BUNDLE); }

    struct Size
    {
        int width = 0, height = 0;
        bool operator== (const Size& o) const { return width == o.width && height == o.height; }
    };

    Size sizeOf (const ViewRect& r) { return { r.getWidth(), r.getHeight() }; }

    std::ostream& operator<< (std::ostream& s, const Size& size) { return s << size.width << " x " << size.height; }

    /** A host window that resizes exactly as iplugview.h's "Resize a View" lays down, as
        Steinberg's editorhost does: asked by the plug-in, it reads the view's current size,
        and only if that differs from the one asked for resizes and calls onSize. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor" // SDK objects are released, never deleted through a base
    class SdkHostFrame final : public IPlugFrame
    {
    public:
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (FUnknownPrivate::iidEqual (wanted, IPlugFrame_iid) || FUnknownPrivate::iidEqual (wanted, FUnknown_iid))
            {
                *obj = this;
                return kResultOk;
            }
            *obj = nullptr;
            return kNoInterface;
        }
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }

        tresult PLUGIN_API resizeView (IPlugView* requester, ViewRect* newSize) override
        {
            Request request;
            request.fromTheViewWeHold = requester == view;
            request.asked = sizeOf (*newSize);

            ViewRect current {};
            view->getSize (&current);
            request.currentDuring = sizeOf (current);

            if (! (sizeOf (current) == request.asked))
            {
                request.onSizeCalled = true;
                view->onSize (newSize);
            }

            view->getSize (&current);
            request.after = sizeOf (current);
            requests.push_back (request);
            return kResultTrue;
        }

        struct Request
        {
            bool fromTheViewWeHold = false, onSizeCalled = false;
            Size asked, currentDuring, after;
        };

        IPlugView* view = nullptr;
        std::vector<Request> requests;
    };
#pragma GCC diagnostic pop

    /** A fresh instance and its editor view (not attached to any window). */
    struct ViewRig
    {
        Vst3Module module { bundle() };
        ComPtr<IPluginFactory> factory = module.factory();
        std::unique_ptr<Vst3Instance> instance;
        ComPtr<IPlugView> view;

        ViewRig()
        {
            if (! factory)
                return;
            instance = std::make_unique<Vst3Instance> (*factory.get());
            if (instance->isValid())
                view = ComPtr<IPlugView> (instance->controller->createView (Vst::ViewType::kEditor));
        }

        ~ViewRig()
        {
            view.reset();
            instance.reset();
        }

        Size constrained (int left, int top, int right, int bottom) const
        {
            ViewRect rect { left, top, right, bottom };
            EXPECT_EQ (view->checkSizeConstraint (&rect), kResultTrue);
            EXPECT_EQ (rect.left, left);
            EXPECT_EQ (rect.top, top);
            return sizeOf (rect);
        }
    };
} // namespace

TEST (EditorView, SizeConstraintGivesTheLargestPanelSizeThatFits)
{
    ViewRig rig;
    ASSERT_TRUE (rig.view) << rig.module.error;
    // The host may not resize the editor (the user does, with its corner); hosts that ask anyway
    // are answered with sizes the panel can have.
    EXPECT_EQ (rig.view->canResize(), kResultFalse);

    struct Case
    {
        const char* what;
        ViewRect asked;
        Size expected;
    };
    const Case cases[] = {
        { "exact: design size", { 0, 0, 1060, 364 }, { 1060, 364 } },
        { "exact: smallest", { 0, 0, 706, 242 }, { 706, 242 } },
        { "exact: largest", { 0, 0, 1590, 546 }, { 1590, 546 } },
        { "exact: one the corner gives", { 0, 0, 707, 243 }, { 707, 243 } },
        { "too wide (1060 and 1061 both round to 364 high)", { 0, 0, 1500, 364 }, { 1061, 364 } },
        { "too tall", { 0, 0, 1060, 600 }, { 1060, 364 } },
        { "too small", { 0, 0, 300, 100 }, { 706, 242 } },
        { "too large", { 0, 0, 4000, 3000 }, { 1590, 546 } },
        { "a little off the proportion", { 0, 0, 900, 320 }, { 900, 309 } },
        { "away from the origin", { 100, 50, 1000, 450 }, { 900, 309 } },
        { "empty", { 0, 0, 0, 0 }, { 706, 242 } },
        { "upside down", { 10, 10, -5, -5 }, { 706, 242 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (rig.constrained (c.asked.left, c.asked.top, c.asked.right, c.asked.bottom), c.expected) << c.what;

    // Whatever is asked, the answer is a size of the panel's proportion within its limits that
    // fits what was asked (where anything can), and asking for it again gives it back.
    for (int w = 0; w <= 2000; w += 13)
    {
        for (int h = 0; h <= 800; h += 11)
        {
            const auto got = rig.constrained (0, 0, w, h);
            ASSERT_GE (got.width, 706);
            ASSERT_LE (got.width, 1590);
            ASSERT_EQ (got.height, (int) std::lround (got.width * 364.0 / 1060.0)) << w << " x " << h;
            if (w >= 706 && h >= 242)
            {
                ASSERT_TRUE (got.width <= w && got.height <= h) << w << " x " << h << " gave " << got;
            }
            ASSERT_EQ (rig.constrained (0, 0, got.width, got.height), got) << w << " x " << h;
        }
    }
}

TEST (EditorView, ResizeAskedByTheEditorFollowsTheSdkSequence)
{
    ViewRig rig;
    ASSERT_TRUE (rig.view) << rig.module.error;

    SdkHostFrame host;
    host.view = rig.view.get();
    ASSERT_EQ (rig.view->setFrame (&host), kResultTrue);

    ViewRect initial {};
    ASSERT_EQ (rig.view->getSize (&initial), kResultTrue);
    EXPECT_EQ (sizeOf (initial), (Size { 1060, 364 }));

    // A content scale of 2 makes the editor ask for twice its size, as its corner does for more.
    auto scaling = rig.view.query<IPlugViewContentScaleSupport> (IPlugViewContentScaleSupport_iid);
    ASSERT_TRUE (scaling);
    ASSERT_EQ (scaling->setContentScaleFactor (2.0f), kResultTrue);

    ASSERT_EQ (host.requests.size(), 1u);
    const auto& request = host.requests.front();
    EXPECT_TRUE (request.fromTheViewWeHold) << "resizeView names a view the host never got";
    EXPECT_EQ (request.asked, (Size { 2120, 728 }));
    EXPECT_EQ (request.currentDuring, (Size { 1060, 364 })) << "getSize inside resizeView must give the current, old size";
    EXPECT_TRUE (request.onSizeCalled);
    EXPECT_EQ (request.after, (Size { 2120, 728 })) << "after onSize, getSize gives the new size";

    // The host's pixels are now two per editor pixel: the sizes it may ask for scale with them.
    EXPECT_EQ (rig.constrained (0, 0, 4000, 4000), (Size { 3180, 1092 }));
    EXPECT_EQ (rig.constrained (0, 0, 1500, 600), (Size { 1500, 516 }));

    rig.view->setFrame (nullptr);
}

TEST (EditorView, HostSizesFromTheConstraintFillThePanel)
{
    ViewRig rig;
    ASSERT_TRUE (rig.view) << rig.module.error;

    for (const Size asked : { Size { 1500, 600 }, Size { 800, 800 }, Size { 706, 242 }, Size { 5000, 5000 }, Size { 1234, 424 } })
    {
        ViewRect rect { 0, 0, asked.width, asked.height };
        ASSERT_EQ (rig.view->checkSizeConstraint (&rect), kResultTrue);
        ASSERT_EQ (rig.view->onSize (&rect), kResultTrue);

        ViewRect now {};
        ASSERT_EQ (rig.view->getSize (&now), kResultTrue);
        EXPECT_EQ (sizeOf (now), sizeOf (rect)) << "asked " << asked;
    }
}
