#pragma once
// Search as you type: the first row from `from` on whose column `col`
// contains `needle`, compared upper-cased (every script, not only ASCII).
// Returns 0 when none. Main thread.
#include <QString>

#include "lists/Lista.h"

namespace zonda {

int FindRowContaining(const TLista& list, int col, const QString& needle, int from = 1);

}  // namespace zonda
