// The option records applied to a task (RecordOptions.h).
#include "engine/encoder/RecordOptions.h"

#include "engine/core/FFmpeg.h"

#include <cmath>
#include <ctime>

namespace vidorant {
namespace {

// Days from 30 December 1899 to 1 January 1970.
constexpr double UnixEpochDays = 25569.0;

std::string Number(int64_t value) { return std::to_string(value); }

void ApplyIfAbove0(TCustomFFmpeg& task, const char* name, int32_t value) {
  if (value > 0) task.ParseOption(name, Number(value));
}

void ApplyFlag(TCustomFFmpeg& task, const char* name, bool value) {
  if (value) task.ParseOption(name, "1");
}

void ApplyStreamInfo(TCustomFFmpeg& task, const TStreamInfo& info) {
  ApplyIfSet(task, "timestamp", StreamTimestampText(info.TimeStamp));
  auto metadata = [&](const char* key, const std::string& value) {
    if (!value.empty()) task.ParseOption("metadata", std::string(key) + "=" + value);
  };
  if (info.Year > 0) metadata("year", Number(info.Year));
  if (info.Track > 0) metadata("track", Number(info.Track));
  metadata("title", info.Title);
  metadata("author", info.Author);
  metadata("copyright", info.RightsNotice);
  metadata("comment", info.Comment);
  metadata("album", info.Album);
  metadata("genre", info.Genre);
}

}  // namespace

void ApplyIfSet(TCustomFFmpeg& task, const std::string& name, const std::string& value) {
  if (!value.empty()) task.ParseOption(name, value);
}

void ApplyOptionLines(TCustomFFmpeg& task, const std::vector<TOptionLine>& lines, TExtOptionsUse use) {
  for (const TOptionLine& line : lines)
    if (ExtOptionApplies(line.Name, use)) task.ParseOption(line.Name, line.Value);
}

void ApplyInputFields(TCustomFFmpeg& task, const TInputOptions& options) {
  ApplyIfSet(task, "f", options.FileFormat);
  task.SetStartTime(options.StartTime);
  task.SetProgramId(options.ProgramID);
}

void ApplyTarget(TCustomFFmpeg& task, const TOutputOptions& options) {
  static const char* const types[] = {"vcd", "svcd", "dvd"};
  if (options.Target < 1 || options.Target > 3) return;
  const char* norm = options.TargetNorm == 1 ? "pal" : options.TargetNorm == 2 ? "ntsc" : "auto";
  task.SetTarget(types[options.Target - 1], norm, options.TargetFallbackNorm == 1 ? "pal" : "ntsc");
}

void ApplyOutputFields(TCustomFFmpeg& task, const TOutputOptions& o) {
  const bool target = o.Target >= 1 && o.Target <= 3;
  ApplyIfSet(task, "f", o.FileFormat);
  ApplyIfAbove0(task, "packetsize", o.PacketSize);
  ApplyIfAbove0(task, "muxrate", o.MuxRate);
  task.SetMuxMaxDelay(o.MuxDelay);
  task.SetMuxPreload(o.MuxPreload);
  ApplyFlag(task, "an", o.AudioDisable);
  task.SetAudioVolume(o.AudioVolume);
  task.ParseOption("ac", Number(o.AudioChannels));
  task.ParseOption("ar", Number(o.AudioSampleRate));
  if (!target) ApplyIfAbove0(task, "ab", o.AudioBitrate);
  ApplyIfAbove0(task, "abt", o.AudioBitrateTolerance);
  ApplyIfSet(task, "alang", o.AudioLanguage);
  task.SetAudioSyncMethod(o.AudioSync);
  ApplyIfSet(task, "atag", o.AudioTag);
  ApplyFlag(task, "vn", o.VideoDisable);
  ApplyIfSet(task, "r", o.FrameRate);
  ApplyIfSet(task, "aspect", o.FrameAspectRatio);
  ApplyIfAbove0(task, "g", o.GOPSize);
  if (!target) ApplyIfAbove0(task, "vb", o.VideoBitrate);
  ApplyIfAbove0(task, "maxrate", o.VideoMaxRate);
  ApplyIfAbove0(task, "minrate", o.VideoMinRate);
  ApplyIfAbove0(task, "bt", o.VideoBitrateTolerance);
  ApplyIfAbove0(task, "bufsize", o.VideoBufSize);
  task.SetVideoSyncMethod(o.VideoSync);
  ApplyIfSet(task, "vtag", o.VideoTag);
  ApplyIfSet(task, "vlang", o.VideoLanguage);
  ApplyFlag(task, "sn", o.SubtitleDisable);
  ApplyIfSet(task, "slang", o.SubtitleLanguage);
  task.ParseOption("isync", o.InputSync ? "1" : "0");
  ApplyFlag(task, "copyts", o.CopyTimestamps);
  task.SetStartTime(o.StartTime);
  task.SetRecordingTime(o.RecordingTime);
  ApplyStreamInfo(task, o.StreamInfo);
}

std::string StreamTimestampText(double days) {
  if (days < 0) return "";
  if (days == 0) return "now";
  // The local date and time as if it were UTC, then through the local time zone of that date.
  const std::time_t asUtc = static_cast<std::time_t>(std::llround((days - UnixEpochDays) * 86400));
  std::tm fields{};
  gmtime_r(&asUtc, &fields);
  fields.tm_isdst = -1;
  const std::time_t utc = std::mktime(&fields);
  std::tm utcFields{};
  gmtime_r(&utc, &utcFields);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%SZ", &utcFields);
  return text;
}

}  // namespace vidorant
