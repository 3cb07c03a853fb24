#include "engine/runtime/AVErrorText.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <set>
#include <string>

namespace vidorant {
namespace {


bool IsUnknownText(int code) {
  return AVErrorMessage(code) == "Error number " + std::to_string(code) + " occurred";
}

TEST(FormatAVError, ExactTextsOfSampledEntries) {
  const struct {
    int Code;
    const char* Text;
  } cases[] = {
      {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
      {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
      {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
      {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
      {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
      {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
      {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg"},
      {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
      {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
      {-1, "Operation not permitted"},
      {-2, "No such file or directory"},
      {-11, "Resource temporarily unavailable / Try again"},
      {-12, "Not enough space / Out of memory"},
      {-22, "Invalid argument / Invalid data found when processing input"},
      {-32, "End of file"},
      {-33, "Number syntax expected in filename"},
      {-40, "Too many symbolic links encountered"},
      {-42, "Unknown format"},
      {-57, "Invalid slot"},
      {-59, "Bad font file format"},
      {-81, ".lib section in a.out corrupted"},
      {-109, "Too many references: cannot splice"},
      {-125, "Operation Canceled"},
      {-131, "State not recoverable"},
      {-10035, "WSAEWOULDBLOCK"},
      {-10111, "WSA_E_CANCELLED"},
      {-11001, "WSAHOST_NOT_FOUND"},
      {-11004, "WSANO_DATA"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AVErrorMessage(c.Code), c.Text) << c.Code;
    EXPECT_EQ(FormatAVError("in.avi", c.Code), std::string("in.avi: ") + c.Text) << c.Code;
  }
}

TEST(FormatAVError, EveryErrnoFromOneTo131HasATextButTheTwoGaps) {
  std::set<std::string> texts;
  for (int errnum = 1; errnum <= 131; ++errnum) {
    if (errnum == 41 || errnum == 58) {
      EXPECT_TRUE(IsUnknownText(-errnum)) << errnum;
      continue;
    }
    EXPECT_FALSE(IsUnknownText(-errnum)) << errnum;
    texts.insert(AVErrorMessage(-errnum));
  }
  // A shifted or duplicated row would repeat a text.
  EXPECT_EQ(texts.size(), 129u);
}

TEST(FormatAVError, AllTwentyOneSocketCodesReadAsTheirConstantNames) {
  const int codes[] = {-11004, -11003, -11002, -11001, -10112, -10111, -10110,
                       -10109, -10108, -10107, -10106, -10105, -10104, -10103,
                       -10102, -10101, -10093, -10092, -10091, -10067, -10035};
  std::set<std::string> texts;
  for (int code : codes) {
    const std::string text = AVErrorMessage(code);
    EXPECT_EQ(text.rfind("WSA", 0), 0u) << code << " " << text;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), 21u);
  EXPECT_TRUE(IsUnknownText(-10036));
}

TEST(FormatAVError, UnknownCodesNameTheNumber) {
  for (int code : {0, 1, -132, -4000, -10000, 12345, -2147483647 - 1})
    EXPECT_TRUE(IsUnknownText(code)) << code;
  EXPECT_EQ(FormatAVError("x", -999), "x: Error number -999 occurred");
}

TEST(FormatAVError, CodesOfTheCurrentLibraryGenerationCarryItsOwnWords) {
  // These replaced the errno-based end-of-file and invalid-data codes; a stopped open returns
  // the exit code. They must not read as a bare number.
  EXPECT_EQ(AVErrorMessage(AVERROR_EOF), "End of file");
  EXPECT_EQ(AVErrorMessage(AVERROR_EXIT), "Immediate exit requested");
  EXPECT_EQ(AVErrorMessage(AVERROR_INVALIDDATA), "Invalid data found when processing input");
  for (int code : {AVERROR_BUG, AVERROR_BUG2, AVERROR_BUFFER_TOO_SMALL, AVERROR_EXTERNAL,
                   AVERROR_OPTION_NOT_FOUND, AVERROR_UNKNOWN, AVERROR_EXPERIMENTAL,
                   AVERROR_INPUT_CHANGED, AVERROR_OUTPUT_CHANGED, AVERROR_HTTP_BAD_REQUEST,
                   AVERROR_HTTP_UNAUTHORIZED, AVERROR_HTTP_FORBIDDEN, AVERROR_HTTP_NOT_FOUND,
                   AVERROR_HTTP_OTHER_4XX, AVERROR_HTTP_SERVER_ERROR})
    EXPECT_FALSE(IsUnknownText(code)) << code;
}

}  // namespace
}  // namespace vidorant
