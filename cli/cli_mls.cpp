// vantrel-cli mls ORDER: the caption line that describes the sequence of an order.

#include <memory>
#include <cstdio>

#include "cli/cli_command.h"
#include "mls/mls_generator.h"

namespace vantrel {
namespace {

std::function<int()> setupMls(CLI::App& app)
{
    auto order = std::make_shared<int>(0);
    app.add_option("ORDER", *order, "the sequence order, 13..18")->required()->check(CLI::Range(13, 18));
    return [order] {
        std::printf("%s\n", mlsCaptionText(*order).c_str());
        return 0;
    };
}

const CliRegistration registration({"mls", "Print the sequence caption for an MLS order (13..18)", setupMls});

} // namespace
} // namespace vantrel
