#pragma once

/** The nine parameter IDs. They are what hosts, saved projects and preset files
    identify parameters by, so they must never change. */
namespace ParameterIDs
{
    inline constexpr const char* delay         = "delay";
    inline constexpr const char* feedback      = "feedback";
    inline constexpr const char* cutoff        = "cutoff";
    inline constexpr const char* ishpf         = "ishpf";
    inline constexpr const char* panic         = "panic";
    inline constexpr const char* feedbackboost = "feedbackboost";
    inline constexpr const char* onoff         = "onoff";
    inline constexpr const char* mix           = "mix";
    inline constexpr const char* oversampling  = "oversampling";

    /** All IDs in the order the host lists the parameters. */
    inline constexpr const char* all[] = { delay, feedback, cutoff, ishpf, panic,
                                           feedbackboost, onoff, mix, oversampling };
} // namespace ParameterIDs
