// Network outputs: an RTP stream (sent as UDP to a local port nobody listens on) with the session
// description a receiver needs, and the feed format that the libraries no longer have.
#include "engine/core/FFmpegException.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace vidorant::testing {
namespace {

class RtpFeedOutput : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
  TTempFolder Tmp;
  TTestTask Task;
};

TEST_F(RtpFeedOutput, AnRtpRunLogsTheSessionDescriptionOfItsStream) {
  const std::string source = MakeTestVideo(Tmp.Path(), "source", Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 10));
  // An even port of its own per process: RTP sends its control packets to the next one.
  const int port = 40000 + 2 * (getpid() % 10000);
  TLogCapture log;
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"f", "rtp"}, {"vcodec", "mpeg4"}},
                        "rtp://127.0.0.1:" + std::to_string(port)));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  EXPECT_TRUE(log.Contains("SDP:"));
  EXPECT_TRUE(log.Contains("c=IN IP4 127.0.0.1"));
  EXPECT_TRUE(log.Contains("m=video " + std::to_string(port) + " RTP/AVP 96"));
  EXPECT_TRUE(log.Contains("a=rtpmap:96 MP4V-ES/90000"));
}

TEST_F(RtpFeedOutput, AFeedOutputIsRefusedNamingTheFormat) {
  const std::string source = MakeTestVideo(Tmp.Path(), "source", Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 10));
  ASSERT_TRUE(Task.AddInputFile(source)) << Task.LastErrorMessage();
  for (const std::string& name : {Tmp.File("out.ffm"), std::string("http://127.0.0.1:8090/feed1.ffm")}) {
    SCOPED_TRACE(name);
    Task.ParseOption("f", "ffm");
    try {
      Task.AddOutputFile(name);
      ADD_FAILURE() << "the feed output was accepted";
    } catch (const FFmpegException& e) {
      EXPECT_EQ(e.Message, "Output format 'ffm' (feed server) is not available in this version");
    }
  }
}

}  // namespace
}  // namespace vidorant::testing
