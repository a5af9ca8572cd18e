// What the embedded server answers to one statement or procedure call: the dataset layer's own result types
// (its backend seam), which the server produces directly so that its adapter hands them over as they are.
// Error texts are worded like SQL Server's ("Login failed for user 'x'.", "The UPDATE permission was denied
// on the object 'mark_mag', database 'olm', schema 'dbo'.").
#pragma once

#include "toolkit/data/DbResult.h"

namespace olm::server {

using olm::dataset::ColumnInfo;
using olm::dataset::Outcome;
using olm::dataset::ResultSet;

} // namespace olm::server
