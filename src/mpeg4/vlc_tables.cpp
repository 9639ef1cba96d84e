// The decoder and encoder tables, generated at compile time from the code lists (no code runs at
// load time: every table is a constant expression), and the scan orders.
#include "mpeg4/vlc_tables.hpp"

#include <cstddef>

namespace opx::mpeg4 {
namespace {

constexpr std::uint32_t reverse_bits(std::uint32_t v, int len) {
    std::uint32_t r = 0;
    for (int i = 0; i < len; ++i) r |= ((v >> i) & 1u) << (len - 1 - i);
    return r;
}

// Every index whose leading `len` bits are `code` receives `value`.
template <int Bits>
constexpr void fill(std::array<DecEntry, (1u << Bits)>& t, std::uint32_t code, int len,
                    DecEntry value) {
    const std::uint32_t first = code << (Bits - len);
    for (std::uint32_t i = 0; i < (1u << (Bits - len)); ++i) t[first + i] = value;
}

template <int Bits, std::size_t N>
constexpr std::array<DecEntry, (1u << Bits)> make_dec(const VlcCode (&codes)[N], std::uint32_t esc,
                                                      int esc_len, bool reversed = false) {
    std::array<DecEntry, (1u << Bits)> t{};
    for (const VlcCode& c : codes) {
        const std::uint32_t code = reversed ? reverse_bits(c.code, c.len) : c.code;
        fill<Bits>(t, code, c.len, dec_pack(c.len, c.last, c.run, c.level));
    }
    if (esc_len) fill<Bits>(t, esc, esc_len, kDecEscape);
    return t;
}

constexpr std::array<DecEntry, 8192> make_dec_h261() {
    std::array<DecEntry, 8192> t = make_dec<13>(kH261Codes, 0x1, 6);
    fill<13>(t, 0x2, 2, kDecEob);
    return t;
}

template <std::size_t N>
constexpr EncTable make_enc(const VlcCode (&codes)[N]) {
    EncTable t{};
    for (const VlcCode& c : codes) t[c.last][c.run][c.level] = enc_pack(c.code, c.len);
    return t;
}

constexpr std::array<std::array<std::uint32_t, 16>, 64> make_enc_h261() {
    std::array<std::array<std::uint32_t, 16>, 64> t{};
    for (const VlcCode& c : kH261Codes) t[c.run][c.level] = enc_pack(c.code, c.len);
    return t;
}

template <std::size_t N>
constexpr std::array<std::array<std::uint8_t, 64>, 2> make_lmax(const VlcCode (&codes)[N]) {
    std::array<std::array<std::uint8_t, 64>, 2> t{};
    for (const VlcCode& c : codes)
        if (c.level > t[c.last][c.run]) t[c.last][c.run] = c.level;
    return t;
}

template <std::size_t N>
constexpr std::array<std::array<std::uint8_t, 32>, 2> make_rmax1(const VlcCode (&codes)[N]) {
    std::array<std::array<std::uint8_t, 32>, 2> t{};
    for (const VlcCode& c : codes)
        if (c.run + 1 > t[c.last][c.level]) t[c.last][c.level] = static_cast<std::uint8_t>(c.run + 1);
    return t;
}

}  // namespace

constexpr std::array<DecEntry, 4096> kDecIntra = make_dec<12>(kIntraCodes, 0x3, 7);
constexpr std::array<DecEntry, 4096> kDecInter = make_dec<12>(kInterCodes, 0x3, 7);
constexpr std::array<DecEntry, 4096> kDecAdvIntra = make_dec<12>(kAdvIntraCodes, 0x3, 7);
constexpr std::array<DecEntry, 8192> kDecH261 = make_dec_h261();
constexpr std::array<DecEntry, 32768> kDecRvlc[2] = {make_dec<15>(kRvlcIntraCodes, 0x1, 5),
                                                     make_dec<15>(kRvlcInterCodes, 0x1, 5)};
// Backward: no escape entry (the escape is recognised by its reversed tail, sign then 0000).
constexpr std::array<DecEntry, 32768> kDecRvlcBack[2] = {
    make_dec<15>(kRvlcIntraCodes, 0, 0, true), make_dec<15>(kRvlcInterCodes, 0, 0, true)};

constexpr EncTable kEnc[kNumCodeTables] = {make_enc(kIntraCodes), make_enc(kInterCodes),
                                           make_enc(kAdvIntraCodes), make_enc(kRvlcIntraCodes),
                                           make_enc(kRvlcInterCodes)};
constexpr std::array<std::array<std::uint32_t, 16>, 64> kEncH261 = make_enc_h261();

constexpr std::array<std::array<std::uint8_t, 64>, 2> kLmax[2] = {make_lmax(kIntraCodes),
                                                                  make_lmax(kInterCodes)};
constexpr std::array<std::array<std::uint8_t, 32>, 2> kRmaxPlus1[2] = {make_rmax1(kIntraCodes),
                                                                       make_rmax1(kInterCodes)};

// ISO/IEC 14496-2 Figure 7-2 (zigzag, alternate horizontal, alternate vertical), by scan position.
constexpr std::uint8_t kScan[3][64] = {
    {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
     41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
     30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63},
    {0,  8,  16, 24, 1,  9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49, 41, 33, 26, 18, 3,  11,
     4,  12, 19, 27, 34, 42, 50, 58, 35, 43, 51, 59, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44,
     52, 60, 37, 45, 53, 61, 22, 30, 7,  15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63},
    {0,  1,  2,  3,  8,  9,  16, 17, 10, 11, 4,  5,  6,  7,  15, 14, 13, 12, 19, 18, 24, 25,
     32, 33, 26, 27, 20, 21, 22, 23, 28, 29, 30, 31, 34, 35, 40, 41, 48, 49, 42, 43, 36, 37,
     38, 39, 44, 45, 46, 47, 50, 51, 56, 57, 58, 59, 52, 53, 54, 55, 60, 61, 62, 63}};

}  // namespace opx::mpeg4
