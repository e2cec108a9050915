// SPDX-License-Identifier: Apache-2.0
// What a unit answers to one MDSQ query: the mode table shared by every
// connection, and the Force flags each connection holds for itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame.h"
#include "unitsim/identity.h"
#include "unitsim/unit.h"

namespace unitsim {

// The unit's modes: current values (in the ModeDefs) and committed ones.
// Tables are shared copy-on-write: thousands of units in one process hold one
// table between them until a unit changes a value, and a commit or a restart
// only moves a pointer. The values that tell one unit from another (its
// UnitID, SerialNumber, MACAddress) lie over the shared table, made from the
// unit's identity when read, so that they cost no table of their own.
class ModeStore {
  public:
    using Table = std::vector<ModeDef>;
    explicit ModeStore(Table modes);
    // Without an identity the table's values are the unit's.
    explicit ModeStore(std::shared_ptr<const Table> modes, UnitIdentity identity = {});

    int find(std::string_view name) const;
    // The mode's definition; its value is value(index).
    const ModeDef& operator[](int index) const { return (*current_)[index]; }
    std::size_t size() const { return current_->size(); }
    std::string value(int index) const { return valueIn(*current_, index); }
    std::string committed(int index) const { return valueIn(*committed_, index); }

    void set(int index, std::string value) { own()[index].value = std::move(value); }
    void commit() { committed_ = current_; }
    void dropUncommitted() { current_ = committed_; }
    // The value a read reports; a drifting mode changes after each read.
    std::string read(int index, std::string_view driftingMode);

  private:
    // The current table, copied first while anyone else holds it.
    Table& own();
    std::string valueIn(const Table& table, int index) const;

    const Table* base_ = nullptr;  // the shared table the identity lies over; compared only
    UnitIdentity identity_;
    std::shared_ptr<const Table> current_;
    std::shared_ptr<const Table> committed_;
    std::shared_ptr<Table> owned_;  // current_ when this store alone may change it
};

// The Force flags belong to the connection: every new connection starts with
// them FALSE, so one client's settings never change what another one gets.
struct SessionFlags {
    bool forceResponse = false;  // FALSE: accepted sets and commits get no reply
    bool forceError = false;     // FALSE: refusals come as MODR instead of ERR_
    bool forceHelpText = false;  // FALSE: definition lines carry no help texts
};

struct Answer {
    bool reply = false;  // false: send nothing
    protocol::FrameType type = protocol::FrameType::ModeResponse;
    std::string text;      // the reply body, without its zero byte
    bool restart = false;  // drop uncommitted values and close the connection
};

// Answers one query text (the MDSQ body up to its zero byte).
Answer answerQuery(std::string_view query, ModeStore& store, SessionFlags& flags,
                   const Faults& faults);

}  // namespace unitsim
