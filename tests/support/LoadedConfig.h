// A server's configuration loaded from text the way a server loads it at start, with the
// message boxes and trace lines it produced, for tests of the loader and the address space.
#pragma once

#include "ScratchDir.h"
#include "config/ConfigLoader.h"
#include "platform/MessageBox.h"
#include "server/ModbusTag.h"
#include "toolkit/SOCmnTrace.h"

#include <string>
#include <vector>

namespace vorn::test {

class LoadedConfig {
public:
    explicit LoadedConfig(ServerKind kind) : kind_(kind), messages_(boxes_) {
        root->setTreeDelimiter('.');
        previousSink_ =
            getSOCmnTrace().setSink([this](TraceLevel, const std::string&,
                                           const std::string& text) { traces.push_back(text); });
    }
    ~LoadedConfig() { getSOCmnTrace().setSink(previousSink_); }

    ConfigLoader loader() {
        return ConfigLoader(kind_, config, modbusTagFactory(queues),
                            Registry(dir.file("registry.ini")));
    }
    bool load(const std::string& text) {
        return loader().loadConfiguration(dir.write("config.xml", text), *root);
    }

    std::vector<SOCmnPointer<PlcDevice>> devices() const {
        std::vector<SOCmnPointer<PlcDevice>> out;
        config.devices.lock();
        for (auto pos = config.devices.getStartPosition(); pos;)
            out.push_back(config.devices.getNext(pos));
        config.devices.unlock();
        return out;
    }
    SOCmnPointer<ModbusTag> tag(const std::string& itemId) const {
        auto found = root->findTag(itemId);
        return SOCmnPointer<ModbusTag>::share(dynamic_cast<ModbusTag*>(found.get()));
    }
    std::vector<ScriptedMessageBox::Shown> messages() const { return boxes_.shown(); }

    ScratchDir dir;
    modbus::EngineQueues queues;
    ServerConfig config;
    SOCmnPointer<SODaSNameSpaceRoot> root = makeObject<SODaSNameSpaceRoot>();
    std::vector<std::string> traces;

private:
    ServerKind kind_;
    ScriptedMessageBox boxes_;
    ScopedMessageBoxes messages_;
    SOCmnTrace::Sink previousSink_;
};

} // namespace vorn::test
