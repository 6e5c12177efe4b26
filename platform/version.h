#pragma once
// The program's version, defined once in the top-level CMakeLists.txt, and the git commit it was
// built from (generated at build time into the vantrel_version library).

#include <string>
#include <string_view>

namespace vantrel {

// "0.1.0"
std::string_view vantrelVersion();
// "3faca94", "v0.1.0-4-g3faca94-dirty"; empty when built outside a git checkout.
std::string_view vantrelRevision();

// "0.1.0 (git 3faca94)", or "0.1.0" outside a checkout: what --version prints and the files
// that name their writer carry.
inline std::string vantrelVersionText()
{
    std::string text(vantrelVersion());
    if (!vantrelRevision().empty())
        text.append(" (git ").append(vantrelRevision()).append(")");
    return text;
}

} // namespace vantrel
