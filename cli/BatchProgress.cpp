#include "cli/BatchProgress.h"

#include <algorithm>
#include <map>

#include "platform/Format.h"

namespace vidorant {

namespace {

constexpr int BarWidth = 30;  // characters

std::string Prefix(int number, int count) { return Format("[%d/%d]", number, count); }

std::string FrameAndTime(const TProgressInfo& info) {
  const long long seconds = info.CurrentTime / 1000000;
  return Format("frame %d, %02lld:%02lld:%02lld", info.CurrentFrame, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// Redraws one line per file: "[1/3] clip.mp4 [######......]  40%  frame 16, 00:00:01".
class TTerminalProgress : public TBatchProgress {
public:
  explicit TTerminalProgress(FILE* out) : FOut(out) {}

  void FileStarted(int number, int count, const std::string& videoName, const std::string& gifPath) override {
    FLine = Prefix(number, count) + " " + videoName;
    std::fprintf(FOut, "%s -> %s\n", FLine.c_str(), gifPath.c_str());
    Draw("[" + std::string(BarWidth, '.') + "]   0%");
  }

  void FileProgress(int, const TProgressInfo& info) override {
    const int percent = ProgressPercent(info);
    std::string bar;
    if (percent >= 0) {
      const int filled = percent * BarWidth / 100;
      bar = "[" + std::string(filled, '#') + std::string(BarWidth - filled, '.') + "] " + Format("%3d%%  ", percent);
    }
    Draw(bar + FrameAndTime(info));
  }

  void FileEnded(int, const std::string& outcome) override {
    Draw(outcome);
    std::fputc('\n', FOut);
    std::fflush(FOut);
  }

private:
  void Draw(const std::string& state) {
    // Back to the line's start and clear what a longer state left behind.
    std::fprintf(FOut, "\r%s %s\033[K", FLine.c_str(), state.c_str());
    std::fflush(FOut);
  }

  FILE* FOut;
  std::string FLine;
};

// One line when a file starts, one each time another tenth is done (or, when the length is
// unknown, for every report), and one at its end; each line begins with its file's number, so
// files converting at once can be told apart.
class TPlainProgress : public TBatchProgress {
public:
  explicit TPlainProgress(FILE* out) : FOut(out) {}

  void FileStarted(int number, int count, const std::string& videoName, const std::string& gifPath) override {
    FFiles[number] = {Prefix(number, count), 0};
    Line(number, videoName + " -> " + gifPath);
  }

  void FileProgress(int number, const TProgressInfo& info) override {
    const int percent = ProgressPercent(info);
    int& tenths = FFiles[number].Tenths;
    if (percent < 0)
      Line(number, FrameAndTime(info));
    else if (percent / 10 > tenths) {
      tenths = percent / 10;
      Line(number, Format("%d%%, ", percent) + FrameAndTime(info));
    }
  }

  void FileEnded(int number, const std::string& outcome) override {
    Line(number, outcome);
    FFiles.erase(number);
  }

private:
  struct TFileLine {
    std::string Prefix;
    int Tenths = 0;
  };

  void Line(int number, const std::string& text) {
    std::fprintf(FOut, "%s %s\n", FFiles[number].Prefix.c_str(), text.c_str());
    std::fflush(FOut);
  }

  FILE* FOut;
  std::map<int, TFileLine> FFiles;  // the files started and not ended, by number
};

}  // namespace

int ProgressPercent(const TProgressInfo& info) {
  if (info.TotalDuration <= 0) return -1;
  const int64_t percent = info.CurrentTime * 100 / info.TotalDuration;
  return static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
}

std::unique_ptr<TBatchProgress> MakeBatchProgress(FILE* out, bool terminal) {
  if (terminal) return std::make_unique<TTerminalProgress>(out);
  return std::make_unique<TPlainProgress>(out);
}

}  // namespace vidorant
