#pragma once
#include "ExportTestUtil.h"  // the read-back sheet
