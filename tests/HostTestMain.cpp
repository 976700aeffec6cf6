#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// Every test runs with JUCE's message manager and GUI support up, as inside a host.
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
