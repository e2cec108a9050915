// SPDX-License-Identifier: Apache-2.0
// What the detail and baseline routes share.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "unitfleet/inventory.h"
#include "unitfleetd/api.h"

namespace unitfleetd {

nlohmann::json orNull(const std::optional<std::string>& value);
// The unit whose key is `key`, or null; on the server's thread.
const unitfleet::InventoryUnit* findUnit(const ApiContext& c, const std::string& key);
std::string queryText(const HttpRequest& request, const std::string& name);
// Runs `work` on a worker thread and answers with what it returns.
void onWorker(ApiContext& c, Reply reply, std::function<HttpResponse()> work);

}  // namespace unitfleetd
