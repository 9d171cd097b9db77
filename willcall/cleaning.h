// Cleaning a node's master will-call file: the records the truck has taken over
// are removed from the master and from the distribution program's node copy.
//
// A master record counts as taken over when the node copy holds a record with
// the same first key (timestamp and access number) and the edit copy, when
// there is one, does not. Such a record is deleted from the node copy first and,
// when that worked, from the master, so the two never disagree the other way.
//
// Contract:
//  - The node copy is the first application of the open application list (in
//    key order) under which the node has a "WillCall.zdb"; an edit copy of that
//    application is optional. A master, node copy or edit copy that exists but
//    does not open stops the cleaning with its message.
//  - Every failure goes through the Reporter; nothing else is logged.
//  - All files this opens are closed again before it returns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "schema/willcall.h"
#include "willcall/environment.h"

namespace trk::willcall {

// Returns the number of records removed from the master.
uint32_t RemoveTakenOverRecords(Reporter& reporter, const std::string& dataDepotFolder,
                                uint16_t applicationListHandle, const schema::NodeRecord& node,
                                const std::optional<std::string>& currentFolder);

}  // namespace trk::willcall
