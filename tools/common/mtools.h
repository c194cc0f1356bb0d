// Diskette images through Debian's mtools, run as programs (never through a shell): format an
// image, copy files in, read its volume label and copy every file out. Errors are PackError
// naming the image and mtools' own message.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Formats `image` as a FAT12 diskette of `kilobytes` (720, 1440, 2880) with `volumeLabel`,
// a serial number derived from the label and the label's time `stamp` (seconds since 1970,
// UTC; SOURCE_DATE_EPOCH wins when set), so that the same inputs give the same image.
void FormatDisketteImage(const std::string& image, int kilobytes, const std::string& volumeLabel,
                         long long stamp);
// Copies `hostPath` into the image's root as `name`, keeping its modification time.
void CopyIntoImage(const std::string& image, const std::string& hostPath, const std::string& name);
// The image's volume label, trailing blanks removed ("" when it has none).
std::string ImageVolumeLabel(const std::string& image);
// Copies every file of the image's root into `folder` (which must exist).
void CopyOutOfImage(const std::string& image, const std::string& folder);
