// Exported MPEG-1/2 block decoders: check the arguments, take one kernel from the table, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg2/block.hpp"

using namespace opx::mpeg2;

namespace {

const BlockKernels& k() noexcept {
    return OPX_SELECT(opx::mpeg2, kBlock);
}

// The position is used as a shift count and word index: outside 0..31 it is refused, as by the
// library's other word-cursor decoders.
bool bad_offset(const Opx32s* offset) noexcept {
    return static_cast<Opx32u>(*offset) > 31u;
}

}  // namespace

OpxResult opxiReconstructDCTBlockIntra_MPEG1_32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                 const Opx32s* pDcSizeTable, const Opx32s* pAcTable,
                                                 const Opx32s* pScan, Opx32s qscale,
                                                 const Opx16s* pQuantMatrix, Opx16s* pDcPred,
                                                 Opx16s* pDstBlock, Opx32s* pDstSize) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pDcSizeTable, pAcTable, pScan, pQuantMatrix, pDcPred,
                   pDstBlock, pDstSize);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    const BlockArgs a{ppBitStream, pOffset,      pDcSizeTable, nullptr, pAcTable,  pScan,
                      qscale,      pQuantMatrix, pDcPred,      0,       pDstBlock, pDstSize};
    return k().decode[kMpeg1][1](a);
}

OpxResult opxiReconstructDCTBlockIntra_MPEG2_32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                 const Opx32s* pDcSizeTable, const Opx32s* pAcTable,
                                                 const Opx32s* pScan, Opx32s qscale,
                                                 const Opx16s* pQuantMatrix, Opx16s* pDcPred,
                                                 Opx32s dcShift, Opx16s* pDstBlock,
                                                 Opx32s* pDstSize) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pDcSizeTable, pAcTable, pScan, pQuantMatrix, pDcPred,
                   pDstBlock, pDstSize);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    OPX_CHECK(dcShift >= 0 && dcShift <= 3, opxErrOutOfRange);
    const BlockArgs a{ppBitStream, pOffset,      pDcSizeTable, nullptr, pAcTable,  pScan,
                      qscale,      pQuantMatrix, pDcPred,      dcShift, pDstBlock, pDstSize};
    return k().decode[kMpeg2][1](a);
}

OpxResult opxiReconstructDCTBlock_MPEG1_32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                            const Opx32s* pFirstTable, const Opx32s* pTable,
                                            const Opx32s* pScan, Opx32s qscale,
                                            const Opx16s* pQuantMatrix, Opx16s* pDstBlock,
                                            Opx32s* pDstSize) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pFirstTable, pTable, pScan, pQuantMatrix, pDstBlock,
                   pDstSize);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    const BlockArgs a{ppBitStream, pOffset,      nullptr, pFirstTable, pTable,    pScan,
                      qscale,      pQuantMatrix, nullptr, 0,           pDstBlock, pDstSize};
    return k().decode[kMpeg1][0](a);
}

OpxResult opxiReconstructDCTBlock_MPEG2_32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                            const Opx32s* pFirstTable, const Opx32s* pTable,
                                            const Opx32s* pScan, Opx32s qscale,
                                            const Opx16s* pQuantMatrix, Opx16s* pDstBlock,
                                            Opx32s* pDstSize) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pFirstTable, pTable, pScan, pDstBlock, pDstSize);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    const BlockArgs a{ppBitStream, pOffset,      nullptr, pFirstTable, pTable,    pScan,
                      qscale,      pQuantMatrix, nullptr, 0,           pDstBlock, pDstSize};
    return k().decode[kMpeg2][0](a);
}
