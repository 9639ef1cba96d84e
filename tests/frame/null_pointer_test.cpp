// Every exported function with pointer arguments: each pointer null in turn gives opxErrNullPtr
// and writes nothing. Every such function declared in the public header must have a case.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

TEST(NullPointers, EachPointerArgumentNulledIsRefusedAndNothingIsWritten) {
    Scratch s;
    for (const NullCase& c : null_cases()) {
        SCOPED_TRACE(c.name);
        s.reset();
        NullProbe all(-1);
        const OpxResult ok = c.fn(all, s);
        EXPECT_NE(ok, opxErrNullPtr) << "fails with every pointer valid";
        EXPECT_GT(all.count(), 0) << "the case passes no pointer through nul()";
        for (int i = 0; i < all.count(); ++i) {
            SCOPED_TRACE("pointer argument " + std::to_string(i));
            s.reset();
            NullProbe probe(i);
            EXPECT_EQ(c.fn(probe, s), opxErrNullPtr);
            EXPECT_TRUE(s.unchanged()) << "written despite the null pointer";
        }
    }
}

// Names of the exported functions that take at least one pointer argument.
std::set<std::string> header_functions_with_pointers() {
    std::ifstream in(OPXVC_PUBLIC_HEADER);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    const std::regex decl(R"(OPXVC_API\s+[^;(]*?\b(opx\w+)\s*\(([^)]*)\))");
    std::set<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), decl);
         it != std::sregex_iterator(); ++it) {
        if ((*it)[2].str().find('*') != std::string::npos) out.insert((*it)[1].str());
    }
    return out;
}

TEST(NullPointers, EveryExportedFunctionWithPointersHasACase) {
    std::set<std::string> have;
    for (const NullCase& c : null_cases()) have.insert(c.name);
    for (const std::string& f : header_functions_with_pointers())
        EXPECT_TRUE(have.count(f)) << f << " has no OPX_NULL_CASE";
}

}  // namespace
}  // namespace opx::test
