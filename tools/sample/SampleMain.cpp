// vidorant-sample FILE.mp4: writes a four-second sample video (640x480, 25 pictures per second,
// MPEG-4 with an AAC tone track) made on the spot, for trying the converter without a video of
// one's own. Exit status 0 when the file was written.
#include "tools/testvideo/TestVideo.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

namespace {

constexpr const char* Usage = "Usage: vidorant-sample FILE.mp4\n"
                              "Writes a four-second sample video with a tone track to FILE.mp4.\n";

vidorant::testing::TVideoRecipe SampleRecipe() {
  vidorant::testing::TVideoRecipe recipe = vidorant::testing::Mp4Recipe();
  recipe.Width = 640;
  recipe.Height = 480;
  recipe.FrameRate = {25, 1};
  recipe.FrameCount = 100;
  recipe.GopSize = 25;
  vidorant::testing::TTestAudio tone;
  tone.Codec = "aac";
  recipe.Audio.push_back(tone);
  return recipe;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::fputs(Usage, stdout);
    return 0;
  }
  const std::filesystem::path path(first);
  if (argc != 2 || path.extension() != ".mp4" || path.stem().empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are of no use here
  try {
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    std::filesystem::create_directories(folder);
    const std::string written = vidorant::testing::MakeTestVideo(folder, path.stem().string(), SampleRecipe());
    std::printf("%s\n", written.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vidorant-sample: cannot write %s: %s\n", first.c_str(), e.what());
    return 1;
  }
}
