// Rows read on one thread and handed on, in order, on a second one. Reading a table and
// formatting its rows both take real processor time, so on a machine with two processors a
// command that does both finishes sooner when they overlap (the handing over itself costs some
// time: the rows' memory moves between the processors).
#pragma once

#include "engine/format/rows/value.h"

#include <functional>
#include <vector>

namespace tools {

// Fills the row it is given with the next row; false once there are no more.
using RowSource = std::function<bool(std::vector<engine::format::Value>&)>;
// Receives each row in turn.
using RowSink = std::function<void(const std::vector<engine::format::Value>&)>;

// Calls next on the calling thread until it returns false, and take on a second thread for each
// row, in the order read. Rows travel in batches of a few hundred rows or about a megabyte, at
// most three batches at a time, so memory stays flat for a table of any length.
//
// When next throws, take still receives every row read before, and then the error is rethrown
// here. When take throws, reading stops at the end of the batch it is in, and take's error is
// rethrown here.
void pipeRows(const RowSource& next, const RowSink& take);
// The same, on a second thread only when onSecondThread says so; pipeRows above asks for one
// when the machine has more than one processor (on one, the handing over only costs time).
void pipeRows(const RowSource& next, const RowSink& take, bool onSecondThread);

}  // namespace tools
