#include "pagestore/DbReader.h"

namespace pw {

int CDbReader::DiscoverTables() { return 0; }
int CDbReader::SortColumns() { return 1; }
int CDbReader::BuildTableSql() { return 1; }

}  // namespace pw
