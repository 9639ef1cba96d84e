#include <cstring>

#include "harness/harness.hpp"

TEST(Version, RecordIsConstantAndReadsAsBuilt) {
    const OpxVersionInfo* v = opxvcGetLibVersion();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v, opxvcGetLibVersion());
    EXPECT_EQ(v->major, 7);
    EXPECT_EQ(v->minor, 1);
    EXPECT_EQ(v->majorBuild, 0);
    EXPECT_EQ(v->build, 36264);
    EXPECT_EQ(0, std::memcmp(v->targetCpu, "l9\0\0", 4));
    EXPECT_STREQ(v->name, "opxVC AVX2 (l9)");
    EXPECT_STREQ(v->version, "7.1.0 (r36264)");
    EXPECT_STREQ(v->buildDate, "Jul 23 2012");
    // The header's macros name the same version.
    EXPECT_EQ(OPXVC_VERSION_MAJOR, v->major);
    EXPECT_EQ(OPXVC_VERSION_MINOR, v->minor);
    EXPECT_EQ(OPXVC_VERSION, OPXVC_VERSION_MAJOR * 10000 + OPXVC_VERSION_MINOR * 100 + OPXVC_VERSION_PATCH);
    EXPECT_EQ(0, std::strncmp(v->version, OPXVC_VERSION_STRING, std::strlen(OPXVC_VERSION_STRING)));
}
