// Exported DV functions: check the arguments, take one kernel from the table, call it.
#include "dv/dv.hpp"
#include "frame/check.hpp"
#include "frame/dispatch.hpp"

using namespace opx::dv;

namespace {

const DvKernels& k() noexcept {
    return OPX_SELECT(opx::dv, kDv);
}

}  // namespace

// pScanTables and pTable are part of the interface but not read: the scans and the code are the
// library's own.
OpxResult opxiHuffmanDecodeSegment_DV_8u16s(const Opx8u* pSegment, const void* pScanTables,
                                            const void* pTable, Opx16s* pBlocks,
                                            Opx32u* pBlockInfo) noexcept {
    OPX_CHECK_NULL(pSegment, pBlocks, pBlockInfo);
    k().segment(pSegment, kLayoutDv, 64, true, pBlocks, pBlockInfo);
    return opxOk;
}

// numPositions above 64 would run past the scan: it is taken as 64; 0 keeps the DC only, like 1.
OpxResult opxiHuffmanDecodeSegmentOnePass_DV_8u16s(const Opx8u* pSegment, const void* pScanTables,
                                                   const void* pTable, Opx16s* pBlocks,
                                                   Opx32u* pBlockInfo,
                                                   Opx8u numPositions) noexcept {
    OPX_CHECK_NULL(pSegment, pBlocks, pBlockInfo);
    const int limit = numPositions < 1 ? 1 : numPositions > 64 ? 64 : numPositions;
    k().segment(pSegment, kLayoutDv, limit, false, pBlocks, pBlockInfo);
    return opxOk;
}

OpxResult opxiHuffmanDecodeSegment_DV100_8u16s(const Opx8u* pSegment, const void* pScanTables,
                                               const void* pTable, Opx16s* pBlocks,
                                               Opx32u* pBlockInfo) noexcept {
    OPX_CHECK_NULL(pSegment, pBlocks, pBlockInfo);
    k().segment(pSegment, kLayoutDv100, 64, true, pBlocks, pBlockInfo);
    return opxOk;
}

OpxResult opxiQuantInv_DV_16s_C1I(Opx16s* pSrcDst, const Opx16s* pDequantTable) noexcept {
    OPX_CHECK_NULL(pSrcDst, pDequantTable);
    k().quant_inv(pSrcDst, pDequantTable);
    return opxOk;
}

OpxResult opxiQuantWeightBlockInv_DV_16s_C1I(Opx16s* pSrcDst, const Opx16u* pQuantTable,
                                             const Opx16s* pWeightTable) noexcept {
    OPX_CHECK_NULL(pSrcDst, pQuantTable, pWeightTable);
    k().quant_weight(pSrcDst, pQuantTable, pWeightTable);
    return opxOk;
}

OpxResult opxiQuantWeightBlockInv_DV100_16s_C1I(Opx16s* pSrcDst, const Opx16s* pWeightTable,
                                                Opx16u qScale) noexcept {
    OPX_CHECK_NULL(pSrcDst, pWeightTable);
    k().quant_weight100(pSrcDst, pWeightTable, qScale);
    return opxOk;
}
