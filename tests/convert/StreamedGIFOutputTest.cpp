// The GIF output's handlers driven with pictures of our own, against the GIF library's add and
// save of the same pictures into one document: the bytes the converter is meant to write.
#include "convert/GIFOutput.h"
#include "gif/GIFImage.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/MemoryStream.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/pixfmt.h>
}

namespace vidorant::testing {
namespace {

constexpr int Width = 40, Height = 30;

// Tight BGR rows: gradients under noise, thousands of colours, so the reduction has work to do.
std::vector<uint8_t> Picture(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bgr(size_t(Width) * Height * 3);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      uint8_t* p = &bgr[(size_t(y) * Width + x) * 3];
      p[0] = uint8_t(x * 6 + random() % 24);
      p[1] = uint8_t(y * 8 + seed * 20);
      p[2] = uint8_t((x + y) * 3 + random() % 40);
    }
  return bgr;
}

std::vector<std::vector<uint8_t>> Pictures(int count) {
  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < count; ++i) pictures.push_back(Picture(unsigned(i) + 1));
  return pictures;
}

// What the library writes for the pictures: each added to one document, the document saved.
std::vector<uint8_t> SavedDocument(const std::vector<std::vector<uint8_t>>& pictures) {
  TGIFImage document;
  document.ReductionMethod = ReduceOctreeSystem;
  for (const auto& picture : pictures) {
    TBitmap bitmap(Width, Height, pf24bit);
    for (int row = 0; row < Height; ++row) std::memcpy(bitmap.ScanLine(row), &picture[size_t(row) * Width * 3], Width * 3);
    document.Add(bitmap);
  }
  TMemoryStream saved;
  document.SaveToStream(saved);
  return saved.Bytes();
}

// A task's deliveries without the task: the header, the pictures as packets, and the close.
class TDeliveries {
public:
  explicit TDeliveries(TGIFOutput& output) : FOutput(output) {
    FInfo.PixFmt = AV_PIX_FMT_BGR24;
    FInfo.Width = Width;
    FInfo.Height = Height;
    FOutput.FOAWriteHeader(nullptr);
  }
  void Frame(std::vector<uint8_t> picture) {
    FPacket.data = picture.data();
    FPacket.size = static_cast<int>(picture.size());
    FInfo.Packet = &FPacket;
    ++FInfo.FrameNumber;
    FOutput.FOAWriteFrame(nullptr, &FInfo);
  }
  void Frames(const std::vector<std::vector<uint8_t>>& pictures) {
    for (const auto& picture : pictures) Frame(picture);
  }
  void Close() { FOutput.FOAWriteClose(nullptr); }

private:
  TGIFOutput& FOutput;
  TOutputFrameInfo FInfo{};
  AVPacket FPacket{};
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
  TMemoryStream file;
  file.LoadFromFile(path);
  return file.Bytes();
}

// Every name in the folder: what a run leaves behind, temporary files included.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::string MessageOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

TEST(StreamedGIFOutput, TheFileIsTheSaveOfTheSameFramesWithAnyNumberOfThreads) {
  for (int frames : {1, 7}) {
    const auto pictures = Pictures(frames);
    const std::vector<uint8_t> expected = SavedDocument(pictures);
    for (int threads : {1, 2, 8}) {
      SCOPED_TRACE(::testing::Message() << frames << " frames, " << threads << " threads");
      TTempFolder folder;
      TGIFOutput output(threads);
      output.SetOutputFile(folder.Path(), "out.gif");
      TDeliveries run(output);
      run.Frames(pictures);
      run.Close();
      EXPECT_EQ(ReadBytes(folder.File("out.gif")), expected);
      EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"out.gif"});
    }
  }
}

TEST(StreamedGIFOutput, NoFrameFailsLeavingNoFileAndAnExistingOneUntouched) {
  TTempFolder folder;
  std::ofstream(folder.File("kept.gif")) << "kept";
  for (const char* name : {"kept.gif", "new.gif"}) {
    TGIFOutput output(2);
    output.SetOutputFile(folder.Path(), name);
    TDeliveries run(output);
    EXPECT_EQ(MessageOf([&] { run.Close(); }), "Unsupported GIF version");
  }
  EXPECT_EQ(ReadBytes(folder.File("kept.gif")), std::vector<uint8_t>({'k', 'e', 'p', 't'}));
  EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"kept.gif"});
}

// A picture that is not whole ends the task with the handler's error; the close never comes,
// and the frames before it are a complete GIF all the same.
TEST(StreamedGIFOutput, AFailingFrameLeavesTheGIFOfTheFramesBeforeIt) {
  const auto pictures = Pictures(3);
  for (int threads : {1, 4}) {
    TTempFolder folder;
    TGIFOutput output(threads);
    output.SetOutputFile(folder.Path(), "cut.gif");
    TDeliveries run(output);
    run.Frames(pictures);
    EXPECT_EQ(MessageOf([&] { run.Frame(std::vector<uint8_t>(100)); }), "Incomplete frame 4: 100 bytes for 40x30 pixels");
    EXPECT_EQ(ReadBytes(folder.File("cut.gif")), SavedDocument(pictures)) << threads << " threads";
    EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"cut.gif"});
  }
}

// A task that fails elsewhere (reading its input) ends without closing its output.
TEST(StreamedGIFOutput, AFileLeftOpenByItsTaskIsCompletedByTheNextHeaderOrFinishFile) {
  const auto pictures = Pictures(4);
  TTempFolder folder;
  TGIFOutput output(3);
  output.SetOutputFile(folder.Path(), "first.gif");
  TDeliveries first(output);
  first.Frames({pictures[0], pictures[1]});
  output.SetOutputFile(folder.Path(), "second.gif");
  TDeliveries second(output);
  second.Frames({pictures[2], pictures[3]});
  output.FinishFile();
  EXPECT_EQ(ReadBytes(folder.File("first.gif")), SavedDocument({pictures[0], pictures[1]}));
  EXPECT_EQ(ReadBytes(folder.File("second.gif")), SavedDocument({pictures[2], pictures[3]}));
  EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"first.gif", "second.gif"}));
}

// Whether the error comes from the worker that wrote or from the task's own thread, the task
// ends with the reason, and nothing is left behind.
TEST(StreamedGIFOutput, AFolderThatCannotTakeTheFileFailsWithItsReasonAndLeavesNothing) {
  TTempFolder folder;
  const std::string missing = folder.File("missing");
  for (int threads : {1, 3}) {
    TGIFOutput output(threads);
    output.SetOutputFile(missing, "out.gif");
    const std::string message = MessageOf([&] {
      TDeliveries run(output);
      run.Frames(Pictures(5));
      run.Close();
    });
    EXPECT_EQ(message, "Cannot create file \"" + missing + "/out.gif\". No such file or directory") << threads;
  }
  EXPECT_TRUE(Names(folder.Path()).empty());
}

}  // namespace
}  // namespace vidorant::testing
