// The kernel tables of the block primitives as a flat list of entries with one calling
// convention, so that a test walks every slot of every table (a new slot is tested as soon as it
// is in a table).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frame/block.hpp"
#include "harness/harness.hpp"

namespace opx::test::block {

using namespace opx::frame;

// Inputs of one call; kernels take what they need. res_v is the second residual plane of the
// P2C2R forms; the constant of AddC is res_u[0].
struct Inputs {
    const Opx8u* ref_f;
    std::int32_t ref_f_step;
    const Opx8u* ref_b;
    std::int32_t ref_b_step;
    const Opx16s* res_u;
    const Opx16s* res_v;
    std::int32_t res_step;
};

// Positions (HalfPel) at which the slot reads each reference; -1: the reference is not read.
struct Reach {
    int pos_f = kFull;
    int pos_b = -1;
};

using Call = std::function<void(const BlockKernels&, int index, const Inputs&, Opx8u* dst,
                                std::int32_t dst_step)>;

struct Entry {
    std::string name;
    int width, height;  // destination block in bytes
    int n;              // horizontal neighbour distance
    int res_width;      // residual samples per row (per plane); 0: no residual block
    int count;          // slots to walk
    std::function<Reach(int)> reach;
    Call call;
};

inline std::string size_name(int w, int h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// One entry: name, block size in bytes, neighbour distance, residual width, slots to walk, the
// reach of slot i, and the call of slot i on the inputs `in` into d (step ds).
#define OPX_ENTRY(name, w, h, n, res_width, count, reach, ...)                                  \
    e.push_back({name, w, h, n, res_width, count, reach,                                        \
                 [=](const BlockKernels& k, [[maybe_unused]] int i, const Inputs& in, Opx8u* d, \
                     std::int32_t ds) { __VA_ARGS__; }})

inline std::vector<Entry> entries() {
    std::vector<Entry> e;
    const auto full = [](int) { return Reach{}; };
    const auto both_full = [](int) { return Reach{kFull, kFull}; };
    const auto none = [](int) { return Reach{-1}; };
    for (int s = 0; s < kNumCopySizes; ++s) {
        const auto [w, h] = kCopySizes[s];
        OPX_ENTRY("copy " + size_name(w, h), w, h, 1, 0, 1, full,
                  k.copy[s](in.ref_f, in.ref_f_step, d, ds));
        OPX_ENTRY("average " + size_name(w, h), w, h, 1, 0, 1, both_full,
                  k.average[s](in.ref_f, in.ref_f_step, in.ref_b, in.ref_b_step, d, ds));
    }
    const auto hp_reach = [](int i) { return Reach{hp_pos(static_cast<std::size_t>(i))}; };
    for (int s = 0; s < kNumHpSizes; ++s) {
        const auto [w, h] = kHpSizes[s];
        OPX_ENTRY("copy_hp " + size_name(w, h), w, h, 1, 0, 8, hp_reach,
                  k.copy_hp[s][i](in.ref_f, in.ref_f_step, d, ds));
        OPX_ENTRY("interp_average " + size_name(w, h), w, h, 1, 0, 8, hp_reach,
                  k.interp_average[s][i](in.ref_f, in.ref_f_step, d, ds));
    }
    OPX_ENTRY("add_8x8", 8, 8, 1, 8, 1, none, k.add_8x8(in.res_u, in.res_step, d, ds));
    OPX_ENTRY("add_hp_8x8", 8, 8, 1, 8, 8, hp_reach,
              k.add_hp_8x8[i](in.res_u, in.res_step, in.ref_f, in.ref_f_step, d, ds));
    OPX_ENTRY("add_const_8x8", 8, 8, 1, 1, 1, none, k.add_const_8x8(in.res_u[0], d, ds));
    const auto mc_reach = [](int i) { return Reach{mc_pos(static_cast<std::size_t>(i))}; };
    const auto mc_b_reach = [](int i) {
        const auto u = static_cast<std::size_t>(i);
        return Reach{mc_b_pos_f(u), mc_b_pos_b(u)};
    };
    for (int s = 0; s < kNumMcShapes; ++s) {
        const auto [w, h, n] = kMcShapes[s];
        const std::string tag = size_name(w, h) + (n == 2 ? " interleaved" : "");
        OPX_ENTRY("mc " + tag, w, h, n, w, 8, mc_reach,
                  k.mc[s][i](in.ref_f, in.ref_f_step, in.res_u, in.res_step, d, ds));
        OPX_ENTRY("mc_b " + tag, w, h, n, w, 32, mc_b_reach,
                  k.mc_b[s][i](in.ref_f, in.ref_f_step, in.ref_b, in.ref_b_step, in.res_u,
                               in.res_step, d, ds));
    }
    for (int s = 0; s < kNumP2C2Sizes; ++s) {
        const auto [w, h] = kP2C2Sizes[s];
        OPX_ENTRY("mc_p2c2 " + size_name(w, h), w, h, 2, w / 2, 8, mc_reach,
                  k.mc_p2c2[s][i](in.ref_f, in.ref_f_step, in.res_u, in.res_v, in.res_step, d, ds));
        OPX_ENTRY("mc_p2c2_b " + size_name(w, h), w, h, 2, w / 2, 32, mc_b_reach,
                  k.mc_p2c2_b[s][i](in.ref_f, in.ref_f_step, in.ref_b, in.ref_b_step, in.res_u,
                                    in.res_v, in.res_step, d, ds));
    }
    // The 2/4-wide slots take the rounding as a number: each slot is walked with 0..3
    // (index = slot * 4 + rounding).
    const auto small_reach = [](int i) {
        return Reach{mc_small_pos(static_cast<std::size_t>(i / 4))};
    };
    const auto small_b_reach = [](int i) {
        const auto u = static_cast<std::size_t>(i / 4);
        return Reach{mc_small_b_pos_f(u), mc_small_b_pos_b(u)};
    };
    for (int s = 0; s < kNumMcSmallSizes; ++s) {
        const auto [w, h] = kMcSmallSizes[s];
        OPX_ENTRY(
            "mc_small " + size_name(w, h), w, h, 1, w, 4 * 4, small_reach,
            k.small->mc[s][i / 4](in.ref_f, in.ref_f_step, in.res_u, in.res_step, d, ds, i % 4));
        OPX_ENTRY("mc_small_b " + size_name(w, h), w, h, 1, w, 16 * 4, small_b_reach,
                  k.small->mc_b[s][i / 4](in.ref_f, in.ref_f_step, in.ref_b, in.ref_b_step,
                                          in.res_u, in.res_step, d, ds, i % 4));
    }
    return e;
}
#undef OPX_ENTRY

}  // namespace opx::test::block
