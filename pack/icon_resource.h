// Icons: a .ico file read into its images, the RT_GROUP_ICON directory that names them as
// RT_ICON resources, and that directory read back from a built installer. Layouts (all
// little-endian):
//
//   .ico file      ICONDIR  reserved:2 (0) type:2 (1) count:2
//                  count x  width:1 height:1 colors:1 reserved:1 planes:2 bitCount:2
//                           bytes:4 offset:4           (16 bytes; offset into the file)
//   RT_GROUP_ICON  the same ICONDIR, then count x the first 12 bytes above and id:2
//                           (14 bytes; id of the RT_ICON resource holding the image)
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

const uint16_t RT_ICON_TYPE = 3;
const uint16_t RT_GROUP_ICON_TYPE = 14;

struct IconImage {
    uint8_t width = 0, height = 0;  // 0 stands for 256
    uint8_t colors = 0;
    uint16_t planes = 0, bitCount = 0;
    uint16_t id = 0;            // in a group: the RT_ICON id
    uint32_t bytes = 0;         // size of the image data
    std::vector<uint8_t> data;  // from a .ico file: the image (a BMP without file header or PNG)
};

// Why the bytes are not an icon file the installer can carry ("" when they are): the header,
// every image lying inside the file, each a bitmap or PNG image.
std::string IconFileProblem(const std::vector<uint8_t>& file);

// The images of a sound icon file (IconFileProblem returned ""); throws PackError otherwise.
std::vector<IconImage> ReadIconFile(const std::vector<uint8_t>& file);

// The RT_GROUP_ICON data for `images`, the i-th named by RT_ICON id firstId + i.
std::vector<uint8_t> GroupIconData(const std::vector<IconImage>& images, uint16_t firstId);

// The entries of RT_GROUP_ICON data (data left empty); false, with `problem` set, when the
// directory is malformed.
bool ParseGroupIcon(const std::vector<uint8_t>& data, std::vector<IconImage>* images,
                    std::string* problem);

// "32x32 8-bit": how listings name an image.
std::string IconImageText(const IconImage& image);
