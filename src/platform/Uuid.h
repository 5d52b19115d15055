#pragma once

#include <QString>

// A fresh universally unique identifier in the upper-case 8-4-4-4-12 form the
// documents use to name maps, resources and folders.
QString newUUIDString();
