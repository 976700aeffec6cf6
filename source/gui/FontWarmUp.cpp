#include "FontWarmUp.h"

#include <juce_graphics/juce_graphics.h>

#include <future>
#include <mutex>

namespace
{
    std::mutex lock;
    int instancesAlive = 0;
    std::shared_future<void> scan;

    void waitFor (std::shared_future<void> running)
    {
        if (running.valid())
            running.wait();
    }
} // namespace

void FontWarmUp::instanceCreated()
{
    const std::scoped_lock scoped (lock);
    if (instancesAlive++ > 0)
        return;

    scan = std::async (std::launch::async, []
    {
        // The scan, and the default sans-serif typeface it is made for (as the first text asks
        // for it: the choice among the families found, and its file opened).
        juce::Font::findAllTypefaceNames();
        juce::ignoreUnused (juce::Font::getDefaultTypefaceForFont (juce::Font (14.0f)));
    }).share();
}

void FontWarmUp::instanceDestroyed()
{
    std::shared_future<void> running;
    {
        const std::scoped_lock scoped (lock);
        --instancesAlive;
        running = scan;
    }
    waitFor (running);
}

void FontWarmUp::waitUntilDone()
{
    std::shared_future<void> running;
    {
        const std::scoped_lock scoped (lock);
        running = scan;
    }
    waitFor (running);
}
