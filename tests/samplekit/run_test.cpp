// qwhost run with a recorder of the built bundle: a user records part of the
// generated sweep and reads the frame count.
#include "samplekit_fixture.h"

namespace
{
const std::string kSamplekit = std::string(QW_BUNDLE_DIR) + "/samplekit.so";
using RunRecorder = qwtest::CommandTest;
} // namespace

TEST_F(RunRecorder, RecordsOneAndAHalfSecondsOfTheSweep)
{
    const Result r = qwhost(
        {"run", kSamplekit, "QW_AudioRecorder2", "--seconds", "2", "--pin", "Record=1", "--pin", "Record=0@1.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    // 1.5 s at 44.1 kHz, stopped at that sample: the sample and its frame count.
    EXPECT_NE(r.out.find("66150\t1.500000\tFrames\t66150\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("66150\t1.500000\tSample\tblob of 264600 bytes"), std::string::npos) << r.out;
}
