// A backup or apply run with --git: its listings recorded as commits. For
// apply, the listings from before the change are committed first, then every
// unit is read again and its state after the change committed.
#pragma once

#include <vector>

#include "unitfleet/commands.h"
#include "unitfleet/inventory.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

// Prints what was committed; kExitSomeFailed when the repository could not
// be written, else kExitDone.
int recordRunInGit(const Settings& settings, const std::vector<InventoryUnit>& units,
                   const std::vector<UnitResult>& results, const WorkSettings& work,
                   Streams streams);

}  // namespace unitfleet
