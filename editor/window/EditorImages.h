// The editor's three image lists, by key: ImgListTree (tree nodes and small list icons),
// ImgListToolbar (one image per toolbar key) and ImgListList (large list icons, one per data
// type name). The images are small SVG drawings kept as resources.
#pragma once

#include <QIcon>
#include <string>
#include <vector>

namespace vorn::editor {

QIcon treeImage(const std::string& key);
QIcon toolbarImage(const std::string& key);
QIcon listImage(const std::string& key);
// The keys of ImgListList in order; the first is the image of Modbus types.
const std::vector<std::string>& listImageKeys();

} // namespace vorn::editor
