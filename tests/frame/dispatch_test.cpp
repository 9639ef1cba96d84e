// The kernel tables are chosen when the library is loaded, by what the processor reports; the
// test hook switches them.
#include <cstdlib>
#include <string>

#include "frame/dispatch.hpp"
#include "harness/harness.hpp"

TEST(Dispatch, LoadTimeChoiceFollowsTheProcessorAndForcingSelectsTables) {
    const int before = opx::cpu::g_isa.load();
    const char* env = std::getenv("OPXVC_TEST_KERNELS");
    if (!(env && std::string(env) == "portable")) EXPECT_EQ(before, opx::cpu::choose_isa());
    // Set where the test runs on an emulated processor without AVX2.
    if (const char* expect = std::getenv("OPXVC_TEST_EXPECT_PORTABLE")) {
        EXPECT_EQ(before, opx::cpu::kIsaPortable) << expect;
        EXPECT_FALSE(opx::cpu::processor_has_avx2());
    }
    EXPECT_EQ(opx::cpu::choose_isa() == opx::cpu::kIsaAvx2, opx::cpu::processor_has_avx2());
    Opx8u a[64] = {1, 2, 3}, b[64] = {0};
    for (opx::cpu::Isa isa : {opx::cpu::kIsaPortable, opx::cpu::choose_isa()}) {
        opx::cpu::force_isa(isa);
        EXPECT_EQ(opx::cpu::use_avx2(), isa == opx::cpu::kIsaAvx2);
        Opx32s sad = -1;
        ASSERT_EQ(opxOk, opxiSAD8x8_8u32s_C1R(a, 8, b, 8, &sad, 0));
        EXPECT_EQ(sad, 6);
    }
    opx::cpu::force_isa(opx::cpu::Isa(before));
}
