// Where a converted file goes: the GIF takes the video's name without folder and last extension
// (the base) and ".gif", numbered base(1).gif, base(2).gif ... when that name is taken in the
// output folder. Names are given out for a whole batch before any GIF is written, so the names
// given to earlier files of the batch count as taken too: two videos of one base name in one
// batch never write into the same GIF.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace vidorant {

// The folder as a prefix of file names: the platform's separator appended when the folder does
// not end in one. An empty folder stays empty (the current folder), never the root.
std::string OutputFolderPrefix(const std::string& folder);

// The video's file name without its folder and without the part from its last "." on.
std::string OutputBaseName(const std::string& videoPath);

// The smallest free name base.gif, base(1).gif, ... for the video in the folder. A name is free
// when nothing of that name (file, folder or link) exists in the folder and it is not in taken;
// a name whose existence cannot be told counts as free, so saving reports the real reason.
std::string OutputFileName(const std::string& folder, const std::string& videoPath, const std::set<std::string>& taken);

// The names of a batch's videos, in order, each taking the first name free of the folder and of
// the names given before it.
std::vector<std::string> BatchOutputNames(const std::string& folder, const std::vector<std::string>& videoPaths);

}  // namespace vidorant
