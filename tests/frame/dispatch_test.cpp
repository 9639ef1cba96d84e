// The kernel tables are chosen at the first call by what the processor reports.
#include <cstdlib>
#include <string>

#include "frame/dispatch.hpp"
#include "harness/harness.hpp"

TEST(Dispatch, FirstCallAsksTheProcessorAndForcingSelectsTables) {
    const char* env = std::getenv("OPXVC_TEST_KERNELS");
    const int chosen = env && std::string(env) == "portable" ? opx::cpu::kIsaPortable : 0;
    opx::cpu::force_isa(opx::cpu::kIsaUnknown);
    Opx8u a[64] = {1, 2, 3}, b[64] = {0};
    Opx32s sad = -1;
    ASSERT_EQ(opxOk, opxiSAD8x8_8u32s_C1R(a, 8, b, 8, &sad, 0));
    EXPECT_EQ(sad, 6);
    const int expected = opx::cpu::processor_has_avx2() ? opx::cpu::kIsaAvx2 : opx::cpu::kIsaPortable;
    EXPECT_EQ(opx::cpu::g_isa.load(), expected);
    opx::cpu::force_isa(opx::cpu::kIsaPortable);
    EXPECT_FALSE(opx::cpu::use_avx2());
    ASSERT_EQ(opxOk, opxiSAD8x8_8u32s_C1R(a, 8, b, 8, &sad, 0));
    EXPECT_EQ(sad, 6);
    opx::cpu::force_isa(chosen ? opx::cpu::Isa(chosen) : opx::cpu::kIsaUnknown);
}
