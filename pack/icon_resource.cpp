// Reading .ico files and writing and reading the group directory that points at their images.
#include "pack/icon_resource.h"

#include <string.h>

#include "engine/core/package.h"
#include "pack/pack_error.h"

namespace {

const size_t DIR_SIZE = 6;
const size_t FILE_ENTRY_SIZE = 16;
const size_t GROUP_ENTRY_SIZE = 14;
const uint16_t MAX_IMAGES = 64;  // far more sizes than any icon needs
const uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const uint32_t BITMAPINFOHEADER_SIZE = 40;

// The header's image count, or a problem.
std::string DirectoryProblem(const uint8_t* p, size_t size, size_t entrySize, uint16_t* count) {
    if (size < DIR_SIZE) return "is too short for an icon header";
    if (ReadLE16(p) != 0 || ReadLE16(p + 2) != 1) return "is not an icon (header type is not 1)";
    *count = ReadLE16(p + 4);
    if (*count == 0) return "holds no image";
    if (*count > MAX_IMAGES) return "holds more than 64 images";
    if (size < DIR_SIZE + entrySize * *count) return "is cut off inside its image directory";
    return "";
}

IconImage ReadEntry(const uint8_t* e) {
    IconImage image;
    image.width = e[0];
    image.height = e[1];
    image.colors = e[2];
    image.planes = ReadLE16(e + 4);
    image.bitCount = ReadLE16(e + 6);
    image.bytes = ReadLE32(e + 8);
    return image;
}

bool IsBitmapOrPng(const uint8_t* data, uint32_t size) {
    if (size >= sizeof PNG_SIGNATURE && memcmp(data, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0)
        return true;
    return size >= BITMAPINFOHEADER_SIZE && ReadLE32(data) == BITMAPINFOHEADER_SIZE;
}

std::string ImageProblem(const uint8_t* file, size_t size, uint16_t index) {
    const uint8_t* e = file + DIR_SIZE + FILE_ENTRY_SIZE * index;
    uint32_t bytes = ReadLE32(e + 8), offset = ReadLE32(e + 12);
    std::string which = "image " + std::to_string(index + 1);
    if (bytes == 0) return which + " is empty";
    if (offset > size || bytes > size - offset) return which + " lies past the end of the file";
    if (offset < DIR_SIZE + FILE_ENTRY_SIZE * (size_t)ReadLE16(file + 4))
        return which + " overlaps the image directory";
    if (!IsBitmapOrPng(file + offset, bytes)) return which + " is neither a bitmap nor PNG";
    return "";
}

}  // namespace

std::string IconFileProblem(const std::vector<uint8_t>& file) {
    uint16_t count = 0;
    std::string problem = DirectoryProblem(file.data(), file.size(), FILE_ENTRY_SIZE, &count);
    if (!problem.empty()) return problem;
    for (uint16_t i = 0; i < count; i++) {
        problem = ImageProblem(file.data(), file.size(), i);
        if (!problem.empty()) return problem;
    }
    return "";
}

std::vector<IconImage> ReadIconFile(const std::vector<uint8_t>& file) {
    std::string problem = IconFileProblem(file);
    if (!problem.empty()) throw PackError("icon file " + problem);
    std::vector<IconImage> images;
    for (uint16_t i = 0; i < ReadLE16(file.data() + 4); i++) {
        const uint8_t* e = file.data() + DIR_SIZE + FILE_ENTRY_SIZE * i;
        IconImage image = ReadEntry(e);
        uint32_t offset = ReadLE32(e + 12);
        image.data.assign(file.begin() + offset, file.begin() + offset + image.bytes);
        images.push_back(image);
    }
    return images;
}

std::vector<uint8_t> GroupIconData(const std::vector<IconImage>& images, uint16_t firstId) {
    std::vector<uint8_t> out(DIR_SIZE + GROUP_ENTRY_SIZE * images.size(), 0);
    WriteLE16(&out[2], 1);
    WriteLE16(&out[4], (uint16_t)images.size());
    for (size_t i = 0; i < images.size(); i++) {
        uint8_t* e = &out[DIR_SIZE + GROUP_ENTRY_SIZE * i];
        const IconImage& image = images[i];
        e[0] = image.width, e[1] = image.height, e[2] = image.colors;
        WriteLE16(e + 4, image.planes);
        WriteLE16(e + 6, image.bitCount);
        WriteLE32(e + 8, (uint32_t)image.data.size());
        WriteLE16(e + 12, (uint16_t)(firstId + i));
    }
    return out;
}

bool ParseGroupIcon(const std::vector<uint8_t>& data, std::vector<IconImage>* images,
                    std::string* problem) {
    uint16_t count = 0;
    *problem = DirectoryProblem(data.data(), data.size(), GROUP_ENTRY_SIZE, &count);
    if (!problem->empty()) return false;
    images->clear();
    for (uint16_t i = 0; i < count; i++) {
        const uint8_t* e = data.data() + DIR_SIZE + GROUP_ENTRY_SIZE * i;
        IconImage image = ReadEntry(e);
        image.id = ReadLE16(e + 12);
        images->push_back(image);
    }
    return true;
}

std::string IconImageText(const IconImage& image) {
    int width = image.width ? image.width : 256, height = image.height ? image.height : 256;
    return std::to_string(width) + "x" + std::to_string(height) + " " +
           std::to_string(image.bitCount) + "-bit";
}
