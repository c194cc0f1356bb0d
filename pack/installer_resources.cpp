// Turning the manifest's installer settings into resources, and reading them back: each
// resource checked as Windows would use it (the manifest's XML, every icon image the group
// names present with the size it states, the version tree readable).
#include "pack/installer_resources.h"

#include "pack/file_io.h"

namespace {

const uint16_t VERSION_ID = 1;

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

void AddIcon(const std::string& path, const ResourceDir& tree, std::vector<AddedResource>* added) {
    std::vector<IconImage> images = ReadIconFile(ReadFileBytes(path));
    uint16_t firstIcon = FirstFreeIds(tree, RT_ICON_TYPE, images.size());
    // A numeric id: the main window's class loads the icon named "generic", which stays absent.
    uint16_t group = FirstFreeIds(tree, RT_GROUP_ICON_TYPE, 1);
    for (size_t i = 0; i < images.size(); i++)
        added->push_back(AddedResource{RT_ICON_TYPE, (uint16_t)(firstIcon + i), images[i].data});
    added->push_back(AddedResource{RT_GROUP_ICON_TYPE, group, GroupIconData(images, firstIcon)});
}

void ReadManifest(const ResourceDir& tree, ResourceFacts* facts) {
    const ResourceEntry* leaf = FindIdResource(tree, RT_MANIFEST_TYPE, APP_MANIFEST_ID);
    if (!leaf) {
        facts->problems.push_back(
            "no application manifest (resource 24/1): Windows elevates the installer only by "
            "its file name");
        return;
    }
    facts->hasManifest = true;
    std::string xml(leaf->data.begin(), leaf->data.end());
    for (const std::string& problem : CheckAppManifest(xml, &facts->manifest))
        facts->problems.push_back(problem);
}

void ReadIcon(const ResourceDir& tree, ResourceFacts* facts) {
    std::vector<uint16_t> groups = ResourceIds(tree, RT_GROUP_ICON_TYPE);
    if (groups.empty()) return;
    facts->hasIcon = true;
    facts->groupId = groups[0];
    const ResourceEntry* leaf = FindIdResource(tree, RT_GROUP_ICON_TYPE, groups[0]);
    std::string problem;
    if (!leaf || !ParseGroupIcon(leaf->data, &facts->icons, &problem)) {
        facts->problems.push_back("icon group " + std::to_string(groups[0]) + " " +
                                  (leaf ? problem : "has no data"));
        return;
    }
    for (const IconImage& image : facts->icons) {
        const ResourceEntry* icon = FindIdResource(tree, RT_ICON_TYPE, image.id);
        std::string which = "icon image " + std::to_string(image.id);
        if (!icon)
            facts->problems.push_back(which + " named by the icon group is missing");
        else if (icon->data.size() != image.bytes)
            facts->problems.push_back(which + " has " + std::to_string(icon->data.size()) +
                                      " bytes; the icon group says " + std::to_string(image.bytes));
    }
}

void ReadVersion(const ResourceDir& tree, ResourceFacts* facts) {
    std::vector<uint16_t> ids = ResourceIds(tree, RT_VERSION_TYPE);
    if (ids.empty()) return;
    facts->hasVersion = true;
    const ResourceEntry* leaf = FindIdResource(tree, RT_VERSION_TYPE, ids[0]);
    std::string problem;
    if (!leaf || !ParseVersionResource(leaf->data, &facts->version, &problem))
        facts->problems.push_back(leaf ? problem : "version resource has no data");
}

}  // namespace

std::vector<AddedResource> SettingsResources(const InstallerSettings& settings,
                                             const ResourceDir& stubTree, uint16_t language) {
    std::vector<AddedResource> added;
    added.push_back(AddedResource{RT_MANIFEST_TYPE, APP_MANIFEST_ID,
                                  Bytes(AppManifestXml(settings.executionLevel))});
    if (!settings.iconPath.empty()) AddIcon(settings.iconPath, stubTree, &added);
    if (settings.version.present)
        added.push_back(AddedResource{RT_VERSION_TYPE, VERSION_ID,
                                      VersionResourceData(settings.version, language)});
    return added;
}

ResourceFacts ReadResourceFacts(const ResourceDir& tree) {
    ResourceFacts facts;
    facts.read = true;
    ReadManifest(tree, &facts);
    ReadIcon(tree, &facts);
    ReadVersion(tree, &facts);
    return facts;
}
