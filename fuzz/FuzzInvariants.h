#pragma once

// What must hold after the plug-in has been handed arbitrary outside data: either it
// refused the data and nothing changed, or it took it and every parameter is a value the
// parameter can have.

#include "processor/PluginProcessor.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace fuzzing
{
    using Values = std::map<std::string, float>;

    inline Values allValues (TemplateAudioProcessor& p)
    {
        Values values;
        for (const auto* id : ParameterIDs::all)
            values[id] = p.apvts.getRawParameterValue (id)->load();
        return values;
    }

    /** A fresh instance with every parameter away from its default and something in its
        undo history, so a refusal and an acceptance can be told apart: taking new state
        always clears the history. */
    inline void prepareInstance (TemplateAudioProcessor& p)
    {
        const std::pair<const char*, float> start[] = {
            { "delay", 0.47f }, { "feedback", 0.25f }, { "cutoff", 3100.0f }, { "ishpf", 1.0f }, { "panic", 1.0f },
            { "feedbackboost", 0.0f }, { "onoff", 0.0f }, { "mix", 1.0f }, { "oversampling", 1.0f },
        };
        for (const auto& [id, value] : start)
        {
            auto* param = p.apvts.getParameter (id);
            param->setValueNotifyingHost (param->convertTo0to1 (value));
        }
        p.undoManager.beginNewTransaction();
        juce::MemoryBlock flushed;
        p.getStateInformation (flushed); // writes the values into the tree, undoably
    }

    /** JUCE's GUI runtime for the whole run, shut down cleanly at exit. The list of objects
        JUCE deletes at shutdown is a function-local static created by its first entry; had
        that come after this initialiser (the first parameter tree's timer thread does), the
        list would be destroyed first and the shutdown would free it again. An entry made
        here, first, puts the list's teardown after the shutdown. */
    inline void initialiseJuce()
    {
        struct FirstEntry : juce::DeletedAtShutdown {};
        new FirstEntry(); // deleted by the shutdown below
        static juce::ScopedJuceInitialiser_GUI juce;
    }

    [[noreturn]] inline void fail (const std::string& what)
    {
        std::fprintf (stderr, "invariant broken: %s\n", what.c_str());
        std::abort();
    }

    inline bool isSwitch (const std::string& id)
    {
        return id != "delay" && id != "feedback" && id != "cutoff";
    }

    /** Every value finite, within its range, on the delay's 0.01 s grid, switches 0 or 1. */
    inline void checkInRange (const Values& values)
    {
        for (const auto& [id, v] : values)
        {
            if (! std::isfinite (v))
                fail (id + " is not finite");

            if (isSwitch (id))
            {
                if (v != 0.0f && v != 1.0f)
                    fail (id + " is " + std::to_string (v) + ", neither 0 nor 1");
                continue;
            }

            const float low = id == "delay" ? 0.01f : id == "feedback" ? 0.0f : 100.0f;
            const float high = id == "cutoff" ? 4000.0f : 1.0f;
            if (v < low || v > high)
                fail (id + " is " + std::to_string (v) + ", outside " + std::to_string (low) + " to " + std::to_string (high));

            if (id == "delay" && std::abs (v * 100.0f - std::round (v * 100.0f)) > 1.0e-3f)
                fail ("delay is " + std::to_string (v) + ", off the 0.01 s grid");
        }
    }

    /** The invariants after the data was offered to an instance set up by prepareInstance. */
    inline void checkAfterInput (TemplateAudioProcessor& p, const Values& before)
    {
        const auto after = allValues (p);

        if (p.undoManager.canUndo())
        {
            // Refused: nothing may have moved.
            for (const auto& [id, v] : before)
                if (after.at (id) != v)
                    fail ("refused input changed " + id + " from " + std::to_string (v) + " to " + std::to_string (after.at (id)));
            return;
        }

        checkInRange (after);

        // What was taken saves and restores as itself.
        juce::MemoryBlock saved;
        p.getStateInformation (saved);
        TemplateAudioProcessor copy;
        copy.setStateInformation (saved.getData(), (int) saved.getSize());
        if (allValues (copy) != after)
            fail ("accepted state does not survive a save and restore");
    }
} // namespace fuzzing
