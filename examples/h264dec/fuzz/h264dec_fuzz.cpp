// libFuzzer entry point over the whole decoder (built with -DOPXVC_FUZZ=ON and clang).
#include "decoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    h264dec::Options opt;
    h264dec::Decoder d(opt, nullptr);
    h264dec::decode_stream(d, data, size);
    return 0;
}
