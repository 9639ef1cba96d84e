// Exported generic VLC table functions: build, release, decode one code.
#include "frame/bitstream.hpp"
#include "frame/check.hpp"
#include "mpeg2/huffman.hpp"
#include "opxcore.h"

namespace {

OpxResult init_alloc(const Opx32s* list, bool run_level, Opx32s** table) noexcept {
    if (table) *table = nullptr;
    OPX_CHECK_NULL(list, table);
    return opx::mpeg2::build_table(list, run_level, table);
}

}  // namespace

OpxResult opxiHuffmanTableInitAlloc_32s(const Opx32s* pCodeList, Opx32s** ppTable) noexcept {
    return init_alloc(pCodeList, false, ppTable);
}

OpxResult opxiHuffmanRunLevelTableInitAlloc_32s(const Opx32s* pCodeList,
                                                Opx32s** ppTable) noexcept {
    return init_alloc(pCodeList, true, ppTable);
}

OpxResult opxiHuffmanTableFree_32s(Opx32s* pTable) noexcept {
    OPX_CHECK_NULL(pTable);
    opxFree(pTable);
    return opxOk;
}

OpxResult opxiDecodeHuffmanOne_1u32s(Opx32u** ppBitStream, Opx32s* pOffset, Opx32s* pValue,
                                     const Opx32s* pTable) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pValue, pTable);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(static_cast<Opx32u>(*pOffset) <= 31u, opxErrBadArg);
    opx::bits::WordReader r(*ppBitStream, *pOffset);
    Opx32s value = opx::bits::kVlcInvalid;
    const bool ok = opx::bits::vlc_walk(r, pTable, value);
    // An invalid code leaves the cursor where the walk stopped.
    *ppBitStream = const_cast<Opx32u*>(r.ptr());
    *pOffset = r.pos();
    *pValue = ok ? value : opx::bits::kVlcInvalid;
    return ok ? opxOk : opxErrH264VlcCode;
}

OpxResult opxiDecodeHuffmanPair_1u16s(Opx32u** ppBitStream, Opx32s* pOffset, const Opx32s* pTable,
                                      Opx8u* pRun, Opx16s* pLevel) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pTable, pRun, pLevel);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(static_cast<Opx32u>(*pOffset) <= 31u, opxErrBadArg);
    opx::bits::WordReader r(*ppBitStream, *pOffset);
    Opx32s value;
    if (!opx::bits::vlc_walk(r, pTable, value)) return opxErrH264VlcCode;  // cursor as on entry
    *ppBitStream = const_cast<Opx32u*>(r.ptr());
    *pOffset = r.pos();
    *pRun = static_cast<Opx8u>(value & 0xFF);
    *pLevel = static_cast<Opx16s>(value >> 8);
    return opxOk;
}
