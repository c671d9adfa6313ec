// What --help, --version and XCOPY /? print.
#pragma once

#include <string>

#include "mount_table.h"

std::string versionText();

// The drives folder and each letter in it: where its link leads and whether
// that is there now.
std::string driveListing(const std::string& drives, const MountTables& tables = MountTables{});

// How to call us, the drives, and what a copy promises about the data.
std::string helpText(const std::string& drives);

std::string xcopyHelpText();
