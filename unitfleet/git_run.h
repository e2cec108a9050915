// SPDX-License-Identifier: Apache-2.0
// A backup or apply run with --git: its listings recorded as commits. For
// apply, the listings from before the change are committed first, then every
// unit is read again and its state after the change committed.
#pragma once

#include <string>
#include <vector>

#include "unitfleet/commands.h"
#include "unitfleet/inventory.h"
#include "unitfleet/unit_work.h"

namespace unitfleet {

// Prints what was committed on `streams.out`; kExitSomeFailed when the
// repository could not be written, else kExitDone. Apply reads the units it
// reached again with `jobs` workers.
int recordRunInGit(Command command, const std::vector<std::string>& volatileModes, int jobs,
                   const std::vector<InventoryUnit>& units, const std::vector<UnitResult>& results,
                   const WorkSettings& work, Streams streams);

}  // namespace unitfleet
