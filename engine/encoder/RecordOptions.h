// How the option records become a task's options: each field through the option (or direct
// setter) it stands for, applied only when it holds a value, in the order of the record.
#pragma once

#include "engine/encoder/EncoderRecords.h"
#include "engine/encoder/ExtOptions.h"

#include <string>
#include <vector>

namespace vidorant {

class TCustomFFmpeg;

// Applies the option unless the value is empty (an empty value means "not given").
void ApplyIfSet(TCustomFFmpeg& task, const std::string& name, const std::string& value);
// Applies the lines the use accepts, in order.
void ApplyOptionLines(TCustomFFmpeg& task, const std::vector<TOptionLine>& lines, TExtOptionsUse use);

// The input record's own fields: format, start position, program.
void ApplyInputFields(TCustomFFmpeg& task, const TInputOptions& options);
// The target with its norm and fallback norm, when the record names one.
void ApplyTarget(TCustomFFmpeg& task, const TOutputOptions& options);
// The output record's fields other than codecs, presets, frame size, filters and target, from
// FileFormat to the metadata.
void ApplyOutputFields(TCustomFFmpeg& task, const TOutputOptions& options);

// The "timestamp" option's value for a TStreamInfo time stamp: "now" for 0, the UTC date and
// time ("YYYY-MM-DD hh:mm:ssZ") of a positive local date-time in days since 30 December 1899,
// rounded to the second; empty (not applied) for a negative one.
std::string StreamTimestampText(double days);

}  // namespace vidorant
