#include "TagSet.h"

#include "toolkit/SODaSCache.h"

#include <functional>

namespace vorn::north::mqtt {

TagSet TagSet::fromNameSpace(const SODaSNameSpaceRoot& root, std::vector<std::string>& skipped) {
    TagSet set;
    for (const SOCmnPointer<SODaSNode>& deviceBranch : root.getBranches()) {
        PublishedDevice device;
        device.name = deviceBranch->getName();
        device.firstTag = static_cast<uint32_t>(set.tags_.size());
        const auto deviceIndex = static_cast<uint32_t>(set.devices_.size());
        std::function<void(const SODaSNode&, const std::string&)> walk =
            [&](const SODaSNode& branch, const std::string& path) {
                for (const SOCmnPointer<SODaSTag>& tag : branch.getLeaves()) {
                    PublishedTag published;
                    published.type = dataTypeOf(tag->getNativeDatatype());
                    published.itemId = tag->getItemID();
                    if (!published.type) {
                        skipped.push_back(published.itemId + " (" +
                                          vartypeName(tag->getNativeDatatype()) + ")");
                        continue;
                    }
                    published.tag = tag;
                    published.metricName = path + tag->getName();
                    published.jsonName = published.metricName;
                    for (char& c : published.jsonName)
                        if (c == '/')
                            c = '.';
                    published.device = deviceIndex;
                    published.writable = tag->getAccessRights() & AccessRights::kWritable;
                    if (auto unit = tag->getProperty(kPropertyEngineeringUnit))
                        published.engineeringUnit = unit->getConstantValue().toUtf8();
                    published.alias = set.tags_.size() + 1;
                    set.tags_.push_back(std::move(published));
                }
                for (const SOCmnPointer<SODaSNode>& child : branch.getBranches())
                    walk(*child, path + child->getName() + "/");
            };
        walk(*deviceBranch, "");
        device.tagCount = static_cast<uint32_t>(set.tags_.size()) - device.firstTag;
        set.devices_.push_back(std::move(device));
    }
    for (uint32_t i = 0; i < set.tags_.size(); ++i) {
        set.byCache_.emplace(set.tags_[i].tag->getCache().get(), i);
        set.byAlias_.emplace(set.tags_[i].alias, i);
    }
    return set;
}

uint32_t TagSet::indexOfCache(const void* cache) const {
    auto found = byCache_.find(cache);
    return found == byCache_.end() ? kNoTag : found->second;
}

int TagSet::deviceIndex(const std::string& name) const {
    for (size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].name == name)
            return static_cast<int>(i);
    return -1;
}

uint32_t TagSet::findMetric(uint32_t device, const std::string& name, uint64_t alias) const {
    if (alias != 0) {
        auto found = byAlias_.find(alias);
        return found != byAlias_.end() && tags_[found->second].device == device ? found->second
                                                                                : kNoTag;
    }
    const PublishedDevice& d = devices_.at(device);
    for (uint32_t i = d.firstTag; i < d.firstTag + d.tagCount; ++i)
        if (tags_[i].metricName == name)
            return i;
    return kNoTag;
}

uint32_t TagSet::findJsonName(uint32_t device, const std::string& name) const {
    const PublishedDevice& d = devices_.at(device);
    for (uint32_t i = d.firstTag; i < d.firstTag + d.tagCount; ++i)
        if (tags_[i].jsonName == name)
            return i;
    return kNoTag;
}

} // namespace vorn::north::mqtt
