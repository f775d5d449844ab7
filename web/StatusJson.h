// The JSON API's documents (/api/server, /api/devices, /api/tags), made from the reader's
// copies. docs/web.md describes every field.
#pragma once

#include "web/StatusReader.h"

#include <string>
#include <vector>

namespace vorn::web {

// `user` and `role` of the browser asking; empty for an anonymous one.
std::string serverJson(const ServerFacts& facts, const std::string& user, const std::string& role);
std::string devicesJson(const std::vector<DeviceRow>& devices);
std::string branchJson(const BranchView& branch);

} // namespace vorn::web
