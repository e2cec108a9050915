// SPDX-License-Identifier: Apache-2.0
// The HTTP API: the route table, and in front of every route the same
// checks in the same order: who asks (session cookie or bearer token, else
// 401), the CSRF token on a session's state-changing request (else 403), the
// role the route needs (else 403). Every state-changing request is written
// to the audit log with its outcome.
#pragma once

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "unitfleet/inventory.h"
#include "unitfleetd/accounts.h"
#include "unitfleetd/config.h"
#include "unitfleetd/event_hub.h"
#include "unitfleetd/fleet_status.h"
#include "unitfleetd/jobs.h"
#include "unitfleetd/login_limiter.h"
#include "unitfleetd/metrics.h"
#include "unitfleetd/router.h"
#include "unitfleetd/state_store.h"
#include "unitfleetd/unit_detail.h"

namespace unitfleetd {

inline constexpr const char* kSessionCookie = "ufd_session";

class Prober;

// What the handlers work with; owned by the daemon, all on the server's
// thread. `offload` runs slow work (password hashing) elsewhere.
struct ApiContext {
    StateStore& store;
    Accounts& accounts;
    LoginLimiter& limiter;
    Jobs& jobs;
    EventHub& hub;
    DaemonCounters& counters;
    FleetStatus& fleet;
    std::shared_ptr<const Config>& config;
    std::shared_ptr<const unitfleet::Inventory>& inventory;
    std::function<void(std::function<void()> work, std::function<void()> then)> offload;
    std::function<int()> connections;
    std::FILE* log = nullptr;  // audit lines also go here (stderr: the journal)
    Prober* prober = nullptr;  // /probe's questions; none: /probe answers 503
    UnitDetail* detail = nullptr;  // listings, history, drift
};

class Api {
  public:
    explicit Api(ApiContext& context);
    void handle(HttpRequest request, Reply reply);
    const Router& router() const { return router_; }

  private:
    void audit(const Call& call, int status, const std::string& body);
    ApiContext& context_;
    Router router_;
};

// The routes of each area, added to the table.
void addAuthRoutes(Router& router, ApiContext& context);
void addUnitRoutes(Router& router, ApiContext& context);
void addJobRoutes(Router& router, ApiContext& context);
void addUserRoutes(Router& router, ApiContext& context);
void addProbeRoutes(Router& router, ApiContext& context);
void addDetailRoutes(Router& router, ApiContext& context);
void addBaselineRoutes(Router& router, ApiContext& context);

// GET /api/v1/units/{name}: `summary` (the unit as the list shows it) with
// its last listing and its drift from its baseline added.
void answerUnitDetail(ApiContext& context, const unitfleet::InventoryUnit& unit,
                      nlohmann::json summary, Reply reply);
void addFleetRoutes(Router& router, ApiContext& context);

// The cookie's value in a Cookie header, or empty.
std::string cookieValue(const std::string& header, const std::string& name);
// Equal texts, compared in time that does not depend on where they differ.
bool sameSecret(const std::string& a, const std::string& b);
// An integer query parameter within [least, most]; `fallback` when absent;
// nothing when malformed or out of range.
std::optional<long long> queryNumber(const HttpRequest& request, const std::string& name,
                                     long long fallback, long long least, long long most);

}  // namespace unitfleetd
