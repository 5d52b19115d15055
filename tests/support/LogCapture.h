#pragma once
#include "TestHelpers.h"
