#pragma once
// --fault KIND=N beside --simulate: a rehearsed fault of the simulated rig (sim_faults.h),
// repeatable. A text naming no fault is a usage error, as any other bad option.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "platform/sim/sim_faults.h"

namespace vantrel {

inline CLI::Option* addSimFaultOption(CLI::App& command, SimFaults& faults)
{
    return command
        .add_option_function<std::vector<std::string>>(
            "--fault",
            [&faults](const std::vector<std::string>& faultTexts) {
                for (const std::string& faultText : faultTexts)
                    if (const std::string error = addSimFault(faultText, faults); !error.empty())
                        throw CLI::ValidationError("--fault", error);
            },
            std::string(kSimFaultHelp))
        ->type_name("KIND=N")
        ->expected(1)
        ->allow_extra_args(false) // one KIND=N each time: a script or file after it is not a fault
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

} // namespace vantrel
