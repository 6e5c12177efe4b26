// vantrel-cli mls ORDER: the caption line that describes the sequence of an order.

#include <charconv>
#include <cstdio>

#include "app/cli_command.h"
#include "mls/mls_generator.h"

namespace vantrel {
namespace {

int runMls(std::span<const std::string_view> args)
{
    int order = 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: vantrel-cli mls ORDER   (ORDER 13..18)\n");
        return 2;
    }
    const std::string_view text = args[0];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), order);
    if (error != std::errc() || end != text.data() + text.size() || order < 13 || order > 18) {
        std::fprintf(stderr, "vantrel-cli mls: the order must be a whole number from 13 to 18, not '%.*s'\n",
                     static_cast<int>(text.size()), text.data());
        return 2;
    }
    std::printf("%s\n", mlsCaptionText(order).c_str());
    return 0;
}

const CliRegistration registration({"mls", "ORDER  print the sequence caption for an MLS order (13..18)", runMls});

} // namespace
} // namespace vantrel
