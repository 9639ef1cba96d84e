// DV segment decoding and inverse quantisation: exported functions against their portable
// kernels. Segments come from the test-side writer with stream-like statistics (blocks a little
// larger than their areas on average, as in detailed or noisy pictures, so that the
// redistribution passes work); the timed calls step through 16 of them. Figures are ticks per
// segment and per block.
#include <cstdint>
#include <vector>

#include "../tests/dv/dv_writer.hpp"
#include "bench.hpp"
#include "dv/dv.hpp"
#include "opxvc.h"

namespace {

struct BenchRng {
    std::uint64_t s = 0x243F6A8885A308D3ull;
    std::uint64_t next64() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 0x2545F4914F6CDD1Dull;
    }
    std::uint32_t next() { return static_cast<std::uint32_t>(next64() >> 32); }
    std::int64_t uniform(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(next64() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool coin() { return next() & 1; }
};

constexpr int kSegments = 16;

struct alignas(64) Data {
    std::uint8_t dv[kSegments][400];
    std::uint8_t dv100[kSegments][400];
    alignas(64) Opx16s blocks[40 * 64];
    Opx32u info[40];
    alignas(64) Opx16s coefs[64];
    Opx16s table[64];
    Opx16u quant[64];
    unsigned next = 0;
};

Data& data() {
    static Data* d = [] {
        auto* p = new Data{};
        BenchRng rng;
        using namespace opx::test::dv;
        for (int s = 0; s < kSegments; ++s) {
            for (const opx::dv::AreaLayout* l : {&opx::dv::kLayoutDv, &opx::dv::kLayoutDv100}) {
                std::vector<BlockStream> blocks;
                for (int k = 0; k < 5 * l->count; ++k) {
                    const int area = l->bytes[k % l->count] * 8 - 12;
                    blocks.push_back(
                        random_block(rng, static_cast<int>(rng.uniform(area / 3, area * 3 / 2))));
                }
                const int qno[5] = {8, 9, 10, 11, 12};
                write_segment(*l, blocks, qno, rng,
                              l == &opx::dv::kLayoutDv ? p->dv[s] : p->dv100[s]);
            }
        }
        for (int i = 0; i < 64; ++i) {
            p->coefs[i] = static_cast<Opx16s>(static_cast<int>(rng.uniform(-2048, 2047)) * 64);
            p->table[i] = static_cast<Opx16s>(rng.uniform(1, 32767));
            p->quant[i] = static_cast<Opx16u>(rng.uniform(1, 64));
        }
        return p;
    }();
    return *d;
}

const std::uint8_t* next_dv() {
    Data& d = data();
    return d.dv[d.next++ % kSegments];
}
const std::uint8_t* next_dv100() {
    Data& d = data();
    return d.dv100[d.next++ % kSegments];
}

}  // namespace

OPX_BENCH_CASES(dv) {
    using opx::bench::add;
    namespace r = opx::dv::ref;
    using opx::dv::kLayoutDv;
    using opx::dv::kLayoutDv100;

    add(
        "opxiHuffmanDecodeSegment_DV_8u16s", "dv25",
        [] {
            opxiHuffmanDecodeSegment_DV_8u16s(next_dv(), nullptr, nullptr, data().blocks,
                                              data().info);
        },
        [] { r::kDv.segment(next_dv(), kLayoutDv, 64, true, data().blocks, data().info); });
    for (int n : {64, 1}) {
        add(
            "opxiHuffmanDecodeSegmentOnePass_DV_8u16s", std::to_string(n),
            [n] {
                opxiHuffmanDecodeSegmentOnePass_DV_8u16s(next_dv(), nullptr, nullptr, data().blocks,
                                                         data().info, static_cast<Opx8u>(n));
            },
            [n] { r::kDv.segment(next_dv(), kLayoutDv, n, false, data().blocks, data().info); });
    }
    add(
        "opxiHuffmanDecodeSegment_DV100_8u16s", "dv100",
        [] {
            opxiHuffmanDecodeSegment_DV100_8u16s(next_dv100(), nullptr, nullptr, data().blocks,
                                                 data().info);
        },
        [] { r::kDv.segment(next_dv100(), kLayoutDv100, 64, true, data().blocks, data().info); });

    // Quantisers, in place on one block (the values stay in range: the multipliers keep them
    // bounded, and the timing does not depend on them).
    add(
        "opxiQuantInv_DV_16s_C1I", "block",
        [] { opxiQuantInv_DV_16s_C1I(data().coefs, data().table); },
        [] { r::kDv.quant_inv(data().coefs, data().table); });
    add(
        "opxiQuantWeightBlockInv_DV_16s_C1I", "block",
        [] { opxiQuantWeightBlockInv_DV_16s_C1I(data().coefs, data().quant, data().table); },
        [] { r::kDv.quant_weight(data().coefs, data().quant, data().table); });
    add(
        "opxiQuantWeightBlockInv_DV100_16s_C1I", "block",
        [] { opxiQuantWeightBlockInv_DV100_16s_C1I(data().coefs, data().table, 5); },
        [] { r::kDv.quant_weight100(data().coefs, data().table, 5); });
}
