#include "EditorImages.h"

#include <QFile>
#include <QHash>

// The images are linked from a static library: their resource is registered by hand.
static void registerEditorImages() {
    Q_INIT_RESOURCE(icons);
}

namespace vorn::editor {
namespace {

QString fileNameOf(const std::string& key) {
    QString name = QString::fromStdString(key);
    name.replace(' ', '_');
    return name;
}

// Icons are made once per key; an unknown key gives an empty icon.
QIcon cached(const QString& folder, const std::string& key) {
    static const bool registered = (registerEditorImages(), true);
    (void)registered;
    static QHash<QString, QIcon> icons;
    const QString path = ":/quillmar/" + folder + "/" + fileNameOf(key) + ".svg";
    auto it = icons.find(path);
    if (it == icons.end())
        it = icons.insert(path, QFile::exists(path) ? QIcon(path) : QIcon());
    return *it;
}

} // namespace

QIcon treeImage(const std::string& key) {
    return cached("tree", key);
}

QIcon toolbarImage(const std::string& key) {
    return cached("toolbar", key);
}

QIcon listImage(const std::string& key) {
    return cached("list", key);
}

const std::vector<std::string>& listImageKeys() {
    static const std::vector<std::string> keys{"modbus",
                                               "plc",
                                               "string",
                                               "boolean",
                                               "unsigned 8 bit",
                                               "signed 8 bit",
                                               "unsigned 16 bit",
                                               "signed 16 bit",
                                               "unsigned 32 bit",
                                               "signed 32 bit",
                                               "32 bit float",
                                               "unsigned 64 bit",
                                               "signed 64 bit",
                                               "64 bit float",
                                               "array"};
    return keys;
}

} // namespace vorn::editor
