#pragma once

#include "Manifest.h"

#include <QString>

namespace marvek::cdbuilder {

// Creates the CD's database template: the tables of the schema file, one M_system row with the
// layout version and the model-order rows. The file is left in the default journal mode.
void writeTemplateDatabase(const QString& hostPath, const QString& schemaSql, const CdManifest& manifest);

} // namespace marvek::cdbuilder
